// A ray's crossings of one occupied voxel cell's faces.
#include <algorithm>

#include "march/Events.h"

// Where the ray's exact path is inside the cell: from its last entry to
// its first exit, over the three axes.
void CellEvents(const RayPath& path, int cell, double window, Events& events) {
  const auto [i, j, k] = CellIndicesOf(cell);
  // sz climbs through the cell's depth.
  double lo = std::max(CrossZ(path, k - 25), -2.0), hi = std::min(CrossZ(path, k - 24), 2002.0);
  if (lo > hi) return;
  // sx and sy fall through [i - 25, i - 24) and [j - 25, j - 24). A path
  // still above the cell a sample after the last entry, or already below it
  // a sample before, passes it by more than a sample.
  const auto axis = [&](double (*at)(const RayPath&, double),
                        double (*cross)(const RayPath&, double), double bottom) {
    if (at(path, hi + 1) > bottom + 1 || at(path, lo - 1) < bottom) return false;
    if (at(path, lo) > bottom + 1) lo = std::max(lo, cross(path, bottom + 1));
    if (at(path, hi) < bottom) hi = std::min(hi, cross(path, bottom));
    return true;
  };
  if (!axis(PathX, CrossX, i - 25) || !axis(PathY, CrossY, j - 25)) return;
  // Only a sample within the window of both an entry and an exit can fall
  // in the cell the exact path misses.
  if (hi < lo - 2 * window) return;
  if (hi >= lo) {
    events.Add(CellCrossing(Event::kEnter, lo, cell));
    events.Add(CellCrossing(Event::kLeave, hi, cell));
  } else {
    events.Add(NearMiss(hi, lo));
  }
}
