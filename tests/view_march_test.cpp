// The fast march on every test view: the bands where a computed sample may
// lie across a face hold every sample that does, and the march gives the
// straightforward march's accumulators, bit for bit, on whole columns and
// on the rays that graze faces, along them or where they turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "march/Events.h"
#include "tests/BuiltScene.h"
#include "tests/TestViews.h"

namespace {

const Frame& ViewScene(int v) {
  static std::unique_ptr<Frame> built[kTestViewCount];
  if (!built[v]) {
    built[v] = std::make_unique<Frame>();
    BuildFrame(*built[v], kTestViews[v].view);
  }
  return *built[v];
}

std::string Named(int v) {
  const View& view = kTestViews[v].view;
  char text[128];
  std::snprintf(text, sizeof text, "view %s (%.9g, %.9g, %.9g)", kTestViews[v].name, view.A,
                view.B, view.C);
  return text;
}

// Whether sample t lies within one of the spans.
bool Within(const Spans& spans, double t) {
  for (int i = 0; i < spans.count; ++i) {
    if (t >= spans.list[i].from && t <= spans.list[i].to) return true;
  }
  return false;
}

// Every face f between a computed value and the exact one, or that the
// computed value lies on, has sample t within its band. Returns how many
// faces were crossed so.
int ExpectWithinBands(double computed, double exact, double t, const Track& track, double stray,
                      const char* what, const std::string& where) {
  int crossed = 0;
  for (double f = std::floor(std::min(computed, exact)); f <= std::ceil(std::max(computed, exact));
       ++f) {
    if ((computed < f && exact < f) || (computed > f && exact > f)) continue;
    ++crossed;
    Spans band;
    Band(track, f, stray, band);
    EXPECT_TRUE(Within(band, t)) << where << ": " << what << " face " << f << " at sample " << t
                                 << ", computed " << computed << ", exact " << exact;
  }
  return crossed;
}

// What a group of rays (rows y, y + step, ... of column x, under a plan
// for rows `first` to `first` + planRows - 1) decides once for all of them,
// against every computed sample of each ray: an occupied cell a sample
// falls in is one of the group's cells, along an axis the group found its
// rays inside a cell every sample within the cell's sz faces has the
// cell's index, and a slab lit at a sample is within the group's reach.
// Returns how many samples were held to an inside axis.
int ExpectGroupCellsHold(const Scene& scene, const SkipMaps& maps, int x, int first, int planRows,
                         int y, int step, int rays, const std::string& view) {
  GroupPlan plan;
  PlanRows(scene, maps, (float)x, (float)first, planRows, plan);
  const float x0 = ColumnCoordinate((float)x);
  const auto rowOf = [&](int k) { return RowCoordinate((float)(y + k * step)); };
  const RayPath top = PathOf(scene.rotation, x0, rowOf(0));
  const RayPath bottom = PathOf(scene.rotation, x0, rowOf(rays - 1));
  GroupCells cells;
  GroupCellsOf(top, bottom, plan, cells);
  bool reached[3];
  for (int l = 0; l < 3; ++l) reached[l] = SlabInReach(top, bottom, kSlabShapes[l], maps.litBox[l]);
  int held = 0;
  for (int k = 0; k < rays; ++k) {
    for (int t = 0; t <= 2000; ++t) {
      const SamplePoint s = ComputeSamplePoint(scene.rotation, x0, rowOf(k), (float)t);
      const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
      const auto [i, j, c] = CellIndicesOf(cell);
      bool listed = scene.field.radiusGrid[cell] <= 0;
      for (int g = 0; g < cells.count; ++g) {
        const GroupCell& near = cells.list[g];
        listed = listed || near.cell == cell;
        const CellIndices at = CellIndicesOf(near.cell);
        if (at.k != c || near.insideAxes == 0) continue;
        ++held;
        if ((near.insideAxes & 1) != 0) {
          EXPECT_EQ(i, at.i) << view << ", pixel " << x << ", " << y + k * step << ", sample " << t
                             << ": sx outside cell " << near.cell << " that the group is inside";
        }
        if ((near.insideAxes & 2) != 0) {
          EXPECT_EQ(j, at.j) << view << ", pixel " << x << ", " << y + k * step << ", sample " << t
                             << ": sy outside cell " << near.cell << " that the group is inside";
        }
      }
      EXPECT_TRUE(listed) << view << ", pixel " << x << ", " << y + k * step << ", sample " << t
                          << ": occupied cell " << cell << " left out of the group's";
      for (int l = 0; l < 3; ++l) {
        EXPECT_TRUE(reached[l] || !LayerCellLit(scene.layers, kBitmapLayers[l],
                                                LayerCoordinates(kBitmapLayers[l], s.sx, s.sy, s.sz)))
            << view << ", pixel " << x << ", " << y + k * step << ", sample " << t << ": slab " << l
            << " lit beyond the group's reach";
      }
      if (::testing::Test::HasFailure()) return held;
    }
  }
  return held;
}

// The premises, for each view, on every sample of rays across the frame:
// the computed coordinates stray from the exact path by less than
// kPathError, and wherever a computed cell index, slab column or row,
// depth test or pattern value differs from the exact path's (or lies on a
// face), the sample lies within that face's band.
TEST(Views, ComputedSamplesCrossFacesOnlyWithinTheirBands) {
  for (int v = 0; v < kTestViewCount; ++v) {
    const ViewRotation& rotation = ViewScene(v).scene.rotation;
    int crossed = 0;
    for (int x : {0, 1, 512, 1024, 97 + 41 * v}) {
      for (int y = 0; y <= 768; y += (y % 192 <= 1 || y % 192 >= 191) ? 1 : 7) {
        const std::string where = Named(v) + ", pixel " + std::to_string(x) + ", " +
                                  std::to_string(y);
        const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
        const RayPath path = PathOf(rotation, x0, y0);
        const Track voxel[3] = {TrackX(path, 1, 25), TrackY(path, 1, 25), TrackZ(path, 1, 25)};
        for (int t = 0; t <= 2000; ++t) {
          const SamplePoint s = ComputeSamplePoint(rotation, x0, y0, (float)t);
          const double computed[3] = {s.sx, s.sy, s.sz};
          const double exact[3] = {PathX(path, t), PathY(path, t), PathZ(path, t)};
          for (int a = 0; a < 3; ++a) {
            ASSERT_LT(std::fabs(computed[a] - exact[a]), kPathError / 2)
                << where << ", sample " << t << ", axis " << a;
            // The cell index's coordinates, shifted by 25 as VoxelCellIndex does.
            crossed += ExpectWithinBands((float)(computed[a] + 25), exact[a] + 25, t, voxel[a],
                                         StrayOf(1), "voxel", where);
          }
          for (int l = 0; l < 3; ++l) {
            const SlabShape& shape = kSlabShapes[l];
            const GridPoint g = LayerCoordinates(kBitmapLayers[l], s.sx, s.sy, s.sz);
            const Track gx = SlabTrackX(path, shape), gy = SlabTrackY(path, shape);
            const Track pattern = PatternTrack(path, shape);
            crossed += ExpectWithinBands(g.gx, TrackAt(gx, t), t, gx, StrayOf(shape.scaleX),
                                         "slab column", where);
            crossed += ExpectWithinBands(g.gy, TrackAt(gy, t), t, gy, StrayOf(shape.scaleY),
                                         "slab row", where);
            // The pattern's sum as LayerPattern takes it (exact in double).
            crossed += ExpectWithinBands(
                shape.patternX * (double)g.gx + shape.patternY * (double)g.gy,
                TrackAt(pattern, t), t, pattern, PatternStray(shape), "pattern", where);
            for (const double face : {shape.szLow, shape.szHigh}) {
              const double depthFace = face == shape.szLow ? -1 : 2;
              if ((g.gz < depthFace) != (exact[2] < face) || g.gz == depthFace) {
                ++crossed;
                Spans band;
                Band(SlabTrackZ(path), face, kDepthStray, band);
                EXPECT_TRUE(Within(band, t)) << where << ": slab depth at sample " << t;
              }
            }
          }
        }
        if (HasFailure()) return;
      }
    }
    // What the groups of whole columns decide once for their rays, and
    // those of every 4th and every 96th row, whose rays lie farther apart,
    // each under the plan the march gives it.
    const Frame& b = ViewScene(v);
    int held = 0;
    const auto holdRows = [&](int x, int first, int step) {
      for (int y = first, plan = first, planned = first; y < kColumnHeight;
           y += kMaxGroupRays * step) {
        const int rays = std::min(kMaxGroupRays, (kColumnHeight - 1 - y) / step + 1);
        const int span = (rays - 1) * step + 1;
        if (y + span > planned) plan = y, planned = y + PlanSpan(y, step, span);
        held += ExpectGroupCellsHold(b.scene, *b.maps, x, plan, planned - plan, y, step, rays,
                                     Named(v));
        if (HasFailure()) return false;
      }
      return true;
    };
    for (int x : {0, 512, 1024, 97 + 41 * v}) {
      if (!holdRows(x, 0, 1)) return;
    }
    for (auto [step, firsts] : {std::pair{4, 1}, {96, 19}}) {
      for (int first = 0; first < firsts * 5; first += 5) {
        if (!holdRows(512, first, step)) return;
      }
    }
    std::printf("%s: %d computed values across or on a face, each within its band; %d samples "
                "inside along an axis a group decided\n",
                Named(v).c_str(), crossed, held);
  }
}

// Whole columns of every view, marched as the render pass does: the
// middle column (x0 = 0, where sx stays on a face in some views), the
// edges, and one of the view's own. Each view's count of rays looked at
// whole (beyond the bounds) is printed.
TEST(Views, WholeColumnsMatchTheReference) {
  const auto lists = std::make_unique<ContributionLists>();
  for (int v = 0; v < kTestViewCount; ++v) {
    const Frame& b = ViewScene(v);
    MarchCounts sum;
    for (int x : {0, 512, 1024, 203 + 37 * v}) {
      ExpectColumnMatchesReference(b.scene, *b.maps, x, *lists, Named(v) + ", ", &sum);
      if (HasFatalFailure()) return;
    }
    std::printf("%s: 4 columns, %llu samples looked at, %llu rays looked at whole\n",
                Named(v).c_str(), (unsigned long long)sum.examined,
                (unsigned long long)sum.wholeRays);
  }
}

// Whether the voxel cell or one of its neighbours holds an object.
bool NearOccupied(const VoxelField& field, int cell) {
  const auto [i, j, k] = CellIndicesOf(cell);
  for (int a = std::max(i - 1, 0); a <= std::min(i + 1, kGridSize - 1); ++a)
    for (int b = std::max(j - 1, 0); b <= std::min(j + 1, kGridSize - 1); ++b)
      for (int c = std::max(k - 1, 0); c <= std::min(k + 1, kGridSize - 1); ++c)
        if (field.radiusGrid[CellAt(a, b, c)] > 0) return true;
  return false;
}

// Whether the computed point is on or next to a lit cell of some slab,
// within its depth.
bool NearLit(const Scene& scene, const SamplePoint& s) {
  for (BitmapLayer layer : kBitmapLayers) {
    const GridPoint g = LayerCoordinates(layer, s.sx, s.sy, s.sz);
    if (!(g.gz >= -1.01f && g.gz <= 2.01f)) continue;
    for (float dx : {-1.0f, 0.0f, 1.0f}) {
      for (float dy : {-1.0f, 0.0f, 1.0f}) {
        const GridPoint n = {g.gx + dx, g.gy + dy, std::clamp(g.gz, -1.0f, 2.0f)};
        if (LayerCellLit(scene.layers, layer, n)) return true;
      }
    }
  }
  return false;
}

// How near a value comes to a whole number.
double ToWhole(double u) {
  return std::fabs(u - std::round(u));
}

// The rays of each view whose exact paths pass closest to a face where it
// matters (an occupied cell or a lit slab cell near): along the ray, and
// where sx or sy turns (there the path may graze a face it never crosses).
TEST(Views, GrazingRaysMatchTheReference) {
  for (int v = 0; v < kTestViewCount; ++v) {
    const Frame& b = ViewScene(v);
    struct Graze {
      double distance;
      int x, y;
    };
    std::vector<Graze> along, turning;
    // The nearest few of each column, so that no one column (say the middle
    // one, on a face all along) takes every place.
    for (int x = 5 + 3 * v; x <= 1024; x += 128) {
      std::vector<Graze> column;
      for (int y = v % 3; y <= 768; y += 3) {
        const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
        double nearest = 1;
        for (int t = 0; t <= 2000; ++t) {
          const SamplePoint s = ComputeSamplePoint(b.scene.rotation, x0, y0, (float)t);
          if (NearOccupied(b.scene.field, VoxelCellIndex(s.sx, s.sy, s.sz))) {
            for (float u : {s.sx, s.sy, s.sz}) nearest = std::min(nearest, ToWhole(u));
          }
          if (NearLit(b.scene, s)) {
            for (BitmapLayer layer : kBitmapLayers) {
              const GridPoint g = LayerCoordinates(layer, s.sx, s.sy, s.sz);
              const SlabShape& shape = kSlabShapes[layer];
              nearest = std::min({nearest, ToWhole(g.gx) / shape.scaleX,
                                  ToWhole(g.gy) / shape.scaleY, std::fabs(g.gz + 1.0) / shape.scaleZ,
                                  std::fabs(g.gz - 2.0) / shape.scaleZ});
            }
          }
        }
        column.push_back({nearest, x, y});
      }
      std::partial_sort(column.begin(), column.begin() + 3, column.end(),
                        [](const Graze& a, const Graze& b) { return a.distance < b.distance; });
      along.insert(along.end(), column.begin(), column.begin() + 3);
    }
    // Where sx or sy turns on a ray: how near the turning value is to a
    // voxel face, or to the word's columns and rows, over rays across the
    // whole frame (the turning point alone, so every column).
    for (int x = 0; x <= 1024; ++x) {
      for (int y = x % 2; y <= 768; y += 2) {
        const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
        const RayPath path = PathOf(b.scene.rotation, x0, y0);
        double nearest = 1;
        for (const Track& track : {TrackX(path, 1, 0), TrackY(path, 1, 0)}) {
          if (track.turn == kNoTurn || track.turn < -10 || track.turn > 10) continue;
          const float t = (float)std::round((track.turn + 10) * 100);
          const SamplePoint s = ComputeSamplePoint(b.scene.rotation, x0, y0, t);
          const double value = track.At(track.turn);
          if (NearOccupied(b.scene.field, VoxelCellIndex(s.sx, s.sy, s.sz)))
            nearest = std::min(nearest, ToWhole(value));
          if (NearLit(b.scene, s)) {
            const SlabShape& word = kSlabShapes[kWordLayer];
            nearest = std::min({nearest, ToWhole(value * word.scaleX + word.offsetX),
                                ToWhole((value + word.offsetY) * word.scaleY)});
          }
        }
        if (nearest < 1) turning.push_back({nearest, x, y});
      }
    }
    const auto nearer = [](const Graze& a, const Graze& b) { return a.distance < b.distance; };
    const size_t alongCount = along.size();
    std::sort(along.begin(), along.end(), nearer);
    const size_t turningCount = std::min<size_t>(12, turning.size());
    std::partial_sort(turning.begin(), turning.begin() + turningCount, turning.end(), nearer);
    for (size_t i = 0; i < alongCount; ++i)
      ExpectPixelMatchesReference(b, along[i].x, along[i].y, Named(v) + ", ");
    for (size_t i = 0; i < turningCount; ++i)
      ExpectPixelMatchesReference(b, turning[i].x, turning[i].y, Named(v) + ", ");
    if (HasFatalFailure()) return;
    std::printf("%s: %zu grazing rays (nearest %.2g), %zu turning near a face (nearest %.2g)\n",
                Named(v).c_str(), alongCount, along[0].distance, turningCount,
                turningCount > 0 ? turning[0].distance : 1.0);
  }
}

// Every step-th row of a column, from row 0 (the preview's) or another (a
// sharpening image's), is the whole column's, accumulator for accumulator,
// on every view and with every kernel set: each ray sits at another place
// in its group, under a plan for a wider span of rows. The other rows are
// left alone.
TEST(Views, EveryStepthRowIsTheWholeColumns) {
  const auto lists = std::make_unique<ContributionLists>();
  const Accumulator untouched = {-1.0f, -2.0f, -3.0f};
  for (int v = 0; v < kTestViewCount; ++v) {
    const Frame& b = ViewScene(v);
    for (const MarchKernels* kernels : AllKernels()) {
      const MarchContext march = {b.scene, *b.maps, *kernels};
      for (int x : {0, 512, 1024, 203 + 37 * v}) {
        std::vector<Accumulator> whole(kColumnHeight);
        MarchColumnFast(march, x, *lists, whole.data());
        // From row 0 (the preview's rows) and from rows between (a
        // sharpening image's).
        for (auto [first, step] : {std::pair{0, 2}, {1, 2}, {0, 3}, {2, 3}, {0, 4}, {2, 4}}) {
          std::vector<Accumulator> rows(kColumnHeight, untouched);
          MarchColumnRows(march, x, first, step, *lists, rows.data());
          for (int y = 0; y <= 768; ++y) {
            const bool marched = y >= first && (y - first) % step == 0;
            ASSERT_PRED2(SameBits, rows[y], marched ? whole[y] : untouched)
                << Named(v) << ", pixel " << x << ", " << y << ", rows " << first << " + k "
                << step << ", " << kernels->name;
          }
        }
      }
    }
  }
}

}  // namespace
