// The fast render pass across threads: every thread, the calling one too,
// computes whole columns; the calling thread alone draws them, strictly in
// column order, as they complete.
// The image is the same on any number of threads: each pixel is computed
// alone, by the same functions, and drawn in the same order.
#include "march/MarchColumns.h"

#if defined(__GLIBC__)
#include <pthread.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "platform/LargePages.h"

// Working storage for a thread's columns, left uninitialised: of its 1 MB
// a column touches only what its rays use, a few hundred bytes each.
static std::unique_ptr<ContributionLists> NewLists() {
  return std::unique_ptr<ContributionLists>(new ContributionLists);
}
static std::unique_ptr<ContributionLists> NewListsOrNull() {
  return std::unique_ptr<ContributionLists>(new (std::nothrow) ContributionLists);
}

// std::thread takes the C library's default stack, which glibc fixed from
// the soft stack limit at start-up (as small as 16 KB), before the program
// raised it: every worker is given its own size instead. (Windows threads
// get the 2 MB the executable reserves.)
static void SetWorkerStack() {
#if defined(__GLIBC__)
  // A column needs about 130 KB (160 KB under AddressSanitizer); the rest
  // is margin.
  constexpr size_t kWorkerStackBytes = 1 << 20;
  pthread_attr_t attributes;
  if (pthread_getattr_default_np(&attributes) != 0) return;
  size_t bytes = 0;
  if (pthread_attr_getstacksize(&attributes, &bytes) == 0 && bytes != kWorkerStackBytes &&
      pthread_attr_setstacksize(&attributes, kWorkerStackBytes) == 0)
    pthread_setattr_default_np(&attributes);
  pthread_attr_destroy(&attributes);
#endif
}

static std::thread StartWorker(std::function<void()> work) {
  SetWorkerStack();
  return std::thread(std::move(work));
}

std::thread (*pfnStartWorker)(std::function<void()> work) = StartWorker;

int RenderThreadCount(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? (int)cores : 1;
}

// Column x's colours, packed.
static void MarchColumn(const MarchContext& march, int x, ContributionLists& lists,
                        PackedColour* column) {
  Accumulator accs[kColumnHeight];
  MarchColumnFast(march, x, lists, accs);
  for (int y = 0; y < kColumnHeight; ++y) column[y] = PackColour(accs[y]);
}

// One column after another on the calling thread, each drawn when done.
static void MarchColumnsInOrder(const MarchContext& march, ColumnSink drawColumn,
                                void* context) {
  const auto lists = NewLists();
  PackedColour column[kColumnHeight];
  for (int x = 0; x < kColumnCount; ++x) {
    MarchColumn(march, x, *lists, column);
    drawColumn(context, x, column);
  }
}

// Joins the workers on every way out, so that none is left joinable (which
// would end the process) when something throws.
struct JoinAll {
  std::vector<std::thread>& workers;
  ~JoinAll() {
    for (std::thread& worker : workers) worker.join();
  }
};

void ShareColumns(int threads, const ColumnWork& work, const std::function<void()>& between,
                  const std::function<void()>& finish) {
  threads = std::clamp(threads, 1, kColumnCount);
  // Everything the calling thread needs is had before any worker starts,
  // so that running out of memory here leaves no thread behind.
  std::atomic<int> next{0};
  const auto lists = NewLists();
  std::vector<std::thread> workers;
  workers.reserve((size_t)threads - 1);
  const JoinAll joinAll = {workers};
  // The calling thread is one of the `threads`: a thread that only waited
  // would take turns with the workers on every core.
  try {
    for (int i = 1; i < threads; ++i) {
      workers.push_back(pfnStartWorker([&] {
        // A worker that cannot have its storage takes no column: the
        // others share the work.
        std::unique_ptr<ContributionLists> own;
        while (next.load() < kColumnCount) {
          if (!own && !(own = NewListsOrNull())) return;
          const int x = next.fetch_add(1);
          if (x >= kColumnCount) return;
          work(*own, x);
        }
      }));
    }
  } catch (const std::exception&) {
    // Fewer threads than asked for (none could start, or there was no
    // memory to start one): those started share the work.
  }
  for (int x; (x = next.fetch_add(1)) < kColumnCount;) {
    work(*lists, x);
    if (between) between();
  }
  if (finish) finish();
}

void ShareColumnsInOrder(int threads, const ColumnWork& work, const ColumnDraw& draw) {
  // Which columns are complete, set and read under the lock, so that the
  // drawing thread cannot miss the wake-up of the column it waits for.
  // (std::atomic::wait could: MinGW's GCC 12 library checks the value, then
  // waits on a condition variable that the notifier signals without the
  // lock, and the drawing thread slept for ever.)
  std::mutex lock;
  std::condition_variable completed;
  std::vector<char> done(kColumnCount, 0);
  const auto workColumn = [&](ContributionLists& lists, int x) {
    work(lists, x);
    {
      const std::lock_guard<std::mutex> hold(lock);
      done[x] = 1;
    }
    completed.notify_one();
  };
  // Only the calling thread draws, so the window sees the columns arrive
  // in order: after each column of its own, every column complete by then;
  // at the end, the rest as they complete.
  int drawn = 0;
  const auto drawComplete = [&] {
    int end = drawn;
    {
      const std::lock_guard<std::mutex> hold(lock);
      while (end < kColumnCount && done[end]) ++end;
    }
    for (; drawn < end; ++drawn) draw(drawn);
  };
  const auto drawRest = [&] {
    for (; drawn < kColumnCount; ++drawn) {
      {
        std::unique_lock<std::mutex> hold(lock);
        completed.wait(hold, [&] { return done[drawn] != 0; });
      }
      draw(drawn);
    }
  };
  ShareColumns(threads, workColumn, drawComplete, drawRest);
}

void MarchColumns(const MarchContext& march, int threads, ColumnSink drawColumn, void* context) {
  threads = std::min(threads, kColumnCount);
  if (threads <= 1) return MarchColumnsInOrder(march, drawColumn, context);

  // The columns wait here to be drawn: 3 MB written at once by a new
  // process, so on large pages where the system has them.
  struct Free {
    size_t bytes;
    void operator()(PackedColour* memory) const { FreeLargePages(memory, bytes); }
  };
  const size_t bytes = (size_t)kColumnCount * kColumnHeight * sizeof(PackedColour);
  const std::unique_ptr<PackedColour[], Free> colours(
      static_cast<PackedColour*>(AllocateLargePages(bytes)), Free{bytes});
  if (!colours) throw std::bad_alloc();
  ShareColumnsInOrder(
      threads,
      [&](ContributionLists& lists, int x) {
        MarchColumn(march, x, lists, &colours[(size_t)x * kColumnHeight]);
      },
      [&](int x) { drawColumn(context, x, &colours[(size_t)x * kColumnHeight]); });
}
