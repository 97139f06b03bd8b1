// The voxel glow field: the scatter and the glow of one sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "scene/Scene.h"

namespace {

std::unique_ptr<VoxelField> BuiltField() {
  auto field = std::make_unique<VoxelField>();
  std::memset(field.get(), 0x7F, sizeof *field);  // the build must clear it
  BuildVoxelField(*field);
  return field;
}

std::unique_ptr<VoxelField> EmptyField() {
  auto field = std::make_unique<VoxelField>();
  std::memset(field.get(), 0, sizeof *field);
  return field;
}

int CellOf(int i, int j, int k) {
  return i * 2500 + j * 50 + k;
}

Accumulator Shade(const VoxelField& field, float sx, float sy, float sz) {
  Accumulator acc = {0, 0, 0};
  ShadeVoxelSample(field, sx, sy, sz, acc);
  return acc;
}

// The alpha of one blend into a fresh accumulator, from its green channel.
double AlphaOf(const Accumulator& acc, double green) {
  return acc.G / green;
}

// The scatter in exact integer arithmetic, independent of the float formulas:
// cell 14 + floor(21 d / 32767), kind odd(floor(50 d / 32767)).
TEST(BuildVoxelField, MatchesTheScatterInIntegerArithmetic) {
  struct Object {
    float r;
    float kind;
  };
  std::map<int, Object> cells;
  uint32_t state = 1;
  for (int n = 0; n < 201; ++n) {
    int32_t d[5];
    for (int32_t& v : d) v = CrtRand(state);
    const int i = 14 + 21 * d[0] / 32767, j = 14 + 21 * d[1] / 32767, k = 14 + 21 * d[2] / 32767;
    cells[CellOf(i, j, k)] = {(float)(d[3] / 32767.0 * 0.4), (float)(50 * d[4] / 32767 % 2)};
  }
  const auto field = BuiltField();
  for (int c = 0; c < kGridCells; ++c) {
    const auto found = cells.find(c);
    const Object expected = found == cells.end() ? Object{0, 0} : found->second;
    ASSERT_EQ(field->radiusGrid[c], expected.r) << "cell " << c;
    ASSERT_EQ(field->kindGrid[c], expected.kind) << "cell " << c;
  }
}

TEST(BuildVoxelField, ValuesStayWithinTheirRanges) {
  const auto field = BuiltField();
  const float smallest = (float)(1 / 32767.0 * 0.4);
  int occupied = 0;
  for (int i = 0; i < 50; ++i) {
    for (int j = 0; j < 50; ++j) {
      for (int k = 0; k < 50; ++k) {
        const int c = CellOf(i, j, k);
        const float r = field->radiusGrid[c], kind = field->kindGrid[c];
        ASSERT_TRUE(kind == 0.0f || kind == 1.0f);
        ASSERT_TRUE(r == 0.0f || (r >= smallest && r <= 0.4f));
        if (r > 0) {
          ++occupied;
          for (int coordinate : {i, j, k}) {
            ASSERT_GE(coordinate, 14);
            ASSERT_LE(coordinate, 35);
          }
        }
      }
    }
  }
  EXPECT_GT(occupied, 150);
  EXPECT_LE(occupied, 201);
}

TEST(BuildVoxelField, EveryBuildIsTheSame) {
  const auto first = BuiltField();
  const auto second = BuiltField();
  EXPECT_EQ(std::memcmp(first.get(), second.get(), sizeof(VoxelField)), 0);
}

TEST(ShadeVoxelSample, EmptyCellsAddNothing) {
  auto field = EmptyField();
  field->kindGrid[CellOf(25, 25, 25)] = 1.0f;  // a sphere kind with radius 0
  Accumulator acc = {12.5f, 0.25f, 255.0f};
  ShadeVoxelSample(*field, 0.3f, 0.3f, 0.3f, acc);
  EXPECT_EQ(acc.R, 12.5f);
  EXPECT_EQ(acc.G, 0.25f);
  EXPECT_EQ(acc.B, 255.0f);
}

TEST(ShadeVoxelSample, SphereGlowIsAShellOfRadiusR) {
  auto field = EmptyField();
  field->radiusGrid[CellOf(25, 25, 25)] = 0.4f;
  field->kindGrid[CellOf(25, 25, 25)] = 1.0f;
  // On the shell: n = 0, a = 1/15; colour (50, 255, 200).
  const Accumulator onShell = Shade(*field, 0.9f, 0.5f, 0.5f);
  EXPECT_NEAR(AlphaOf(onShell, 255), 1 / 15.0, 1e-4);
  EXPECT_NEAR(onShell.R / onShell.B, 50 / 200.0, 1e-6);
  // At the centre: n = -12, a about 3.2 millionths.
  EXPECT_NEAR(AlphaOf(Shade(*field, 0.5f, 0.5f, 0.5f), 255), 1 / (12.0 * 12 * 12 * 12 + 1) / 15,
              1e-8);
}

TEST(ShadeVoxelSample, RoundedCubeGlowIsSolid) {
  auto field = EmptyField();
  field->radiusGrid[CellOf(25, 25, 25)] = 0.4f;
  // At the centre: n = -40 r / 300, a is 1/30 within one part in 100,000.
  const Accumulator centre = Shade(*field, 0.5f, 0.5f, 0.5f);
  EXPECT_NEAR(AlphaOf(centre, 170) * 30, 1.0, 1e-5);
  EXPECT_NEAR(centre.R / centre.B, 255 / 50.0, 1e-5);
  // 0.3 from the centre along an axis: about half of that.
  EXPECT_NEAR(AlphaOf(Shade(*field, 0.8f, 0.5f, 0.5f), 170) * 30, 0.5, 0.05);
}

TEST(ShadeVoxelSample, IntegerCoordinateBelongsToTheCellAbove) {
  // sx = 3.0 lies on the lower face of cell 28, at offset -0.5.
  auto field = EmptyField();
  field->radiusGrid[CellOf(28, 25, 25)] = 0.4f;
  field->kindGrid[CellOf(28, 25, 25)] = 1.0f;
  const Accumulator acc = Shade(*field, 3.0f, 0.5f, 0.5f);
  const double e = 0.5 - (double)0.4f;  // distance from the centre minus r
  const double n = (float)((float)e * 30.0);
  EXPECT_EQ(acc.G, (float)((double)(float)(1 / (n * n * n * n + 1) / 15) * 255));
  EXPECT_EQ(Shade(*field, 2.999f, 0.5f, 0.5f).G, 0.0f);  // cell 27
}

TEST(ShadeVoxelSample, JustBelowAnIntegerCanReadTheNextCell) {
  // 3 - 2^-22 shifts to exactly 28.0 in float: cell 28, with offset just
  // under +0.5 taken from the unshifted coordinate.
  const float sx = 3.0f - 1.0f / (1 << 22);
  ASSERT_EQ(sx + 25.0f, 28.0f);
  auto field = EmptyField();
  field->radiusGrid[CellOf(28, 25, 25)] = 0.4f;
  field->kindGrid[CellOf(28, 25, 25)] = 1.0f;
  const Accumulator below = Shade(*field, sx, 0.5f, 0.5f);
  const Accumulator onFace = Shade(*field, 3.0f, 0.5f, 0.5f);
  EXPECT_GT(below.G, 0.0f);
  // Offsets +0.5 and -0.5 are the same distance from the centre.
  EXPECT_NEAR(below.G, onFace.G, 1e-5);
}

}  // namespace
