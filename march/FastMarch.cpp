// The fast march of rays, groups and columns: each ray's crossings in
// order, the samples next to each looked at with the definitions, the
// samples between them taken as the crossings say and shaded in runs.
// Why that is exact: FastMarch.h.
#include "march/FastMarch.h"

#include <algorithm>
#include <memory>

#include "march/Events.h"

struct Ray {
  float x0, y0;
  RayPath path;
};

// What blends at a sample: the occupied voxel cell (or -1), a bit per lit
// slab, and each lit slab's pattern value there (0 where it is not lit, so
// that equal states blend alike).
struct SampleState {
  int cell;
  unsigned lit;
  uint8_t pattern[3];
  bool operator==(const SampleState&) const = default;
};

// Looks at sample t of the ray with the definitions.
static SampleState Evaluate(const MarchContext& march, const Ray& ray, int t) {
  const Scene& scene = march.scene;
  const SamplePoint s = ComputeSamplePointAt(scene.rotation, ray.x0, ray.y0, march.maps.depth[t],
                                             march.maps.perspective[t]);
  const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
  SampleState state = {scene.field.radiusGrid[cell] > 0 ? cell : -1, 0, {0, 0, 0}};
  for (int l = 0; l < 3; ++l) {
    const BitmapLayer layer = kBitmapLayers[l];
    const float gz = LayerDepth(layer, s.sz);
    if (!(gz <= 2 && gz >= -1)) continue;
    const GridPoint g = LayerCoordinates(layer, s.sx, s.sy, s.sz);
    if (LayerCellLit(scene.layers, layer, g)) {
      state.lit |= 1u << l;
      state.pattern[l] = (uint8_t)LayerPattern(layer, g);
    }
  }
  return state;
}

// Collects one ray's samples into runs of the same layers and shades each
// run that blends.
struct RunCollector {
  const MarchContext& march;
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
      run.r = march.scene.field.radiusGrid[state.cell];
      run.kind = march.scene.field.kindGrid[state.cell];
      // Every sample lies in the cell: in cells 24 and 25 along an axis
      // (coordinates -1 to 1) a coordinate may come near 0; in the others
      // it stays at least 1 - 2^-19 from it.
      const CellIndices at = CellIndicesOf(state.cell);
      const int index[3] = {at.i, at.j, at.k};
      for (int a = 0; a < 3; ++a) run.exactOffset[a] = index[a] != 24 && index[a] != 25;
    }
    for (int l = 0; l < 3; ++l) run.lit[l] = (state.lit >> l & 1) != 0;
    march.kernels.shadeRun(march.scene, march.maps, run, first, last, lists, k);
    counts.evaluated += last - first + 1;
    ++counts.runs;
  }
};

// What an event changes in the state of the samples after it.
static void Apply(const Event& x, SampleState& state) {
  switch (x.kind) {
    case Event::kEnter: state.cell = x.cell; break;
    case Event::kLeave:
      if (state.cell == x.cell) state.cell = -1;
      break;
    case Event::kSlab:
      state.lit = (state.lit & ~(1u << x.slab)) | (x.litAfter ? 1u << x.slab : 0u);
      break;
    case Event::kPattern: state.pattern[x.slab] = x.pattern; break;
    case Event::kLook: break;
  }
}

// The whole samples of the stretches to look at, in order and apart.
struct SampleRange {
  int first, last;
};

// Splits the ray's events into its changes, in order, at the front of the
// list (returns how many), and the samples to look at.
static int ChangesAndLooks(Events& events, SampleRange* looks, int& lookCount) {
  SortShort(events.list, events.count,
            [](const Event& a, const Event& b) { return a.from < b.from; });
  int changes = 0;
  lookCount = 0;
  for (int e = 0; e < events.count; ++e) {
    const Event& x = events.list[e];
    if (x.kind != Event::kLook) {
      events.list[changes++] = x;
      continue;
    }
    const int first = std::max(CeilInt(std::max(x.from, -1.0)), 0);
    const int last = std::min(FloorInt(std::min(x.to, (double)kSamplesPerRay)), kLastSample);
    if (first > last) continue;
    if (lookCount > 0 && first <= looks[lookCount - 1].last + 1)
      looks[lookCount - 1].last = std::max(looks[lookCount - 1].last, last);
    else
      looks[lookCount++] = {first, last};
  }
  return changes;
}

// One ray: its events; the samples in the stretches to look at looked at,
// those between them taken as the changes say.
static void MarchRay(const MarchContext& march, const GroupPlan& plan, const GroupCells& cells,
                     const bool (&slabs)[3], const Ray& ray, ContributionLists& lists, int k,
                     MarchCounts& counts, Events& events) {
  RunCollector runs = {march, ray, lists, k, counts};
  events.count = 0;
  events.full = plan.tooMany;
  if (!events.full) {
    for (int c = 0; c < cells.count; ++c)
      CellEvents(ray.path, cells.list[c].cell, cells.list[c].insideAxes, events);
    for (int l = 0; l < 3; ++l) {
      if (slabs[l]) SlabEvents(march.maps, ray.path, l, events);
    }
  }
  if (events.full) {
    // Beyond what the march keeps: every sample looked at.
    for (int t = 0; t <= kLastSample; ++t) runs.Add(t, t, Evaluate(march, ray, t));
    counts.examined += kSamplesPerRay;
    ++counts.wholeRays;
    runs.Flush();
    return;
  }
  counts.crossings += events.count;
  SampleRange looks[kMaxEvents];
  int lookCount;
  const int changes = ChangesAndLooks(events, looks, lookCount);
  SampleState state = {-1, 0, {0, 0, 0}};
  int t = 0, c = 0;
  for (int l = 0; t <= kLastSample;) {
    const int lookFrom = l < lookCount ? looks[l].first : kSamplesPerRay;
    if (t == lookFrom) {
      for (; t <= looks[l].last; ++t) runs.Add(t, t, Evaluate(march, ray, t));
      counts.examined += looks[l].last - lookFrom + 1;
      ++l;
      continue;
    }
    // Samples t onwards, up to the next look or change: every change lies
    // on a look's end, so none lies on a sample taken here.
    for (; c < changes && events.list[c].from < t; ++c) Apply(events.list[c], state);
    int to = lookFrom - 1;
    if (c < changes && events.list[c].from <= to)
      to = std::max(CeilInt(events.list[c].from) - 1, t - 1);
    if (to < t) {
      Apply(events.list[c++], state);
      continue;
    }
    runs.Add(t, to, state);
    t = to + 1;
  }
  runs.Flush();
}

static void AddCounts(MarchCounts& to, const MarchCounts& n) {
  to.evaluated += n.evaluated;
  to.examined += n.examined;
  to.runs += n.runs;
  to.crossings += n.crossings;
  to.wholeRays += n.wholeRays;
}

// The rays of a group, rows y, y + step, ..., with a plan that covers them.
static void MarchGroup(const MarchContext& march, const GroupPlan& plan, float x, float y, int rays,
                       ContributionLists& lists, MarchCounts* counts, int step = 1) {
  const float x0 = ColumnCoordinate(x);
  Ray group[kMaxGroupRays];
  for (int k = 0; k < rays; ++k) {
    const float y0 = RowCoordinate(y + (float)(k * step));
    group[k].x0 = x0, group[k].y0 = y0;
    group[k].path = PathOf(march.scene.rotation, x0, y0);
  }
  const RayPath &first = group[0].path, &last = group[rays - 1].path;
  GroupCells cells;
  GroupCellsOf(first, last, plan, cells);
  // The slabs within the group's reach, of those within the plan's.
  bool slabs[3];
  for (int l = 0; l < 3; ++l)
    slabs[l] =
        plan.slabInReach[l] && SlabInReach(first, last, kSlabShapes[l], march.maps.litBox[l]);
  Events events;
  for (int k = 0; k < rays; ++k) {
    const Ray& ray = group[k];
    lists.count[k] = 0;
    MarchCounts n;
    MarchRay(march, plan, cells, slabs, ray, lists, k, n, events);
    if (counts != nullptr) AddCounts(counts[k], n);
  }
}

void CollectGroup(const MarchContext& march, float x, float y, int rays, ContributionLists& lists,
                  MarchCounts* counts) {
  GroupPlan plan;
  PlanRows(march.scene, march.maps, x, y, rays, plan);
  MarchGroup(march, plan, x, y, rays, lists, counts);
}

void MarchColumnFast(const MarchContext& march, int x, ContributionLists& lists,
                     Accumulator* column, MarchCounts* counts) {
  MarchColumnRows(march, x, 0, 1, lists, column, counts);
}

void MarchColumnRows(const MarchContext& march, int x, int first, int step,
                     ContributionLists& lists, Accumulator* column, MarchCounts* counts) {
  // Any step from the last row on marches row `first` alone: no wider step
  // marches another row, and the wider steps would overflow the stride.
  step = std::min(step, kColumnHeight);
  GroupPlan plan;
  const int groupRays = march.kernels.groupRays;
  for (int y = first, planned = first; y < kColumnHeight; y += groupRays * step) {
    const int rays = std::min(groupRays, (kColumnHeight - 1 - y) / step + 1);
    const int span = (rays - 1) * step + 1;
    // A plan for rows covers every ray among them: a new one where the
    // group passes the last one's rows.
    if (y + span > planned) {
      const int rows = PlanSpan(y, step, span);
      PlanRows(march.scene, march.maps, (float)x, (float)y, rows, plan);
      planned = y + rows;
    }
    MarchCounts group[kMaxGroupRays];
    MarchGroup(march, plan, (float)x, (float)y, rays, lists, counts != nullptr ? group : nullptr,
               step);
    Accumulator accs[kMaxGroupRays];
    march.kernels.blendGroup(lists, rays, accs);
    for (int k = 0; k < rays; ++k) {
      column[y + k * step] = accs[k];
      if (counts != nullptr) AddCounts(counts[y + k * step], group[k]);
    }
  }
}

Accumulator MarchPixelFast(const MarchContext& march, float x, float y, MarchCounts* counts) {
  const auto lists = std::make_unique<ContributionLists>();
  CollectGroup(march, x, y, 1, *lists, counts);
  Accumulator acc;
  march.kernels.blendGroup(*lists, 1, &acc);
  return acc;
}
