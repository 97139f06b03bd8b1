// The fast march against the straightforward one: the same accumulators,
// bit for bit, every contributing sample taken; occupancy bits and crossing
// bounds that hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "march/FastMarch.h"
#include "tests/BuiltScene.h"

namespace {

// Whether the voxel cell or one of its neighbours holds an object.
bool NearOccupied(const VoxelField& field, int cell) {
  const auto [i, j, k] = CellIndicesOf(cell);
  for (int a = std::max(i - 1, 0); a <= std::min(i + 1, kGridSize - 1); ++a)
    for (int b = std::max(j - 1, 0); b <= std::min(j + 1, kGridSize - 1); ++b)
      for (int c = std::max(k - 1, 0); c <= std::min(k + 1, kGridSize - 1); ++c)
        if (field.radiusGrid[CellAt(a, b, c)] > 0) return true;
  return false;
}

// Whether the cells around bitmap cell (c, r) hold both lit and unlit ones
// (off the bitmap counts as unlit).
bool NearLitEdge(const int32_t* map, int columns, int rows, int c, int r) {
  bool lit = false, unlit = false;
  for (int dc = -1; dc <= 1; ++dc) {
    for (int dr = -1; dr <= 1; ++dr) {
      const int cc = c + dc, rr = r + dr;
      const bool on = cc >= 0 && rr >= 0 && cc < columns && rr < rows && map[cc * rows + rr] == 1;
      (on ? lit : unlit) = true;
    }
  }
  return lit && unlit;
}

// A third angle other than 0 (a view of its own, with its own maps): the
// fast march still gives the straightforward march's colours.
TEST(FastMarch, AnotherThirdAngleStillMatchesTheReference) {
  const auto frame = std::make_unique<Frame>();
  BuildFrame(*frame, {-0.5f, -0.5f, 0.3f});
  for (int x : {300, 512}) {
    for (int y = 0; y <= 768; y += 7) {
      for (const MarchKernels* kernels : AllKernels()) {
        ASSERT_PRED2(SameBits,
                     MarchPixelFast({frame->scene, *frame->maps, *kernels}, (float)x, (float)y),
                     AccumulatePixel(frame->scene, (float)x, (float)y))
            << "pixel " << x << ", " << y << ", " << kernels->name;
      }
    }
  }
}

// Beyond what the march keeps (here more occupied cells near a group's
// rays than it has room for: every cell of the grid holds an object, and
// the group's rays are 96 rows apart, as a coarse preview's may be) each
// ray is looked at sample by sample, the safety net, and still gives the
// straightforward march's colours.
TEST(FastMarch, RaysBeyondItsBoundsAreLookedAtWholeAndExact) {
  const auto frame = std::make_unique<Frame>();
  BuildFrame(*frame);
  Scene* scene = &frame->scene;
  for (int cell = 0; cell < kGridCells; ++cell) {
    scene->field.radiusGrid[cell] = 0.2f + 0.1f * (float)(cell % 3);
    scene->field.kindGrid[cell] = (float)(1 + cell % 2);
  }
  SkipMaps* maps = frame->maps.get();
  BuildSkipMaps(*scene, *maps);
  const auto lists = std::make_unique<ContributionLists>();
  constexpr int kStep = 96;
  for (const MarchKernels* kernels : AllKernels()) {
    std::vector<Accumulator> column(kColumnHeight);
    std::vector<MarchCounts> counts(kColumnHeight);
    MarchColumnRows({*scene, *maps, *kernels}, 512, 0, kStep, *lists, column.data(),
                    counts.data());
    for (int y = 0; y < kColumnHeight; y += kStep) {
      ASSERT_PRED2(SameBits, column[y], AccumulatePixel(*scene, 512.0f, (float)y))
          << "pixel 512, " << y << ", " << kernels->name;
      if (y == 768) continue;  // a group of its own, one row near few cells
      EXPECT_EQ(counts[y].wholeRays, 1u) << "pixel 512, " << y;
      EXPECT_EQ(counts[y].examined, (uint64_t)kSamplesPerRay) << "pixel 512, " << y;
    }
  }
}

// Whole columns across the image: rays that cross spheres, cubes and all
// three slabs, and rays that graze their faces; marched as the render pass
// does, in groups of rays that skip empty space together.
TEST(FastMarch, WholeColumnsMatchTheReferenceSampleForSample) {
  const Frame& b = TheScene();
  const auto lists = std::make_unique<ContributionLists>();
  for (int x : {0, 137, 300, 512, 641, 777, 1024}) {
    ExpectColumnMatchesReference(b.scene, *b.maps, x, *lists, "");
    if (HasFatalFailure()) return;
  }
}

// The pixels whose rays pass closest to a cell face or a slab face, where a
// skip bound that is off by a little would first miss a sample.
TEST(FastMarch, GrazingRaysMatchTheReference) {
  const Frame& b = TheScene();
  struct Graze {
    double distance;
    int x, y;
  };
  std::vector<Graze> grazes;
  for (int x = 3; x <= 1024; x += 61) {
    for (int y = 0; y <= 768; ++y) {
      const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
      double nearest = 1;
      for (int t = 0; t <= 2000; ++t) {
        const SamplePoint s = ComputeSamplePoint(b.scene.rotation, x0, y0, (float)t);
        const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
        if (NearOccupied(b.scene.field, cell)) {
          for (float u : {s.sx, s.sy, s.sz})
            nearest = std::min(nearest, (double)std::fabs(u - std::round(u)));
        }
        const float gz = LayerDepth(kWordLayer, s.sz);
        nearest = std::min({nearest, std::fabs(gz + 1.0), std::fabs(gz - 2.0)});
        // The faces of the word's cells where lit meets unlit, in sample units.
        const GridPoint g = LayerCoordinates(kWordLayer, s.sx, s.sy, s.sz);
        if (gz >= -1 && gz <= 2 &&
            NearLitEdge(b.scene.layers.wordMap, kWordColumns, kWordRows, (int)std::ceil(g.gx) - 1,
                        (int)std::ceil(g.gy) - 1)) {
          nearest = std::min({nearest, std::fabs(g.gx - std::round(g.gx)) / 1.8,
                              std::fabs(g.gy - std::round(g.gy)) * 1.5});
        }
      }
      grazes.push_back({nearest, x, y});
    }
  }
  std::partial_sort(grazes.begin(), grazes.begin() + 200, grazes.end(),
                    [](const Graze& a, const Graze& b) { return a.distance < b.distance; });
  EXPECT_LT(grazes[199].distance, 1e-4);
  for (int i = 0; i < 200; ++i)
    ExpectPixelMatchesReference(TheScene(), grazes[i].x, grazes[i].y, "");
}

// Every cell of the grid against its bit, the upper half of each word
// included.
TEST(SkipMaps, OccupiedBitsAreTheOccupiedCells) {
  const Frame& b = TheScene();
  int occupied = 0;
  for (int c = 0; c < kGridCells; ++c) {
    const bool bit = (b.maps->occupied[c / kGridSize] >> (c % kGridSize) & 1) != 0;
    ASSERT_EQ(bit, b.scene.field.radiusGrid[c] > 0) << "cell " << c;
    occupied += bit;
  }
  EXPECT_GT(occupied, 100);
  for (int column = 0; column < kGridSize * kGridSize; ++column)
    ASSERT_EQ(b.maps->occupied[column] >> kGridSize, 0u) << "column " << column;
}

// The bounding box of a bitmap's lit cells, against the bitmap.
TEST(RayPath, LitBoxesHoldEveryLitCellAndTouchOne) {
  const Frame& b = TheScene();
  const int32_t* bitmaps[3] = {b.scene.layers.wordMap, b.scene.layers.stripMap,
                               b.scene.layers.bannerMap};
  for (int l = 0; l < 3; ++l) {
    const SlabShape& shape = kSlabShapes[l];
    const CellBox box = b.maps->litBox[l];
    bool touches[4] = {};
    for (int c = 0; c < shape.columns; ++c) {
      for (int r = 0; r < shape.rows; ++r) {
        if (bitmaps[l][c * shape.rows + r] != 1) continue;
        ASSERT_TRUE(c >= box.firstColumn && c <= box.lastColumn && r >= box.firstRow &&
                    r <= box.lastRow)
            << "layer " << l << " cell " << c << ", " << r;
        touches[0] |= c == box.firstColumn, touches[1] |= c == box.lastColumn;
        touches[2] |= r == box.firstRow, touches[3] |= r == box.lastRow;
      }
    }
    EXPECT_TRUE(touches[0] && touches[1] && touches[2] && touches[3]) << "layer " << l;
  }
}

}  // namespace
