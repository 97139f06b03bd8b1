// The fast march: every pixel the same colour accumulator as the
// straightforward march (AccumulatePixel), bit for bit, with a small part
// of the work.
//
// Why it is exact, for any view. This is the one statement of the
// argument; the files it names hold the details and point back here.
//  1. The premises (RayPath.h). Along each ray every sample coordinate
//     follows a known function of the sample's depth, whatever the
//     view's three angles: sz is linear, sx and sy are quadratic (the
//     perspective scales after the rotation), so each moves either way,
//     may turn once, or may barely move. The computed float coordinates
//     stray from it by less than kPathError. So a computed value that a
//     cell index, a slab's column, row or depth test or its pattern value
//     is taken from (a track) lies on the exact path's side of a face
//     wherever the track is farther from the face than the value's stray.
//     The samples where it is not are the face's band (Band): around each
//     crossing, about stray / pace samples where the pace bounds it, about
//     sqrt(stray / curvature) near a turn, and wherever the path only
//     grazes the face (a near miss). Bands are solved from the tracks'
//     roots, at most two per face.
//  2. The events (Events.h). For each ray the march works out, for each
//     occupied voxel cell near it, where the exact path lies within the
//     cell's faces narrowed by the stray (every computed sample inside)
//     and where within them widened by it (outside that, none):
//     CellEvents; and for each slab, the bands of its depth faces, of the
//     lines between columns and rows with differently lit cells, and of
//     its pattern's lines where it is lit, merged where they overlap:
//     SlabEvents. Each gives what changes (into or out of a cell, onto or
//     off a slab's lit cells, the pattern's value) at the end of a stretch
//     to look at.
//     A group's rays decide together what convexity gives them. At each
//     depth a ray's exact coordinates are affine in its y0, and a group's
//     rays share x0 and lie, by y0, between its first and last: so at each
//     depth every ray's point lies on the segment between the outer rays'.
//     Where both outer points lie within a face's narrowed side, every
//     ray's does; where both lie beyond a face widened by the stray, on the
//     same side, every ray's does. So an occupied cell that both outer
//     rays' ranges miss is near no ray of the group, an axis along which
//     both outer rays keep within the cell's faces narrowed by the stray,
//     wherever the group's sz is near the cell, bounds no ray's stretch in
//     the cell (GroupCellsOf), and a slab whose lit cells lie beyond both
//     outer rays' reach is reached by none (SlabInReach): none of these is
//     worked out again per ray. Where the rays part, at the crossings,
//     each ray's own roots decide.
//  3. The looks (FastMarch.cpp). Every sample in a stretch to look at is
//     looked at with the definitions. Every other sample lies on the
//     exact path's side of every face that matters, so the layers it
//     blends in, and each slab's pattern value, are those of the exact
//     path there, which cannot change between two stretches: it needs no
//     look, and a stretch of such samples is one run. (A slab's band that
//     can change nothing, one line with the same cells lit on either side,
//     needs no look.)
//  4. The runs (Kernels.h). The samples of a run that blend are shaded
//     with the definitions (the scalar kernels), or by vector code that
//     evaluates the same operations lane by lane, each shortcut argued
//     beside it, and blended in the straightforward march's order with
//     the same blend.
//  5. Where the march would keep more than it has room for (more occupied
//     cells near a group, more events on a ray, more bands in a slab),
//     every sample of the ray is looked at: the safety net, counted in
//     MarchCounts::wholeRays.
// The tests hold each part on a fixed list of views: every computed sample
// across a face within its band, and within what its group decided, the
// vector kernels against the scalar ones, and the fast march against the
// straightforward one, accumulator for accumulator.
#pragma once

#include <cstdint>

#include "march/Kernels.h"
#include "march/SkipMaps.h"
#include "scene/Scene.h"

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
// the kernels' groupRays (a group): fills the group's lists with what each of their
// samples blends, in order. counts, if given, has an entry per ray, added to.
// For the tests, which hold a group's rays at every place in it; the march
// itself collects groups inside MarchColumnFast.
void CollectGroup(const MarchContext& march, float x, float y, int rays, ContributionLists& lists,
                  MarchCounts* counts = nullptr);

// The fast equivalent of AccumulatePixel for a whole column: column[y] for
// y = 0 to 768, the rays marched in groups. lists is working storage;
// counts, if given, has an entry per pixel, added to (a map's totals
// over many columns).
void MarchColumnFast(const MarchContext& march, int x, ContributionLists& lists,
                     Accumulator* column, MarchCounts* counts = nullptr);

// The same for every step-th row of the column only, from row `first`
// (0 <= first <= 768, step 1 or more): column[y] for y = first,
// first + step, ... up to 768, the same accumulators as MarchColumnFast
// gives them; the other rows are left as they are. (A plan's groups share
// one search over the rows they span: kMaxPlanRows at most, or one group's
// where that spans more. A wide step finds more cells to look at, and is
// slower, never other colours.)
// counts, if given, has an entry per pixel, as column does.
void MarchColumnRows(const MarchContext& march, int x, int first, int step,
                     ContributionLists& lists, Accumulator* column, MarchCounts* counts = nullptr);

// The same for one pixel (allocating its own working storage). For the
// tests: a program marches whole columns.
Accumulator MarchPixelFast(const MarchContext& march, float x, float y,
                           MarchCounts* counts = nullptr);
