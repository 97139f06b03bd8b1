// The fast march: every pixel the same colour accumulator as the
// straightforward march (AccumulatePixel), bit for bit, with a small part
// of the work.
//
// Why it is exact. This is the one statement of the argument; the files
// it names hold the details and point back here.
//  1. The premises (RayPath.h). With the scene's rotation each sample
//     coordinate follows a known polynomial in the sample's depth, the
//     computed float coordinates stray from it by less than kPathError,
//     and each moves one way only along every ray at a pace bounded from
//     below. So a computed coordinate, a voxel cell index or slab cell
//     taken from it, or a slab's pattern sum, can differ from the exact
//     path's only within w = RayCrossingError samples (the stray over the
//     ray's least pace, below 1/2) of where the exact path crosses the
//     face or line between them.
//  2. The crossings (Events.h). For each ray the march solves where the
//     exact path enters and leaves the occupied voxel cells near it and
//     where it comes onto and off each slab's lit cells, crosses the
//     bitmaps' edges, its depth faces and its pattern lines, and notes
//     any two crossings within 2w of each other (a corner the path may
//     pass either way).
//  3. The looks (FastMarch.cpp). Every sample within w of such a crossing
//     is looked at with the definitions. Every other sample lies on the
//     same side of every face as the exact path, so the layers it blends
//     in, and each slab's pattern value, are those of the exact path's
//     cell there, which cannot change between two crossings: it needs no
//     look, and a stretch of such samples is one run.
//  4. The runs (Kernels.h). The samples of a run that blend are shaded
//     with the definitions (the scalar kernels), or by vector code that
//     evaluates the same operations lane by lane, each shortcut argued
//     beside it, and blended in the straightforward march's order with
//     the same blend.
//  5. Where a premise fails (another rotation, more occupied cells near a
//     group or more crossings on a ray than the march keeps), every sample
//     of the ray is looked at.
// The tests hold each part: the bound against every sample of whole
// columns, the vector kernels against the scalar ones, and the fast march
// against the straightforward one, accumulator for accumulator.
#pragma once

#include <cstdint>

#include "march/Kernels.h"
#include "march/SkipMaps.h"
#include "scene/Scene.h"

constexpr int kColumnCount = 1025;  // columns 0 to 1024
constexpr int kColumnHeight = 769;  // rows 0 to 768

// What a fast march works with: the built scene, its maps, and the kernel
// set that computes the runs.
struct MarchContext {
  const Scene& scene;
  const SkipMaps& maps;
  const MarchKernels& kernels;
};

struct MarchCounts {
  uint64_t evaluated = 0;  // samples shaded: exactly those where a layer blends
  uint64_t examined = 0;   // samples looked at exactly, next to crossings
  uint64_t runs = 0;       // runs of samples shaded together
  uint64_t crossings = 0;  // crossings (events) worked out, where the bounds hold
  uint64_t wholeRays = 0;  // rays beyond the bounds, every sample looked at
};

// Marches the rays of pixels (x, y) to (x, y + rays - 1), rays <=
// kGroupRays (a group): fills the group's lists with what each of their
// samples blends, in order. counts, if given, has an entry per ray.
void CollectGroup(const MarchContext& march, float x, float y, int rays, ContributionLists& lists,
                  MarchCounts* counts = nullptr);

// The fast equivalent of AccumulatePixel for a whole column: column[y] for
// y = 0 to 768, the rays marched in groups. lists is working storage;
// counts, if given, has an entry per pixel.
void MarchColumnFast(const MarchContext& march, int x, ContributionLists& lists,
                     Accumulator* column, MarchCounts* counts = nullptr);

// The same for one pixel (allocating its own working storage).
Accumulator MarchPixelFast(const MarchContext& march, float x, float y,
                           MarchCounts* counts = nullptr);
