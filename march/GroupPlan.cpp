// What neighbouring rays of a column share: the occupied voxel cells near
// them, found from the occupancy bits, and the slabs within their reach.
#include <algorithm>
#include <bit>

#include "march/Events.h"

// The occupied voxel cells that neighbouring rays may meet, found over
// stretches of this many samples.
constexpr int kStretch = 100;
constexpr int kStretches = kLastSample / kStretch;

// The depths and perspective halves where the stretches meet, the same
// for every ray.
struct StretchEnds {
  double z0[kStretches + 1], h[kStretches + 1];
};

static constexpr StretchEnds kEnds = [] {
  StretchEnds ends = {};
  for (int e = 0; e <= kStretches; ++e) {
    ends.z0[e] = DepthOf(e * kStretch);
    ends.h[e] = HalfOf(ends.z0[e]);
  }
  return ends;
}();

// The occupied cells that any computed sample of the rays between two
// paths (the group's first and last) can fall in. At each depth sx, sy
// and sz are linear in y0, so over each stretch of samples the exact paths
// lie within the box of the outer paths' extremes there: at the stretch's
// ends, or where a coordinate turns within it. The computed points lie
// far less than 1e-4 from it.
static void FindCandidates(const SkipMaps& maps, const RayPath (&paths)[2], GroupPlan& plan) {
  plan.candidateCount = 0;
  plan.tooMany = false;
  double at[3][2][kStretches + 1];  // axis, path, stretch end
  for (int p = 0; p < 2; ++p) {
    for (int e = 0; e <= kStretches; ++e) {
      at[0][p][e] = PathXAt(paths[p], kEnds.z0[e], kEnds.h[e]);
      at[1][p][e] = PathYAt(paths[p], kEnds.z0[e], kEnds.h[e]);
      at[2][p][e] = PathZAt(paths[p], kEnds.z0[e]);
    }
  }
  // Where sx and sy turn on each path, and their values there:
  // (a + b z)(50 - z) turns where z = 25 - a / (2 b).
  double turn[2][2], turnValue[2][2];  // axis, path
  for (int p = 0; p < 2; ++p) {
    const double a[2] = {paths[p].ax, paths[p].ay}, b[2] = {paths[p].bx, paths[p].by};
    for (int i = 0; i < 2; ++i) {
      turn[i][p] = b[i] != 0 ? 25 - a[i] / (2 * b[i]) : 1e9;
      turnValue[i][p] = (a[i] + b[i] * turn[i][p]) * HalfOf(turn[i][p]);
    }
  }
  for (int s = 0; s < kStretches; ++s) {
    int from[3], to[3];
    for (int a = 0; a < 3; ++a) {
      double low = std::min({at[a][0][s], at[a][1][s], at[a][0][s + 1], at[a][1][s + 1]});
      double high = std::max({at[a][0][s], at[a][1][s], at[a][0][s + 1], at[a][1][s + 1]});
      for (int p = 0; a < 2 && p < 2; ++p) {
        if (turn[a][p] > kEnds.z0[s] && turn[a][p] < kEnds.z0[s + 1])
          low = std::min(low, turnValue[a][p]), high = std::max(high, turnValue[a][p]);
      }
      // Truncation differs from the floor only below 0, where both clamp to 0.
      from[a] = std::clamp((int)(low - 1e-4 + 25), 0, kGridSize - 1);
      to[a] = std::clamp((int)(high + 1e-4 + 25), 0, kGridSize - 1);
    }
    // The box's cells along k, as bits, in each of its (i, j) columns.
    const uint64_t span = (uint64_t{2} << to[2]) - (uint64_t{1} << from[2]);
    for (int i = from[0]; i <= to[0]; ++i) {
      for (int j = from[1]; j <= to[1]; ++j) {
        for (uint64_t bits = maps.occupied[i * kGridSize + j] & span; bits != 0; bits &= bits - 1) {
          const int cell = CellAt(i, j, std::countr_zero(bits));
          if (std::find(plan.candidates, plan.candidates + plan.candidateCount, cell) !=
              plan.candidates + plan.candidateCount)
            continue;
          if (plan.candidateCount == kMaxCandidates) {
            plan.tooMany = true;
            return;
          }
          plan.candidates[plan.candidateCount++] = cell;
        }
      }
    }
  }
}

void PlanRows(const Scene& scene, const SkipMaps& maps, float x, float y, int rows,
              GroupPlan& plan) {
  plan = {};
  const float x0 = ColumnCoordinate(x);
  const RayPath ends[2] = {PathOf(scene.rotation, x0, RowCoordinate(y)),
                           PathOf(scene.rotation, x0, RowCoordinate(y + (float)(rows - 1)))};
  FindCandidates(maps, ends, plan);
  for (int l = 0; l < 3; ++l)
    plan.slabInReach[l] = SlabInReach(ends[0], ends[1], kSlabShapes[l], maps.litBox[l]);
}
