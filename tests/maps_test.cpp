// The maps of the fast march's work: their counts are the march's own (the
// benchmark's totals, the straightforward march's blending samples pixel
// for pixel), and their colour scale is viridis, dark to light.
#include <gtest/gtest.h>

#include <cmath>
#include <system_error>
#include <thread>

#include "march/MarchColumns.h"
#include "tests/BuiltScene.h"
#include "tools/CountMaps.h"
#include "tools/Viridis.h"

namespace {

// The totals the benchmark prints for the frame.
TEST(CountMaps, TotalsAreTheMarchsOwnOnAnyThreadCount) {
  const struct {
    MapKind kind;
    uint64_t sum;
  } expected[] = {{MapKind::kShaded, 62027692},
                  {MapKind::kLooked, 67692},
                  {MapKind::kCrossings, 2009011},
                  {MapKind::kRuns, 994587}};
  for (const auto& [kind, sum] : expected) {
    const std::vector<uint32_t> one = CountFrame(kind, ChooseKernels(), 1);
    EXPECT_EQ(TotalsOf(one).sum, sum) << (int)kind;
    EXPECT_EQ(CountFrame(kind, ChooseKernels(), 3), one) << (int)kind;
  }
}

int started = 0;
// Starts the first worker asked for, and then none: the system running out
// of threads after one has begun.
std::thread FirstOnly(std::function<void()> work) {
  if (started++ > 0)
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  return std::thread(std::move(work));
}

// The maps march their columns as the image does: where a worker cannot
// start after another has, the threads there are share the work (a worker
// left running, unjoined, would end the process).
TEST(CountMaps, FewerWorkersThanAskedForGiveTheSameCounts) {
  const std::vector<uint32_t> one = CountFrame(MapKind::kRuns, ChooseKernels(), 1);
  const auto start = pfnStartWorker;
  pfnStartWorker = FirstOnly;
  const std::vector<uint32_t> some = CountFrame(MapKind::kRuns, ChooseKernels(), 4);
  pfnStartWorker = start;
  EXPECT_EQ(started, 2);  // the first started, the second could not
  EXPECT_EQ(some, one);
}

// On whole columns, the shaded map's count of every pixel is the number of
// samples that blend into it in the straightforward march.
TEST(CountMaps, ShadedCountsAreTheBlendingSamplesPixelForPixel) {
  const Built& b = TheScene();
  // With the scalar kernels: the counts are the march's, whichever set shades.
  const std::vector<uint32_t> counts = CountFrame(MapKind::kShaded, kScalarKernels, 2);
  for (int x : {137, 512, 777}) {
    for (int y = 0; y < kColumnHeight; ++y) {
      ASSERT_EQ(counts[(size_t)x * kColumnHeight + y], (uint32_t)ContributingSamples(b.scene, x, y))
          << "pixel " << x << ", " << y;
    }
  }
}

// Lighter all the way, by relative luminance, from the table's first entry
// to its last; the scale's colours are the table's entries, rounded to 8
// bits (where two neighbours may tie, or dip by a rounding).
TEST(CountMaps, TheScaleRunsFromDarkToLightThroughViridis) {
  const auto linear = [](double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const auto luminance = [&](double r, double g, double b) {
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
  };
  const auto table = [](int i) {
    const auto channel = [&](int c) { return (uint32_t)std::lround(kViridis[i][c] * 255); };
    return channel(0) << 16 | channel(1) << 8 | channel(2);
  };
  EXPECT_EQ(ScaleColour(0), table(0));
  EXPECT_EQ(ScaleColour(1), table(255));
  EXPECT_EQ(ScaleColour(-3), table(0));
  EXPECT_EQ(ScaleColour(7), table(255));
  for (int i = 1; i < 256; ++i) {
    ASSERT_GT(luminance(kViridis[i][0], kViridis[i][1], kViridis[i][2]),
              luminance(kViridis[i - 1][0], kViridis[i - 1][1], kViridis[i - 1][2]))
        << i;
    ASSERT_EQ(ScaleColour(i / 255.0), table(i)) << i;
  }
}

// A field of one value is one colour; counts spanning decades take the
// logarithmic scale, and the maximum is the light end either way.
TEST(CountMaps, ConstantFieldsAreOneColourAndRangesPickTheirScale) {
  for (uint32_t value : {0u, 1u, 500u}) {
    const std::vector<uint32_t> field((size_t)kColumnCount * kColumnHeight, value);
    const MapTotals totals = TotalsOf(field);
    EXPECT_EQ(totals.median, value);
    const std::vector<uint32_t> pixels = MapPixels(field, totals);
    for (uint32_t p : pixels) ASSERT_EQ(p, pixels[0]) << value;
  }
  std::vector<uint32_t> field((size_t)kColumnCount * kColumnHeight, 1);
  field[5 * kColumnHeight + 7] = 100;
  const MapTotals wide = TotalsOf(field);
  EXPECT_TRUE(wide.logarithmic);
  EXPECT_EQ(wide.maximumX, 5);
  EXPECT_EQ(wide.maximumY, 7);
  EXPECT_EQ(MapPixels(field, wide)[7 * kColumnCount + 5], ScaleColour(1));
  field[5 * kColumnHeight + 7] = 99;
  EXPECT_FALSE(TotalsOf(field).logarithmic);
}

}  // namespace
