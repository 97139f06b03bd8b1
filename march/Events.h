// Inside the fast march: the crossings of one ray that matter, as events in
// sample order, and what a group of neighbouring rays shares to find them.
// Why looking only next to them is exact: FastMarch.h.
#pragma once

#include <algorithm>
#include <cstdint>

#include "march/RayPath.h"
#include "march/SkipMaps.h"
#include "scene/Scene.h"

// A ray's crossings, more than any ray of the scene has; a ray with more
// is looked at sample by sample.
constexpr int kMaxEvents = 512;
// The occupied voxel cells a group of rays may meet, at most; a group near
// more is looked at sample by sample.
constexpr int kMaxCandidates = 128;

// What the samples near a crossing change: from sample `from` to `to` (a
// crossing, or the two ends of a near miss) they must be looked at.
struct Event {
  enum Kind : uint8_t {
    kPatternSet,  // a slab's pattern value from `from` on, where the slab is
                  // not lit or the value does not change: no look needed.
                  // Of events at the same sample it comes first.
    kEnter,       // into voxel cell `cell`
    kLeave,       // out of voxel cell `cell`
    kSlab,        // onto (litAfter) or off a lit cell of slab `slab`, or
                  // past an edge or corner where it may change
    kPattern,     // across a line of slab `slab`'s pattern
    kLook,        // a near miss of a voxel cell
  };
  double from, to;
  Kind kind;
  uint8_t slab;     // kSlab, kPatternSet, kPattern
  bool litAfter;    // kSlab
  uint8_t pattern;  // kPatternSet, kPattern: the value from here on
  int cell;         // kEnter, kLeave
};

static inline Event CellCrossing(Event::Kind kind, double at, int cell) {
  return {at, at, kind, 0, false, 0, cell};
}
static inline Event NearMiss(double from, double to) {
  return {from, to, Event::kLook, 0, false, 0, -1};
}
static inline Event SlabCrossing(double at, int slab, bool litAfter) {
  return {at, at, Event::kSlab, (uint8_t)slab, litAfter, 0, -1};
}
static inline Event PatternChange(Event::Kind kind, double at, int slab, int pattern) {
  return {at, at, kind, (uint8_t)slab, false, (uint8_t)pattern, -1};
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
};

// What neighbouring rays of a column share: the occupied cells near them,
// and the slabs within their reach.
struct GroupPlan {
  int candidates[kMaxCandidates];
  int candidateCount;
  bool tooMany;
  bool slabInReach[3];
};

// The plan for the rays of rows y to y + rows - 1 of column x. Empty
// without a crossing bound: then every sample is looked at.
void PlanRows(const Scene& scene, const SkipMaps& maps, float x, float y, int rows,
              GroupPlan& plan);

// Adds the ray's crossings into and out of the voxel cell, or its near
// miss, unless the path passes more than a sample clear of it.
void CellEvents(const RayPath& path, int cell, double window, Events& events);

// Adds the crossings of slab l that matter to the ray, and the pattern's
// value along its lit stretches. Returns whether the ray starts on a lit
// cell.
bool SlabEvents(const SkipMaps& maps, const RayPath& path, int l, double window, Events& events);

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
