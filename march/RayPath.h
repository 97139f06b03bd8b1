// The exact paths of the rays, and where they come near the faces of the
// cells that can contribute: the premises of the fast march's exactness
// (the argument is in FastMarch.h).
//
// For any view, the sample point of sample t of the ray through (x0, y0)
// follows, exactly, functions of its depth z0 = t / 100 - 10:
//   sx = (ax + bx z0) h,  sy = (ay + by z0) h,  sz = az + bz z0,
// with h = p / 2 = (50 - z0) / 65, since the rotation is linear in
// (x0, y0, z0) and the perspective scales x and y after it:
//   ax = x0 cB cC - y0 sA sB cC + y0 cA sC,  bx = cA sB cC + sA sC,
//   ay = y0 cA cC - x0 cB sC + y0 sA sB sC,  by = sA cC - cA sB sC,
//   az = -y0 sA cB - x0 sB,                  bz = cA cB.
// sx and sy are quadratic in z0: each may turn once along a ray, or barely
// move; sz is linear and may barely move. The computed (float)
// coordinates stray from these by less than kPathError, whatever the view.
#pragma once

#include <cstdint>

#include "scene/Scene.h"

// Computed sample coordinates stray from the exact path by a handful of
// float roundings of values below 32 (each below 2e-6), through a rotation
// that does not enlarge them: this is generous, and the tests check it on
// every view they take.
constexpr double kPathError = 2e-5;

// Paths are followed a little beyond the ray's ends, so that samples next
// to a face just outside the ray are looked at too: samples -5 to 2005.
constexpr double kDepthLow = -10.05, kDepthHigh = 10.05;

// One coordinate that a cell index or a slab's value is taken from, along
// the exact path: g = (a + b z0) (50 - z0) / 65 + offset where
// `perspective` (sx, sy and sums of them, scaled), a + b z0 + offset
// where not (sz); kept as c2 z0^2 + c1 z0 + c0, with the depth where it
// turns, if it turns on the extended ray.
struct Track {
  double c2, c1, c0;
  double turn;  // kNoTurn where it does not
  double At(double z0) const { return (c2 * z0 + c1) * z0 + c0; }
};
constexpr double kNoTurn = 1e300;

constexpr Track MakeTrack(double a, double b, double offset, bool perspective) {
  // (a + b z)(50 - z) / 65 = (-b z^2 + (50 b - a) z + 50 a) / 65
  constexpr double k = 1.0 / 65;  // the bounds leave room for an ulp's difference
  Track g = perspective ? Track{-b * k, (50 * b - a) * k, 50 * a * k + offset, kNoTurn}
                        : Track{0, b, a + offset, kNoTurn};
  if (g.c2 != 0) {
    const double turn = -g.c1 / (2 * g.c2);
    if (turn > kDepthLow && turn < kDepthHigh) g.turn = turn;
  }
  return g;
}

// The track scaled and shifted: scale g + offset. It turns where g does.
constexpr Track Scaled(const Track& g, double scale, double offset) {
  return {g.c2 * scale, g.c1 * scale, g.c0 * scale + offset, g.turn};
}

// The exact path of one ray, in the depth z0.
struct RayPath {
  double ax, bx;  // sx = (ax + bx z0) (50 - z0) / 65
  double ay, by;  // sy = (ay + by z0) (50 - z0) / 65
  double az, bz;  // sz = az + bz z0
  Track x, y, z;  // the same as tracks, worked out once per ray
};

RayPath PathOf(const ViewRotation& v, float x0, float y0);

// The depth z0 of sample t, and the perspective half (50 - z0) / 65 there.
// (A product rather than a quotient: the paths are evaluated millions of
// times a frame, and their bounds leave room for far more than the
// difference, an ulp or so.)
constexpr double DepthOf(double t) {
  return t * 0.01 - 10;
}
constexpr double HalfOf(double z0) {
  return (50 - z0) * (1.0 / 65);
}

// The exact coordinates at depth z0, given h = HalfOf(z0): for callers
// that take many rays at the same depths.
inline double PathXAt(const RayPath& path, double z0, double h) {
  return (path.ax + path.bx * z0) * h;
}
inline double PathYAt(const RayPath& path, double z0, double h) {
  return (path.ay + path.by * z0) * h;
}
inline double PathZAt(const RayPath& path, double z0) {
  return path.az + path.bz * z0;
}

// The exact coordinates at sample t (t need not be whole).
inline double PathX(const RayPath& path, double t) {
  return PathXAt(path, DepthOf(t), HalfOf(DepthOf(t)));
}
inline double PathY(const RayPath& path, double t) {
  return PathYAt(path, DepthOf(t), HalfOf(DepthOf(t)));
}
inline double PathZ(const RayPath& path, double t) {
  return PathZAt(path, DepthOf(t));
}

// A stretch of samples (not whole, in general), both ends included.
struct Span {
  double from, to;
};

// Up to a handful of spans, in order, apart.
constexpr int kMaxSpans = 4;
struct Spans {
  Span list[kMaxSpans];
  int count = 0;
};

// Where a track lies within bounds is solved from the roots of its
// quadratic, split where it turns, if it turns on the ray: at most two
// spans. The roots are those of the bounds to within 1e-11 in g, so the
// bounds are widened (or narrowed) by kRootMargin to hold (or stay within)
// the exact set.
constexpr double kRootMargin = 1e-9;

// Where lo <= g <= hi, as `nearby`, a superset widened by the stray, and
// `inside`, a subset narrowed by it (each with the root margin): both from
// the two roots at lo and hi, widened or narrowed by the pace there, where
// the curvature cannot undo that within the stray (as Band), else from
// roots of their own. Only over the depths zFrom to zTo (within the
// extended ray), where a caller already knows the rest lies outside.
void NearAndInside(const Track& g, double lo, double hi, double stray, Spans& nearby,
                   Spans& inside, double zFrom = kDepthLow, double zTo = kDepthHigh);

// The spans in both a and b.
void Intersect(const Spans& a, const Spans& b, Spans& out);

// The exact value of the track at sample t, and its least and greatest
// over a stretch of samples (at the ends or where it turns).
inline double TrackAt(const Track& g, double t) {
  return g.At(DepthOf(t));
}
void TrackRange(const Track& g, double from, double to, double& low, double& high);

// The tracks of a ray's coordinates, in units where a face lies at
// whole numbers: scale s + offset.
inline Track TrackX(const RayPath& p, double scale, double offset) {
  return Scaled(p.x, scale, offset);
}
inline Track TrackY(const RayPath& p, double scale, double offset) {
  return Scaled(p.y, scale, offset);
}
inline Track TrackZ(const RayPath& p, double scale, double offset) {
  return Scaled(p.z, scale, offset);
}

// How far a computed value can stray from its track, in its own units:
// the path's stray times the scale, plus the rounding of the float value
// (half an ulp, below 2^-17 for values below 256, where every face lies).
constexpr double StrayOf(double scale) {
  return kPathError * scale + 0x1p-17;
}

// The samples where a computed value can lie on the other side of face f
// (or on it) than the exact path: where the track lies within the stray of
// f, widened by the root margin; wherever else a computed value is on the
// same side of f as the exact path. Where the track crosses f at a pace
// that the curvature cannot undo within the band, the band is taken from
// the pace there (one root); elsewhere (near where it turns, or a near
// miss) from the roots at both edges. Only over the depths zFrom to zTo,
// as NearAndInside.
void Band(const Track& g, double f, double stray, Spans& out, double zFrom = kDepthLow,
          double zTo = kDepthHigh);

// A text slab's shape, units and place in sample space.
struct SlabShape {
  int columns, rows;
  double scaleX, scaleY, scaleZ;  // layer units per sample unit
  double offsetX, offsetY;        // gx = sx * scaleX + offsetX, gy = (sy + offsetY) * scaleY
  double szLow, szHigh;           // the depth -1 to 2, in sz
  // The pattern (LayerPattern): floor(patternX gx + patternY gy) modulo
  // patternCount.
  int patternX, patternY, patternCount;
};

// gy: sy / 1.5 + 2, (sy + 3.5) * 9 + 5, (sy - 3.5) * 9 + 5.
constexpr SlabShape kSlabShapes[3] = {
    {kWordColumns, kWordRows, 1.8, 1 / 1.5, 1, 12, 3, -1, 2, 1, 1, 2},
    {kStripColumns, kStripRows, 9, 9, 10, 64, 3.5 + 5.0 / 9, -0.1, 0.2, 2, 2, 2},
    {kBannerColumns, kBannerRows, 15, 9, 10, 106, -3.5 + 5.0 / 9, 2.4, 2.7, 2, 1, 4}};

// The slab's columns (gx), rows (gy), depth (sz, in sample units) and
// pattern sum (patternX gx + patternY gy) along a ray, and their strays.
inline Track SlabTrackX(const RayPath& p, const SlabShape& s) {
  return TrackX(p, s.scaleX, s.offsetX);
}
inline Track SlabTrackY(const RayPath& p, const SlabShape& s) {
  return TrackY(p, s.scaleY, s.offsetY * s.scaleY);
}
inline Track SlabTrackZ(const RayPath& p) {
  return TrackZ(p, 1, 0);
}
inline Track PatternTrack(const RayPath& p, const SlabShape& s) {
  const double wx = s.patternX * s.scaleX, wy = s.patternY * s.scaleY;
  return MakeTrack(wx * p.ax + wy * p.ay, wx * p.bx + wy * p.by,
                   s.patternX * s.offsetX + wy * s.offsetY, true);
}
// gz's faces are taken in sz: its stray there is the path's plus gz's
// rounding over its scale (at least 1).
constexpr double kDepthStray = StrayOf(1);
inline double PatternStray(const SlabShape& s) {
  return s.patternX * StrayOf(s.scaleX) + s.patternY * StrayOf(s.scaleY);
}

// The exact slab coordinates at sample t, and the pattern's sum.
inline double SlabX(const RayPath& path, const SlabShape& shape, double t) {
  return PathX(path, t) * shape.scaleX + shape.offsetX;
}
inline double SlabY(const RayPath& path, const SlabShape& shape, double t) {
  return (PathY(path, t) + shape.offsetY) * shape.scaleY;
}
inline double PatternSum(const RayPath& path, const SlabShape& shape, double t) {
  return shape.patternX * SlabX(path, shape, t) + shape.patternY * SlabY(path, shape, t);
}

// The columns and rows of a bitmap between which its lit cells lie, both
// ends included.
struct CellBox {
  int firstColumn, lastColumn, firstRow, lastRow;
};

CellBox LitBox(const int32_t* map, int columns, int rows);

// Whether any ray of a column between two rays' paths (first, last) can come
// near a lit cell of the slab within its depth: the exact paths' extremes
// over the samples within the depth, widened far beyond their stray.
bool SlabInReach(const RayPath& first, const RayPath& last, const SlabShape& shape, CellBox lit);
