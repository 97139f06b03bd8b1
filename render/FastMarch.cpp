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
  // Exactly, with the third angle 0 (so x3 = x2 and y3 = y1),
  // sx = (x0 cB - y0 sA sB + z0 cA sB) p / 2 and sy = (y0 cA + z0 sA) p / 2
  // with p / 2 = (50 - z0) / 65, and sz = z0 cA cB - y0 sA cB - x0 sB.
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  const double dx = SlopeBound(x0 * cB - y0 * sA * sB, cA * sB) * kDepthStep + 2 * kPathError;
  const double dy = SlopeBound(y0 * cA, sA) * kDepthStep + 2 * kPathError;
  const double dz = std::fabs(cA * cB) * kDepthStep + 2 * kPathError;
  // Inverses, so that the march multiplies. A product may come out an ulp
  // larger than the quotient would; the margins absorb far more than that.
  RayStep step;
  step.voxel = {1 / dx, 1 / dy, 1 / dz};
  step.word = {1 / (1.8 * dx), 1 / (dy / 1.5), 1 / dz};
  step.strip = {1 / (9 * dx), 1 / (9 * dy), 1 / (10 * dz)};
  step.banner = {1 / (15 * dx), 1 / (9 * dy), 1 / (10 * dz)};
  return step;
}

// Samples that certainly stay out of a box the given per-axis gaps away
// (a gap of 0: inside the box's range on that axis).
static double StepsToBox(double gapX, double gapY, double gapZ, AxisSteps m, double margin) {
  return std::max({(gapX - margin) * m.x, (gapY - margin) * m.y, (gapZ - margin) * m.z});
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
  return std::min((distance - 1 + partX - margin) * m.x, (distance - 1 + partY - margin) * m.y);
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
  double steps = kMaxSkip;
  if (distance == 1) {
    for (uint32_t bits = maps.voxelNear[cell]; bits != 0; bits &= bits - 1) {
      const CellOffset o = kVoxelNeighbours[__builtin_ctz(bits)];
      steps = std::min(steps, StepsToBox(NeighbourGap(o.x, fx), NeighbourGap(o.y, fy),
                                         NeighbourGap(o.z, fz), m, kVoxelMargin));
    }
  }
  // Cells two or more away: one axis crosses a whole cell and its own part.
  const double farDistance = std::max(distance, 2);
  const double partZ = std::min(fz, 1 - fz);
  steps = std::min({steps, StepsToFarCells(farDistance, fx, fy, m, kVoxelMargin),
                    (farDistance - 1 + partZ - kVoxelMargin) * m.z});
  return WholeSteps(steps);
}

// For a sample that does not contribute to one text slab.
static int LayerSafeSteps(GridPoint g, const uint8_t* map, const uint8_t* neighbourBits,
                          int columns, int rows, AxisSteps m) {
  const double gz = g.gz;
  const double gapZ = gz < -1 ? -1 - gz : (gz > 2 ? gz - 2 : 0);
  const double depthSteps = (gapZ - kLayerMargin) * m.z;

  const double column = std::floor((double)g.gx), row = std::floor((double)g.gy);
  if (column < 0 || row < 0 || column >= columns || row >= rows) {
    // Off the bitmap: every lit cell lies within it, so a later sample must
    // first cover the gaps to the bitmap's edges.
    const double gx = g.gx, gy = g.gy;
    const double gapX = gx < 0 ? -gx : std::max(0.0, gx - columns);
    const double gapY = gy < 0 ? -gy : std::max(0.0, gy - rows);
    return WholeSteps(StepsToBox(gapX, gapY, gapZ, m, kLayerMargin));
  }
  const int cell = (int)column * rows + (int)row;
  const double fx = g.gx - column, fy = g.gy - row;
  const int distance = map[cell];
  if (distance == 0) return WholeSteps(depthSteps);  // a lit cell, out of depth
  double steps = kMaxSkip;
  if (distance == 1) {
    for (uint8_t bits = neighbourBits[cell]; bits != 0; bits &= bits - 1) {
      const CellOffset o = kBitmapNeighbours[__builtin_ctz(bits)];
      steps = std::min(
          steps, StepsToBox(NeighbourGap(o.x, fx), NeighbourGap(o.y, fy), gapZ, m, kLayerMargin));
    }
  }
  const double farDistance = std::max(distance, 2);
  steps =
      std::min(steps, std::max(StepsToFarCells(farDistance, fx, fy, m, kLayerMargin), depthSteps));
  return WholeSteps(steps);
}

// Samples that stay outside the depth -1 to 2 of a slab, from depth gz.
static int DepthSafeSteps(float gz, AxisSteps m) {
  const double gapZ = gz < -1 ? -1 - (double)gz : (double)gz - 2;
  return WholeSteps((gapZ - kLayerMargin) * m.z);
}

struct LayerTables {
  const uint8_t* map;
  const uint8_t* neighbourBits;
  int columns, rows;
};

COLORREF MarchPixelFast(const Scene& scene, const SkipMaps& maps, float x, float y,
                        MarchCounts* counts) {
  const float x0 = ColumnCoordinate(x);
  const float y0 = RowCoordinate(y);
  const RayStep step = BoundRayStep(scene.rotation, x0, y0);
  const BitmapLayer layers[3] = {kWordLayer, kStripLayer, kBannerLayer};
  const LayerTables tables[3] = {{maps.word, maps.wordNear, kWordColumns, kWordRows},
                                 {maps.strip, maps.stripNear, kStripColumns, kStripRows},
                                 {maps.banner, maps.bannerNear, kBannerColumns, kBannerRows}};
  const AxisSteps layerSteps[3] = {step.word, step.strip, step.banner};
  Accumulator acc = {0.0f, 0.0f, 0.0f};
  uint64_t evaluated = 0, examined = 0;
  for (int ti = 0; ti <= 2000;) {
    const SamplePoint s =
        ComputeSamplePointAt(scene.rotation, x0, y0, maps.depth[ti], maps.perspective[ti]);
    const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
    bool shades = maps.voxel[cell] == 0;
    // A slab adds nothing outside its depth, so its grid point is needed
    // only within it.
    GridPoint g[3];
    bool inDepth[3];
    for (int l = 0; l < 3; ++l) {
      const float gz = LayerDepth(layers[l], s.sz);
      inDepth[l] = gz <= 2 && gz >= -1;
      if (inDepth[l]) {
        g[l] = LayerCoordinates(layers[l], s.sx, s.sy, s.sz);
        shades = shades || LayerCellLit(scene.layers, layers[l], g[l]);
      } else {
        g[l].gz = gz;
      }
    }
    if (shades) {
      // Exactly what the straightforward march does at this sample: the
      // voxel field, then each slab in order (one out of its depth adds
      // nothing).
      ShadeVoxelCell(scene.field, cell, s.sx, s.sy, s.sz, acc);
      for (int l = 0; l < 3; ++l) {
        if (inDepth[l]) ShadeLayerCell(scene.layers, layers[l], g[l], acc);
      }
      ++evaluated;
      ++ti;
      continue;
    }
    ++examined;
    // Here no occupied cell holds the sample (that would have shaded it).
    int skip = VoxelSafeSteps(maps, cell, s.sx, s.sy, s.sz, step.voxel);
    for (int l = 0; l < 3 && skip > 0; ++l) {
      const LayerTables& t = tables[l];
      skip = std::min(skip, inDepth[l] ? LayerSafeSteps(g[l], t.map, t.neighbourBits, t.columns,
                                                        t.rows, layerSteps[l])
                                       : DepthSafeSteps(g[l].gz, layerSteps[l]));
    }
    ti += 1 + skip;
  }
  if (counts != nullptr) {
    counts->evaluated += evaluated;
    counts->examined += examined;
  }
  return PackColour(acc);
}
