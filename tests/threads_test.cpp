// Whole frames from the frame entry: every kernel set and every thread
// count gives the golden image, drawn in column order, even where no
// worker thread can start.
#include <gtest/gtest.h>

#include <memory>
#include <system_error>
#include <vector>

#include "march/MarchColumns.h"
#include "tests/BuiltScene.h"
#include "digest/FrameDigest.h"
#include "digest/GoldenDigest.h"

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

// Every second (or third) column and row alone, as a turn's small frames
// take them: exactly the whole frame's pixels there, handed on in column
// order; in a view other than the image's too.
TEST(Frame, EveryStepthColumnAndRowAreTheWholeFramesPixels) {
  const auto frame = std::make_unique<Frame>();
  for (const View view : {kImageView, View{0.3f, 2.1f, -0.2f}}) {
    ASSERT_TRUE(BuildFrame(*frame, view));
    drawn.clear();
    drawnColumns.clear();
    MarchFrame(*frame, {2}, Collect, nullptr);
    const std::vector<PackedColour> whole = drawn;
    for (int step : {2, 3}) {
      struct Every {
        int step;
        std::vector<int> columns;
        std::vector<PackedColour> colours;
      } every = {step, {}, {}};
      MarchFrameEvery(*frame, {2}, step, [](void* context, int x, const PackedColour* column) {
        Every& e = *static_cast<Every*>(context);
        e.columns.push_back(x);
        e.colours.insert(e.colours.end(), column, column + (kColumnHeight - 1) / e.step + 1);
      }, &every);
      std::vector<int> order;
      std::vector<PackedColour> wanted;
      for (int x = 0; x < kColumnCount; x += step) {
        order.push_back(x);
        for (int y = 0; y < kColumnHeight; y += step)
          wanted.push_back(whole[(size_t)x * kColumnHeight + y]);
      }
      EXPECT_EQ(every.columns, order) << "step " << step;
      EXPECT_TRUE(every.colours == wanted) << "step " << step << ", view B " << view.B;
    }
  }
}

}  // namespace
