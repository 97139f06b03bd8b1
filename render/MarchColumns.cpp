// The fast render pass across threads: workers compute whole columns, the
// calling thread draws them, strictly in column order, as they complete.
// The image is the same on any number of threads: each pixel is computed
// alone, by the same functions, and drawn in the same order.
#include "render/MarchColumns.h"

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "render/FastMarch.h"
#include "render/ShadeRun.h"

int RenderThreadCount(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? (int)cores : 1;
}

// One column after another on the calling thread, each drawn when done.
static void MarchColumnsInOrder(const Scene& scene, const SkipMaps& maps,
                                const MarchKernels& kernels, HDC hdc,
                                void (*drawColumn)(HDC hdc, int x, const COLORREF* column)) {
  const auto lists = std::make_unique<ContributionLists>();
  COLORREF column[kColumnHeight];
  for (int x = 0; x < kColumnCount; ++x) {
    MarchColumnFast(scene, maps, kernels, x, *lists, column);
    drawColumn(hdc, x, column);
  }
}

void MarchColumns(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                  int threads, HDC hdc,
                  void (*drawColumn)(HDC hdc, int x, const COLORREF* column)) {
  if (threads <= 1) return MarchColumnsInOrder(scene, maps, kernels, hdc, drawColumn);

  std::vector<COLORREF> colours((size_t)kColumnCount * kColumnHeight);
  std::unique_ptr<std::atomic<int>[]> done(new std::atomic<int>[kColumnCount]);
  for (int x = 0; x < kColumnCount; ++x) done[x].store(0);
  std::atomic<int> next{0};
  std::vector<std::thread> workers;
  try {
    for (int i = 0; i < threads; ++i) {
      workers.emplace_back([&] {
        const auto lists = std::make_unique<ContributionLists>();
        for (int x; (x = next.fetch_add(1)) < kColumnCount;) {
          MarchColumnFast(scene, maps, kernels, x, *lists, &colours[(size_t)x * kColumnHeight]);
          done[x].store(1, std::memory_order_release);
          done[x].notify_one();
        }
      });
    }
  } catch (const std::system_error&) {
    // Fewer threads than asked for: those started share the work.
  }
  if (workers.empty()) return MarchColumnsInOrder(scene, maps, kernels, hdc, drawColumn);
  // Only this thread draws, so the window sees the columns arrive in order.
  for (int x = 0; x < kColumnCount; ++x) {
    done[x].wait(0, std::memory_order_acquire);
    drawColumn(hdc, x, &colours[(size_t)x * kColumnHeight]);
  }
  for (std::thread& worker : workers) worker.join();
}
