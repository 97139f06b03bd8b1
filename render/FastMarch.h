// Inside the renderer: the fast march. It gives every pixel the same colour
// as MarchPixel, bit for bit, by evaluating the same samples that contribute
// with the same functions, and skipping the samples that provably cannot.
//
// Along every ray each sample coordinate moves one way only, at a bounded
// pace (RayPath.h), so a ray enters each cell it meets once and leaves it
// once. Where it does so follows from the exact path to a fraction of a
// sample: the march works out these crossings for the occupied voxel cells
// near the ray and for the slabs' cells, looks exactly at the samples
// within the ray's crossing bound (RayCrossingError) of a crossing, and
// knows every other sample's layers without looking: nothing between two
// crossings can change. The bound is also the look window: the samples
// it covers are the only ones that can surprise.
#pragma once

#include <cstdint>

#include "render/RayPath.h"
#include "render/Scene.h"

constexpr int kColumnCount = 1025;  // columns 0 to 1024
constexpr int kColumnHeight = 769;  // rows 0 to 768

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
  // CrossingError of the rotation, the widest window looked at around a
  // crossing (each ray takes its own, RayCrossingError): negative if every
  // sample must be looked at.
  double crossingError;
};

// The maps and tables of the built scene; a march must use them with that
// scene (another rotation needs other bounds).
void BuildSkipMaps(const Scene& scene, SkipMaps& maps);

struct MarchCounts {
  uint64_t evaluated = 0;  // samples shaded: exactly those where a layer blends
  uint64_t examined = 0;   // samples looked at exactly, next to crossings
  uint64_t runs = 0;       // runs of samples shaded together
};

struct MarchKernels;
struct ContributionLists;

// Marches the rays of pixels (x, y) to (x, y + rays - 1), rays <=
// kGroupRays (a group): fills the group's lists with what each of their
// samples blends, in order. counts, if given, has an entry per ray.
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
