// How far the fast march may skip, or run on, from one sample it looks at.
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
#include "render/SkipBounds.h"

#include <algorithm>
#include <cmath>

// Sample depths z0 = t / 100 - 10 step by 0.01, give or take their rounding.
constexpr double kDepthStep = 0.01 * 1.0001;
// No ray has more samples than this to skip.
constexpr double kMaxSkip = 4000;

// The range of d/dz0 of (a + b z0)(50 - z0) / 65 for z0 from `from` to 10
// and a from aLow to aHigh: it is linear in both, so its extremes are at
// the corners.
struct Slopes {
  double low, high;
};

static Slopes SlopeRange(double aLow, double aHigh, double b, double from) {
  const auto slope = [&](double a, double z0) { return (50 * b - a - 2 * b * z0) * (1.0 / 65); };
  const double s[4] = {slope(aLow, from), slope(aLow, 10), slope(aHigh, from), slope(aHigh, 10)};
  return {std::min({s[0], s[1], s[2], s[3]}), std::max({s[0], s[1], s[2], s[3]})};
}

// Inverse steps: the movement over one sample is at most the steepest slope
// that way times the depth step, plus twice the stray (which the margins
// cover once more).
static AxisStep Inverse(Slopes slopes) {
  const double up = std::max(slopes.high, 0.0) * kDepthStep + 2 * kPathError;
  const double down = std::max(-slopes.low, 0.0) * kDepthStep + 2 * kPathError;
  return {1 / up, 1 / down};
}

RayStep BoundRayStep(const ViewRotation& v, float x0, float y0Low, float y0High) {
  // Exactly, with the third angle 0 (so x3 = x2 and y3 = y1),
  // sx = (x0 cB - y0 sA sB + z0 cA sB) p / 2 and sy = (y0 cA + z0 sA) p / 2
  // with p / 2 = (50 - z0) / 65, and sz = z0 cA cB - y0 sA cB - x0 sB.
  RayStep step;
  if (!(v.sinC == 0.0f && v.cosC == 1.0f)) {
    // Some other third angle: no bound here, so every sample is looked at.
    for (AxisSteps& part : step.part) part = {{0, 0}, {0, 0}, {0, 0}};
    return step;
  }
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  const double ax[2] = {x0 * cB - y0Low * sA * sB, x0 * cB - y0High * sA * sB};
  const double ay[2] = {y0Low * cA, y0High * cA};
  const AxisStep z = Inverse({cA * cB, cA * cB});
  for (int q = 0; q < kRayParts; ++q) {
    // Sample t has z0 = t / 100 - 10, give or take its rounding.
    const double from = kPartSamples * q / 100.0 - 10 - 1e-3;
    step.part[q] = {
        Inverse(SlopeRange(std::min(ax[0], ax[1]), std::max(ax[0], ax[1]), cA * sB, from)),
        Inverse(SlopeRange(std::min(ay[0], ay[1]), std::max(ay[0], ay[1]), sA, from)), z};
  }
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

// Where the sample lies within its voxel cell, per axis, from 0 to 1: its
// shifted coordinates as VoxelCellIndex finds them, less their floors.
struct Fractions {
  double x, y, z;
};

static Fractions CellFractions(float sx, float sy, float sz) {
  const float ux = (float)((double)sx + 25), uy = (float)((double)sy + 25),
              uz = (float)((double)sz + 25);
  return {ux - std::floor(ux), uy - std::floor(uy), uz - std::floor(uz)};
}

// The fewest samples before a point at fractions (fx, fy) of its bitmap
// cell can enter one of the neighbouring cells marked in `bits`, given the
// samples z it needs in depth.
static double StepsToNeighbours(uint8_t bits, double fx, double fy, double z, AxisSteps m,
                                Margins margin) {
  double steps = kMaxSkip;
  for (; bits != 0; bits &= bits - 1) {
    const CellOffset o = kBitmapNeighbours[__builtin_ctz(bits)];
    steps = std::min(steps, StepsToBox(Reach(o.x, NeighbourGap(o.x, fx), m.x, margin.x),
                                       Reach(o.y, NeighbourGap(o.y, fy), m.y, margin.y), z));
  }
  return steps;
}

// For a sample that no occupied voxel cell contains.
int VoxelSafeSteps(const SkipMaps& maps, int cell, float sx, float sy, float sz, AxisSteps m,
                   Margins margin) {
  const auto [fx, fy, fz] = CellFractions(sx, sy, sz);
  const int distance = maps.voxel[cell];
  double steps = kMaxSkip;
  if (distance == 1) {
    for (uint32_t bits = maps.voxelNear[cell]; bits != 0; bits &= bits - 1) {
      const CellOffset o = kVoxelNeighbours[__builtin_ctz(bits)];
      steps = std::min(steps, StepsToBox(Reach(o.x, NeighbourGap(o.x, fx), m.x, margin.x),
                                         Reach(o.y, NeighbourGap(o.y, fy), m.y, margin.y),
                                         Reach(o.z, NeighbourGap(o.z, fz), m.z, margin.z)));
    }
  }
  // Cells two or more away: some axis must leave the cells nearer than that.
  const double farCells = std::max(distance, 2);
  steps = std::min({steps, StepsWithin(farCells, fx, m.x, margin.x),
                    StepsWithin(farCells, fy, m.y, margin.y),
                    StepsWithin(farCells, fz, m.z, margin.z)});
  // Or the tube: until the sample leaves it sideways, or climbs out of its
  // empty run (it cannot come down by more than the stray).
  const int run = maps.tube[cell];
  if (run > 0) {
    const double tubeSteps = std::min({StepsWithin(kTubeWidth + 1, fx, m.x, margin.x),
                                       StepsWithin(kTubeWidth + 1, fy, m.y, margin.y),
                                       (run - fz - margin.z) * m.z.up, (fz - margin.z) * m.z.down});
    steps = std::max(steps, tubeSteps);
  }
  return WholeSteps(steps);
}

// Samples that stay outside the depth -1 to 2 of a slab (and none within).
static double DepthSteps(double gz, AxisStep m, double margin) {
  if (gz < -1) return Reach(1, -1 - gz, m, margin);
  if (gz > 2) return Reach(-1, gz - 2, m, margin);
  return -1;
}

// For a sample that does not contribute to one text slab, within its depth.
int LayerSafeSteps(GridPoint g, const BitmapMaps& maps, int columns, int rows, AxisSteps m,
                   Margins margin) {
  const double depthSteps = DepthSteps(g.gz, m.z, margin.z);
  const double column = std::floor((double)g.gx), row = std::floor((double)g.gy);
  if (column < 0 || row < 0 || column >= columns || row >= rows) {
    // Off the bitmap: every lit cell lies within it, so a later sample must
    // first cover the gaps to the bitmap's edges.
    const double gx = g.gx, gy = g.gy;
    const double x = gx < 0 ? Reach(1, -gx, m.x, margin.x)
                            : (gx > columns ? Reach(-1, gx - columns, m.x, margin.x) : -1);
    const double y = gy < 0 ? Reach(1, -gy, m.y, margin.y)
                            : (gy > rows ? Reach(-1, gy - rows, m.y, margin.y) : -1);
    return WholeSteps(StepsToBox(x, y, depthSteps));
  }
  const int cell = (int)column * rows + (int)row;
  const double fx = g.gx - column, fy = g.gy - row;
  const int distance = maps.lit[cell];
  if (distance == 0) return WholeSteps(depthSteps);  // a lit cell, out of its range
  double steps = kMaxSkip;
  if (distance == 1) steps = StepsToNeighbours(maps.litNear[cell], fx, fy, depthSteps, m, margin);
  const double farCells = std::max(distance, 2);
  steps = std::min(steps, std::max(std::min(StepsWithin(farCells, fx, m.x, margin.x),
                                            StepsWithin(farCells, fy, m.y, margin.y)),
                                   depthSteps));
  return WholeSteps(steps);
}

// For a slab's sample outside its depth.
int DepthSafeSteps(float gz, AxisSteps m, double margin) {
  return WholeSteps(DepthSteps(gz, m.z, margin));
}

// For a sample inside an occupied voxel cell: samples that certainly stay
// in it.
int VoxelStaySteps(float sx, float sy, float sz, AxisSteps m) {
  const auto [fx, fy, fz] = CellFractions(sx, sy, sz);
  return WholeSteps(
      std::min({StepsInside(fx, m.x, kVoxelMargin), StepsInside(fy, m.y, kVoxelMargin),
                StepsInside(fz, m.z, kVoxelMargin)}));
}

// For a sample on a lit cell of a slab, within its depth: samples that
// certainly stay on lit cells and within the depth. The colour follows the
// point, not the cell, so a run may cross from one lit cell to the next.
int LayerStaySteps(GridPoint g, const BitmapMaps& maps, int rows, AxisSteps m) {
  const double column = std::floor((double)g.gx), row = std::floor((double)g.gy);
  const int cell = (int)column * rows + (int)row;
  const int distance = maps.dark[cell];
  if (distance == 0) return 0;  // the last column or row: only its edge passes
  const double fx = g.gx - column, fy = g.gy - row, gz = g.gz;
  double steps = std::min((gz + 1 - kLayerMargin) * m.z.down, (2 - gz - kLayerMargin) * m.z.up);
  if (distance == 1) {
    steps = std::min(steps, StepsToNeighbours(maps.darkNear[cell], fx, fy, -1, m,
                                              {kLayerMargin, kLayerMargin, kLayerMargin}));
  }
  const double farCells = std::max(distance, 2);
  steps = std::min({steps, StepsWithin(farCells, fx, m.x, kLayerMargin),
                    StepsWithin(farCells, fy, m.y, kLayerMargin)});
  return WholeSteps(steps);
}

SampleRange SlabSamples(const ViewRotation& v, float x0, float y0Low, float y0High,
                        const SlabShape& place, CellBox lit) {
  if (!(v.sinC == 0.0f && v.cosC == 1.0f)) return {0, 2000};  // as in BoundRayStep
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB;
  const double perDepth = 1 / (cA * cB);
  // Linear in y0 as well: the extremes are those of the two outer rays.
  const auto sample = [&](double y0, double sz) {
    return ((sz + y0 * sA * cB + x0 * sB) * perDepth + 10) * 100;
  };
  const double firsts[2] = {sample(y0Low, place.szLow - 1e-3), sample(y0High, place.szLow - 1e-3)};
  const double lasts[2] = {sample(y0Low, place.szHigh + 1e-3), sample(y0High, place.szHigh + 1e-3)};
  const SampleRange range = {(int)std::floor(std::min(firsts[0], firsts[1])) - 1,
                             (int)std::ceil(std::max(lasts[0], lasts[1])) + 1};
  const SampleRange none = {kSamplesPerRay + 1, -1};
  if (range.last < 0 || range.first > 2000 || lit.lastColumn < 0) return none;
  const double from = std::max(range.first, 0) / 100.0 - 10;
  const double to = std::min(range.last, 2000) / 100.0 - 10;
  // The range of (a + b z0)(50 - z0) / 65 over [from, to], widened to take
  // in a second a.
  const auto extent = [&](double a, double b, double& low, double& high) {
    const auto at = [&](double z0) { return (a + b * z0) * (50 - z0) * (1.0 / 65); };
    low = std::min({low, at(from), at(to)}), high = std::max({high, at(from), at(to)});
    const double vertex = (50 * b - a) / (2 * b);
    if (vertex > from && vertex < to) {
      low = std::min(low, at(vertex)), high = std::max(high, at(vertex));
    }
  };
  double sxLow = 1e9, sxHigh = -1e9, syLow = 1e9, syHigh = -1e9;
  for (double y0 : {(double)y0Low, (double)y0High}) {
    extent(x0 * cB - y0 * sA * sB, cA * sB, sxLow, sxHigh);
    extent(y0 * cA, sA, syLow, syHigh);
  }
  // In the slab's columns and rows; the margin covers the stray and the
  // rounding of gx and gy many times over.
  const double margin = 0.01;
  const double gxLow = sxLow * place.scaleX + place.offsetX - margin;
  const double gxHigh = sxHigh * place.scaleX + place.offsetX + margin;
  const double gyLow = (syLow + place.offsetY) * place.scaleY - margin;
  const double gyHigh = (syHigh + place.offsetY) * place.scaleY + margin;
  if (gxHigh < lit.firstColumn || gxLow > lit.lastColumn + 1 || gyHigh < lit.firstRow ||
      gyLow > lit.lastRow + 1)
    return none;
  return range;
}
