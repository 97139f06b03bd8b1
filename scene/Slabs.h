// The three text slabs: their bitmaps, built from the message, and where
// and what each blends at a sample. Numbers: scene/Scene.h.
#pragma once

#include <cstdint>

#include "scene/Blend.h"

// Bitmap shapes: columns x rows, stored column by column.
constexpr int kWordColumns = 25, kWordRows = 5;
constexpr int kStripColumns = 128, kStripRows = 11;
constexpr int kBannerColumns = 213, kBannerRows = 10;

// The three text slabs, 0 or 1 per cell, cell index column * rows + row.
struct BitmapLayers {
  int32_t wordMap[kWordColumns * kWordRows];
  int32_t stripMap[kStripColumns * kStripRows];
  int32_t bannerMap[kBannerColumns * kBannerRows];
};

// Clears the three bitmaps and lights the cells of the message.
void BuildBitmapLayers(BitmapLayers& layers);

// Applies the word, strip and banner layers, in that order, at one sample.
void ShadeBitmapSample(const BitmapLayers& layers, float sx, float sy, float sz, Accumulator& acc);

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
