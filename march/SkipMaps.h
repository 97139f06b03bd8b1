// The fast march's maps and tables of one built scene: which voxel cells
// hold an object, where each bitmap's lit cells lie, and the per-sample
// values every ray shares.
#pragma once

#include <bit>
#include <cstdint>

#include "march/RayPath.h"
#include "scene/Scene.h"

// The most samples a vector kernel computes side by side.
constexpr int kVectorLanes = 8;

// Enough levels of ranges of columns for the widest bitmap.
constexpr int kColumnLevels = 8;
static_assert(kBannerColumns < 1 << kColumnLevels);

struct SkipMaps {
  // Bit k of occupied[i * 50 + j] is set where cell (i, j, k) holds an
  // object: the cells near a bundle of rays, a few words at a time.
  uint64_t occupied[kGridSize * kGridSize];
  CellBox litBox[3];  // word, strip, banner
  // Bit r of litRows[l][c] is set where slab l's bitmap lights column c,
  // row r (word, strip, banner).
  uint16_t litRows[3][kBannerColumns];
  // Over columns c to c + 2^level - 1 of each slab: the OR of their lit
  // rows, and of their row lines that matter (RowLines), so that a ray
  // asks about any range of columns at once.
  uint16_t litRowsOver[3][kColumnLevels][kBannerColumns];
  uint16_t rowLinesOver[3][kColumnLevels][kBannerColumns];
  // Bit r of columnLines[l][c]: the cells either side of column c's lower
  // line differ in row r, or the last column is lit there (a value exactly
  // on its lower line passes the range test).
  uint16_t columnLines[3][kBannerColumns];
  // The depth z0 and perspective factor p of each sample index, the same on
  // every ray; more past the last, repeating it, so that vector code may
  // read a whole vector from any sample.
  float depth[kSamplesPerRay + kVectorLanes - 1];
  float perspective[kSamplesPerRay + kVectorLanes - 1];
  // The same depths widened, and half of each perspective factor (exact:
  // p is above 1), for vector code that would otherwise convert them on
  // every ray.
  double depthWide[kSamplesPerRay + kVectorLanes - 1];
  float halfPerspective[kSamplesPerRay + kVectorLanes - 1];
};

// Slab l's lit rows of column c that count as lit cells: of the last
// column and row only the lower line passes the range test, so they never
// do.
inline unsigned CountedLitRows(const SkipMaps& maps, int l, int c) {
  const SlabShape& shape = kSlabShapes[l];
  return c >= 0 && c < shape.columns - 1 ? maps.litRows[l][c] & ((1u << (shape.rows - 1)) - 1) : 0u;
}

// Bit r: the cells below and above row r's lower line differ in column c,
// or the last row is lit there (a value exactly on its lower line passes
// the range test).
inline unsigned RowLines(const SkipMaps& maps, int l, int c) {
  const unsigned cells = CountedLitRows(maps, l, c);
  return (cells ^ cells << 1) | (maps.litRows[l][c] & 1u << (kSlabShapes[l].rows - 1));
}

// The OR of a table over columns from to to (from <= to).
inline unsigned OverColumns(const uint16_t (&table)[kColumnLevels][kBannerColumns], int from,
                            int to) {
  const int level = std::bit_width((unsigned)(to - from + 1)) - 1;
  return table[level][from] | table[level][to - (1 << level) + 1];
}

// The maps and tables of the built scene, for any view.
void BuildSkipMaps(const Scene& scene, SkipMaps& maps);
