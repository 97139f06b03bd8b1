// The maps of the fast march's work: their counts are the march's own (the
// benchmark's totals, the straightforward march's blending samples pixel
// for pixel), and their colour scale is viridis, dark to light.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "march/MarchColumns.h"
#include "tests/BuiltScene.h"
#include "maps/CountMaps.h"
#include "maps/MapLegend.h"
#include "maps/Viridis.h"

namespace {

// The totals the benchmark prints for the frame.
TEST(CountMaps, TotalsAreTheMarchsOwnOnAnyThreadCount) {
  const struct {
    MapKind kind;
    uint64_t sum;
  } expected[] = {{MapKind::kShaded, 62027692},
                  {MapKind::kLooked, 18760},
                  {MapKind::kCrossings, 1978226},
                  {MapKind::kRuns, 994587}};
  for (const auto& [kind, sum] : expected) {
    const std::vector<uint32_t> one = CountFrame(kind, TheScene(), 1);
    EXPECT_EQ(TotalsOf(one).sum, sum) << (int)kind;
    EXPECT_EQ(CountFrame(kind, TheScene(), 3), one) << (int)kind;
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
  const std::vector<uint32_t> one = CountFrame(MapKind::kRuns, TheScene(), 1);
  const auto start = pfnStartWorker;
  pfnStartWorker = FirstOnly;
  const std::vector<uint32_t> some = CountFrame(MapKind::kRuns, TheScene(), 4);
  pfnStartWorker = start;
  EXPECT_EQ(started, 2);  // the first started, the second could not
  EXPECT_EQ(some, one);
}

// On whole columns, the shaded map's count of every pixel is the number of
// samples that blend into it in the straightforward march.
TEST(CountMaps, ShadedCountsAreTheBlendingSamplesPixelForPixel) {
  const Frame& b = TheScene();
  // With the scalar kernels: the counts are the march's, whichever set shades.
  const auto scalar = std::make_unique<Frame>();
  BuildFrame(*scalar, kImageView, "scalar");
  const std::vector<uint32_t> counts = CountFrame(MapKind::kShaded, *scalar, 2);
  for (int x : {137, 512, 777}) {
    for (int y = 0; y < kColumnHeight; ++y) {
      ASSERT_EQ(counts[(size_t)x * kColumnHeight + y], (uint32_t)ContributingSamples(b.scene, x, y))
          << "pixel " << x << ", " << y;
    }
  }
}

// The maps work through any view: on whole columns of the staircase view,
// the shaded map's count is that view's blending samples.
TEST(CountMaps, ShadedCountsFollowTheViewGiven) {
  const auto staircase = std::make_unique<Frame>();
  BuildFrame(*staircase, {0.3f, -1.1f, 0.7f}, "scalar");
  const std::vector<uint32_t> counts = CountFrame(MapKind::kShaded, *staircase, 2);
  EXPECT_NE(counts, CountFrame(MapKind::kShaded, TheScene(), 2));
  for (int x : {300, 512}) {
    for (int y = 0; y < kColumnHeight; ++y) {
      ASSERT_EQ(counts[(size_t)x * kColumnHeight + y],
                (uint32_t)ContributingSamples(staircase->scene, x, y))
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

// A number the legend wrote: its value and its first column.
struct Written {
  uint64_t value;
  int left;
};

// Reads the numbers in the legend's label rows back with the digit font:
// every lit pixel must belong to a digit, each digit exactly a glyph.
std::vector<Written> ReadLabels(const std::vector<uint32_t>& strip, std::string& trouble) {
  const int width = kColumnCount;
  const auto lit = [&](int x, int y) {
    return x >= 0 && x < width && y >= kLabelTop && y < kLabelTop + kDigitHeight &&
           strip[(size_t)y * width + x] == kLegendInk;
  };
  const auto columnLit = [&](int x) {
    for (int y = kLabelTop; y < kLabelTop + kDigitHeight; ++y)
      if (lit(x, y)) return true;
    return false;
  };
  // The glyph whose cells match the pixels from column left, or -1.
  const auto digitAt = [&](int left) {
    for (int d = 0; d < 10; ++d) {
      bool same = true;
      for (int row = 0; row < 7 && same; ++row)
        for (int c = 0; c < 5 && same; ++c)
          for (int py = 0; py < kDigitScale && same; ++py)
            for (int px = 0; px < kDigitScale && same; ++px)
              same = lit(left + c * kDigitScale + px, kLabelTop + row * kDigitScale + py) ==
                     (kDigitGlyphs[d][row][c] == '#');
      if (same) return d;
    }
    return -1;
  };
  std::vector<Written> numbers;
  for (int x = 0; x < width; ++x) {
    if (!columnLit(x)) continue;
    // x is a number's first lit column; its first glyph may begin with
    // unlit cells.
    bool read = false;
    for (int start = x - 4 * kDigitScale; start <= x && !read; start += kDigitScale) {
      uint64_t value = 0;
      int at = start;
      for (int d; (d = digitAt(at)) >= 0; at += kDigitAdvance) {
        value = value * 10 + (uint64_t)d;
        for (int c = at + kDigitWidth; c < at + kDigitAdvance; ++c) {
          if (!columnLit(c)) continue;
          trouble = "lit pixels between digits at column " + std::to_string(c);
          return numbers;
        }
      }
      if (at == start) continue;
      numbers.push_back({value, start});
      x = at - 1, read = true;
    }
    if (!read) {
      trouble = "lit pixels at column " + std::to_string(x) + " are no number";
      return numbers;
    }
  }
  return numbers;
}

// The map's own pixels stay on top, the image's size, and the strip below
// holds the bar and the scale's numbers: from 0 at the bar's left end to
// the maximum at its right, each written under a tick at its place on the
// bar, on a linear and on a logarithmic scale.
TEST(MapLegend, TheMapStaysOnTopAndTheStripReadsTheScale) {
  const auto field = [](std::initializer_list<std::pair<int, uint32_t>> spots) {
    std::vector<uint32_t> counts((size_t)kColumnCount * kColumnHeight, 1);
    for (auto [i, n] : spots) counts[i] = n;
    return counts;
  };
  const std::vector<uint32_t> fields[] = {
      field({{5, 30}, {7, 0}}),      field({{9, 686}, {10, 0}}), field({{3, 4000000000u}}),
      field({{4, 2}}),               field({{4, 99}, {8, 17}})};
  for (const std::vector<uint32_t>& counts : fields) {
    const MapTotals totals = TotalsOf(counts);
    SCOPED_TRACE("maximum " + std::to_string(totals.maximum));
    const std::vector<uint32_t> map = MapPixels(counts, totals);
    const std::vector<uint32_t> pixels = MapWithLegend(counts, totals);
    ASSERT_EQ(pixels.size(), (size_t)kColumnCount * (kColumnHeight + kLegendHeight));
    ASSERT_TRUE(std::equal(map.begin(), map.end(), pixels.begin()));
    const std::vector<uint32_t> strip(pixels.begin() + map.size(), pixels.end());
    std::string trouble;
    const std::vector<Written> numbers = ReadLabels(strip, trouble);
    ASSERT_EQ(trouble, "");
    ASSERT_GE(numbers.size(), 2u);
    EXPECT_EQ(numbers.front().value, 0u);
    EXPECT_EQ(numbers.back().value, totals.maximum);
    // The ticks, left to right, one per number.
    std::vector<int> ticks;
    for (int x = 0; x < kColumnCount; ++x)
      if (strip[(size_t)kBarBottom * kColumnCount + x] == kLegendInk) ticks.push_back(x);
    ASSERT_EQ(ticks.size(), numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (i > 0) {
        EXPECT_LT(numbers[i - 1].value, numbers[i].value);
      }
      // The bar above the tick has the colour the map gives that count.
      const double t = ScalePosition((uint32_t)numbers[i].value, totals);
      const double pixel = 1.0 / (kBarRight - kBarLeft);
      const uint32_t bar = strip[(size_t)kBarTop * kColumnCount + ticks[i]];
      EXPECT_TRUE(bar == ScaleColour(t) || bar == ScaleColour(t - pixel) ||
                  bar == ScaleColour(t + pixel))
          << numbers[i].value << " at column " << ticks[i];
    }
    EXPECT_EQ(ticks.front(), kBarLeft);
    EXPECT_EQ(ticks.back(), kBarRight);
    EXPECT_EQ(strip[(size_t)kBarTop * kColumnCount + kBarLeft], ScaleColour(0));
    EXPECT_EQ(strip[(size_t)kBarTop * kColumnCount + kBarRight], ScaleColour(1));
  }
}

// A map of one count is one colour, and so is its bar: one number, 0.
TEST(MapLegend, AMapOfZerosHasOneColourAndOneNumber) {
  const std::vector<uint32_t> counts((size_t)kColumnCount * kColumnHeight, 0);
  const std::vector<uint32_t> pixels = MapWithLegend(counts, TotalsOf(counts));
  const std::vector<uint32_t> strip(pixels.end() - (size_t)kColumnCount * kLegendHeight,
                                    pixels.end());
  for (int x = kBarLeft; x <= kBarRight; ++x)
    ASSERT_EQ(strip[(size_t)kBarTop * kColumnCount + x], ScaleColour(0)) << x;
  std::string trouble;
  const std::vector<Written> numbers = ReadLabels(strip, trouble);
  EXPECT_EQ(trouble, "");
  ASSERT_EQ(numbers.size(), 1u);
  EXPECT_EQ(numbers[0].value, 0u);
}

}  // namespace
