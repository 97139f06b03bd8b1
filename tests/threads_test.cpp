// Whole frames from the frame entry: every kernel set and every thread
// count gives the golden image, drawn in column order, even where no
// worker thread can start.
#include <gtest/gtest.h>

#include <memory>
#include <system_error>
#include <vector>

#include "march/MarchColumns.h"
#include "tests/BuiltScene.h"
#include "tools/FrameDigest.h"
#include "tools/GoldenDigest.h"

namespace {

std::vector<PackedColour> drawn;
std::vector<int> drawnColumns;

void Collect(void*, int x, const PackedColour* column) {
  drawnColumns.push_back(x);
  drawn.insert(drawn.end(), column, column + kColumnHeight);
}

// Builds the frame with those kernels and marches it, as every program
// does; fails the test unless it is the golden image, drawn column by
// column from the left.
void ExpectGoldenFrame(const MarchKernels& kernels, int threads) {
  drawn.clear();
  drawnColumns.clear();
  static const auto frame = std::make_unique<Frame>();
  ASSERT_TRUE(BuildFrame(*frame, kImageView, kernels.name));
  MarchFrame(*frame, {threads}, Collect, nullptr);
  std::vector<int> order(kColumnCount);
  for (int x = 0; x < kColumnCount; ++x) order[x] = x;
  EXPECT_EQ(drawnColumns, order) << threads << " threads, " << kernels.name;
  EXPECT_EQ(ColoursDigest(drawn.data(), drawn.size()), kGoldenFrameDigest)
      << threads << " threads, " << kernels.name;
}

TEST(MarchColumns, EveryKernelSetGivesTheGoldenImage) {
  for (const MarchKernels* kernels : AllKernels()) ExpectGoldenFrame(*kernels, 2);
}

// One thread, two, three (more than the cores, with workers waiting on the
// drawing thread), and more threads than columns.
TEST(MarchColumns, EveryThreadCountGivesTheGoldenImageInColumnOrder) {
  for (int threads : {1, 2, 3, kColumnCount + 7}) ExpectGoldenFrame(ChooseKernels(), threads);
}

std::thread NoThread(std::function<void()>) {
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

int started = 0;
std::thread OneThread(std::function<void()> work) {
  if (started++ > 0) return NoThread(work);
  return std::thread(std::move(work));
}

// Where the system starts no worker, or only some, the threads there are
// share the work.
TEST(MarchColumns, FewerWorkersThanAskedForStillGiveTheGoldenImage) {
  const auto start = pfnStartWorker;
  pfnStartWorker = NoThread;
  ExpectGoldenFrame(ChooseKernels(), 4);
  started = 0;
  pfnStartWorker = OneThread;
  ExpectGoldenFrame(ChooseKernels(), 4);
  EXPECT_EQ(started, 2);  // the first started, the second could not
  pfnStartWorker = start;
}

// A name no runnable kernel set has builds nothing: the frame stays as it
// was, and the program says so rather than computing with another set.
TEST(Frame, AnUnknownKernelSetBuildsNothing) {
  const auto frame = std::make_unique<Frame>();
  EXPECT_FALSE(BuildFrame(*frame, kImageView, "avx9"));
  EXPECT_EQ(frame->kernels, nullptr);
  EXPECT_EQ(frame->maps, nullptr);
  ASSERT_TRUE(BuildFrame(*frame, kImageView, ""));
  EXPECT_EQ(frame->kernels, &ChooseKernels());
}

}  // namespace
