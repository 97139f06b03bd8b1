// A ray's crossings of one occupied voxel cell's faces, and what a group
// of neighbouring rays shares of them.
#include <algorithm>

#include "march/Events.h"

// The depths where a linear track (sz) lies within [lo, hi]: [from, to],
// beyond the extended ray too; empty where from > to.
static void DepthsWithin(const Track& z, double lo, double hi, double& from, double& to) {
  if (z.c1 != 0) {
    const double z1 = (lo - z.c0) / z.c1, z2 = (hi - z.c0) / z.c1;
    from = std::min(z1, z2), to = std::max(z1, z2);
  } else if (z.c0 < lo || z.c0 > hi) {
    from = kDepthHigh, to = kDepthLow;
  } else {
    from = kDepthLow, to = kDepthHigh;
  }
}

// Why the outer rays decide for the group: FastMarch.h, 2. Their sz tracks
// are parallel (the same slope bz), so every ray's depths near the cell's
// sz faces lie within the span of the outer rays'; and over that span
// each ray's sx (and sy) within the least and greatest of the outer
// rays'. The faces take one more root margin for the roundings of the
// tracks' coefficients (below 1e-13).
void GroupCellsOf(const RayPath& first, const RayPath& last, const GroupPlan& plan,
                  GroupCells& cells) {
  const RayPath* outer[2] = {&first, &last};
  cells.count = 0;
  if (plan.tooMany) return;
  const double margin = StrayOf(1) + kRootMargin, groupMargin = margin + kRootMargin;
  const Track z[2] = {TrackZ(*outer[0], 1, 25), TrackZ(*outer[1], 1, 25)};
  // sz = c0 + c1 z0 with c1 the same for every ray: the group's depths
  // within [lo, hi] run from where the ray of greatest c0 reaches lo to
  // where the ray of least c0 leaves hi (or the other way round where c1
  // is negative). A product with the reciprocal is within an ulp or two of
  // the quotient, far within the root margin.
  const double c1 = z[0].c1, inverse = c1 != 0 ? 1 / c1 : 0;
  const double c0Low = std::min(z[0].c0, z[1].c0), c0High = std::max(z[0].c0, z[1].c0);
  const Track x[2] = {TrackX(*outer[0], 1, 25), TrackX(*outer[1], 1, 25)};
  const Track y[2] = {TrackY(*outer[0], 1, 25), TrackY(*outer[1], 1, 25)};
  for (int c = 0; c < plan.candidateCount; ++c) {
    const int cell = plan.candidates[c];
    const auto [i, j, k] = CellIndicesOf(cell);
    // The span of the outer rays' depths before it is cut to the extended
    // ray: cut first, rays between two that miss it at either end would be
    // left out.
    const double lo = k - groupMargin, hi = k + 1 + groupMargin;
    double zFrom = kDepthLow, zTo = kDepthHigh;
    if (c1 != 0) {
      const double a = (lo - c0High) * inverse, b = (hi - c0Low) * inverse;
      zFrom = std::max(std::min(a, b), kDepthLow), zTo = std::min(std::max(a, b), kDepthHigh);
    } else if (c0High < lo || c0Low > hi) {
      continue;
    }
    if (zFrom > zTo) continue;
    // Both outer rays' ranges, with the group's between them.
    const double from = (zFrom + 10) * 100, to = (zTo + 10) * 100;
    unsigned inside = 0;
    bool near = true;
    for (int a = 0; a < 2 && near; ++a) {
      const Track* tracks = a == 0 ? x : y;
      const int face = a == 0 ? i : j;
      double low0, high0, low1, high1;
      TrackRange(tracks[0], from, to, low0, high0);
      TrackRange(tracks[1], from, to, low1, high1);
      const double low = std::min(low0, low1), high = std::max(high0, high1);
      near = !(high < face - groupMargin || low > face + 1 + groupMargin);
      if (low >= face + groupMargin && high <= face + 1 - groupMargin) inside |= 1u << a;
    }
    if (near) cells.list[cells.count++] = {cell, inside};
  }
}

// A computed sample falls in the cell where each of its three shifted
// coordinates, float(s + 25), lies in [f, f + 1) for the cell's faces f.
// Each strays from the exact path's by less than StrayOf(1), so where the
// exact path lies within the faces narrowed by the stray (`inside`) every
// computed sample is in the cell, and where it lies outside them widened
// by the stray (beyond `nearby`) none is. Only the samples between are
// looked at. Along each axis these are at most two spans (the coordinate
// turns at most once), whatever the view.
void CellEvents(const RayPath& path, int cell, unsigned insideAxes, Events& events) {
  const auto [i, j, k] = CellIndicesOf(cell);
  // sz first: linear, and the cheapest to rule a cell out with.
  const Track tracks[3] = {TrackZ(path, 1, 25), TrackX(path, 1, 25), TrackY(path, 1, 25)};
  const int faces[3] = {k, i, j};
  const double stray = StrayOf(1), margin = stray + kRootMargin;
  // Axes 1 and 2 (sx, sy) that the group found the ray inside along.
  const unsigned skip = insideAxes << 1;
  // Most cells near a group of rays lie clear of each one: ruled out from
  // the depths where sz (linear) lies within the cell's faces widened by
  // the stray, and the ranges of sx and sy there, before any root.
  double zFrom, zTo;
  DepthsWithin(tracks[0], faces[0] - margin, faces[0] + 1 + margin, zFrom, zTo);
  zFrom = std::max(zFrom, kDepthLow), zTo = std::min(zTo, kDepthHigh);
  if (zFrom > zTo) return;
  for (int a = 1; a < 3; ++a) {
    if (skip >> a & 1) continue;
    double low, high;
    TrackRange(tracks[a], (zFrom + 10) * 100, (zTo + 10) * 100, low, high);
    if (high < faces[a] - margin || low > faces[a] + 1 + margin) return;
  }
  // The other axes only over the depths where sz is near the cell; an axis
  // the ray is inside along all over them bounds neither set.
  Spans nearby, inside, axisNear, axisInside;
  for (int a = 0; a < 3; ++a) {
    if (skip >> a & 1) continue;
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
