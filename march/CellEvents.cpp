// A ray's crossings of one occupied voxel cell's faces.
#include "march/Events.h"

// A computed sample falls in the cell where each of its three shifted
// coordinates, float(s + 25), lies in [f, f + 1) for the cell's faces f.
// Each strays from the exact path's by less than StrayOf(1), so where the
// exact path lies within the faces narrowed by the stray (`inside`) every
// computed sample is in the cell, and where it lies outside them widened
// by the stray (beyond `near`) none is. Only the samples between are
// looked at. Along each axis these are at most two spans (the coordinate
// turns at most once), whatever the view.
void CellEvents(const RayPath& path, int cell, Events& events) {
  const auto [i, j, k] = CellIndicesOf(cell);
  // sz first: linear, and the cheapest to rule a cell out with.
  const Track tracks[3] = {TrackZ(path, 1, 25), TrackX(path, 1, 25), TrackY(path, 1, 25)};
  const int faces[3] = {k, i, j};
  const double stray = StrayOf(1) + kRootMargin;
  Spans near, inside, axis;
  for (int a = 0; a < 3; ++a) {
    Preimage(tracks[a], faces[a] - stray, faces[a] + 1 + stray, axis);
    if (a == 0)
      near = axis;
    else
      Intersect(near, axis, near);
    if (near.count == 0) return;
  }
  for (int a = 0; a < 3 && (a == 0 || inside.count > 0); ++a) {
    Preimage(tracks[a], faces[a] + stray, faces[a] + 1 - stray, axis);
    if (a == 0)
      inside = axis;
    else
      Intersect(inside, axis, inside);
  }
  // Each span inside lies within one near.
  int s = 0;
  for (int n = 0; n < near.count; ++n) {
    double from = near.list[n].from;
    for (; s < inside.count && inside.list[s].from <= near.list[n].to; ++s) {
      events.Add(Look(from, inside.list[s].from));
      events.Add(CellCrossing(Event::kEnter, inside.list[s].from, cell));
      events.Add(CellCrossing(Event::kLeave, inside.list[s].to, cell));
      from = inside.list[s].to;
    }
    events.Add(Look(from, near.list[n].to));
  }
}
