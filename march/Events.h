// Inside the fast march: the crossings of one ray that matter, as events in
// sample order, and what a group of neighbouring rays shares to find them.
// Why looking only next to them is exact: FastMarch.h.
#pragma once

#include <algorithm>
#include <cstdint>

#include "march/Kernels.h"
#include "march/RayPath.h"
#include "march/SkipMaps.h"
#include "scene/Scene.h"

// A ray's events, more than nearly any ray of any view has; a ray with
// more is looked at sample by sample.
constexpr int kMaxEvents = 2048;
// The occupied voxel cells a group of rays may meet, at most; a group near
// more is looked at sample by sample.
constexpr int kMaxCandidates = 128;

// What a ray's exact path does: a change of what blends, at `from` (it
// holds for the samples after it), or a stretch from `from` to `to`, both
// included, whose samples must be looked at. Every change lies at an end
// of a stretch looked at, so no sample left unlooked lies on it.
struct Event {
  enum Kind : uint8_t {
    kEnter,    // into voxel cell `cell`
    kLeave,    // out of voxel cell `cell`
    kSlab,     // onto (litAfter) or off the lit cells of slab `slab`
    kPattern,  // slab `slab`'s pattern value is `pattern` from here on
    kLook,     // samples to look at
  };
  double from, to;
  Kind kind;
  uint8_t slab;     // kSlab, kPattern
  bool litAfter;    // kSlab
  uint8_t pattern;  // kPattern
  int cell;         // kEnter, kLeave
};

// Before the first sample: where a ray starts.
constexpr double kRayStart = -1e9;

static inline Event CellCrossing(Event::Kind kind, double at, int cell) {
  return {at, at, kind, 0, false, 0, cell};
}
static inline Event Look(double from, double to) {
  return {from, to, Event::kLook, 0, false, 0, -1};
}
static inline Event SlabCrossing(double at, int slab, bool litAfter) {
  return {at, at, Event::kSlab, (uint8_t)slab, litAfter, 0, -1};
}
static inline Event PatternChange(double at, int slab, int pattern) {
  return {at, at, Event::kPattern, (uint8_t)slab, false, (uint8_t)pattern, -1};
}

// Floor and ceiling of values well within int's range, without the
// library calls that a build for processors without SSE4.1 makes.
static inline int FloorInt(double v) {
  const int i = (int)v;
  return i - (i > v);
}
static inline int CeilInt(double v) {
  const int i = (int)v;
  return i + (i < v);
}

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
  // A stretch to look at, unless it holds no sample of the ray: then the
  // changes at its ends lie strictly between two samples, and need no look.
  void AddLook(double from, double to) {
    const int first = std::max(CeilInt(std::max(from, -1.0)), 0);
    if (first <= std::min(FloorInt(std::min(to, (double)kSamplesPerRay)), kLastSample))
      Add(Look(from, to));
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

// The rays of a column that share one plan: a few groups, every step-th
// row, over kMaxPlanRows rows at most unless one group spans more (a plan
// over more rows finds more cells for each group to rule out, and comes
// nearer kMaxCandidates).
constexpr int kPlanRays = 32, kMaxPlanRows = 128;
static_assert(kPlanRays % kMaxGroupRays == 0);

// The rows from row y that the plan for rays every step-th row covers,
// the span of the group there (its first row to its last) at least.
static inline int PlanSpan(int y, int step, int groupSpan) {
  return std::min(std::max(groupSpan, std::min(kPlanRays * step, kMaxPlanRows)),
                  kColumnHeight - y);
}

// The plan for the rays of rows y to y + rows - 1 of column x.
void PlanRows(const Scene& scene, const SkipMaps& maps, float x, float y, int rows,
              GroupPlan& plan);

// The plan's occupied cells that some ray of a group can come near, each
// with the axes (bit 0 sx, bit 1 sy) along which every ray of the group
// lies within the cell's faces narrowed by the stray wherever its sz is
// near the cell: found once for the group from its outer rays, first and
// last (FastMarch.h, 2).
struct GroupCell {
  int cell;
  unsigned insideAxes;
};
struct GroupCells {
  GroupCell list[kMaxCandidates];
  int count;
};
void GroupCellsOf(const RayPath& first, const RayPath& last, const GroupPlan& plan,
                  GroupCells& cells);

// Adds the ray's entries into and exits from the voxel cell, and the
// stretches around them where a computed sample may fall on the other side
// of a face than the exact path (near misses too). The axes in insideAxes
// are left out: the group has found the ray inside along them.
void CellEvents(const RayPath& path, int cell, unsigned insideAxes, Events& events);

// Adds what slab l blends along the ray, onto and off its lit cells and
// its pattern's values, from its first sample on, and the stretches to
// look at. Sets events.full where the ray meets more lines than it keeps.
void SlabEvents(const SkipMaps& maps, const RayPath& path, int l, Events& events);

// Sorts a short list in place: rays have a handful of crossings, where
// insertion beats the general sort's set-up.
template <typename T, typename Less>
static inline void SortShort(T* list, int count, Less less) {
  if (count > 32) return std::sort(list, list + count, less);
  for (int i = 1; i < count; ++i) {
    const T item = list[i];
    int j = i;
    for (; j > 0 && less(item, list[j - 1]); --j) list[j] = list[j - 1];
    list[j] = item;
  }
}
