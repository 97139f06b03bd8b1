// Inside the renderer: the fast march. It gives every pixel the same colour
// as MarchPixel, bit for bit, by evaluating the same samples that contribute
// with the same functions, and skipping runs of samples that provably
// cannot contribute.
//
// Most samples fall in empty space. For each scene layer a distance map
// says how many cells away (Chebyshev distance) the nearest cell is that can
// contribute: an occupied voxel cell, or a lit bitmap cell. A sample point
// moves at most a bounded amount from one sample to the next, so a sample
// d cells from anything that contributes is followed by a run of samples
// that cannot reach it; the march jumps over that run.
#pragma once

#include <cstdint>

#include "render/Scene.h"

constexpr int kColumnCount = 1025;  // columns 0 to 1024
constexpr int kColumnHeight = 769;  // rows 0 to 768

constexpr int kTubeWidth = 1;

// The columns and rows of a bitmap between which its lit cells lie, both
// ends included.
struct CellBox {
  int firstColumn, lastColumn, firstRow, lastRow;
};

// A text slab's maps, cell index column * rows + row as in its bitmap.
struct BitmapMaps {
  uint8_t lit[kBannerColumns * kBannerRows];   // cells to the nearest lit cell
  uint8_t dark[kBannerColumns * kBannerRows];  // to the nearest unlit one, or off the bitmap
  // Which of a cell's neighbours are lit, and which unlit or off the
  // bitmap, one bit per neighbour in the order of kBitmapNeighbours.
  uint8_t litNear[kBannerColumns * kBannerRows];
  uint8_t darkNear[kBannerColumns * kBannerRows];
  CellBox litBox;
};

struct SkipMaps {
  uint8_t voxel[kGridCells];  // cells to the nearest occupied cell, 0 inside one
  // Which of a cell's neighbours are occupied, one bit per neighbour in the
  // order of kVoxelNeighbours: a sample next to such a cell measures its
  // way there exactly rather than in whole cells.
  uint32_t voxelNear[kGridCells];
  // Rays climb in z far faster than they move sideways. For each cell and
  // a tube kTubeWidth cells wide on each side in x and y: how many cells,
  // from this one up in z, the tube holds no occupied cell (0 if this
  // layer of it holds one).
  uint8_t tube[kGridCells];
  BitmapMaps slab[3];  // word, strip, banner
  // The depth z0 and perspective factor p of each sample index, the same on
  // every ray; three more past the last, repeating it, so that vector code
  // may read four at a time.
  float depth[kSamplesPerRay + 3];
  float perspective[kSamplesPerRay + 3];
};

struct CellOffset {
  int8_t x, y, z;
};
extern const CellOffset kVoxelNeighbours[26];
extern const CellOffset kBitmapNeighbours[8];  // z is 0

// Chebyshev distances, capped at 255, from the built scene.
void BuildSkipMaps(const Scene& scene, SkipMaps& maps);

// Computed sample coordinates stray from the exact polynomial path by a
// handful of float roundings of values below 17 (under 1e-6 each): this is
// generous, and the tests check it.
constexpr double kPathError = 2e-5;

// How far a ray's sample point can move from one sample to the next, in
// each layer's own units, with margins for rounding (see FastMarch.cpp).
// Samples per unit of movement, upwards and downwards along one axis: the
// inverses of the largest movement from one sample to the next in each
// direction. A coordinate that only ever grows along the ray (sz does) can
// still come down by its rounding, so no inverse is infinite.
struct AxisStep {
  double up, down;
};

struct AxisSteps {
  AxisStep x, y, z;
};

// The ray's slopes change along it, so the bounds are kept per part of
// the ray: part q bounds the movement from sample kPartSamples q to the
// ray's end, in sample units (voxel cells).
constexpr int kPartSamples = 125;
constexpr int kRayParts = 2000 / kPartSamples;

struct RayStep {
  AxisSteps part[kRayParts];
};

// For every ray of column x0 with y0 from y0Low to y0High.
RayStep BoundRayStep(const ViewRotation& rotation, float x0, float y0Low, float y0High);

// The bounds that hold from sample t on.
static inline const AxisSteps& StepsFrom(const RayStep& step, int t) {
  return step.part[t < kPartSamples * kRayParts ? t / kPartSamples : kRayParts - 1];
}

struct MarchCounts {
  uint64_t evaluated = 0;  // samples shaded: exactly those where a layer blends
  uint64_t examined = 0;   // samples looked at to decide what follows them
  uint64_t runs = 0;       // runs of samples shaded together
};

struct MarchKernels;
struct ContributionLists;

// Marches the rays of pixels (x, y) to (x, y + rays - 1), rays <= 4 (a
// group): fills the group's lists with what each of their samples blends,
// in order. counts, if given, has an entry per ray.
void CollectGroup(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels, float x,
                  float y, int rays, ContributionLists& lists, MarchCounts* counts = nullptr);

// The fast equivalent of MarchPixel for a whole column: column[y] for y = 0
// to 768, the rays marched in groups. lists is working storage; counts, if
// given, has an entry per pixel.
void MarchColumnFast(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels, int x,
                     ContributionLists& lists, COLORREF* column, MarchCounts* counts = nullptr);

// The same for one pixel (allocating its own working storage).
COLORREF MarchPixelFast(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                        float x, float y, MarchCounts* counts = nullptr);
