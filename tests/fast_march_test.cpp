// The fast march against the straightforward one: same colours, every
// contributing sample taken, distance maps and movement bounds that hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "render/FastMarch.h"
#include "render/MarchColumns.h"
#include "render/ShadeRun.h"
#include "tests/BuiltScene.h"
#include "tests/GoldenDigest.h"
#include "tools/FrameDigest.h"

namespace {

// How many samples of the pixel blend into it, by the straightforward march.
int ContributingSamples(const Scene& scene, int x, int y) {
  const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
  int count = 0;
  for (int t = 0; t <= 2000; ++t) {
    const SamplePoint s = ComputeSamplePoint(scene.rotation, x0, y0, (float)t);
    bool blends = scene.field.radiusGrid[VoxelCellIndex(s.sx, s.sy, s.sz)] > 0;
    for (BitmapLayer layer : {kWordLayer, kStripLayer, kBannerLayer}) {
      blends =
          blends || LayerCellLit(scene.layers, layer, LayerCoordinates(layer, s.sx, s.sy, s.sz));
    }
    count += blends;
  }
  return count;
}

// The kernels this machine can run: the scalar ones, and AVX2 where the
// processor has it.
std::vector<MarchKernels> Kernels() {
  std::vector<MarchKernels> kernels = {kScalarKernels};
  if (Avx2Available()) kernels.push_back(kAvx2Kernels);
  return kernels;
}

// The pixel alone, and as each ray of a group of four (so that it is in
// turn the ray whose look decides for the group, and one of the others).
void ExpectSameAsReference(int x, int y) {
  const Built& b = TheScene();
  const COLORREF reference = MarchPixel(b.scene, (float)x, (float)y);
  const uint64_t contributing = ContributingSamples(b.scene, x, y);
  const auto lists = std::make_unique<ContributionLists>();
  for (const MarchKernels& kernels : Kernels()) {
    MarchCounts counts;
    ASSERT_EQ(MarchPixelFast(b.scene, b.maps, kernels, (float)x, (float)y, &counts), reference)
        << "pixel " << x << ", " << y;
    ASSERT_EQ(counts.evaluated, contributing) << "pixel " << x << ", " << y;
    for (int k = 0; k < kGroupRays; ++k) {
      if (y - k < 0 || y - k + kGroupRays > kColumnHeight) continue;
      MarchCounts group[kGroupRays];
      CollectGroup(b.scene, b.maps, kernels, (float)x, (float)(y - k), kGroupRays, *lists, group);
      Accumulator accs[kGroupRays];
      kernels.blendGroup(*lists, kGroupRays, accs);
      ASSERT_EQ(PackColour(accs[k]), reference) << "pixel " << x << ", " << y << " as ray " << k;
      ASSERT_EQ(group[k].evaluated, contributing) << "pixel " << x << ", " << y << " as ray " << k;
    }
  }
}

// The movement bounds assume the third angle of the view rotation is 0.
// Were it not, the fast march must still give the straightforward march's
// colours: it then looks at every sample.
TEST(FastMarch, AnotherThirdAngleStillMatchesTheReference) {
  auto scene = std::make_unique<Scene>(TheScene().scene);
  scene->rotation.sinC = (float)std::sin(0.3), scene->rotation.cosC = (float)std::cos(0.3);
  for (int x : {300, 512}) {
    for (int y = 0; y <= 768; y += 7) {
      for (const MarchKernels& kernels : Kernels()) {
        ASSERT_EQ(MarchPixelFast(*scene, TheScene().maps, kernels, (float)x, (float)y),
                  MarchPixel(*scene, (float)x, (float)y))
            << "pixel " << x << ", " << y;
      }
    }
  }
}

// Whole columns across the image: rays that cross spheres, cubes and all
// three slabs, and rays that graze their faces; marched as the render pass
// does, in groups of rays that skip empty space together.
TEST(FastMarch, WholeColumnsMatchTheReferenceSampleForSample) {
  const Built& b = TheScene();
  const auto lists = std::make_unique<ContributionLists>();
  for (int x : {0, 137, 300, 512, 641, 777, 1024}) {
    std::vector<COLORREF> reference(kColumnHeight);
    std::vector<int> contributing(kColumnHeight);
    for (int y = 0; y <= 768; ++y) {
      reference[y] = MarchPixel(b.scene, (float)x, (float)y);
      contributing[y] = ContributingSamples(b.scene, x, y);
    }
    for (const MarchKernels& kernels : Kernels()) {
      std::vector<COLORREF> column(kColumnHeight);
      std::vector<MarchCounts> counts(kColumnHeight);
      MarchColumnFast(b.scene, b.maps, kernels, x, *lists, column.data(), counts.data());
      for (int y = 0; y <= 768; ++y) {
        ASSERT_EQ(column[y], reference[y]) << "pixel " << x << ", " << y;
        ASSERT_EQ(counts[y].evaluated, (uint64_t)contributing[y]) << "pixel " << x << ", " << y;
      }
    }
  }
}

// The pixels whose rays pass closest to a cell face or a slab face, where a
// skip bound that is off by a little would first miss a sample.
TEST(FastMarch, GrazingRaysMatchTheReference) {
  const Built& b = TheScene();
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
        if (b.maps.voxel[cell] <= 1) {
          for (float u : {s.sx, s.sy, s.sz})
            nearest = std::min(nearest, (double)std::fabs(u - std::round(u)));
        }
        const float gz = LayerDepth(kWordLayer, s.sz);
        nearest = std::min({nearest, std::fabs(gz + 1.0), std::fabs(gz - 2.0)});
        // The faces of the word's cells where lit meets unlit, in sample units.
        const GridPoint g = LayerCoordinates(kWordLayer, s.sx, s.sy, s.sz);
        if (gz >= -1 && gz <= 2 && g.gx > 0 && g.gx < kWordColumns && g.gy > 0 &&
            g.gy < kWordRows) {
          const int cell = (int)g.gx * kWordRows + (int)g.gy;
          if (b.maps.slab[0].lit[cell] <= 1 && b.maps.slab[0].dark[cell] <= 1) {
            nearest = std::min({nearest, std::fabs(g.gx - std::round(g.gx)) / 1.8,
                                std::fabs(g.gy - std::round(g.gy)) * 1.5});
          }
        }
      }
      grazes.push_back({nearest, x, y});
    }
  }
  std::partial_sort(grazes.begin(), grazes.begin() + 200, grazes.end(),
                    [](const Graze& a, const Graze& b) { return a.distance < b.distance; });
  EXPECT_LT(grazes[199].distance, 1e-4);
  for (int i = 0; i < 200; ++i) ExpectSameAsReference(grazes[i].x, grazes[i].y);
}

TEST(SkipMaps, DistancesAreChebyshevToTheNearestContributingCell) {
  const Built& b = TheScene();
  std::vector<int> occupied;
  for (int c = 0; c < kGridCells; ++c) {
    if (b.scene.field.radiusGrid[c] > 0) occupied.push_back(c);
  }
  for (int c = 0; c < kGridCells; c += 7) {
    int best = 255;
    for (int o : occupied) {
      const int d = std::max({std::abs(c / 2500 - o / 2500), std::abs(c / 50 % 50 - o / 50 % 50),
                              std::abs(c % 50 - o % 50)});
      best = std::min(best, d);
    }
    ASSERT_EQ(b.maps.voxel[c], best) << "cell " << c;
  }
  // Each bitmap, by brute force: the distance to the nearest lit cell, and
  // to the nearest cell where a lit run ends (unlit, the last column or
  // row, or off the bitmap: one past its edge).
  const int32_t* bitmaps[3] = {b.scene.layers.wordMap, b.scene.layers.stripMap,
                               b.scene.layers.bannerMap};
  const int columnCounts[3] = {kWordColumns, kStripColumns, kBannerColumns};
  const int rowCounts[3] = {kWordRows, kStripRows, kBannerRows};
  for (int l = 0; l < 3; ++l) {
    const int columns = columnCounts[l], rows = rowCounts[l];
    const auto lit = [&](int c, int r) {
      return c >= 0 && r >= 0 && c < columns && r < rows && bitmaps[l][c * rows + r] == 1;
    };
    for (int c = 0; c < columns; ++c) {
      for (int r = 0; r < rows; ++r) {
        int toLit = 255, toDark = 255;
        for (int oc = -1; oc <= columns; ++oc) {
          for (int orow = -1; orow <= rows; ++orow) {
            const int d = std::max(std::abs(c - oc), std::abs(r - orow));
            if (lit(oc, orow)) toLit = std::min(toLit, d);
            if (!lit(oc, orow) || oc == columns - 1 || orow == rows - 1)
              toDark = std::min(toDark, d);
          }
        }
        ASSERT_EQ(b.maps.slab[l].lit[c * rows + r], toLit) << "layer " << l << " " << c << " " << r;
        ASSERT_EQ(b.maps.slab[l].dark[c * rows + r], toDark)
            << "layer " << l << " " << c << " " << r;
      }
    }
  }
}

TEST(SkipMaps, NeighbourBitsMarkContributingNeighbours) {
  const Built& b = TheScene();
  for (int c = 2500 * 14; c < 2500 * 36; ++c) {
    const int i = c / 2500, j = c / 50 % 50, k = c % 50;
    if (j == 0 || k == 0 || j == 49 || k == 49) continue;
    for (int n = 0; n < 26; ++n) {
      const CellOffset o = kVoxelNeighbours[n];
      const bool occupied = b.maps.voxel[(i + o.x) * 2500 + (j + o.y) * 50 + (k + o.z)] == 0;
      ASSERT_EQ((b.maps.voxelNear[c] >> n & 1) != 0, occupied);
    }
  }
}

TEST(SkipMaps, TubesCountEmptyLayersUpwards) {
  const Built& b = TheScene();
  const auto occupied = [&](int i, int j, int k) {
    return i >= 0 && j >= 0 && i < kGridSize && j < kGridSize &&
           b.scene.field.radiusGrid[i * 2500 + j * 50 + k] > 0;
  };
  for (int c = 0; c < kGridCells; c += 3) {
    const int i = c / 2500, j = c / 50 % 50;
    int run = 0;
    for (int k = c % 50; k < kGridSize; ++k, ++run) {
      bool empty = true;
      for (int a = -kTubeWidth; a <= kTubeWidth; ++a)
        for (int d = -kTubeWidth; d <= kTubeWidth; ++d) empty = empty && !occupied(i + a, j + d, k);
      if (!empty) break;
    }
    ASSERT_EQ(b.maps.tube[c], run) << "cell " << c;
  }
}

TEST(RayStep, SamplePointsStayNearTheExactPathAndWithinTheStepBound) {
  const ViewRotation& v = TheScene().scene.rotation;
  for (int x : {0, 1, 200, 512, 900, 1024}) {
    for (int y : {0, 5, 384, 600, 768}) {
      const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
      const RayStep step = BoundRayStep(v, x0, y0, y0);
      SamplePoint last = ComputeSamplePoint(v, x0, y0, 0);
      for (int t = 0; t <= 2000; ++t) {
        const SamplePoint s = ComputeSamplePoint(v, x0, y0, (float)t);
        const long double z0 = t / 100.0L - 10;
        const long double half = (50 - z0) / 65;
        const long double y1 = y0 * (long double)v.cosA + z0 * v.sinA;
        const long double z1 = z0 * v.cosA - y0 * (long double)v.sinA;
        const long double x2 = x0 * (long double)v.cosB + z1 * v.sinB;
        const long double z2 = z1 * v.cosB - x0 * (long double)v.sinB;
        ASSERT_LT(std::fabs((long double)s.sx - x2 * half), kPathError / 4)
            << x << " " << y << " " << t;
        ASSERT_LT(std::fabs((long double)s.sy - y1 * half), kPathError / 4);
        ASSERT_LT(std::fabs((long double)s.sz - z2), kPathError / 4);
        // Consecutive samples move less than the bound, per axis.
        const auto within = [](double move, AxisStep m) {
          return move * (move > 0 ? m.up : -m.down) <= 1.0;
        };
        // From every part of the ray that this step lies in or after.
        for (int q = 0; q <= (t > 0 ? (t - 1) / kPartSamples : 0) && q < kRayParts; ++q) {
          const AxisSteps& m = step.part[q];
          ASSERT_TRUE(within(s.sx - last.sx, m.x)) << x << " " << y << " " << t << " " << q;
          ASSERT_TRUE(within(s.sy - last.sy, m.y)) << x << " " << y << " " << t << " " << q;
          ASSERT_TRUE(within(s.sz - last.sz, m.z)) << x << " " << y << " " << t << " " << q;
        }
        last = s;
      }
    }
  }
}

// Any number of threads gives the same columns, drawn in the same order.
std::vector<COLORREF> drawn;
std::vector<int> drawnColumns;

void Collect(HDC, int x, const COLORREF* column) {
  drawnColumns.push_back(x);
  drawn.insert(drawn.end(), column, column + kColumnHeight);
}

TEST(MarchColumns, EveryThreadCountGivesTheGoldenImageInColumnOrder) {
  const Built& b = TheScene();
  std::vector<int> order(kColumnCount);
  for (int x = 0; x < kColumnCount; ++x) order[x] = x;
  for (int threads : {1, 3}) {
    drawn.clear();
    drawnColumns.clear();
    MarchColumns(b.scene, b.maps, ChooseKernels(), threads, nullptr, Collect);
    EXPECT_EQ(drawnColumns, order) << threads << " threads";
    EXPECT_EQ(ColoursDigest(drawn.data(), drawn.size()), kGoldenFrameDigest)
        << threads << " threads";
  }
}

}  // namespace
