// The image's definition: the render pass's working data and its stages.
// Everything else (the fast march, the draw entry) is held to what these
// functions compute; nothing here depends on them.
//
// Numbers: every scene quantity is a float. Each formula is evaluated in
// double, operands widened and operations applied left to right as written,
// and rounded to float once, when assigned. x^n is repeated multiplication.
// This is what makes the image bit-identical on every build; never let a
// float * float slip in.
#pragma once

#include <cstdint>

#include "scene/Image.h"

constexpr int kGridSize = 50;
constexpr int kGridCells = kGridSize * kGridSize * kGridSize;
constexpr int kObjects = 201;

// Bitmap shapes: columns x rows, stored column by column.
constexpr int kWordColumns = 25, kWordRows = 5;
constexpr int kStripColumns = 128, kStripRows = 11;
constexpr int kBannerColumns = 213, kBannerRows = 10;

// The voxel glow field: one object at most per cell, cell (i, j, k) at
// element i * 2500 + j * 50 + k. radius 0 marks an empty cell; kind 1.0 is a
// sphere glow, 0.0 a rounded-cube glow.
struct VoxelField {
  float radiusGrid[kGridCells];
  float kindGrid[kGridCells];
};

// A voxel cell's indices along x, y and z, and its grid element.
struct CellIndices {
  int i, j, k;
};
static inline int CellAt(int i, int j, int k) {
  return (i * kGridSize + j) * kGridSize + k;
}
static inline CellIndices CellIndicesOf(int cell) {
  return {cell / (kGridSize * kGridSize), cell / kGridSize % kGridSize, cell % kGridSize};
}

// The three text slabs, 0 or 1 per cell, cell index column * rows + row.
struct BitmapLayers {
  int32_t wordMap[kWordColumns * kWordRows];
  int32_t stripMap[kStripColumns * kStripRows];
  int32_t bannerMap[kBannerColumns * kBannerRows];
};

struct ViewRotation {
  float sinA, sinB, sinC;
  float cosA, cosB, cosC;
};

// A view: the rotation's three angles, in radians, about x, y and z.
struct View {
  float A, B, C;
};
// The image's view.
constexpr View kImageView = {-0.5f, -0.5f, 0.0f};

// Everything one render pass builds, about 1 MB; the draw entry keeps it on
// its stack and hands it to the stages.
struct Scene {
  VoxelField field;
  BitmapLayers layers;
  ViewRotation rotation;
};

// A pixel's colour accumulator, each channel within [0, 255].
struct Accumulator {
  float R, G, B;
};

struct SamplePoint {
  float sx, sy, sz;
};

// The platform C runtime's rand(), reproduced exactly so that every build
// scatters the same objects: state starts at 1, is advanced by
// state * 214013 + 2531011 (mod 2^32), and each draw is bits 16 to 30.
int32_t CrtRand(uint32_t& state);

// Clears both grids and scatters the 201 objects, from the generator's
// initial state: exactly 1005 draws.
void BuildVoxelField(VoxelField& field);

// The grid element of the cell that holds the sample: the coordinates are
// shifted by 25, rounded to float and truncated.
int VoxelCellIndex(float sx, float sy, float sz);

// What one layer adds at one sample: the blend's alpha and colour.
struct Contribution {
  float a, red, green, blue;
};

// The glow of an object of radius r > 0 and the given kind at the sample.
Contribution VoxelGlow(float r, float kind, float sx, float sy, float sz);

// Blends the glow of the object in the sample's cell, if any, into acc.
void ShadeVoxelSample(const VoxelField& field, float sx, float sy, float sz, Accumulator& acc);

// The same, for a sample whose cell c = VoxelCellIndex(sx, sy, sz) is known.
void ShadeVoxelCell(const VoxelField& field, int c, float sx, float sy, float sz, Accumulator& acc);

// Clears the three bitmaps and lights the cells of the message.
void BuildBitmapLayers(BitmapLayers& layers);

// Applies the word, strip and banner layers, in that order, at one sample.
void ShadeBitmapSample(const BitmapLayers& layers, float sx, float sy, float sz, Accumulator& acc);

// The six sines and cosines of the view's rotation: each the double sine
// or cosine of the angle (our own, the same on every build), rounded to
// float.
void BuildViewRotation(ViewRotation& rotation, View view = kImageView);

// The render pass's scene build, in its order: the voxel field, the
// bitmaps, the view rotation.
static inline void BuildScene(Scene& scene, View view = kImageView) {
  BuildVoxelField(scene.field);
  BuildBitmapLayers(scene.layers);
  BuildViewRotation(scene.rotation, view);
}

// The horizontal and vertical pixel coordinates before rotation:
// x0 for column x (0 to 1024), y0 for row y (0 to 768).
float ColumnCoordinate(float x);
float RowCoordinate(float y);

// Sample t (0 to 2000) of the ray through (x0, y0): rotation, then perspective.
SamplePoint ComputeSamplePoint(const ViewRotation& rotation, float x0, float y0, float t);

// The parts of it that depend on t alone: the depth z0 before rotation, and
// the perspective factor p from it. The same for every ray, so a march may
// compute them once per sample index.
float SampleDepth(float t);
float PerspectiveFactor(float z0);
// Inline, so that a march can keep the ray's own products (x0 * cos B and
// the like, exact in double) out of its loop over samples.
static inline SamplePoint ComputeSamplePointAt(const ViewRotation& v, float x0, float y0, float z0,
                                               float p) {
  // About x, then y, then z; each step reads only the values before it.
  const float y1 = (float)((double)y0 * v.cosA + (double)z0 * v.sinA);
  const float z1 = (float)((double)z0 * v.cosA - (double)y0 * v.sinA);
  const float x2 = (float)((double)x0 * v.cosB + (double)z1 * v.sinB);
  const float z2 = (float)((double)z1 * v.cosB - (double)x0 * v.sinB);
  const float x3 = (float)((double)x2 * v.cosC + (double)y1 * v.sinC);
  const float y3 = (float)((double)y1 * v.cosC - (double)x2 * v.sinC);
  SamplePoint s;
  s.sx = (float)((double)x3 * p / 2);
  s.sy = (float)((double)y3 * p / 2);
  s.sz = z2;
  return s;
}

// Marches one pixel's 2001 samples through every layer and returns its
// packed colour. The straightforward definition of the image.
PackedColour MarchPixel(const Scene& scene, float x, float y);
// The same march's colour accumulator before packing: what the fast march
// must reproduce bit for bit, not merely to the byte.
Accumulator AccumulatePixel(const Scene& scene, float x, float y);

// acc = (1 - a) * acc + colour * a, channel by channel, red first. Static,
// so that every file, the one built for AVX2 among them, has its own copy
// and the linker never hands an AVX2 copy to code that must run anywhere.
// (1 - a) is not exact in float or even in double for small a, so the
// blend stays in double, rounded once per channel.
static inline void Blend(Accumulator& acc, float a, float cr, float cg, float cb) {
  acc.R = (float)((1 - (double)a) * acc.R + (double)cr * a);
  acc.G = (float)((1 - (double)a) * acc.G + (double)cg * a);
  acc.B = (float)((1 - (double)a) * acc.B + (double)cb * a);
}
static inline void Blend(Accumulator& acc, Contribution c) {
  Blend(acc, c.a, c.red, c.green, c.blue);
}

// red | green << 8 | blue << 16 from the integer parts of the channels.
PackedColour PackColour(const Accumulator& acc);

// The text slabs one by one, for tests and for the fast march, which must
// know where each slab lies. ShadeBitmapSample is these three in order.
enum BitmapLayer { kWordLayer, kStripLayer, kBannerLayer };
// The slabs in the order every sample applies them.
constexpr BitmapLayer kBitmapLayers[3] = {kWordLayer, kStripLayer, kBannerLayer};

struct GridPoint {
  float gx, gy, gz;
};

// Its depth gz alone; outside -1 to 2 the layer adds nothing.
static inline float LayerDepth(BitmapLayer layer, float sz) {
  switch (layer) {
    case kWordLayer: return sz;
    case kStripLayer: return (float)((double)sz * 10);
    case kBannerLayer:
    default: return (float)(((double)sz - 2.5) * 10);
  }
}

// The sample point in the layer's own units: columns, rows, depth -1 to 2.
static inline GridPoint LayerCoordinates(BitmapLayer layer, float sx, float sy, float sz) {
  GridPoint g;
  switch (layer) {
    case kWordLayer:
      // 1.8 is the double nearest 1.8, not the float.
      g.gx = (float)((double)sx * 1.8 + 12);
      g.gy = (float)((double)sy / 1.5 + 2);
      break;
    case kStripLayer:
      g.gx = (float)((double)sx * 9 + 64);
      g.gy = (float)(((double)sy + 3.5) * 9 + 5);
      break;
    case kBannerLayer:
    default:
      g.gx = (float)((double)sx * 15 + 106);
      g.gy = (float)(((double)sy - 3.5) * 9 + 5);
      break;
  }
  g.gz = LayerDepth(layer, sz);
  return g;
}

// Whether the grid point lies in the layer's box on a lit cell: where the
// layer blends.
static inline bool LayerCellLit(const BitmapLayers& layers, BitmapLayer layer, GridPoint g) {
  const int32_t* map;
  int rows;
  float xMax, yMax;  // last column and last row, both included
  switch (layer) {
    case kWordLayer: map = layers.wordMap, rows = kWordRows, xMax = 24, yMax = 4; break;
    case kStripLayer: map = layers.stripMap, rows = kStripRows, xMax = 127, yMax = 10; break;
    case kBannerLayer:
    default: map = layers.bannerMap, rows = kBannerRows, xMax = 212, yMax = 9; break;
  }
  // In this order; the first test that fails ends the layer's work.
  if (!(g.gx <= xMax) || !(g.gx > 0) || !(g.gy <= yMax) || !(g.gy > 0) || !(g.gz <= 2) ||
      !(g.gz >= -1)) {
    return false;
  }
  return map[(int)g.gx * rows + (int)g.gy] == 1;
}

// The colour the layer blends at a grid point on a lit cell: its pattern
// there (a checker of diagonal stripes, by the grid point's columns and
// rows) and its depth.
Contribution LayerColour(BitmapLayer layer, GridPoint g);
// The two parts of it: the pattern's value b at the grid point, and the
// colour of pattern value b at depth gz.
int LayerPattern(BitmapLayer layer, GridPoint g);
Contribution PatternColour(BitmapLayer layer, int b, float gz);

// Where the grid point is on a lit cell, blends the layer's colour into acc.
void ShadeLayerCell(const BitmapLayers& layers, BitmapLayer layer, GridPoint g, Accumulator& acc);
