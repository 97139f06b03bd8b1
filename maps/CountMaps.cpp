#include "maps/CountMaps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "march/Frame.h"
#include "march/MarchColumns.h"
#include "maps/Viridis.h"

static const char* const kNames[] = {"shaded", "looked", "crossings", "runs"};

bool MapKindNamed(const std::string& name, MapKind& kind) {
  for (int i = 0; i < 4; ++i) {
    if (name == kNames[i]) {
      kind = (MapKind)i;
      return true;
    }
  }
  return false;
}

static uint32_t CountOf(MapKind kind, const MarchCounts& counts) {
  switch (kind) {
    case MapKind::kShaded: return (uint32_t)counts.evaluated;
    case MapKind::kLooked: return (uint32_t)counts.examined;
    case MapKind::kCrossings: return (uint32_t)counts.crossings;
    case MapKind::kRuns:
    default: return (uint32_t)counts.runs;
  }
}

std::vector<uint32_t> CountFrame(MapKind kind, const Frame& frame, int threads,
                                 uint64_t* wholeRays) {
  const MarchContext march = MarchOf(frame);
  std::vector<uint32_t> counts((size_t)kColumnCount * kColumnHeight);
  std::vector<uint32_t> whole(kColumnCount);  // per column: each written by one thread
  const auto countColumn = [&](ContributionLists& lists, int x) {
    std::vector<Accumulator> column(kColumnHeight);
    std::vector<MarchCounts> pixels(kColumnHeight);
    MarchColumnFast(march, x, lists, column.data(), pixels.data());
    for (int y = 0; y < kColumnHeight; ++y) {
      counts[(size_t)x * kColumnHeight + y] = CountOf(kind, pixels[y]);
      whole[x] += (uint32_t)pixels[y].wholeRays;
    }
  };
  ShareColumns(RenderThreadCount(threads), countColumn, nullptr, nullptr);
  if (wholeRays != nullptr) {
    *wholeRays = 0;
    for (uint32_t n : whole) *wholeRays += n;
  }
  return counts;
}

MapTotals TotalsOf(const std::vector<uint32_t>& counts) {
  MapTotals totals = {};
  totals.leastNonZero = UINT32_MAX;
  for (size_t i = 0; i < counts.size(); ++i) {
    totals.sum += counts[i];
    if (counts[i] > totals.maximum) {
      totals.maximum = counts[i];
      totals.maximumX = (int)(i / kColumnHeight), totals.maximumY = (int)(i % kColumnHeight);
    }
    if (counts[i] > 0) totals.leastNonZero = std::min(totals.leastNonZero, counts[i]);
  }
  if (totals.leastNonZero == UINT32_MAX) totals.leastNonZero = 0;
  totals.mean = counts.empty() ? 0 : (double)totals.sum / counts.size();
  std::vector<uint32_t> sorted = counts;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  totals.median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
  totals.logarithmic = totals.leastNonZero > 0 && totals.maximum >= 100u * totals.leastNonZero;
  return totals;
}

uint32_t ScaleColour(double t) {
  const int i = (int)std::lround(std::clamp(t, 0.0, 1.0) * 255);
  const auto channel = [&](int c) { return (uint32_t)std::lround(kViridis[i][c] * 255); };
  return channel(0) << 16 | channel(1) << 8 | channel(2);
}

double ScalePosition(uint32_t count, const MapTotals& totals) {
  const double top = totals.logarithmic ? std::log1p(totals.maximum) : totals.maximum;
  return top == 0 ? 0 : (totals.logarithmic ? std::log1p(count) : count) / top;
}

std::vector<uint32_t> MapPixels(const std::vector<uint32_t>& counts, const MapTotals& totals) {
  std::vector<uint32_t> pixels(counts.size());
  for (int x = 0; x < kColumnCount; ++x) {
    for (int y = 0; y < kColumnHeight; ++y) {
      const uint32_t n = counts[(size_t)x * kColumnHeight + y];
      pixels[(size_t)y * kColumnCount + x] = ScaleColour(ScalePosition(n, totals));
    }
  }
  return pixels;
}

std::string DescribeMap(MapKind kind, const MapTotals& totals, uint64_t wholeRays) {
  char line[400];
  std::snprintf(line, sizeof line,
                "%s per pixel: sum %llu, mean %.2f, median %u, maximum %u at (%d, %d); "
                "rays looked at whole %llu; viridis scale, %s, from 0 (dark) to %u (light)",
                kNames[(int)kind], (unsigned long long)totals.sum, totals.mean, totals.median,
                totals.maximum, totals.maximumX, totals.maximumY, (unsigned long long)wholeRays,
                totals.logarithmic ? "logarithmic (log(1 + count))" : "linear", totals.maximum);
  return line;
}
