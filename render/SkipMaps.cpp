// Chebyshev distance maps over the voxel grid and the three bitmaps: how
// many cells from each cell to the nearest one that can contribute.
#include <algorithm>

#include "render/FastMarch.h"

// Two passes over a grid of up to three dimensions, forward then backward,
// each taking the nearer of a cell's own distance and its already-visited
// neighbours' plus one: exact for the Chebyshev (chessboard) distance.
static void ChebyshevDistances(uint8_t* d, int nx, int ny, int nz) {
  auto at = [&](int i, int j, int k) -> uint8_t& { return d[(i * ny + j) * nz + k]; };
  auto relax = [&](int i, int j, int k, int sign) {
    int best = at(i, j, k);
    for (int di = -1; di <= 1; ++di) {
      for (int dj = -1; dj <= 1; ++dj) {
        for (int dk = -1; dk <= 1; ++dk) {
          // Only neighbours that come earlier in this pass's order.
          const int order = di != 0 ? di : (dj != 0 ? dj : dk);
          if (order != -sign) continue;
          const int a = i + di, b = j + dj, c = k + dk;
          if (a < 0 || b < 0 || c < 0 || a >= nx || b >= ny || c >= nz) continue;
          best = std::min(best, at(a, b, c) + 1);
        }
      }
    }
    at(i, j, k) = (uint8_t)std::min(best, 255);
  };
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j)
      for (int k = 0; k < nz; ++k) relax(i, j, k, +1);
  for (int i = nx - 1; i >= 0; --i)
    for (int j = ny - 1; j >= 0; --j)
      for (int k = nz - 1; k >= 0; --k) relax(i, j, k, -1);
}

const CellOffset kVoxelNeighbours[26] = {
    {-1, -1, -1}, {-1, -1, 0}, {-1, -1, 1}, {-1, 0, -1}, {-1, 0, 0}, {-1, 0, 1}, {-1, 1, -1},
    {-1, 1, 0},   {-1, 1, 1},  {0, -1, -1}, {0, -1, 0},  {0, -1, 1}, {0, 0, -1}, {0, 0, 1},
    {0, 1, -1},   {0, 1, 0},   {0, 1, 1},   {1, -1, -1}, {1, -1, 0}, {1, -1, 1}, {1, 0, -1},
    {1, 0, 0},    {1, 0, 1},   {1, 1, -1},  {1, 1, 0},   {1, 1, 1}};
const CellOffset kBitmapNeighbours[8] = {{-1, -1, 0}, {-1, 0, 0}, {-1, 1, 0}, {0, -1, 0},
                                         {0, 1, 0},   {1, -1, 0}, {1, 0, 0},  {1, 1, 0}};

// The maps of one bitmap. Off the bitmap counts as unlit: a sample there
// adds nothing.
static void BitmapDistances(const int32_t* map, int columns, int rows, BitmapMaps& maps) {
  const auto lit = [&](int c, int r) {
    return c >= 0 && r >= 0 && c < columns && r < rows && map[c * rows + r] == 1;
  };
  // Where a lit run ends. Of the last column and row only the lower edge
  // passes the range test, so they count as unlit here even if lit.
  const auto dark = [&](int c, int r) { return !lit(c, r) || c == columns - 1 || r == rows - 1; };
  maps.litBox = {columns, -1, rows, -1};
  for (int column = 0; column < columns; ++column) {
    for (int row = 0; row < rows; ++row) {
      const int cell = column * rows + row;
      maps.lit[cell] = lit(column, row) ? 0 : 255;
      // Off the bitmap is this far, in Chebyshev distance.
      const int edge = std::min({column + 1, columns - column, row + 1, rows - row});
      maps.dark[cell] = dark(column, row) ? 0 : (uint8_t)std::min(edge, 255);
      uint8_t litBits = 0, darkBits = 0;
      for (int n = 0; n < 8; ++n) {
        const int c = column + kBitmapNeighbours[n].x, r = row + kBitmapNeighbours[n].y;
        litBits |= (uint8_t)(lit(c, r) << n);
        darkBits |= (uint8_t)(dark(c, r) << n);
      }
      maps.litNear[cell] = litBits;
      maps.darkNear[cell] = darkBits;
      if (!lit(column, row)) continue;
      maps.litBox.firstColumn = std::min(maps.litBox.firstColumn, column);
      maps.litBox.lastColumn = std::max(maps.litBox.lastColumn, column);
      maps.litBox.firstRow = std::min(maps.litBox.firstRow, row);
      maps.litBox.lastRow = std::max(maps.litBox.lastRow, row);
    }
  }
  ChebyshevDistances(maps.lit, columns, rows, 1);
  ChebyshevDistances(maps.dark, columns, rows, 1);
}

// From the top layer down: a layer of the tube around (i, j) that holds no
// occupied cell extends the empty run of the layer above it by one.
static void TubeRuns(const uint8_t* distance, uint8_t* tube) {
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      int run = 0;
      for (int k = kGridSize - 1; k >= 0; --k) {
        bool empty = true;
        for (int a = std::max(i - kTubeWidth, 0); a <= std::min(i + kTubeWidth, kGridSize - 1); ++a)
          for (int b = std::max(j - kTubeWidth, 0); b <= std::min(j + kTubeWidth, kGridSize - 1);
               ++b)
            empty = empty && distance[a * 2500 + b * 50 + k] != 0;
        run = empty ? std::min(run + 1, 255) : 0;
        tube[i * 2500 + j * 50 + k] = (uint8_t)run;
      }
    }
  }
}

void BuildSkipMaps(const Scene& scene, SkipMaps& maps) {
  for (int c = 0; c < kGridCells; ++c) maps.voxel[c] = scene.field.radiusGrid[c] > 0 ? 0 : 255;
  ChebyshevDistances(maps.voxel, kGridSize, kGridSize, kGridSize);
  TubeRuns(maps.voxel, maps.tube);
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      for (int k = 0; k < kGridSize; ++k) {
        uint32_t bits = 0;
        for (int n = 0; n < 26; ++n) {
          const int a = i + kVoxelNeighbours[n].x, b = j + kVoxelNeighbours[n].y,
                    c = k + kVoxelNeighbours[n].z;
          if (a < 0 || b < 0 || c < 0 || a >= kGridSize || b >= kGridSize || c >= kGridSize)
            continue;
          if (maps.voxel[a * 2500 + b * 50 + c] == 0) bits |= 1u << n;
        }
        maps.voxelNear[i * 2500 + j * 50 + k] = bits;
      }
    }
  }
  for (int t = 0; t < kSamplesPerRay + 3; ++t) {
    maps.depth[t] = SampleDepth((float)std::min(t, kSamplesPerRay - 1));
    maps.perspective[t] = PerspectiveFactor(maps.depth[t]);
  }
  BitmapDistances(scene.layers.wordMap, kWordColumns, kWordRows, maps.slab[0]);
  BitmapDistances(scene.layers.stripMap, kStripColumns, kStripRows, maps.slab[1]);
  BitmapDistances(scene.layers.bannerMap, kBannerColumns, kBannerRows, maps.slab[2]);
}
