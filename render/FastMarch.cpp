// The fast march: the same samples as MarchPixel wherever one can
// contribute, evaluated by the same functions; runs of samples that cannot
// contribute are skipped, and runs that blend in the same layers are shaded
// together.
//
// Why a skip is safe. Along a ray, each coordinate of the sample point is
// (exactly) a polynomial of degree at most 2 in the depth z0, so from one
// sample to the next it moves up, or down, at most a bound that
// BoundRayStep computes per ray, axis and direction. The computed (float)
// coordinates stray from that path by less than kPathError. A sample that
// does not contribute lies some distance, per axis, from every box in which
// a sample can contribute (an occupied voxel cell; a lit bitmap cell within
// its slab's depth). The samples after it cannot enter such a box before
// their movement towards it, plus twice the stray, covers the gap in every
// axis: that many are skipped. A sample inside such a box stays in it, by
// the same argument, until its movement covers the gap to one of the box's
// own faces: that many follow it in one run.
#include "render/FastMarch.h"

#include <algorithm>
#include <cmath>

#include "render/ShadeRun.h"

// Gaps are shrunk by this much before dividing by the step: more than twice
// the stray, in the voxel grid also the rounding of s + 25 (2e-6), in the
// bitmaps the layer's scale (up to 15) times that plus the rounding of g.
constexpr double kVoxelMargin = 1e-4;
constexpr double kLayerMargin = 1e-3;
// Sample depths z0 = t / 100 - 10 step by 0.01, give or take their rounding.
constexpr double kDepthStep = 0.01 * 1.0001;
// No ray has more samples than this to skip.
constexpr double kMaxSkip = 4000;

// The range of d/dz0 of (a + b z0)(50 - z0) / 65 for z0 in [-10, 10]; the
// derivative is linear, so its extremes are at the ends.
struct Slopes {
  double low, high;
};

static Slopes SlopeRange(double a, double b) {
  const auto slope = [&](double z0) { return (50 * b - a - 2 * b * z0) / 65; };
  return {std::min(slope(-10), slope(10)), std::max(slope(-10), slope(10))};
}

// Inverse steps in units `scale` times the sample's: the movement over one
// sample is at most the steepest slope that way times the depth step, plus
// twice the stray (which the margins cover once more).
static AxisStep Inverse(Slopes slopes, double scale) {
  const double up = std::max(slopes.high, 0.0) * kDepthStep + 2 * kPathError;
  const double down = std::max(-slopes.low, 0.0) * kDepthStep + 2 * kPathError;
  // A product with an inverse may come out an ulp larger than the quotient
  // would; the margins absorb far more than that.
  return {1 / (scale * up), 1 / (scale * down)};
}

RayStep BoundRayStep(const ViewRotation& v, float x0, float y0) {
  // Exactly, with the third angle 0 (so x3 = x2 and y3 = y1),
  // sx = (x0 cB - y0 sA sB + z0 cA sB) p / 2 and sy = (y0 cA + z0 sA) p / 2
  // with p / 2 = (50 - z0) / 65, and sz = z0 cA cB - y0 sA cB - x0 sB.
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  const Slopes x = SlopeRange(x0 * cB - y0 * sA * sB, cA * sB);
  const Slopes y = SlopeRange(y0 * cA, sA);
  const Slopes z = {cA * cB, cA * cB};
  RayStep step;
  step.voxel = {Inverse(x, 1), Inverse(y, 1), Inverse(z, 1)};
  step.word = {Inverse(x, 1.8), Inverse(y, 1 / 1.5), Inverse(z, 1)};
  step.strip = {Inverse(x, 9), Inverse(y, 9), Inverse(z, 10)};
  step.banner = {Inverse(x, 15), Inverse(y, 9), Inverse(z, 10)};
  return step;
}

// Samples that certainly stay short of a face `gap` away upwards
// (direction > 0) or downwards (< 0); none for direction 0, where the box
// already spans the sample's coordinate.
static double Reach(int direction, double gap, AxisStep m, double margin) {
  if (direction == 0) return -1;
  return (gap - margin) * (direction > 0 ? m.up : m.down);
}

// Samples that certainly stay out of a box: until every axis is covered.
static double StepsToBox(double x, double y, double z) {
  return std::max({x, y, z});
}

// The gap along one axis from a point at fraction f of its cell to the cell
// `offset` cells away (-1, 0 or 1).
static double NeighbourGap(int offset, double f) {
  return offset > 0 ? 1 - f : (offset < 0 ? f : 0);
}

// Samples that certainly stay within `cells` - 1 whole cells of the point's
// own, at fraction f of it, along one axis, either way.
static double StepsWithin(double cells, double f, AxisStep m, double margin) {
  return std::min((cells - 1 + f - margin) * m.down, (cells - f - margin) * m.up);
}

// Samples that certainly stay inside the point's own cell along one axis.
static double StepsInside(double f, AxisStep m, double margin) {
  return StepsWithin(1, f, m, margin);
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
      steps = std::min(steps, StepsToBox(Reach(o.x, NeighbourGap(o.x, fx), m.x, kVoxelMargin),
                                         Reach(o.y, NeighbourGap(o.y, fy), m.y, kVoxelMargin),
                                         Reach(o.z, NeighbourGap(o.z, fz), m.z, kVoxelMargin)));
    }
  }
  // Cells two or more away: some axis must leave the cells nearer than that.
  const double farCells = std::max(distance, 2);
  steps =
      std::min({steps, StepsWithin(farCells, fx, m.x, kVoxelMargin),
                StepsWithin(farCells, fy, m.y, kVoxelMargin), StepsWithin(farCells, fz, m.z, kVoxelMargin)});
  return WholeSteps(steps);
}

// Samples that stay outside the depth -1 to 2 of a slab (and none within).
static double DepthSteps(double gz, AxisStep m) {
  if (gz < -1) return Reach(1, -1 - gz, m, kLayerMargin);
  if (gz > 2) return Reach(-1, gz - 2, m, kLayerMargin);
  return -1;
}

// For a sample that does not contribute to one text slab, within its depth.
static int LayerSafeSteps(GridPoint g, const uint8_t* map, const uint8_t* neighbourBits,
                          int columns, int rows, AxisSteps m) {
  const double depthSteps = DepthSteps(g.gz, m.z);
  const double column = std::floor((double)g.gx), row = std::floor((double)g.gy);
  if (column < 0 || row < 0 || column >= columns || row >= rows) {
    // Off the bitmap: every lit cell lies within it, so a later sample must
    // first cover the gaps to the bitmap's edges.
    const double gx = g.gx, gy = g.gy;
    const double x = gx < 0 ? Reach(1, -gx, m.x, kLayerMargin)
                            : (gx > columns ? Reach(-1, gx - columns, m.x, kLayerMargin) : -1);
    const double y = gy < 0 ? Reach(1, -gy, m.y, kLayerMargin)
                            : (gy > rows ? Reach(-1, gy - rows, m.y, kLayerMargin) : -1);
    return WholeSteps(StepsToBox(x, y, depthSteps));
  }
  const int cell = (int)column * rows + (int)row;
  const double fx = g.gx - column, fy = g.gy - row;
  const int distance = map[cell];
  if (distance == 0) return WholeSteps(depthSteps);  // a lit cell, out of its range
  double steps = kMaxSkip;
  if (distance == 1) {
    for (uint8_t bits = neighbourBits[cell]; bits != 0; bits &= bits - 1) {
      const CellOffset o = kBitmapNeighbours[__builtin_ctz(bits)];
      steps = std::min(
          steps, StepsToBox(Reach(o.x, NeighbourGap(o.x, fx), m.x, kLayerMargin),
                            Reach(o.y, NeighbourGap(o.y, fy), m.y, kLayerMargin), depthSteps));
    }
  }
  const double farCells = std::max(distance, 2);
  steps = std::min(steps, std::max(std::min(StepsWithin(farCells, fx, m.x, kLayerMargin),
                                            StepsWithin(farCells, fy, m.y, kLayerMargin)),
                                   depthSteps));
  return WholeSteps(steps);
}

// For a slab's sample outside its depth.
static int DepthSafeSteps(float gz, AxisSteps m) {
  return WholeSteps(DepthSteps(gz, m.z));
}

// For a sample inside an occupied voxel cell: samples that certainly stay
// in it.
static int VoxelStaySteps(float sx, float sy, float sz, AxisSteps m) {
  const float ux = (float)((double)sx + 25), uy = (float)((double)sy + 25),
              uz = (float)((double)sz + 25);
  const double fx = ux - std::floor(ux), fy = uy - std::floor(uy), fz = uz - std::floor(uz);
  return WholeSteps(
      std::min({StepsInside(fx, m.x, kVoxelMargin), StepsInside(fy, m.y, kVoxelMargin),
                StepsInside(fz, m.z, kVoxelMargin)}));
}

// For a sample on a lit cell of a slab, within its depth: samples that
// certainly stay on that cell and within the depth.
static int LayerStaySteps(GridPoint g, int columns, int rows, AxisSteps m) {
  const double column = std::floor((double)g.gx), row = std::floor((double)g.gy);
  // The last column and row hold no lit cell; were one lit, only its edge
  // (gx equal to the last column) would pass the range test: claim nothing.
  if (column >= columns - 1 || row >= rows - 1) return 0;
  const double fx = g.gx - column, fy = g.gy - row, gz = g.gz;
  return WholeSteps(
      std::min({StepsInside(fx, m.x, kLayerMargin), StepsInside(fy, m.y, kLayerMargin),
                (gz + 1 - kLayerMargin) * m.z.down, (2 - gz - kLayerMargin) * m.z.up}));
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
  MarchCounts n;
  for (int ti = 0; ti <= 2000;) {
    // Look at this sample exactly, and bound how many samples after it
    // certainly blend in the same layers, or like it in none.
    const SamplePoint s =
        ComputeSamplePointAt(scene.rotation, x0, y0, maps.depth[ti], maps.perspective[ti]);
    ++n.examined;
    const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
    SampleRun run = {x0, y0, maps.voxel[cell] == 0, 0.0f, 0.0f, {false, false, false}};
    int hold = run.voxel ? VoxelStaySteps(s.sx, s.sy, s.sz, step.voxel)
                         : VoxelSafeSteps(maps, cell, s.sx, s.sy, s.sz, step.voxel);
    bool blends = run.voxel;
    for (int l = 0; l < 3; ++l) {
      // A slab adds nothing outside its depth, so its grid point is needed
      // only within it.
      const LayerTables& t = tables[l];
      const float gz = LayerDepth(layers[l], s.sz);
      if (!(gz <= 2 && gz >= -1)) {
        if (hold > 0) hold = std::min(hold, DepthSafeSteps(gz, layerSteps[l]));
        continue;
      }
      const GridPoint g = LayerCoordinates(layers[l], s.sx, s.sy, s.sz);
      run.lit[l] = LayerCellLit(scene.layers, layers[l], g);
      blends = blends || run.lit[l];
      if (hold > 0) {
        hold = std::min(hold, run.lit[l] ? LayerStaySteps(g, t.columns, t.rows, layerSteps[l])
                                         : LayerSafeSteps(g, t.map, t.neighbourBits, t.columns,
                                                          t.rows, layerSteps[l]));
      }
    }
    const int last = std::min(ti + hold, 2000);
    if (blends) {
      if (run.voxel) {
        run.r = scene.field.radiusGrid[cell];
        run.kind = scene.field.kindGrid[cell];
      }
      maps.shadeRun(scene, maps, run, ti, last, acc);
      n.evaluated += last - ti + 1;
      ++n.runs;
    }
    ti = last + 1;
  }
  if (counts != nullptr) {
    counts->evaluated += n.evaluated;
    counts->examined += n.examined;
    counts->runs += n.runs;
  }
  return PackColour(acc);
}
