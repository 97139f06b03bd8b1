// The fast march: the same samples as MarchPixel wherever one can
// contribute, evaluated by the same functions; runs of samples that cannot
// contribute are skipped.
//
// Why a skip is safe. Along a ray, each coordinate of the sample point is
// (exactly) a polynomial of degree at most 2 in the depth z0, so from one
// sample to the next it moves at most a bound that BoundRayStep computes
// per ray and per axis. The computed (float) coordinates stray from that
// path by less than kPathError. A sample that does not contribute lies some
// distance, per axis, from every box in which a sample can contribute (an
// occupied voxel cell; a lit bitmap cell within its slab's depth). The
// samples after it cannot enter such a box before their movement, plus
// twice the stray, covers the gap in every axis: that many are skipped.
#include "render/FastMarch.h"

#include <algorithm>
#include <cmath>

// Computed sample coordinates stray from the exact path by a handful of
// float roundings of values below 17 (under 1e-6 each): 2e-5 is generous.
constexpr double kPathError = 2e-5;
// Gaps are shrunk by this much before dividing by the step: more than twice
// the stray, in the voxel grid also the rounding of s + 25 (2e-6), in the
// bitmaps the layer's scale (up to 15) times that plus the rounding of g.
constexpr double kVoxelMargin = 1e-4;
constexpr double kLayerMargin = 1e-3;
// Sample depths z0 = t / 100 - 10 step by 0.01, give or take their rounding.
constexpr double kDepthStep = 0.01 * 1.0001;
// No ray has more samples than this to skip.
constexpr double kMaxSkip = 4000;

// The largest |d/dz0| of (a + b z0)(50 - z0) / 65 for z0 in [-10, 10]; the
// derivative is linear, so the largest is at an end.
static double SlopeBound(double a, double b) {
  const auto slope = [&](double z0) { return (50 * b - a - 2 * b * z0) / 65; };
  return std::max(std::fabs(slope(-10)), std::fabs(slope(10)));
}

RayStep BoundRayStep(const ViewRotation& v, float x0, float y0) {
  // Exactly, sx = (x0 cB - y0 sA sB + z0 cA sB) p / 2 and
  // sy = (y0 cA + z0 sA) p / 2 with p / 2 = (50 - z0) / 65, and
  // sz = z0 cA cB - y0 sA cB - x0 sB.
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  const double dx = SlopeBound(x0 * cB - y0 * sA * sB, cA * sB) * kDepthStep + 2 * kPathError;
  const double dy = SlopeBound(y0 * cA, sA) * kDepthStep + 2 * kPathError;
  const double dz = std::fabs(cA * cB) * kDepthStep + 2 * kPathError;
  RayStep step;
  step.voxel = {dx, dy, dz};
  step.word = {1.8 * dx, dy / 1.5, dz};
  step.strip = {9 * dx, 9 * dy, 10 * dz};
  step.banner = {15 * dx, 9 * dy, 10 * dz};
  return step;
}

// Samples that certainly stay out of a box the given per-axis gaps away
// (a gap of 0: inside the box's range on that axis).
static double StepsToBox(double gapX, double gapY, double gapZ, AxisSteps m, double margin) {
  return std::max({(gapX - margin) / m.x, (gapY - margin) / m.y, (gapZ - margin) / m.z});
}

// The gap along one axis from a point at fraction f of its cell to the cell
// `offset` cells away (-1, 0 or 1).
static double NeighbourGap(int offset, double f) {
  return offset > 0 ? 1 - f : (offset < 0 ? f : 0);
}

// Samples that certainly stay out of every box at least `distance` cells
// away (Chebyshev) in x or y, from a point at fractions (fx, fy) of its
// cell: one axis must cross distance - 1 whole cells and the rest of its own.
static double StepsToFarCells(double distance, double fx, double fy, AxisSteps m, double margin) {
  const double partX = std::min(fx, 1 - fx), partY = std::min(fy, 1 - fy);
  return std::min((distance - 1 + partX - margin) / m.x, (distance - 1 + partY - margin) / m.y);
}

static int WholeSteps(double steps) {
  return steps > 0 ? (int)std::min(steps, kMaxSkip) : 0;
}

// For a sample that no occupied voxel cell contains.
static int VoxelSafeSteps(const SkipMaps& maps, int cell, float sx, float sy, float sz,
                          AxisSteps m) {
  // The cell's own coordinates, as VoxelCellIndex finds it.
  const float ux = (float)((double)sx + 25), uy = (float)((double)sy + 25),
              uz = (float)((double)sz + 25);
  const double fx = ux - std::floor(ux), fy = uy - std::floor(uy), fz = uz - std::floor(uz);
  const int distance = maps.voxel[cell];
  double steps;
  if (distance == 1) {
    steps = kMaxSkip;
    for (uint32_t bits = maps.voxelNear[cell]; bits != 0; bits &= bits - 1) {
      const CellOffset o = kVoxelNeighbours[__builtin_ctz(bits)];
      steps = std::min(steps, StepsToBox(NeighbourGap(o.x, fx), NeighbourGap(o.y, fy),
                                         NeighbourGap(o.z, fz), m, kVoxelMargin));
    }
  } else {
    steps = kMaxSkip;
  }
  // Cells two or more away: one axis crosses a whole cell and its own part.
  const double far = std::max(distance, 2);
  const double partZ = std::min(fz, 1 - fz);
  steps = std::min({steps, StepsToFarCells(far, fx, fy, m, kVoxelMargin),
                    (far - 1 + partZ - kVoxelMargin) / m.z});
  return WholeSteps(steps);
}

// For a sample that does not contribute to one text slab.
static int LayerSafeSteps(GridPoint g, const uint8_t* map, const uint8_t* near, int columns,
                          int rows, AxisSteps m) {
  const double gz = g.gz;
  const double gapZ = gz < -1 ? -1 - gz : (gz > 2 ? gz - 2 : 0);
  const double depthSteps = (gapZ - kLayerMargin) / m.z;

  const double column = std::floor((double)g.gx), row = std::floor((double)g.gy);
  if (column < 0 || row < 0 || column >= columns || row >= rows) {
    // Off the bitmap: at least as far from a lit cell as from the edge, and
    // as far as the edge cell is, less the way to it.
    const double outX = column < 0 ? -column : std::max(0.0, column - (columns - 1));
    const double outY = row < 0 ? -row : std::max(0.0, row - (rows - 1));
    const double out = std::max(outX, outY);
    const int c = (int)std::clamp(column, 0.0, (double)(columns - 1));
    const int r = (int)std::clamp(row, 0.0, (double)(rows - 1));
    const double distance = std::max(out, map[c * rows + r] - out);
    const double cellSteps = StepsToFarCells(distance, 0, 0, m, kLayerMargin);
    return WholeSteps(std::max(depthSteps, cellSteps));
  }
  const int cell = (int)column * rows + (int)row;
  const double fx = g.gx - column, fy = g.gy - row;
  const int distance = map[cell];
  if (distance == 0) return WholeSteps(depthSteps);  // a lit cell, out of depth
  double steps = kMaxSkip;
  if (distance == 1) {
    for (uint8_t bits = near[cell]; bits != 0; bits &= bits - 1) {
      const CellOffset o = kBitmapNeighbours[__builtin_ctz(bits)];
      steps = std::min(steps, StepsToBox(NeighbourGap(o.x, fx), NeighbourGap(o.y, fy), gapZ, m,
                                         kLayerMargin));
    }
  }
  const double far = std::max(distance, 2);
  steps = std::min(steps, std::max(StepsToFarCells(far, fx, fy, m, kLayerMargin), depthSteps));
  return WholeSteps(steps);
}

COLORREF MarchPixelFast(const Scene& scene, const SkipMaps& maps, float x, float y,
                        MarchCounts* counts) {
  const float x0 = ColumnCoordinate(x);
  const float y0 = RowCoordinate(y);
  const RayStep step = BoundRayStep(scene.rotation, x0, y0);
  Accumulator acc = {0.0f, 0.0f, 0.0f};
  uint64_t evaluated = 0, examined = 0;
  for (int ti = 0; ti <= 2000;) {
    const SamplePoint s = ComputeSamplePoint(scene.rotation, x0, y0, (float)ti);
    const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
    const GridPoint word = LayerCoordinates(kWordLayer, s.sx, s.sy, s.sz);
    const GridPoint strip = LayerCoordinates(kStripLayer, s.sx, s.sy, s.sz);
    const GridPoint banner = LayerCoordinates(kBannerLayer, s.sx, s.sy, s.sz);
    if (maps.voxel[cell] == 0 || LayerCellLit(scene.layers, kWordLayer, word) ||
        LayerCellLit(scene.layers, kStripLayer, strip) ||
        LayerCellLit(scene.layers, kBannerLayer, banner)) {
      // Exactly what the straightforward march does at this sample.
      ShadeVoxelSample(scene.field, s.sx, s.sy, s.sz, acc);
      ShadeLayerCell(scene.layers, kWordLayer, word, acc);
      ShadeLayerCell(scene.layers, kStripLayer, strip, acc);
      ShadeLayerCell(scene.layers, kBannerLayer, banner, acc);
      ++evaluated;
      ++ti;
      continue;
    }
    ++examined;
    const int skip = std::min(
        {VoxelSafeSteps(maps, cell, s.sx, s.sy, s.sz, step.voxel),
         LayerSafeSteps(word, maps.word, maps.wordNear, kWordColumns, kWordRows, step.word),
         LayerSafeSteps(strip, maps.strip, maps.stripNear, kStripColumns, kStripRows, step.strip),
         LayerSafeSteps(banner, maps.banner, maps.bannerNear, kBannerColumns, kBannerRows,
                        step.banner)});
    ti += 1 + skip;
  }
  if (counts != nullptr) {
    counts->evaluated += evaluated;
    counts->examined += examined;
  }
  return PackColour(acc);
}
