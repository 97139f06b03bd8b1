// The fast march: the same samples as MarchPixel wherever one can
// contribute, evaluated by the same functions; samples between crossings
// are known without looking at them, and runs that blend in the same
// layers are shaded together (ShadeRun.h).
//
// Why it is exact. A sample whose computed coordinate could lie on either
// side of a cell face lies within w = RayCrossingError (at most about 0.12
// samples for the scene's rotation, 0.015 on a typical ray) of where the
// exact path crosses that face; the march looks at every sample within w of
// each crossing that matters, with the definitions. Every other sample lies
// on the same side of every face as the exact path, so the layers it blends
// in are those of the exact path's cell there, which stay the same from one
// crossing to the next. Most crossings fall more than w from every sample
// and cost no look. The slabs' pattern lines are crossings of the same kind:
// between them each lit sample's pattern value is known, and a run of slab
// samples needs only their depths.
#include "render/FastMarch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>

#include "render/ShadeRun.h"

constexpr BitmapLayer kLayers[3] = {kWordLayer, kStripLayer, kBannerLayer};

// The occupied voxel cells that neighbouring rays may meet, found over
// stretches of this many samples.
constexpr int kStretch = 100;
constexpr int kStretches = 2000 / kStretch;
constexpr int kMaxCandidates = 128;
// Rows of a column that share one search for occupied cells: a few groups.
constexpr int kPlanRows = 32;
static_assert(kPlanRows % kGroupRays == 0);
// A ray's crossings, more than any ray of the scene has; a ray with more
// is looked at sample by sample.
constexpr int kMaxEvents = 512;

// Floor and ceiling of values well within int's range, without the
// library calls that a build for processors without SSE4.1 makes.
static int FloorInt(double v) {
  const int i = (int)v;
  return i - (i > v);
}
static int CeilInt(double v) {
  const int i = (int)v;
  return i + (i < v);
}

struct Ray {
  float x0, y0;
  RayPath path;
};

// A voxel cell's index along x, y and z: cell = (i * 50 + j) * 50 + k.
struct CellIndices {
  int i, j, k;
};

static CellIndices IndicesOf(int cell) {
  return {cell / (kGridSize * kGridSize), cell / kGridSize % kGridSize, cell % kGridSize};
}

// What blends at a sample: the occupied voxel cell (or -1), a bit per lit
// slab, and each lit slab's pattern value there (0 where it is not lit, so
// that equal states blend alike).
struct SampleState {
  int cell;
  unsigned lit;
  uint8_t pattern[3];
  bool operator==(const SampleState&) const = default;
};

// What the samples near a crossing change: from sample `from` to `to` (a
// crossing, or the two ends of a near miss) they must be looked at.
struct Event {
  // kPatternSet gives a slab's pattern value from `from` on, where the
  // slab is not lit or the value does not change: it needs no look. Of
  // events at the same sample it comes first.
  enum Kind : uint8_t { kPatternSet, kEnter, kLeave, kSlab, kPattern, kLook };
  double from, to;
  Kind kind;
  // The cell entered or left; the slab's bit, or'ed with 8 if lit after;
  // the slab's index, or'ed with the pattern value after, times 4.
  int value;
};

struct Events {
  Event list[kMaxEvents];
  int count = 0;
  bool full = false;
  void Add(Event e) {
    if (count == kMaxEvents)
      full = true;
    else
      list[count++] = e;
  }
};

// What neighbouring rays of a column share: the occupied cells near them,
// and the slabs within their reach.
struct GroupPlan {
  int candidates[kMaxCandidates];
  int candidateCount;
  bool tooMany;
  bool slabInReach[3];
};

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
// paths (the group's first and last) can fall in. Over each stretch of
// samples the exact paths lie within the box of their ends: sx, sy and sz
// are linear in y0, and move one way along each ray (sx and sy fall, sz
// climbs). The computed points lie far less than 1e-4 from it.
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
  for (int s = 0; s < kStretches; ++s) {
    int from[3], to[3];
    for (int a = 0; a < 3; ++a) {
      // Falling axes are lowest at the stretch's end, the climbing one at its start.
      const int lowEnd = a < 2 ? s + 1 : s, highEnd = a < 2 ? s : s + 1;
      const double low = std::min(at[a][0][lowEnd], at[a][1][lowEnd]);
      const double high = std::max(at[a][0][highEnd], at[a][1][highEnd]);
      // Truncation differs from the floor only below 0, where both clamp to 0.
      from[a] = std::clamp((int)(low - 1e-4 + 25), 0, kGridSize - 1);
      to[a] = std::clamp((int)(high + 1e-4 + 25), 0, kGridSize - 1);
    }
    // The box's cells along k, as bits, in each of its (i, j) columns.
    const uint64_t span = (uint64_t{2} << to[2]) - (uint64_t{1} << from[2]);
    for (int i = from[0]; i <= to[0]; ++i) {
      for (int j = from[1]; j <= to[1]; ++j) {
        for (uint64_t bits = maps.occupied[i * kGridSize + j] & span; bits != 0; bits &= bits - 1) {
          const int cell = (i * kGridSize + j) * kGridSize + std::countr_zero(bits);
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

// Where the ray's exact path is inside the cell: from its last entry to
// its first exit, over the three axes. Adds the crossings, or the near
// miss, unless the path passes more than a sample clear of it.
static void CellEvents(const RayPath& path, int cell, double window, Events& events) {
  const auto [i, j, k] = IndicesOf(cell);
  // sz climbs through the cell's depth.
  double lo = std::max(CrossZ(path, k - 25), -2.0), hi = std::min(CrossZ(path, k - 24), 2002.0);
  if (lo > hi) return;
  // sx and sy fall through [i - 25, i - 24) and [j - 25, j - 24). A path
  // still above the cell a sample after the last entry, or already below it
  // a sample before, passes it by more than a sample.
  const auto axis = [&](double (*at)(const RayPath&, double),
                        double (*cross)(const RayPath&, double), double bottom) {
    if (at(path, hi + 1) > bottom + 1 || at(path, lo - 1) < bottom) return false;
    if (at(path, lo) > bottom + 1) lo = std::max(lo, cross(path, bottom + 1));
    if (at(path, hi) < bottom) hi = std::min(hi, cross(path, bottom));
    return true;
  };
  if (!axis(PathX, CrossX, i - 25) || !axis(PathY, CrossY, j - 25)) return;
  // Only a sample within the window of both an entry and an exit can fall
  // in the cell the exact path misses.
  if (hi < lo - 2 * window) return;
  if (hi >= lo) {
    events.Add({lo, lo, Event::kEnter, cell});
    events.Add({hi, hi, Event::kLeave, cell});
  } else {
    events.Add({hi, lo, Event::kLook, 0});
  }
}

// Sorts a short list in place: rays have a handful of crossings, where
// insertion beats the general sort's set-up.
template <typename T, typename Less>
static void SortShort(T* list, int count, Less less) {
  if (count > 32) return std::sort(list, list + count, less);
  for (int i = 1; i < count; ++i) {
    const T item = list[i];
    int j = i;
    for (; j > 0 && less(item, list[j - 1]); --j) list[j] = list[j - 1];
    list[j] = item;
  }
}

// A whole number modulo m, 0 to m - 1.
static int Modulo(int n, int m) {
  return (n % m + m) % m;
}

// The crossings of slab l that matter: those where the ray comes onto or
// off lit cells, the bitmap's edges, and any two within a sample of each
// other (there the exact path may pass a corner the other way round); and,
// from a sample before each stretch of lit cells to one after it, the
// pattern's value and the lines where it changes. Returns whether the ray
// starts on a lit cell.
//
// Cell (c, r) holds gx in (c, c + 1] and gy in (r, r + 1]. Of the last
// column and row only the lower edge passes the range test, so they count
// as unlit, and their lines are crossings looked at where the bitmap
// lights them. A line with the same cells lit on both sides, over every
// row (or column) near the ray, changes nothing, even at a corner: it is
// left out, and a ray near no lit cell has no crossings at all.
static bool SlabEvents(const SkipMaps& maps, const RayPath& path, int l, double window,
                       Events& events) {
  const SlabShape& shape = kSlabShapes[l];
  const double in = CrossZ(path, shape.szLow), out = CrossZ(path, shape.szHigh);
  if (out < -2 || in > 2002) return false;
  // The crossings from a sample before the depth to one after it: one
  // just outside may still pass the corner with the depth's face.
  const double from = std::max(in - 1, -3.0), to = std::min(out + 1, 2003.0);
  // gx and gy fall along the ray; cell (c, r) holds gx in (c, c + 1].
  const auto gx = [&](double t) { return SlabX(path, shape, t); };
  const auto gy = [&](double t) { return SlabY(path, shape, t); };
  struct Crossing {
    double at;
    int8_t what;  // 0 depth in, 1 depth out, 2 column, 3 row
    int line;
  };
  constexpr int kMost = 64;
  Crossing crossings[kMost];
  int n = 0;
  bool inDepth = in < from;
  if (!inDepth) crossings[n++] = {in, 0, 0};
  if (out < to) crossings[n++] = {out, 1, 0};
  int column = CeilInt(gx(from)) - 1, row = CeilInt(gy(from)) - 1;
  const double columnEnd = gx(to), rowEnd = gy(to);
  // The columns and rows a computed sample can fall in, from a cell before
  // the exact path's first to one past its last, within the bitmap.
  const int columnLow = std::max(CeilInt(columnEnd) - 2, 0);
  const int columnHigh = std::min(column + 1, shape.columns - 1);
  const int rowLow = std::max(CeilInt(rowEnd) - 2, 0), rowHigh = std::min(row + 1, shape.rows - 1);
  if (columnLow > columnHigh || rowLow > rowHigh) return false;
  const unsigned reachedRows = (2u << rowHigh) - (1u << rowLow);
  const uint16_t* bits = maps.litRows[l];
  unsigned anyLit = 0;
  for (int c = columnLow; c <= columnHigh; ++c) anyLit |= bits[c] & reachedRows;
  if (anyLit == 0) return false;
  // The cells that count as lit, by column.
  const unsigned inner = (1u << (shape.rows - 1)) - 1;
  const auto cells = [&](int c) { return c >= 0 && c < shape.columns - 1 ? bits[c] & inner : 0u; };
  for (int c = std::min(column, shape.columns - 1); c > columnEnd && c >= 0 && n < kMost; --c) {
    const bool matters = ((cells(c - 1) ^ cells(c)) & reachedRows) != 0 ||
                         (c == shape.columns - 1 && (bits[c] & reachedRows) != 0);
    if (matters) crossings[n++] = {CrossX(path, (c - shape.offsetX) / shape.scaleX), 2, c};
  }
  for (int r = std::min(row, shape.rows - 1); r > rowEnd && r >= 0 && n < kMost; --r) {
    bool matters = false;
    for (int c = columnLow; c <= columnHigh; ++c) {
      const unsigned lit = cells(c), below = r > 0 ? lit >> (r - 1) & 1 : 0;
      matters =
          matters || (lit >> r & 1) != below || (r == shape.rows - 1 && (bits[c] >> r & 1) != 0);
    }
    if (matters) crossings[n++] = {CrossY(path, r / shape.scaleY - shape.offsetY), 3, r};
  }
  if (n == kMost) {
    events.full = true;
    return false;
  }
  SortShort(crossings, n, [](const Crossing& a, const Crossing& b) { return a.at < b.at; });
  const auto cellLit = [&](int c, int r) { return r >= 0 && r < 16 && (cells(c) >> r & 1) != 0; };
  const bool startLit = inDepth && cellLit(column, row);
  bool lit = startLit;
  struct Stretch {
    double on, off;
  };
  Stretch stretches[kMost];
  int stretchCount = 0;
  if (startLit) stretches[stretchCount++] = {from, to};
  for (int m = 0; m < n; ++m) {
    const Crossing& x = crossings[m];
    switch (x.what) {
      case 0: inDepth = true; break;
      case 1: inDepth = false; break;
      case 2: column = x.line - 1; break;
      default: row = x.line - 1; break;
    }
    const bool after = inDepth && cellLit(column, row);
    const bool edge = (x.what == 2 && (x.line == 0 || x.line == shape.columns - 1)) ||
                      (x.what == 3 && (x.line == 0 || x.line == shape.rows - 1));
    const bool close = (m > 0 && x.at - crossings[m - 1].at < 2 * window) ||
                       (m + 1 < n && crossings[m + 1].at - x.at < 2 * window);
    if (after != lit || edge || close) {
      events.Add({x.at, x.at, Event::kSlab, (1 << l) | (after ? 8 : 0)});
    }
    if (after && !lit) stretches[stretchCount++] = {x.at, to};
    if (lit && !after) stretches[stretchCount - 1].off = x.at;
    lit = after;
  }
  // The pattern's sum falls along the ray: its value a sample before the
  // stretch, then each whole number it passes lowers its floor by one.
  for (int i = 0; i < stretchCount; ++i) {
    const double spanFrom = std::max(stretches[i].on - 1, from);
    const double spanTo = std::min(stretches[i].off + 1, to);
    const int top = FloorInt(PatternSum(path, shape, spanFrom));
    const double bottom = PatternSum(path, shape, spanTo);
    if (top - bottom > kMost) {
      events.full = true;
      return false;
    }
    // The value steps down one at each line, counted without a division
    // per line (a division by a count known only at run time is slow).
    int value = Modulo(top, shape.patternCount);
    events.Add({spanFrom, spanFrom, Event::kPatternSet, l | value << 2});
    for (int line = top; line > bottom; --line) {
      value = value == 0 ? shape.patternCount - 1 : value - 1;
      const double at = CrossPattern(path, shape, line);
      events.Add({at, at, Event::kPattern, l | value << 2});
    }
  }
  return startLit;
}

// Looks at sample t of the ray with the definitions.
static SampleState Evaluate(const Scene& scene, const SkipMaps& maps, const Ray& ray, int t) {
  const SamplePoint s =
      ComputeSamplePointAt(scene.rotation, ray.x0, ray.y0, maps.depth[t], maps.perspective[t]);
  const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
  SampleState state = {scene.field.radiusGrid[cell] > 0 ? cell : -1, 0, {0, 0, 0}};
  for (int l = 0; l < 3; ++l) {
    const float gz = LayerDepth(kLayers[l], s.sz);
    if (!(gz <= 2 && gz >= -1)) continue;
    const GridPoint g = LayerCoordinates(kLayers[l], s.sx, s.sy, s.sz);
    if (LayerCellLit(scene.layers, kLayers[l], g)) {
      state.lit |= 1u << l;
      state.pattern[l] = (uint8_t)LayerPattern(kLayers[l], g);
    }
  }
  return state;
}

// Collects one ray's samples into runs of the same layers and shades each
// run that blends.
struct RunCollector {
  const Scene& scene;
  const SkipMaps& maps;
  const MarchKernels& kernels;
  const Ray& ray;
  ContributionLists& lists;
  int k;
  MarchCounts& counts;
  int first = 0, last = -1;
  SampleState state = {-1, 0, {0, 0, 0}};

  void Add(int from, int to, SampleState s) {
    if (from > to) return;
    for (int l = 0; l < 3; ++l) {
      if ((s.lit >> l & 1) == 0) s.pattern[l] = 0;
    }
    if (s == state && from == last + 1) {
      last = to;
      return;
    }
    Flush();
    first = from, last = to, state = s;
  }

  void Flush() {
    if (last < first || (state.cell < 0 && state.lit == 0)) return;
    SampleRun run = {ray.x0,
                     ray.y0,
                     state.cell >= 0,
                     0.0f,
                     0.0f,
                     {false, false, false},
                     {false, false, false},
                     {state.pattern[0], state.pattern[1], state.pattern[2]}};
    if (run.voxel) {
      run.r = scene.field.radiusGrid[state.cell];
      run.kind = scene.field.kindGrid[state.cell];
      // Every sample lies in the cell: in cells 24 and 25 along an axis
      // (coordinates -1 to 1) a coordinate may come near 0; in the others
      // it stays at least 1 - 2^-19 from it.
      const CellIndices at = IndicesOf(state.cell);
      const int index[3] = {at.i, at.j, at.k};
      for (int a = 0; a < 3; ++a) run.exactOffset[a] = index[a] != 24 && index[a] != 25;
    }
    for (int l = 0; l < 3; ++l) run.lit[l] = (state.lit >> l & 1) != 0;
    kernels.shadeRun(scene, maps, run, first, last, lists, k);
    counts.evaluated += last - first + 1;
    ++counts.runs;
  }
};

// One ray: its crossings, in order; the samples next to each looked at,
// those between them taken as the crossings say.
static void MarchRay(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                     const GroupPlan& plan, const Ray& ray, ContributionLists& lists, int k,
                     MarchCounts& counts, Events& events) {
  RunCollector runs = {scene, maps, kernels, ray, lists, k, counts};
  events.count = 0;
  events.full = plan.tooMany || maps.crossingError < 0;
  // The ray's own bound: most rays' coordinates move several times faster
  // than the slowest ray's, and their windows are that much narrower.
  const double window = events.full ? 0 : RayCrossingError(ray.path);
  SampleState state = {-1, 0, {0, 0, 0}};
  if (!events.full) {
    for (int c = 0; c < plan.candidateCount; ++c)
      CellEvents(ray.path, plan.candidates[c], window, events);
    for (int l = 0; l < 3; ++l) {
      if (plan.slabInReach[l] && SlabEvents(maps, ray.path, l, window, events))
        state.lit |= 1u << l;
    }
  }
  if (events.full) {
    // Beyond the bounds: every sample looked at.
    for (int t = 0; t <= 2000; ++t) runs.Add(t, t, Evaluate(scene, maps, ray, t));
    counts.examined += kSamplesPerRay;
    runs.Flush();
    return;
  }
  SortShort(events.list, events.count, [](const Event& a, const Event& b) {
    return a.from < b.from || (a.from == b.from && a.kind < b.kind);
  });
  int t = 0;
  for (int e = 0; e < events.count && t <= 2000; ++e) {
    const Event& x = events.list[e];
    const bool look = x.kind != Event::kPatternSet;
    const int lookFrom = std::max(look ? CeilInt(x.from - window) : FloorInt(x.from) + 1, t);
    const int lookTo = look ? std::min(FloorInt(x.to + window), 2000) : lookFrom - 1;
    runs.Add(t, std::min(lookFrom - 1, 2000), state);
    t = std::max(t, lookFrom);
    switch (x.kind) {
      case Event::kEnter: state.cell = x.value; break;
      case Event::kLeave:
        if (state.cell == x.value) state.cell = -1;
        break;
      case Event::kSlab:
        state.lit = (state.lit & ~(unsigned)(x.value & 7)) | ((x.value & 8) ? x.value & 7 : 0);
        break;
      case Event::kPatternSet:
      case Event::kPattern: state.pattern[x.value & 3] = (uint8_t)(x.value >> 2); break;
      case Event::kLook: break;
    }
    for (; t <= lookTo; ++t) {
      runs.Add(t, t, Evaluate(scene, maps, ray, t));
      ++counts.examined;
    }
  }
  runs.Add(t, 2000, state);
  runs.Flush();
}

// What the rays of rows y to y + rows - 1 of column x share: the occupied
// cells near them and the slabs within their reach. Nothing, without a
// crossing bound: then every sample is looked at.
static void PlanRows(const Scene& scene, const SkipMaps& maps, float x, float y, int rows,
                     GroupPlan& plan) {
  plan = {};
  if (maps.crossingError < 0) return;
  const float x0 = ColumnCoordinate(x);
  const RayPath ends[2] = {PathOf(scene.rotation, x0, RowCoordinate(y)),
                           PathOf(scene.rotation, x0, RowCoordinate(y + (float)(rows - 1)))};
  FindCandidates(maps, ends, plan);
  for (int l = 0; l < 3; ++l)
    plan.slabInReach[l] = SlabInReach(ends, kSlabShapes[l], maps.litBox[l]);
}

// The rays of a group, with a plan that covers them.
static void MarchGroup(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                       const GroupPlan& plan, float x, float y, int rays, ContributionLists& lists,
                       MarchCounts* counts) {
  const float x0 = ColumnCoordinate(x);
  Events events;
  for (int k = 0; k < rays; ++k) {
    const float y0 = RowCoordinate(y + (float)k);
    const Ray ray = {x0, y0, PathOf(scene.rotation, x0, y0)};
    lists.count[k] = 0;
    MarchCounts n;
    MarchRay(scene, maps, kernels, plan, ray, lists, k, n, events);
    if (counts != nullptr) {
      counts[k].evaluated += n.evaluated;
      counts[k].examined += n.examined;
      counts[k].runs += n.runs;
    }
  }
}

void CollectGroup(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels, float x,
                  float y, int rays, ContributionLists& lists, MarchCounts* counts) {
  GroupPlan plan;
  PlanRows(scene, maps, x, y, rays, plan);
  MarchGroup(scene, maps, kernels, plan, x, y, rays, lists, counts);
}

void MarchColumnFast(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels, int x,
                     ContributionLists& lists, COLORREF* column, MarchCounts* counts) {
  GroupPlan plan;
  for (int y = 0; y < kColumnHeight; y += kGroupRays) {
    if (y % kPlanRows == 0)
      PlanRows(scene, maps, (float)x, (float)y, std::min(kPlanRows, kColumnHeight - y), plan);
    const int rays = std::min(kGroupRays, kColumnHeight - y);
    MarchGroup(scene, maps, kernels, plan, (float)x, (float)y, rays, lists,
               counts != nullptr ? &counts[y] : nullptr);
    Accumulator accs[kGroupRays];
    kernels.blendGroup(lists, rays, accs);
    for (int k = 0; k < rays; ++k) column[y + k] = PackColour(accs[k]);
  }
}

COLORREF MarchPixelFast(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                        float x, float y, MarchCounts* counts) {
  const auto lists = std::make_unique<ContributionLists>();
  CollectGroup(scene, maps, kernels, x, y, 1, *lists, counts);
  Accumulator acc;
  kernels.blendGroup(*lists, 1, &acc);
  return PackColour(acc);
}
