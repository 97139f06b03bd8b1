// A ray's crossings of one text slab that matter: onto and off its lit
// cells, its bitmap's edges, corners, and its pattern's lines. In four
// phases: where the ray can meet the slab at all, the lines it crosses
// there, which of them change what blends, and the pattern along each lit
// stretch.
//
// Cell (c, r) holds gx in (c, c + 1] and gy in (r, r + 1]. Of the last
// column and row only the lower edge passes the range test, so they count
// as unlit, and their lines are crossings looked at where the bitmap
// lights them. A line with the same cells lit on both sides, over every
// row (or column) near the ray, changes nothing, even at a corner: it is
// left out, and a ray near no lit cell has no crossings at all.
#include <algorithm>

#include "march/Events.h"

namespace {

// More lines than any ray of the scene crosses in one slab; a ray with
// more is looked at sample by sample.
constexpr int kMost = 64;

// Where the ray can meet the slab: the samples from one before its depth
// to one after, and the columns and rows a computed sample can fall in.
struct SlabReach {
  const SlabShape* shape;
  const uint16_t* bits;  // the bitmap's lit rows, by column
  double in, out;        // the crossings of the depth's faces
  double from, to;
  int column, row;  // the exact path's cell at `from`
  double columnEnd, rowEnd;
  int columnLow, columnHigh;
  unsigned reachedRows;
  // The cells that count as lit, by column (the last column and row never).
  unsigned Cells(int c) const {
    return c >= 0 && c < shape->columns - 1 ? bits[c] & ((1u << (shape->rows - 1)) - 1) : 0u;
  }
  bool CellLit(int c, int r) const { return r >= 0 && r < 16 && (Cells(c) >> r & 1) != 0; }
};

struct Crossing {
  double at;
  enum What : int8_t { kDepthIn, kDepthOut, kColumn, kRow } what;
  int line;
};

struct Crossings {
  Crossing list[kMost];
  int count = 0;
};

// The ray's reach into the slab; false where it comes near no lit cell.
bool ReachOf(const SkipMaps& maps, const RayPath& path, int l, SlabReach& reach) {
  const SlabShape& shape = kSlabShapes[l];
  reach.shape = &shape;
  reach.bits = maps.litRows[l];
  reach.in = CrossZ(path, shape.szLow), reach.out = CrossZ(path, shape.szHigh);
  if (reach.out < -2 || reach.in > 2002) return false;
  // From a sample before the depth to one after it: one just outside may
  // still pass the corner with the depth's face.
  reach.from = std::max(reach.in - 1, -3.0), reach.to = std::min(reach.out + 1, 2003.0);
  // gx and gy fall along the ray.
  reach.column = CeilInt(SlabX(path, shape, reach.from)) - 1;
  reach.row = CeilInt(SlabY(path, shape, reach.from)) - 1;
  reach.columnEnd = SlabX(path, shape, reach.to), reach.rowEnd = SlabY(path, shape, reach.to);
  // From a cell before the exact path's first to one past its last, within
  // the bitmap.
  reach.columnLow = std::max(CeilInt(reach.columnEnd) - 2, 0);
  reach.columnHigh = std::min(reach.column + 1, shape.columns - 1);
  const int rowLow = std::max(CeilInt(reach.rowEnd) - 2, 0);
  const int rowHigh = std::min(reach.row + 1, shape.rows - 1);
  if (reach.columnLow > reach.columnHigh || rowLow > rowHigh) return false;
  reach.reachedRows = (2u << rowHigh) - (1u << rowLow);
  unsigned anyLit = 0;
  for (int c = reach.columnLow; c <= reach.columnHigh; ++c)
    anyLit |= reach.bits[c] & reach.reachedRows;
  return anyLit != 0;
}

// The depth faces and the lines between columns and rows that have
// different lit cells on either side near the ray, in sample order. False
// where there are more than it keeps.
bool LinesCrossed(const RayPath& path, const SlabReach& reach, Crossings& crossings) {
  const SlabShape& shape = *reach.shape;
  Crossing* list = crossings.list;
  int& n = crossings.count;
  if (reach.in >= reach.from) list[n++] = {reach.in, Crossing::kDepthIn, 0};
  if (reach.out < reach.to) list[n++] = {reach.out, Crossing::kDepthOut, 0};
  const int lastColumn = shape.columns - 1, lastRow = shape.rows - 1;
  for (int c = std::min(reach.column, lastColumn); c > reach.columnEnd && c >= 0 && n < kMost;
       --c) {
    const bool matters = ((reach.Cells(c - 1) ^ reach.Cells(c)) & reach.reachedRows) != 0 ||
                         (c == lastColumn && (reach.bits[c] & reach.reachedRows) != 0);
    if (matters)
      list[n++] = {CrossX(path, (c - shape.offsetX) / shape.scaleX), Crossing::kColumn, c};
  }
  for (int r = std::min(reach.row, lastRow); r > reach.rowEnd && r >= 0 && n < kMost; --r) {
    bool matters = false;
    for (int c = reach.columnLow; c <= reach.columnHigh; ++c) {
      const unsigned lit = reach.Cells(c), below = r > 0 ? lit >> (r - 1) & 1 : 0;
      matters =
          matters || (lit >> r & 1) != below || (r == lastRow && (reach.bits[c] >> r & 1) != 0);
    }
    if (matters) list[n++] = {CrossY(path, r / shape.scaleY - shape.offsetY), Crossing::kRow, r};
  }
  if (n == kMost) return false;
  SortShort(list, n, [](const Crossing& a, const Crossing& b) { return a.at < b.at; });
  return true;
}

// The stretches of the ray on lit cells, from the crossing onto them to the
// one off.
struct Stretch {
  double on, off;
};
struct Stretches {
  Stretch list[kMost];
  int count = 0;
};

// Walks the crossings: a slab event where the lit state changes, at the
// bitmap's edges, and at any two crossings within the windows of each
// other (the exact path may pass a corner the other way round). Returns
// whether the ray starts on a lit cell.
bool LitStretches(const SlabReach& reach, const Crossings& crossings, int l, double window,
                  Events& events, Stretches& stretches) {
  const SlabShape& shape = *reach.shape;
  bool inDepth = reach.in < reach.from;
  int column = reach.column, row = reach.row;
  const bool startLit = inDepth && reach.CellLit(column, row);
  bool lit = startLit;
  if (startLit) stretches.list[stretches.count++] = {reach.from, reach.to};
  const int n = crossings.count;
  for (int m = 0; m < n; ++m) {
    const Crossing& x = crossings.list[m];
    switch (x.what) {
      case Crossing::kDepthIn: inDepth = true; break;
      case Crossing::kDepthOut: inDepth = false; break;
      case Crossing::kColumn: column = x.line - 1; break;
      case Crossing::kRow: row = x.line - 1; break;
    }
    const bool after = inDepth && reach.CellLit(column, row);
    const bool edge =
        (x.what == Crossing::kColumn && (x.line == 0 || x.line == shape.columns - 1)) ||
        (x.what == Crossing::kRow && (x.line == 0 || x.line == shape.rows - 1));
    const bool close = (m > 0 && x.at - crossings.list[m - 1].at < 2 * window) ||
                       (m + 1 < n && crossings.list[m + 1].at - x.at < 2 * window);
    if (after != lit || edge || close) events.Add(SlabCrossing(x.at, l, after));
    if (after && !lit) stretches.list[stretches.count++] = {x.at, reach.to};
    if (lit && !after) stretches.list[stretches.count - 1].off = x.at;
    lit = after;
  }
  return startLit;
}

// A whole number modulo m, 0 to m - 1.
int Modulo(int n, int m) {
  return (n % m + m) % m;
}

// The pattern's sum falls along the ray: its value a sample before each
// lit stretch, then each whole number it passes lowers its floor by one.
// False where a stretch crosses more lines than the events should hold.
bool PatternEvents(const RayPath& path, const SlabReach& reach, const Stretches& stretches, int l,
                   Events& events) {
  const SlabShape& shape = *reach.shape;
  for (int i = 0; i < stretches.count; ++i) {
    const double spanFrom = std::max(stretches.list[i].on - 1, reach.from);
    const double spanTo = std::min(stretches.list[i].off + 1, reach.to);
    const int top = FloorInt(PatternSum(path, shape, spanFrom));
    const double bottom = PatternSum(path, shape, spanTo);
    if (top - bottom > kMost) return false;
    // The value steps down one at each line, counted without a division
    // per line (a division by a count known only at run time is slow).
    int value = Modulo(top, shape.patternCount);
    events.Add(PatternChange(Event::kPatternSet, spanFrom, l, value));
    for (int line = top; line > bottom; --line) {
      value = value == 0 ? shape.patternCount - 1 : value - 1;
      events.Add(PatternChange(Event::kPattern, CrossPattern(path, shape, line), l, value));
    }
  }
  return true;
}

}  // namespace

bool SlabEvents(const SkipMaps& maps, const RayPath& path, int l, double window, Events& events) {
  SlabReach reach;
  if (!ReachOf(maps, path, l, reach)) return false;
  Crossings crossings;
  Stretches stretches;
  if (!LinesCrossed(path, reach, crossings)) {
    events.full = true;
    return false;
  }
  const bool startLit = LitStretches(reach, crossings, l, window, events, stretches);
  if (!PatternEvents(path, reach, stretches, l, events)) {
    events.full = true;
    return false;
  }
  return startLit;
}
