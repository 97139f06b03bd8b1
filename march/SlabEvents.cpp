// What one text slab blends along a ray: onto and off its lit cells, and
// its pattern's value there, for any view.
//
// A computed sample's slab state (lit or not, and the pattern value) is
// fixed by which side of each line it lies on: the lines between columns
// (gx whole), between rows (gy whole), the depth's two faces (sz) and the
// pattern's lines (patternX gx + patternY gy whole). Each computed value
// strays from its track by less than its stray, so away from every line's
// band (where its track lies within the stray of the line) a computed
// sample is on the exact path's side of every line, and its state is the
// exact path's, which cannot change between two bands: taken once, at the
// stretch's middle. Bands that overlap form a cluster. A cluster is
// looked at unless it can change nothing: with the same state on either
// side, it holds no sample of the ray, or it is of one line only whose
// cells either side agree (say two unlit cells, or a pattern line where
// the slab is not lit).
//
// Cell (c, r) holds gx in [c, c + 1) and gy in [r, r + 1). Of the last
// column and row only the lower line passes the range test, so they count
// as unlit, and their lines are looked at where the bitmap lights them.
// A line with the same cells lit on both sides, over every row (or
// column) near the ray, changes nothing, even at a corner: it is left
// out, and a ray near no lit cell has no events at all.
#include <algorithm>

#include "march/Events.h"

namespace {

// More bands than nearly any ray of any view meets in one slab; a ray with
// more is looked at sample by sample.
constexpr int kMostBands = 512;

enum Line : int8_t { kColumnLine, kRowLine, kDepthFace, kPatternLine };

struct SlabBand {
  Span span;
  Line what;
  int line;
};

struct Bands {
  SlabBand list[kMostBands];
  int count = 0;
  bool full = false;
  // Only over the depths where the ray is near the slab's depth: beyond,
  // nothing is lit.
  double zFrom = kDepthLow, zTo = kDepthHigh;
  void Add(const Track& g, double f, double stray, Line what, int line) {
    Spans spans;
    Band(g, f, stray, spans, zFrom, zTo);
    for (int i = 0; i < spans.count; ++i) {
      if (count == kMostBands) {
        full = true;
        return;
      }
      list[count++] = {spans.list[i], what, line};
    }
  }
};

// The slab along one ray.
struct SlabRay {
  const SlabShape* shape;
  const uint16_t* bits;  // the bitmap's lit rows, by column
  Track gx, gy, gz, pattern;
  double strayX, strayY, strayPattern;
  double xLow, xHigh, yLow, yHigh;  // gx's and gy's ranges over the depth span
  const SkipMaps* maps;
  int l;
  unsigned Cells(int c) const { return CountedLitRows(*maps, l, c); }
  bool CellLit(int c, int r) const { return r >= 0 && r < 16 && (Cells(c) >> r & 1) != 0; }
  // As the range test and the bitmap see a value exactly on the last line.
  bool RawLit(int c, int r) const {
    return c >= 0 && c < shape->columns && r >= 0 && r < shape->rows && (bits[c] >> r & 1) != 0;
  }
  bool InDepth(double t) const {
    const double z = TrackAt(gz, t);
    return z >= shape->szLow && z <= shape->szHigh;
  }
  int Column(double t) const { return FloorInt(TrackAt(gx, t)); }
  int Row(double t) const { return FloorInt(TrackAt(gy, t)); }
};

struct SlabState {
  bool lit;
  int pattern;
  bool operator==(const SlabState&) const = default;
};

// A whole number modulo m, 0 to m - 1, for m a power of two (the
// patterns' counts), in two's complement.
int Modulo(int n, int m) {
  return n & (m - 1);
}
static_assert(kSlabShapes[0].patternCount == 2 && kSlabShapes[1].patternCount == 2 &&
              kSlabShapes[2].patternCount == 4);

// Whether the exact path is on a lit cell at t, a sample well away from
// every band.
bool LitAt(const SlabRay& ray, double t) {
  return ray.InDepth(t) && ray.CellLit(ray.Column(t), ray.Row(t));
}

// The ray's reach into the slab: the bitmap's cells a computed sample in
// the slab's depth can fall in. False where no lit cell is among them.
bool ReachOf(const SkipMaps& maps, const RayPath& path, int l, SlabRay& ray, Span& depth) {
  const SlabShape& shape = kSlabShapes[l];
  ray.shape = &shape;
  ray.bits = maps.litRows[l];
  ray.maps = &maps, ray.l = l;
  ray.gz = SlabTrackZ(path);
  Spans spans;
  Band(ray.gz, (shape.szLow + shape.szHigh) / 2, (shape.szHigh - shape.szLow) / 2 + kDepthStray,
       spans);
  if (spans.count == 0 || spans.list[0].to < -1 || spans.list[0].from > kSamplesPerRay)
    return false;
  depth = spans.list[0];  // sz is linear: one span
  ray.gx = SlabTrackX(path, shape), ray.gy = SlabTrackY(path, shape);
  ray.strayX = StrayOf(shape.scaleX), ray.strayY = StrayOf(shape.scaleY);
  TrackRange(ray.gx, depth.from, depth.to, ray.xLow, ray.xHigh);
  const int columnLow = std::max(FloorInt(ray.xLow) - 1, 0);
  const int columnHigh = std::min(FloorInt(ray.xHigh) + 1, shape.columns - 1);
  TrackRange(ray.gy, depth.from, depth.to, ray.yLow, ray.yHigh);
  const int rowLow = std::max(FloorInt(ray.yLow) - 1, 0);
  const int rowHigh = std::min(FloorInt(ray.yHigh) + 1, shape.rows - 1);
  if (columnLow > columnHigh || rowLow > rowHigh) return false;
  const unsigned reachedRows = (2u << rowHigh) - (1u << rowLow);
  return (OverColumns(maps.litRowsOver[l], columnLow, columnHigh) & reachedRows) != 0;
}

// Pieces of a ray's depth span in the slab, each with its own reach: a ray
// that runs along the slab meets many lines, each near a few of the rows
// (or columns) it reaches in all. A span that meets few lines is one piece.
constexpr int kMostPieces = 8;

// The bands of the depth's faces, and of the lines between columns and
// rows with different lit cells on either side near the ray where it is
// near the line: on each piece of the span, the rows and columns a
// computed sample there can fall in (the ray's reach, one cell wider), and
// the lines within the stray of its track.
void LineBands(const SkipMaps& maps, int l, const SlabRay& ray, const Span& depth, Bands& bands) {
  const SlabShape& shape = *ray.shape;
  bands.Add(ray.gz, shape.szLow, kDepthStray, kDepthFace, 0);
  bands.Add(ray.gz, shape.szHigh, kDepthStray, kDepthFace, 1);
  const int lastColumn = shape.columns - 1, lastRow = shape.rows - 1;
  const int firstColumn = std::max(CeilInt(ray.xLow - ray.strayX), 0);
  const int lastColumnMet = std::min(FloorInt(ray.xHigh + ray.strayX), lastColumn);
  const int firstRow = std::max(CeilInt(ray.yLow - ray.strayY), 0);
  const int lastRowMet = std::min(FloorInt(ray.yHigh + ray.strayY), lastRow);
  const int lines = (lastColumnMet - firstColumn + 1) + (lastRowMet - firstRow + 1);
  const int pieces = lines > 16 ? std::min(lines / 4, kMostPieces) : 1;
  uint16_t rowsNear[kBannerColumns];  // by column line: the rows near it
  for (int c = firstColumn; c <= lastColumnMet; ++c) rowsNear[c] = 0;
  unsigned rowLines = 0;  // the row lines that matter near the ray
  const auto at = [&](int p) {
    return p == pieces ? depth.to : depth.from + (depth.to - depth.from) * p / pieces;
  };
  for (int p = 0; p < pieces; ++p) {
    double xLow = ray.xLow, xHigh = ray.xHigh, yLow = ray.yLow, yHigh = ray.yHigh;
    if (pieces > 1) {
      TrackRange(ray.gx, at(p), at(p + 1), xLow, xHigh);
      TrackRange(ray.gy, at(p), at(p + 1), yLow, yHigh);
    }
    const int rowLow = std::max(FloorInt(yLow) - 1, 0);
    const int rowHigh = std::min(FloorInt(yHigh) + 1, lastRow);
    const int columnLow = std::max(FloorInt(xLow) - 1, 0);
    const int columnHigh = std::min(FloorInt(xHigh) + 1, lastColumn);
    if (rowLow > rowHigh || columnLow > columnHigh) continue;  // off the bitmap here
    const unsigned rows = (2u << rowHigh) - (1u << rowLow);
    const int lineFrom = std::max(CeilInt(xLow - ray.strayX), firstColumn);
    const int lineTo = std::min(FloorInt(xHigh + ray.strayX), lastColumnMet);
    for (int c = lineFrom; c <= lineTo; ++c) rowsNear[c] |= rows;
    const int rowFrom = std::max(CeilInt(yLow - ray.strayY), firstRow);
    const int rowTo = std::min(FloorInt(yHigh + ray.strayY), lastRowMet);
    if (rowFrom <= rowTo) {
      rowLines |= OverColumns(maps.rowLinesOver[l], columnLow, columnHigh) &
                  ((2u << rowTo) - (1u << rowFrom));
    }
  }
  // Each line's bands in the order the ray meets them, where it moves one
  // way (the clusters sort them; few are then out of order).
  const double middle = DepthOf((depth.from + depth.to) / 2);
  const bool columnsFall = 2 * ray.gx.c2 * middle + ray.gx.c1 < 0;
  for (int i = firstColumn; i <= lastColumnMet; ++i) {
    const int c = columnsFall ? firstColumn + lastColumnMet - i : i;
    if ((maps.columnLines[l][c] & rowsNear[c]) != 0) bands.Add(ray.gx, c, ray.strayX, kColumnLine, c);
  }
  const bool rowsFall = 2 * ray.gy.c2 * middle + ray.gy.c1 < 0;
  for (int i = firstRow; i <= lastRowMet; ++i) {
    const int r = rowsFall ? firstRow + lastRowMet - i : i;
    if ((rowLines >> r & 1) != 0) bands.Add(ray.gy, r, ray.strayY, kRowLine, r);
  }
}

// Overlapping bands, and whether they are of one line only.
struct Cluster {
  Span span;
  Line what;
  int line;
  bool oneLine;
};
constexpr int kMostClusters = kMostBands;

bool Earlier(const SlabBand& a, const SlabBand& b) {
  return a.span.from < b.span.from;
}

// Sorts the bands by their starts. They come in a few runs already in
// order (each kind of line in the order the ray meets them), so a merge
// of the runs beats a general sort when a ray meets many lines.
void SortBands(Bands& bands) {
  SlabBand* list = bands.list;
  const int n = bands.count;
  int runs = 1;
  for (int i = 1; i < n; ++i) runs += Earlier(list[i], list[i - 1]);
  if (runs == 1) return;
  if (n <= 32 || runs > 8) return SortShort(list, n, Earlier);
  SlabBand scratch[kMostBands];
  SlabBand* from = list;
  SlabBand* to = scratch;
  // Merges neighbouring runs, pair by pair, until one is left.
  while (runs > 1) {
    int merged = 0;
    for (int start = 0; start < n;) {
      int middle = start + 1;
      while (middle < n && !Earlier(from[middle], from[middle - 1])) ++middle;
      int end = middle;
      if (end < n) {
        ++end;
        while (end < n && !Earlier(from[end], from[end - 1])) ++end;
      }
      std::merge(from + start, from + middle, from + middle, from + end, to + start, Earlier);
      start = end;
      ++merged;
    }
    runs = merged;
    std::swap(from, to);
  }
  if (from != list) std::copy(from, from + n, list);
}

// The same where the first `sorted` bands are in order already: the rest
// sorted, then the two merged.
void SortBandsAfter(Bands& bands, int sorted) {
  SlabBand* list = bands.list;
  const int n = bands.count;
  SortShort(list + sorted, n - sorted, Earlier);
  if (sorted == 0 || sorted == n || !Earlier(list[sorted], list[sorted - 1])) return;
  SlabBand merged[kMostBands];
  std::merge(list, list + sorted, list + sorted, list + n, merged, Earlier);
  std::copy(merged, merged + n, list);
}

int ClustersOf(Bands& bands, Cluster* clusters, int sorted = 0) {
  if (sorted > 0)
    SortBandsAfter(bands, sorted);
  else
    SortBands(bands);
  int n = 0;
  for (int i = 0; i < bands.count; ++i) {
    const SlabBand& b = bands.list[i];
    if (n > 0 && b.span.from <= clusters[n - 1].span.to) {
      Cluster& c = clusters[n - 1];
      c.span.to = std::max(c.span.to, b.span.to);
      c.oneLine = c.oneLine && c.what == b.what && c.line == b.line;
    } else {
      clusters[n++] = {b.span, b.what, b.line, true};
    }
  }
  return n;
}

// The middle of the stretch between clusters i - 1 and i (of n), within
// the extended ray.
double GapMiddle(const Cluster* clusters, int n, int i) {
  const double from = i > 0 ? clusters[i - 1].span.to : -5.0;
  const double to = i < n ? clusters[i].span.from : 2005.0;
  return (from + to) / 2;
}

// Whether a computed sample within a cluster of one line, with the same
// state on either side, can have another: the cells on either side of the
// line, where the other coordinates are the exact path's.
bool OneLineMatters(const SlabRay& ray, const Cluster& cluster, SlabState around) {
  const double t = (cluster.span.from + cluster.span.to) / 2;
  if (cluster.what == kPatternLine) return around.lit;
  if (!ray.InDepth(t) && cluster.what != kDepthFace) return false;
  const int c = ray.Column(t), r = ray.Row(t);
  bool lit[3];
  switch (cluster.what) {
    case kColumnLine: {
      const int line = cluster.line;
      lit[0] = ray.CellLit(line - 1, r), lit[1] = ray.CellLit(line, r);
      lit[2] = line == ray.shape->columns - 1 ? ray.RawLit(line, r) : lit[0];
      break;
    }
    case kRowLine: {
      const int line = cluster.line;
      lit[0] = ray.CellLit(c, line - 1), lit[1] = ray.CellLit(c, line);
      lit[2] = line == ray.shape->rows - 1 ? ray.RawLit(c, line) : lit[0];
      break;
    }
    default:  // a depth face: in the depth or out of it
      lit[0] = ray.CellLit(c, r), lit[1] = false, lit[2] = false;
      break;
  }
  return lit[0] != around.lit || lit[1] != around.lit || lit[2] != around.lit;
}

}  // namespace

void SlabEvents(const SkipMaps& maps, const RayPath& path, int l, Events& events) {
  SlabRay ray;
  Span depth;
  if (!ReachOf(maps, path, l, ray, depth)) return;
  ray.pattern = PatternTrack(path, kSlabShapes[l]);
  ray.strayPattern = PatternStray(kSlabShapes[l]);
  Bands bands;
  bands.zFrom = DepthOf(depth.from), bands.zTo = DepthOf(depth.to);
  LineBands(maps, l, ray, depth, bands);
  Cluster clusters[kMostClusters];
  int n = ClustersOf(bands, clusters);
  // Where the exact path is lit, stretch by stretch between clusters; and
  // the pattern's lines over each lit stretch and the clusters around it.
  bool litBetween[kMostClusters + 1];
  double between[kMostClusters + 1];  // where each stretch ends
  const int lineBands = bands.count, lineClusters = n;
  bool anyLit = false;
  for (int i = 0; i <= n; ++i) {
    between[i] = i < n ? clusters[i].span.from : 2005.0;
    litBetween[i] = LitAt(ray, GapMiddle(clusters, n, i));
    if (!litBetween[i]) continue;
    anyLit = true;
    const double from = i > 0 ? clusters[i - 1].span.from : -5.0;
    const double to = i < n ? clusters[i].span.to : 2005.0;
    double low, high;
    TrackRange(ray.pattern, from, to, low, high);
    if (high - low > kMostBands) {
      events.full = true;
      return;
    }
    const int first = CeilInt(low - ray.strayPattern), last = FloorInt(high + ray.strayPattern);
    const bool fall = 2 * ray.pattern.c2 * DepthOf((from + to) / 2) + ray.pattern.c1 < 0;
    for (int i = first; i <= last; ++i) {
      const int line = fall ? first + last - i : i;
      bands.Add(ray.pattern, line, ray.strayPattern, kPatternLine, line);
    }
  }
  if (bands.full) {
    events.full = true;
    return;
  }
  if (bands.count > lineBands) n = ClustersOf(bands, clusters, lineBands);
  // The pattern's bands only split the stretches: each lies within one of
  // those before, and is lit where it is.
  int within = 0;
  const auto stateOf = [&](int i) -> SlabState {
    const double t = GapMiddle(clusters, n, i);
    while (within < lineClusters && t > between[within]) ++within;
    if (!litBetween[within]) return {false, 0};
    return {true, Modulo(FloorInt(TrackAt(ray.pattern, t)), ray.shape->patternCount)};
  };
  SlabState before = {false, 0};
  if (anyLit) {
    before = stateOf(0);
    if (before.lit) {
      events.Add(SlabCrossing(kRayStart, l, true));
      events.Add(PatternChange(kRayStart, l, before.pattern));
    }
  }
  for (int i = 0; i < n; ++i) {
    const Cluster& cluster = clusters[i];
    // Unlit all along where no stretch is lit.
    const SlabState after = anyLit ? stateOf(i + 1) : before;
    if (after == before) {
      // A cluster that holds no sample of the ray changes nothing.
      const int first = std::max(CeilInt(std::max(cluster.span.from, -1.0)), 0);
      if (first > std::min(FloorInt(std::min(cluster.span.to, (double)kSamplesPerRay)), kLastSample))
        continue;
      if (cluster.oneLine && !OneLineMatters(ray, cluster, before)) continue;
    }
    events.AddLook(cluster.span.from, cluster.span.to);
    if (after.lit != before.lit) events.Add(SlabCrossing(cluster.span.to, l, after.lit));
    if (after.lit && (!before.lit || after.pattern != before.pattern))
      events.Add(PatternChange(cluster.span.to, l, after.pattern));
    before = after;
  }
}
