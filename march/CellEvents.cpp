// A ray's crossings of one occupied voxel cell's faces.
#include <algorithm>

#include "march/Events.h"

// A computed sample falls in the cell where each of its three shifted
// coordinates, float(s + 25), lies in [f, f + 1) for the cell's faces f.
// Each strays from the exact path's by less than StrayOf(1), so where the
// exact path lies within the faces narrowed by the stray (`inside`) every
// computed sample is in the cell, and where it lies outside them widened
// by the stray (beyond `nearby`) none is. Only the samples between are
// looked at. Along each axis these are at most two spans (the coordinate
// turns at most once), whatever the view.
void CellEvents(const RayPath& path, int cell, Events& events) {
  const auto [i, j, k] = CellIndicesOf(cell);
  // sz first: linear, and the cheapest to rule a cell out with.
  const Track tracks[3] = {TrackZ(path, 1, 25), TrackX(path, 1, 25), TrackY(path, 1, 25)};
  const int faces[3] = {k, i, j};
  const double stray = StrayOf(1), margin = stray + kRootMargin;
  // Most cells near a group of rays lie clear of each one: ruled out from
  // the depths where sz (linear) lies within the cell's faces widened by
  // the stray, and the ranges of sx and sy there, before any root.
  double zFrom = kDepthLow, zTo = kDepthHigh;
  const Track& z = tracks[0];
  if (z.c1 != 0) {
    const double z1 = (faces[0] - margin - z.c0) / z.c1, z2 = (faces[0] + 1 + margin - z.c0) / z.c1;
    zFrom = std::max(std::min(z1, z2), kDepthLow), zTo = std::min(std::max(z1, z2), kDepthHigh);
    if (zFrom > zTo) return;
  } else if (z.c0 < faces[0] - margin || z.c0 > faces[0] + 1 + margin) {
    return;
  }
  for (int a = 1; a < 3; ++a) {
    double low, high;
    TrackRange(tracks[a], (zFrom + 10) * 100, (zTo + 10) * 100, low, high);
    if (high < faces[a] - margin || low > faces[a] + 1 + margin) return;
  }
  // The other axes only over the depths where sz is near the cell.
  Spans nearby, inside, axisNear, axisInside;
  for (int a = 0; a < 3; ++a) {
    NearAndInside(tracks[a], faces[a], faces[a] + 1, stray, axisNear, axisInside, zFrom, zTo);
    if (a == 0) {
      nearby = axisNear, inside = axisInside;
    } else {
      Intersect(nearby, axisNear, nearby);
      Intersect(inside, axisInside, inside);
    }
    if (nearby.count == 0) return;
  }
  // Each span inside lies within one nearby.
  int s = 0;
  for (int n = 0; n < nearby.count; ++n) {
    double from = nearby.list[n].from;
    for (; s < inside.count && inside.list[s].from <= nearby.list[n].to; ++s) {
      events.AddLook(from, inside.list[s].from);
      events.Add(CellCrossing(Event::kEnter, inside.list[s].from, cell));
      events.Add(CellCrossing(Event::kLeave, inside.list[s].to, cell));
      from = inside.list[s].to;
    }
    events.AddLook(from, nearby.list[n].to);
  }
}
