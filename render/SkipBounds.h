// Inside the renderer: how far the fast march may skip, or run on, from
// one sample it looks at (see SkipBounds.cpp for why this is safe).
#pragma once

#include "render/FastMarch.h"

// Gaps are shrunk by this much before dividing by the step: more than twice
// the stray, in the voxel grid also the rounding of s + 25 (2e-6), in the
// bitmaps the layer's scale (up to 15) times that plus the rounding of g.
constexpr double kVoxelMargin = 1e-4;
constexpr double kLayerMargin = 1e-3;

// Per axis: the margin, in the units of the map at hand.
struct Margins {
  double x, y, z;
};

// In units `scale` times the sample's, given 1 / scale. A product with an
// inverse may come out an ulp larger than the quotient would; the margins
// absorb far more than that.
static inline AxisStep Scaled(AxisStep m, double inverseScale) {
  return {m.up * inverseScale, m.down * inverseScale};
}

// How many samples after (sx, sy, sz), which no occupied cell holds (the
// sample's own cell is given), certainly stay out of every occupied cell.
int VoxelSafeSteps(const SkipMaps& maps, int cell, float sx, float sy, float sz, AxisSteps m,
                   Margins margin);

// How many samples after one inside an occupied cell certainly stay in it.
int VoxelStaySteps(float sx, float sy, float sz, AxisSteps m);

// For a slab's grid point within its depth but not on a lit cell: samples
// that certainly stay off lit cells or out of the depth.
int LayerSafeSteps(GridPoint g, const BitmapMaps& maps, int columns, int rows, AxisSteps m,
                   Margins margin);

// For a slab's grid point out of its depth (gz outside -1 to 2): samples
// that certainly stay out of it.
int DepthSafeSteps(float gz, AxisSteps m, double margin);

// For a grid point on a lit cell within the depth: samples that certainly
// stay on lit cells within the depth.
int LayerStaySteps(GridPoint g, const BitmapMaps& maps, int rows, AxisSteps m);

// The samples of the ray that may blend in a slab. First those that may
// lie within its depth, from the exact depth sz = z0 cA cB - y0 sA cB -
// x0 sB, which grows linearly along the ray (the third angle is 0): widened
// by 1e-3 in sz, far more than the computed depth strays from it, and by a
// sample at each end for the rounding of z0. Then, if over those samples
// the ray's exact sx and sy (quadratics in z0: their extremes lie at the
// ends or the vertex) keep it clear of the columns and rows where the
// bitmap has lit cells, none. Outside these samples the slab adds nothing
// and needs no look.
struct SampleRange {
  int first, last;
};

// A text slab's shape, units and place in sample space.
struct SlabShape {
  int columns, rows;
  double scaleX, scaleY, scaleZ;  // layer units per sample unit
  double perX, perY, perZ;        // and their inverses
  double offsetX, offsetY;        // gx = sx * scaleX + offsetX, gy = (sy + offsetY) * scaleY
  double szLow, szHigh;           // the depth -1 to 2, in sz
};

// gy: sy / 1.5 + 2, (sy + 3.5) * 9 + 5, (sy - 3.5) * 9 + 5.
constexpr SlabShape kSlabShapes[3] = {
    {kWordColumns, kWordRows, 1.8, 1 / 1.5, 1, 1 / 1.8, 1.5, 1, 12, 3, -1, 2},
    {kStripColumns, kStripRows, 9, 9, 10, 1.0 / 9, 1.0 / 9, 0.1, 64, 3.5 + 5.0 / 9, -0.1, 0.2},
    {kBannerColumns, kBannerRows, 15, 9, 10, 1.0 / 15, 1.0 / 9, 0.1, 106, -3.5 + 5.0 / 9, 2.4,
     2.7}};

// For every ray of column x0 with y0 from y0Low to y0High.
SampleRange SlabSamples(const ViewRotation& v, float x0, float y0Low, float y0High,
                        const SlabShape& place, CellBox lit);
