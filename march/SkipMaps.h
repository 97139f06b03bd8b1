// The fast march's maps and tables of one built scene: which voxel cells
// hold an object, where each bitmap's lit cells lie, and the per-sample
// values every ray shares.
#pragma once

#include <cstdint>

#include "march/RayPath.h"
#include "scene/Scene.h"

struct SkipMaps {
  // Bit k of occupied[i * 50 + j] is set where cell (i, j, k) holds an
  // object: the cells near a bundle of rays, a few words at a time.
  uint64_t occupied[kGridSize * kGridSize];
  CellBox litBox[3];  // word, strip, banner
  // Bit r of litRows[l][c] is set where slab l's bitmap lights column c,
  // row r (word, strip, banner).
  uint16_t litRows[3][kBannerColumns];
  // The depth z0 and perspective factor p of each sample index, the same on
  // every ray; three more past the last, repeating it, so that vector code
  // may read four at a time.
  float depth[kSamplesPerRay + 3];
  float perspective[kSamplesPerRay + 3];
  // The same depths widened, and half of each perspective factor (exact:
  // p is above 1), for vector code that would otherwise convert them on
  // every ray.
  double depthWide[kSamplesPerRay + 3];
  float halfPerspective[kSamplesPerRay + 3];
};

// The maps and tables of the built scene, for any view.
void BuildSkipMaps(const Scene& scene, SkipMaps& maps);
