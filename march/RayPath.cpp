// The rays' exact paths and their crossings with cell faces.
#include "march/RayPath.h"

#include <algorithm>
#include <cmath>

// Crossings are sought a little beyond the ray's ends, so that the samples
// next to a crossing just outside the ray are looked at too.
constexpr double kDepthLow = -10.05, kDepthHigh = 10.05;

static double SampleOf(double z0) {
  return (z0 + 10) * 100;
}

RayPath PathOf(const ViewRotation& v, float x0, float y0) {
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  return {x0 * cB - y0 * sA * sB, cA * sB, y0 * cA, sA, -y0 * sA * cB - x0 * sB, cA * cB};
}

// Where (a + b z0)(50 - z0) / 65, falling over the extended ray, passes s:
// the root of -b z0^2 + (50 b - a) z0 + 50 a - 65 s within the bracket
// (the other lies outside: the function falls all through it), by the
// stable form of the formula. The discriminant is the square of the slope
// at the root, which the pace bounds from below, so its rounding costs the
// root only a few units in the last place.
static double CrossFalling(double a, double b, double s) {
  const auto f = [&](double z0) { return (a + b * z0) * (50 - z0) - 65 * s; };
  if (f(kDepthLow) < 0) return -kNever;
  if (f(kDepthHigh) > 0) return kNever;
  const double A = -b, B = 50 * b - a, C = 50 * a - 65 * s;
  double z0;
  if (std::fabs(A) < 1e-12) {
    z0 = -C / B;
  } else {
    const double q = -0.5 * (B + std::copysign(std::sqrt(std::max(B * B - 4 * A * C, 0.0)), B));
    z0 = C / q;
    if (!(z0 >= kDepthLow && z0 <= kDepthHigh)) z0 = q / A;
  }
  return SampleOf(std::clamp(z0, kDepthLow, kDepthHigh));
}

double CrossX(const RayPath& path, double s) {
  return CrossFalling(path.ax, path.bx, s);
}

double CrossY(const RayPath& path, double s) {
  return CrossFalling(path.ay, path.by, s);
}

double CrossPattern(const RayPath& path, const SlabShape& shape, double n) {
  // gx and gy are (a + b z0) h times their scales, plus constants.
  const double wx = shape.patternX * shape.scaleX, wy = shape.patternY * shape.scaleY;
  const double constant = shape.patternX * shape.offsetX + wy * shape.offsetY;
  return CrossFalling(wx * path.ax + wy * path.ay, wx * path.bx + wy * path.by, n - constant);
}

double CrossZ(const RayPath& path, double s) {
  const double z0 = (s - path.az) / path.bz;
  if (z0 < kDepthLow) return -kNever;
  if (z0 > kDepthHigh) return kNever;
  return SampleOf(z0);
}

// The least fall of (a + b z0)(50 - z0) / 65 per unit of z0, over the
// extended ray: its slope is linear in z0, so the least is at an end.
// Negative if it does not always fall.
static double LeastFallOf(double a, double b) {
  return std::min(-(50 * b - a - 2 * b * kDepthLow) / 65, -(50 * b - a - 2 * b * kDepthHigh) / 65);
}

// The same for every a from -aMost to aMost: linear in a too, so the least
// is at a corner.
static double LeastFall(double aMost, double b) {
  return std::min(LeastFallOf(-aMost, b), LeastFallOf(aMost, b));
}

// A coordinate g = s * scale + offset, rounded to float (and a cell index
// from it), moves at scale times the exact pace per sample (z0 steps by
// 0.01) and strays from the exact g by scale times the path's stray plus
// the rounding of g (half an ulp: below 256 at most 2^-17). The voxel
// grid's s + 25 is the case of scale 1. So the bound, in samples, is
// stray(scale) / pace, with stray(scale) = (kPathError + 2^-17 / scale) /
// 0.01 largest at each axis's least scale: 1 for x and z, the word's
// 1 / 1.5 for y.
static constexpr double StrayOver(double leastScale) {
  return (kPathError + 0x1p-17 / leastScale) / 0.01;
}
static constexpr double kStrayX = StrayOver(1), kStrayY = StrayOver(1 / 1.5),
                        kStrayZ = StrayOver(1);
static_assert(kSlabShapes[0].scaleX >= 1 && kSlabShapes[1].scaleX >= 1 &&
              kSlabShapes[2].scaleX >= 1);
static_assert(kSlabShapes[0].scaleY >= 1 / 1.5 && kSlabShapes[1].scaleY >= 1 / 1.5 &&
              kSlabShapes[2].scaleY >= 1 / 1.5);
static_assert(kSlabShapes[0].scaleZ >= 1 && kSlabShapes[1].scaleZ >= 1 &&
              kSlabShapes[2].scaleZ >= 1);

static double ErrorOfPaces(double fallX, double fallY, double climbZ) {
  return std::max({kStrayX / fallX, kStrayY / fallY, kStrayZ / climbZ});
}

double CrossingError(const ViewRotation& v) {
  if (!(v.sinC == 0.0f && v.cosC == 1.0f)) return -1;
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  // Over every ray: x0 and y0 lie within -10 to 10.
  const double fallX = LeastFall(10 * std::fabs(cB) + 10 * std::fabs(sA * sB), cA * sB);
  const double fallY = LeastFall(10 * std::fabs(cA), sA);
  const double climbZ = cA * cB;
  if (!(fallX > 0 && fallY > 0 && climbZ > 0)) return -1;
  const double error = ErrorOfPaces(fallX, fallY, climbZ);
  return error < 0.45 ? error : -1;
}

double RayCrossingError(const RayPath& path) {
  // sz climbs at bz per unit of z0 on every ray.
  return ErrorOfPaces(LeastFallOf(path.ax, path.bx), LeastFallOf(path.ay, path.by), path.bz);
}

CellBox LitBox(const int32_t* map, int columns, int rows) {
  CellBox box = {columns, -1, rows, -1};
  for (int column = 0; column < columns; ++column) {
    for (int row = 0; row < rows; ++row) {
      if (map[column * rows + row] != 1) continue;
      box.firstColumn = std::min(box.firstColumn, column);
      box.lastColumn = std::max(box.lastColumn, column);
      box.firstRow = std::min(box.firstRow, row);
      box.lastRow = std::max(box.lastRow, row);
    }
  }
  return box;
}

bool SlabInReach(const RayPath (&ends)[2], const SlabShape& shape, CellBox lit) {
  if (lit.lastColumn < 0) return false;
  // The depths z0 where the paths lie within the slab's depth, widened by
  // far more than the stray. sz is linear in y0, so the outer rays bound it.
  double from = kDepthHigh, to = kDepthLow;
  for (const RayPath& path : ends) {
    from = std::min(from, DepthOf(CrossZ(path, shape.szLow - 1e-3)) - 0.02);
    to = std::max(to, DepthOf(CrossZ(path, shape.szHigh + 1e-3)) + 0.02);
  }
  from = std::max(from, kDepthLow), to = std::min(to, kDepthHigh);
  if (from > to) return false;
  // sx and sy fall along each ray and are linear in y0, so their extremes
  // over the rays and depths lie at the corners.
  double sxLow = 1e9, sxHigh = -1e9, syLow = 1e9, syHigh = -1e9;
  for (const RayPath& path : ends) {
    for (double z0 : {from, to}) {
      const double h = HalfOf(z0);
      const double sx = PathXAt(path, z0, h), sy = PathYAt(path, z0, h);
      sxLow = std::min(sxLow, sx), sxHigh = std::max(sxHigh, sx);
      syLow = std::min(syLow, sy), syHigh = std::max(syHigh, sy);
    }
  }
  // In the slab's columns and rows; the margin covers the stray and the
  // rounding of gx and gy many times over.
  const double margin = 0.01;
  const double gxLow = sxLow * shape.scaleX + shape.offsetX - margin;
  const double gxHigh = sxHigh * shape.scaleX + shape.offsetX + margin;
  const double gyLow = (syLow + shape.offsetY) * shape.scaleY - margin;
  const double gyHigh = (syHigh + shape.offsetY) * shape.scaleY + margin;
  return !(gxHigh < lit.firstColumn || gxLow > lit.lastColumn + 1 || gyHigh < lit.firstRow ||
           gyLow > lit.lastRow + 1);
}
