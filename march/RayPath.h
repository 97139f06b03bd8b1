// The exact paths of the rays, and where they cross the faces of the
// cells that can contribute: the premises of the fast march's exactness
// (the argument is in FastMarch.h).
//
// With the third rotation angle 0, the sample point of sample t of the ray
// through (x0, y0) follows, exactly, polynomials in its depth
// z0 = t / 100 - 10:
//   sx = (x0 cB - y0 sA sB + z0 cA sB) h,  sy = (y0 cA + z0 sA) h,
//   sz = z0 cA cB - y0 sA cB - x0 sB,       with h = p / 2 = (50 - z0) / 65.
// The computed (float) coordinates stray from these by less than
// kPathError. For the scene's rotation each coordinate moves one way only
// along every ray (sx and sy fall, sz climbs), never slower than a bound,
// so the sample where a coordinate passes a cell face is known from the
// polynomial to a fraction of a sample.
#pragma once

#include "scene/Scene.h"

// Computed sample coordinates stray from the exact path by a handful of
// float roundings of values below 17 (under 1e-6 each): this is generous,
// and the tests check it.
constexpr double kPathError = 2e-5;

// The exact path of one ray, in the depth z0.
struct RayPath {
  double ax, bx;  // sx = (ax + bx z0) (50 - z0) / 65
  double ay, by;  // sy = (ay + by z0) (50 - z0) / 65
  double az, bz;  // sz = az + bz z0
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

// The sample t (not whole, in general) where the exact coordinate passes
// the value s. sx and sy fall along the ray, sz climbs. A crossing before
// sample -5 or after sample 2005 gives -kNever or kNever.
constexpr double kNever = 1e6;
double CrossX(const RayPath& path, double s);
double CrossY(const RayPath& path, double s);
double CrossZ(const RayPath& path, double s);

// A bound, in samples, on how far the sample where a computed coordinate
// (or a cell index or slab coordinate taken from it) changes lies from the
// crossing of the exact path: below 1/2, or negative where the rotation
// breaks the premises (third angle not 0, or a coordinate that does not
// move one way at a bounded pace), in which case every sample must be
// looked at.
double CrossingError(const ViewRotation& v);

// The same bound for one ray, from its own least paces rather than the
// slowest ray's: several times smaller for most rays. Only for a rotation
// with a crossing bound (CrossingError >= 0), which it never exceeds.
double RayCrossingError(const RayPath& path);

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

// The exact slab coordinates at sample t, and the pattern's sum
// patternX gx + patternY gy, which falls along every ray as gx and gy do.
inline double SlabX(const RayPath& path, const SlabShape& shape, double t) {
  return PathX(path, t) * shape.scaleX + shape.offsetX;
}
inline double SlabY(const RayPath& path, const SlabShape& shape, double t) {
  return (PathY(path, t) + shape.offsetY) * shape.scaleY;
}
inline double PatternSum(const RayPath& path, const SlabShape& shape, double t) {
  return shape.patternX * SlabX(path, shape, t) + shape.patternY * SlabY(path, shape, t);
}

// The sample where the pattern's sum passes n, as CrossX. Computed pattern
// sums (of computed gx and gy, exactly) stray from it by at most
// patternX and patternY times gx's and gy's strays, while it falls at
// patternX and patternY times their paces, so CrossingError bounds these
// crossings too.
double CrossPattern(const RayPath& path, const SlabShape& shape, double n);

// The columns and rows of a bitmap between which its lit cells lie, both
// ends included.
struct CellBox {
  int firstColumn, lastColumn, firstRow, lastRow;
};

CellBox LitBox(const int32_t* map, int columns, int rows);

// Whether any ray of a column between two rays' paths (ends) can come
// near a lit cell of the slab within its depth: the exact paths' extremes
// over the samples within the depth, widened far beyond their stray. Only
// for a rotation with a crossing bound (CrossingError >= 0).
bool SlabInReach(const RayPath (&ends)[2], const SlabShape& shape, CellBox lit);
