// Chebyshev distance maps over the voxel grid and the three bitmaps: how
// many cells from each cell to the nearest one that can contribute.
#include <algorithm>
#include <vector>

#include "render/FastMarch.h"

// Two passes over a grid of up to three dimensions, forward then backward,
// each taking the nearer of a cell's own distance and its already-visited
// neighbours' plus one: exact for the Chebyshev (chessboard) distance. The
// grid is copied into one with a border of 255 all round, so that every
// cell has its 26 neighbours at fixed offsets.
static void ChebyshevDistances(uint8_t* d, int nx, int ny, int nz) {
  const int py = ny + 2, pz = nz + 2;
  std::vector<uint8_t> padded((size_t)(nx + 2) * py * pz, 255);
  const auto at = [&](int i, int j, int k) { return ((i + 1) * py + (j + 1)) * pz + (k + 1); };
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j)
      for (int k = 0; k < nz; ++k) padded[at(i, j, k)] = d[(i * ny + j) * nz + k];
  // The 13 neighbours that come before a cell in the forward order; the
  // backward pass uses the same offsets negated.
  int before[13], n = 0;
  for (int di = -1; di <= 1; ++di)
    for (int dj = -1; dj <= 1; ++dj)
      for (int dk = -1; dk <= 1; ++dk)
        if ((di != 0 ? di : (dj != 0 ? dj : dk)) < 0) before[n++] = (di * py + dj) * pz + dk;
  uint8_t* const g = padded.data();
  const auto relax = [&](int c, int sign) {
    int best = g[c];
    for (int o : before) best = std::min(best, g[c + sign * o] + 1);
    g[c] = (uint8_t)std::min(best, 255);
  };
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j)
      for (int k = 0; k < nz; ++k) relax(at(i, j, k), +1);
  for (int i = nx - 1; i >= 0; --i)
    for (int j = ny - 1; j >= 0; --j)
      for (int k = nz - 1; k >= 0; --k) relax(at(i, j, k), -1);
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j)
      for (int k = 0; k < nz; ++k) d[(i * ny + j) * nz + k] = padded[at(i, j, k)];
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

// The voxel grid's maps from the occupied cells, over a copy of the grid
// with an empty border all round, so that every cell has its neighbours at
// fixed offsets.
static void VoxelMaps(const VoxelField& field, SkipMaps& maps) {
  static_assert(kTubeWidth <= 1, "the border is one cell wide");
  constexpr int n = kGridSize, p = kGridSize + 2;
  std::vector<uint8_t> occupied((size_t)p * p * p, 0);
  const auto at = [](int i, int j, int k) { return ((i + 1) * p + (j + 1)) * p + (k + 1); };
  for (int c = 0; c < kGridCells; ++c) {
    const bool filled = field.radiusGrid[c] > 0;
    occupied[at(c / 2500, c / 50 % 50, c % 50)] = filled;
    maps.voxel[c] = filled ? 0 : 255;
  }
  ChebyshevDistances(maps.voxel, n, n, n);
  int offsets[26];
  for (int m = 0; m < 26; ++m)
    offsets[m] = (kVoxelNeighbours[m].x * p + kVoxelNeighbours[m].y) * p + kVoxelNeighbours[m].z;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      // The tube's runs, from the top layer down: a layer of the tube
      // around (i, j) that holds no occupied cell extends the empty run of
      // the layer above it by one.
      int run = 0;
      for (int k = n - 1; k >= 0; --k) {
        const int c = at(i, j, k);
        uint32_t bits = 0;
        for (int m = 0; m < 26; ++m) bits |= (uint32_t)occupied[c + offsets[m]] << m;
        maps.voxelNear[i * 2500 + j * 50 + k] = bits;
        bool empty = true;
        for (int a = -kTubeWidth; a <= kTubeWidth; ++a)
          for (int b = -kTubeWidth; b <= kTubeWidth; ++b)
            empty = empty && !occupied[c + a * p * p + b * p];
        run = empty ? std::min(run + 1, 255) : 0;
        maps.tube[i * 2500 + j * 50 + k] = (uint8_t)run;
      }
    }
  }
}

void BuildSkipMaps(const Scene& scene, SkipMaps& maps) {
  VoxelMaps(scene.field, maps);
  for (int t = 0; t < kSamplesPerRay + 3; ++t) {
    maps.depth[t] = SampleDepth((float)std::min(t, kSamplesPerRay - 1));
    maps.perspective[t] = PerspectiveFactor(maps.depth[t]);
  }
  BitmapDistances(scene.layers.wordMap, kWordColumns, kWordRows, maps.slab[0]);
  BitmapDistances(scene.layers.stripMap, kStripColumns, kStripRows, maps.slab[1]);
  BitmapDistances(scene.layers.bannerMap, kBannerColumns, kBannerRows, maps.slab[2]);
}
