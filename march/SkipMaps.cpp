// The fast march's maps: which voxel cells are occupied, a column of cells
// to a word; where each bitmap's lit cells lie, a column to a word; and
// the per-sample tables.
#include "march/SkipMaps.h"

#include <algorithm>

void BuildSkipMaps(const Scene& scene, SkipMaps& maps) {
  for (int c = 0; c < kGridCells; ++c) {
    if (c % kGridSize == 0) maps.occupied[c / kGridSize] = 0;
    if (scene.field.radiusGrid[c] > 0)
      maps.occupied[c / kGridSize] |= uint64_t{1} << (c % kGridSize);
  }
  const int32_t* bitmaps[3] = {scene.layers.wordMap, scene.layers.stripMap, scene.layers.bannerMap};
  static_assert(kWordRows <= 16 && kStripRows <= 16 && kBannerRows <= 16);
  for (int l = 0; l < 3; ++l) {
    const SlabShape& shape = kSlabShapes[l];
    maps.litBox[l] = LitBox(bitmaps[l], shape.columns, shape.rows);
    for (int c = 0; c < kBannerColumns; ++c) {
      maps.litRows[l][c] = 0;
      for (int r = 0; c < shape.columns && r < shape.rows; ++r) {
        if (bitmaps[l][c * shape.rows + r] == 1) maps.litRows[l][c] |= (uint16_t)(1u << r);
      }
    }
  }
  for (int l = 0; l < 3; ++l) {
    const int lastColumn = kSlabShapes[l].columns - 1;
    for (int c = 0; c < kBannerColumns; ++c) {
      maps.columnLines[l][c] =
          (uint16_t)((CountedLitRows(maps, l, c - 1) ^ CountedLitRows(maps, l, c)) |
                     (c == lastColumn ? maps.litRows[l][c] : 0u));
      maps.litRowsOver[l][0][c] = maps.litRows[l][c];
      maps.rowLinesOver[l][0][c] = (uint16_t)RowLines(maps, l, c);
    }
    for (int level = 1; level < kColumnLevels; ++level) {
      for (int c = 0; c < kBannerColumns; ++c) {
        const int other = std::min(c + (1 << (level - 1)), kBannerColumns - 1);
        maps.litRowsOver[l][level][c] =
            maps.litRowsOver[l][level - 1][c] | maps.litRowsOver[l][level - 1][other];
        maps.rowLinesOver[l][level][c] =
            maps.rowLinesOver[l][level - 1][c] | maps.rowLinesOver[l][level - 1][other];
      }
    }
  }
  for (int t = 0; t < kSamplesPerRay + kVectorLanes - 1; ++t) {
    maps.depth[t] = SampleDepth((float)std::min(t, kSamplesPerRay - 1));
    maps.perspective[t] = PerspectiveFactor(maps.depth[t]);
    maps.depthWide[t] = maps.depth[t];
    maps.halfPerspective[t] = maps.perspective[t] * 0.5f;
  }
}
