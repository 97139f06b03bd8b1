// The three text slabs: pixel-font bitmaps stretched over thin boxes of
// sample space. A lit cell blends a faint colour (alpha 0.1) at every
// sample that falls in it; the many samples of a ray add up to the glow.
#include <cmath>

#include "scene/Message.h"
#include "scene/Scene.h"

// Clears a bitmap with float counters, bounds included, as every scene
// loop counts; then lights the cells marked '#' in its rows of text.
static void FillBitmap(int32_t* map, int columns, int rows, const char* const* text) {
  for (float c = 0.0f; c <= (float)(columns - 1); c = c + 1.0f) {
    for (float r = 0.0f; r <= (float)(rows - 1); r = r + 1.0f) {
      map[(int)c * rows + (int)r] = 0;
    }
  }
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns && text[row][column] != '\0'; ++column) {
      if (text[row][column] == '#') map[column * rows + row] = 1;
    }
  }
}

void BuildBitmapLayers(BitmapLayers& layers) {
  FillBitmap(layers.wordMap, kWordColumns, kWordRows, wordText);
  FillBitmap(layers.stripMap, kStripColumns, kStripRows, stripText);
  FillBitmap(layers.bannerMap, kBannerColumns, kBannerRows, bannerText);
}

void ShadeLayerCell(const BitmapLayers& layers, BitmapLayer layer, GridPoint g, Accumulator& acc) {
  if (LayerCellLit(layers, layer, g)) Blend(acc, LayerColour(layer, g));
}

Contribution LayerColour(BitmapLayer layer, GridPoint g) {
  return PatternColour(layer, LayerPattern(layer, g), g.gz);
}

int LayerPattern(BitmapLayer layer, GridPoint g) {
  switch (layer) {
    case kWordLayer: return (int)std::floor((double)g.gx + (double)g.gy) % 2;
    case kStripLayer: return (int)std::floor(2 * (double)g.gx + 2 * (double)g.gy) % 2;
    case kBannerLayer:
    default: return (int)std::floor(2 * (double)g.gx + (double)g.gy) % 4;
  }
}

Contribution PatternColour(BitmapLayer layer, int b, float gz) {
  const float a = 0.1f;
  const float T = (float)(((double)gz + 1) * 255 / 3);  // depth tint, 0 to 255
  switch (layer) {
    case kWordLayer: return {a, (float)(150 * b), T, (float)(200 * b)};
    case kStripLayer: return {a, T, (float)(150 * b), (float)(200 * b)};
    case kBannerLayer:
    default: return {a, (float)(150 * (double)b / 4), T, (float)(200 * (double)b / 4)};
  }
}

void ShadeBitmapSample(const BitmapLayers& layers, float sx, float sy, float sz, Accumulator& acc) {
  for (BitmapLayer layer : kBitmapLayers) {
    ShadeLayerCell(layers, layer, LayerCoordinates(layer, sx, sy, sz), acc);
  }
}
