// The fast march's maps: how many cells from each voxel cell to the
// nearest occupied one (Chebyshev distance), where each bitmap's lit cells
// lie, and the per-sample tables.
#include <algorithm>
#include <vector>

#include "render/FastMarch.h"

// Two passes over the grid, forward then backward,
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

void BuildSkipMaps(const Scene& scene, SkipMaps& maps) {
  for (int c = 0; c < kGridCells; ++c) maps.voxel[c] = scene.field.radiusGrid[c] > 0 ? 0 : 255;
  ChebyshevDistances(maps.voxel, kGridSize, kGridSize, kGridSize);
  maps.litBox[0] = LitBox(scene.layers.wordMap, kWordColumns, kWordRows);
  maps.litBox[1] = LitBox(scene.layers.stripMap, kStripColumns, kStripRows);
  maps.litBox[2] = LitBox(scene.layers.bannerMap, kBannerColumns, kBannerRows);
  for (int t = 0; t < kSamplesPerRay + 3; ++t) {
    maps.depth[t] = SampleDepth((float)std::min(t, kSamplesPerRay - 1));
    maps.perspective[t] = PerspectiveFactor(maps.depth[t]);
  }
  maps.crossingError = CrossingError(scene.rotation);
}
