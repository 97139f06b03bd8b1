// The three text slabs: their bitmaps and the shading of one sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "scene/Message.h"
#include "scene/Scene.h"

namespace {

struct Shape {
  const char* name;
  const int32_t* map;
  const char* const* text;
  int columns;
  int rows;
};

TEST(BuildBitmapLayers, TextRowsFitTheirBitmaps) {
  const struct {
    const char* const* text;
    int columns, rows;
  } shapes[] = {{wordText, kWordColumns, kWordRows},
                {stripText, kStripColumns, kStripRows},
                {bannerText, kBannerColumns, kBannerRows}};
  for (const auto& shape : shapes) {
    for (int row = 0; row < shape.rows; ++row) {
      const std::string line = shape.text[row];
      ASSERT_EQ((int)line.size(), shape.columns) << "row " << row;
      ASSERT_EQ(line.find_first_not_of(".#"), std::string::npos) << "row " << row;
      ASSERT_EQ(line.back(), '.') << "the last column stays unlit, row " << row;
    }
    ASSERT_EQ(std::string(shape.text[shape.rows - 1]).find('#'), std::string::npos);
  }
}

TEST(BuildBitmapLayers, CellsHoldTheMessage) {
  auto layers = std::make_unique<BitmapLayers>();
  std::memset(layers.get(), 0x55, sizeof *layers);  // the build must clear it
  BuildBitmapLayers(*layers);
  const Shape shapes[] = {{"word", layers->wordMap, wordText, kWordColumns, kWordRows},
                          {"strip", layers->stripMap, stripText, kStripColumns, kStripRows},
                          {"banner", layers->bannerMap, bannerText, kBannerColumns, kBannerRows}};
  int lit[3] = {0, 0, 0};
  for (int s = 0; s < 3; ++s) {
    const Shape& shape = shapes[s];
    for (int column = 0; column < shape.columns; ++column) {
      for (int row = 0; row < shape.rows; ++row) {
        const int32_t cell = shape.map[column * shape.rows + row];
        ASSERT_EQ(cell, shape.text[row][column] == '#' ? 1 : 0) << shape.name << " " << column;
        lit[s] += cell;
      }
    }
  }
  // The word is four rows high: row 4 of wordMap is dark.
  for (int column = 0; column < kWordColumns; ++column)
    EXPECT_EQ(layers->wordMap[column * 5 + 4], 0);
  EXPECT_EQ(lit[0], 38);
  EXPECT_EQ(lit[1], 127);
  EXPECT_EQ(lit[2], 272);
}

// All cells lit, so that only the box decides.
std::unique_ptr<BitmapLayers> AllLit() {
  auto layers = std::make_unique<BitmapLayers>();
  for (int32_t& cell : layers->wordMap) cell = 1;
  for (int32_t& cell : layers->stripMap) cell = 1;
  for (int32_t& cell : layers->bannerMap) cell = 1;
  return layers;
}

Accumulator ShadeCell(const BitmapLayers& layers, BitmapLayer layer, float gx, float gy, float gz) {
  Accumulator acc = {0, 0, 0};
  ShadeLayerCell(layers, layer, {gx, gy, gz}, acc);
  return acc;
}

// Whether the layer blends at all: even a black blend darkens a grey pixel.
bool Contributes(const BitmapLayers& layers, BitmapLayer layer, float gx, float gy, float gz) {
  Accumulator acc = {100, 100, 100};
  ShadeLayerCell(layers, layer, {gx, gy, gz}, acc);
  return acc.R != 100 || acc.G != 100 || acc.B != 100;
}

TEST(ShadeLayerCell, BoxIncludesTheLastCellButNotZero) {
  const auto layers = AllLit();
  const struct {
    BitmapLayer layer;
    float xMax, yMax;
  } boxes[] = {{kWordLayer, 24, 4}, {kStripLayer, 127, 10}, {kBannerLayer, 212, 9}};
  for (const auto& box : boxes) {
    EXPECT_TRUE(Contributes(*layers, box.layer, 0.5f, 0.5f, 0.5f));
    EXPECT_FALSE(Contributes(*layers, box.layer, 0.0f, 0.5f, 0.5f));
    EXPECT_FALSE(Contributes(*layers, box.layer, 0.5f, 0.0f, 0.5f));
    EXPECT_TRUE(Contributes(*layers, box.layer, box.xMax, box.yMax, 0.5f));
    EXPECT_FALSE(Contributes(*layers, box.layer, std::nextafter(box.xMax, 1e9f), 0.5f, 0.5f));
    EXPECT_FALSE(Contributes(*layers, box.layer, 0.5f, std::nextafter(box.yMax, 1e9f), 0.5f));
    EXPECT_TRUE(Contributes(*layers, box.layer, 0.5f, 0.5f, -1.0f));
    EXPECT_TRUE(Contributes(*layers, box.layer, 0.5f, 0.5f, 2.0f));
    EXPECT_FALSE(Contributes(*layers, box.layer, 0.5f, 0.5f, std::nextafter(-1.0f, -2.0f)));
    EXPECT_FALSE(Contributes(*layers, box.layer, 0.5f, 0.5f, std::nextafter(2.0f, 3.0f)));
  }
}

TEST(ShadeLayerCell, LastColumnAndRowAreLookedUp) {
  auto layers = std::make_unique<BitmapLayers>();
  std::memset(layers.get(), 0, sizeof *layers);
  layers->wordMap[24 * 5 + 4] = 1;
  EXPECT_TRUE(Contributes(*layers, kWordLayer, 24.0f, 4.0f, 0.0f));
  EXPECT_FALSE(Contributes(*layers, kWordLayer, 23.99f, 4.0f, 0.0f));
  layers->wordMap[24 * 5 + 4] = 0;
  EXPECT_FALSE(Contributes(*layers, kWordLayer, 24.0f, 4.0f, 0.0f));
}

TEST(ShadeLayerCell, DepthTintRunsFromZeroToFull) {
  const auto layers = AllLit();
  // Word and banner tint green, the strip red; alpha 0.1 into black.
  EXPECT_EQ(ShadeCell(*layers, kWordLayer, 0.25f, 0.5f, -1.0f).G, 0.0f);
  EXPECT_EQ(ShadeCell(*layers, kWordLayer, 0.25f, 0.5f, 2.0f).G, (float)(255 * (double)0.1f));
  EXPECT_EQ(ShadeCell(*layers, kBannerLayer, 0.25f, 0.5f, 0.5f).G, (float)(127.5 * (double)0.1f));
  EXPECT_EQ(ShadeCell(*layers, kStripLayer, 0.25f, 0.5f, 2.0f).R, (float)(255 * (double)0.1f));
}

TEST(ShadeLayerCell, DiagonalBands) {
  const auto layers = AllLit();
  const float a = 0.1f;
  Accumulator acc = ShadeCell(*layers, kWordLayer, 0.5f, 0.5f, 0.0f);  // b = 1
  EXPECT_EQ(acc.R, (float)(150 * (double)a));
  EXPECT_EQ(acc.B, (float)(200 * (double)a));
  acc = ShadeCell(*layers, kWordLayer, 0.25f, 0.5f, 0.0f);  // b = 0
  EXPECT_EQ(acc.R, 0.0f);
  EXPECT_EQ(acc.B, 0.0f);
  acc = ShadeCell(*layers, kStripLayer, 1.25f, 1.5f, 0.0f);  // 5.5: b = 1
  EXPECT_EQ(acc.G, (float)(150 * (double)a));
  EXPECT_EQ(acc.B, (float)(200 * (double)a));
  acc = ShadeCell(*layers, kBannerLayer, 1.25f, 1.5f, 0.0f);  // 4: b = 0
  EXPECT_EQ(acc.R, 0.0f);
  EXPECT_EQ(acc.B, 0.0f);
  acc = ShadeCell(*layers, kBannerLayer, 1.5f, 0.75f, 0.0f);  // 3.75: b = 3
  EXPECT_EQ(acc.R, (float)(112.5 * (double)a));
  EXPECT_EQ(acc.B, (float)(150 * (double)a));
}

TEST(ShadeBitmapSample, DarkCellsLeaveTheAccumulatorAlone) {
  auto layers = std::make_unique<BitmapLayers>();
  BuildBitmapLayers(*layers);
  // Row 4 of the word is dark everywhere; sy = 3 maps to gy = 4.
  Accumulator acc = {1.5f, 2.5f, 3.5f};
  ShadeBitmapSample(*layers, 0.0f, 3.0f, 0.5f, acc);
  EXPECT_EQ(acc.R, 1.5f);
  EXPECT_EQ(acc.G, 2.5f);
  EXPECT_EQ(acc.B, 3.5f);
}

TEST(ShadeBitmapSample, WordThenStripWhereTheyOverlap) {
  const auto layers = AllLit();
  // sy just above -3 lies in word row 0 and strip row 9 or 10.
  const float sx = 0.1f, sy = -2.97f, sz = 0.05f;
  Accumulator both = {0, 0, 0};
  ShadeBitmapSample(*layers, sx, sy, sz, both);

  Accumulator wordFirst = {0, 0, 0}, stripFirst = {0, 0, 0};
  const GridPoint word = LayerCoordinates(kWordLayer, sx, sy, sz);
  const GridPoint strip = LayerCoordinates(kStripLayer, sx, sy, sz);
  ShadeLayerCell(*layers, kWordLayer, word, wordFirst);
  ShadeLayerCell(*layers, kStripLayer, strip, wordFirst);
  ShadeLayerCell(*layers, kStripLayer, strip, stripFirst);
  ShadeLayerCell(*layers, kWordLayer, word, stripFirst);
  EXPECT_EQ(std::memcmp(&both, &wordFirst, sizeof both), 0);
  EXPECT_NE(std::memcmp(&both, &stripFirst, sizeof both), 0);
}

TEST(LayerCoordinates, WordUsesTheDoubleNearest18) {
  // 1.8 in float is 1.7999999523; for sx = 0.0158 the two round apart.
  EXPECT_EQ(LayerCoordinates(kWordLayer, 0.0158f, 0, 0).gx, 12.028440475463867f);
  EXPECT_NE(LayerCoordinates(kWordLayer, 0.0158f, 0, 0).gx, (float)((double)0.0158f * 1.8f + 12));
  EXPECT_EQ(LayerCoordinates(kWordLayer, 0, 3.0f, 0).gy, 4.0f);
  EXPECT_EQ(LayerCoordinates(kStripLayer, 0, -3.5f, 0.2f).gy, 5.0f);
  EXPECT_EQ(LayerCoordinates(kBannerLayer, 0, 3.5f, 2.5f).gz, 0.0f);
}

}  // namespace
