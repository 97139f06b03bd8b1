// Maps of where the fast march's work goes: per pixel, the samples it
// shaded, the samples it looked at one by one, the crossings it worked out
// and the runs it shaded, as false-colour images on the viridis scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "march/Frame.h"
#include "scene/Scene.h"

enum class MapKind { kShaded, kLooked, kCrossings, kRuns };

// The kind of map of that name ("shaded", "looked", "crossings", "runs");
// false for any other.
bool MapKindNamed(const std::string& name, MapKind& kind);

// The count of every pixel, in frame-store order (column by column), from
// the fast march itself over the built frame on `threads` threads (0: one
// per core); and, if asked, how many rays were looked at whole (beyond the
// march's bounds: every sample looked at).
std::vector<uint32_t> CountFrame(MapKind kind, const Frame& frame, int threads,
                                 uint64_t* wholeRays = nullptr);

struct MapTotals {
  uint64_t sum;
  double mean;
  uint32_t median, maximum;
  int maximumX, maximumY;  // the first pixel with the maximum
  uint32_t leastNonZero;   // 0 where every count is 0
  bool logarithmic;        // the scale: where the counts span two decades or more
};

MapTotals TotalsOf(const std::vector<uint32_t>& counts);

// Where a count lies on the scale, 0 to 1: 0 at its dark end, the maximum
// at its light end, linearly or by log(1 + count).
double ScalePosition(uint32_t count, const MapTotals& totals);

// The colour (0x00RRGGBB) of position t, 0 to 1, on the scale.
uint32_t ScaleColour(double t);

// Top-down 0x00RRGGBB rows of the counts on the scale.
std::vector<uint32_t> MapPixels(const std::vector<uint32_t>& counts, const MapTotals& totals);

// The totals, the rays looked at whole and the scale in words, one line,
// for stderr and the PNG.
std::string DescribeMap(MapKind kind, const MapTotals& totals, uint64_t wholeRays);
