// The fast march: the same samples as MarchPixel wherever one can
// contribute, evaluated by the same functions; runs of samples that cannot
// contribute are skipped (SkipBounds.cpp argues how far), and runs that
// blend in the same layers are shaded together (ShadeRun.h).
#include "render/FastMarch.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "render/ShadeRun.h"
#include "render/SkipBounds.h"

constexpr BitmapLayer kLayers[3] = {kWordLayer, kStripLayer, kBannerLayer};

// What holds for every ray of a group: the movement bounds, and the
// samples where each slab may blend.
struct GroupBounds {
  RayStep step;
  SampleRange slabs[3];  // word, strip, banner
};

struct Ray {
  float x0, y0;
};

// What a look at one sample finds.
struct Look {
  SampleRun run;  // the layers the sample blends in
  bool blends;
  int hold;  // samples after it certain to blend in the same layers
};

// Looks at sample ti of the ray exactly, and bounds how many samples after
// it certainly blend in the same layers, or like it in none. With a spread,
// the bound holds (where it is not 0 and nothing blends) for every sample
// point within the spread of this one, per axis, in sample units: that of
// the group's other rays.
static Look Examine(const Scene& scene, const SkipMaps& maps, Ray ray, const GroupBounds& bounds,
                    int ti, Margins spread) {
  const SampleRange* slabs = bounds.slabs;
  const AxisSteps& m = StepsFrom(bounds.step, ti);

  const SamplePoint s =
      ComputeSamplePointAt(scene.rotation, ray.x0, ray.y0, maps.depth[ti], maps.perspective[ti]);
  const int cell = VoxelCellIndex(s.sx, s.sy, s.sz);
  Look look = {
      {ray.x0, ray.y0, maps.voxel[cell] == 0, 0.0f, 0.0f, {false, false, false}}, false, 0};
  look.blends = look.run.voxel;
  if (look.run.voxel) {
    look.run.r = scene.field.radiusGrid[cell];
    look.run.kind = scene.field.kindGrid[cell];
    look.hold = VoxelStaySteps(s.sx, s.sy, s.sz, m);
  } else {
    look.hold =
        VoxelSafeSteps(maps, cell, s.sx, s.sy, s.sz, m,
                       {kVoxelMargin + spread.x, kVoxelMargin + spread.y, kVoxelMargin + spread.z});
  }
  for (int l = 0; l < 3; ++l) {
    if (ti < slabs[l].first) {
      look.hold = std::min(look.hold, slabs[l].first - 1 - ti);
      continue;
    }
    if (ti > slabs[l].last) continue;
    // A slab adds nothing outside its depth, so its grid point is needed
    // only within it.
    const SlabShape& t = kSlabShapes[l];
    const AxisSteps layerSteps = {Scaled(m.x, t.perX), Scaled(m.y, t.perY), Scaled(m.z, t.perZ)};
    const Margins margin = {kLayerMargin + spread.x * t.scaleX, kLayerMargin + spread.y * t.scaleY,
                            kLayerMargin + spread.z * t.scaleZ};
    const float gz = LayerDepth(kLayers[l], s.sz);
    if (!(gz <= 2 && gz >= -1)) {
      if (look.hold > 0) look.hold = std::min(look.hold, DepthSafeSteps(gz, layerSteps, margin.z));
      continue;
    }
    const GridPoint g = LayerCoordinates(kLayers[l], s.sx, s.sy, s.sz);
    look.run.lit[l] = LayerCellLit(scene.layers, kLayers[l], g);
    look.blends = look.blends || look.run.lit[l];
    if (look.hold > 0) {
      look.hold = std::min(
          look.hold, look.run.lit[l]
                         ? LayerStaySteps(g, maps.slab[l], t.rows, layerSteps)
                         : LayerSafeSteps(g, maps.slab[l], t.columns, t.rows, layerSteps, margin));
    }
  }
  return look;
}

// Where a group's rays part, its halves march apart for this many
// samples before the group tries to skip together again: long enough that
// parting and meeting again costs little (tried: 32 to 2048).
constexpr int kWindow = 256;

// One group's march: its rays, their bounds, their lists and counts.
struct GroupMarch {
  const Scene& scene;
  const SkipMaps& maps;
  const MarchKernels& kernels;
  const Ray* rays;
  const GroupBounds& bounds;
  ContributionLists& lists;
  MarchCounts* counts;
};

// How far the sample points of rays k0 to k1 - 1 lie from those of ray
// ref, per axis. Sample points are linear in y0 at a given sample:
// d(sx, sy, sz)/dy0 = (-sA sB p / 2, cA p / 2, -sA cB), with p / 2 at most
// 60 / 65. Each computed point strays from its exact one by less than
// kPathError.
static Margins Spread(const ViewRotation& v, const Ray* rays, int k0, int k1, int ref) {
  const double dy0 =
      std::max((double)rays[ref].y0 - rays[k0].y0, (double)rays[k1 - 1].y0 - rays[ref].y0);
  const double most = 60.0 / 65;
  return {std::fabs((double)v.sinA * v.sinB) * most * dy0 + 2 * kPathError,
          std::fabs((double)v.cosA) * most * dy0 + 2 * kPathError,
          std::fabs((double)v.sinA * v.cosB) * dy0 + 2 * kPathError};
}

// One step of ray k's own march at sample ti: a look, and the run it
// shades or the samples it skips. Returns the sample after them.
static int Step(const GroupMarch& g, int k, int ti, int to) {
  const Look look = Examine(g.scene, g.maps, g.rays[k], g.bounds, ti, {0, 0, 0});
  ++g.counts[k].examined;
  const int last = std::min(ti + look.hold, to);
  if (look.blends) {
    g.kernels.shadeRun(g.scene, g.maps, look.run, ti, last, g.lists, k);
    g.counts[k].evaluated += last - ti + 1;
    ++g.counts[k].runs;
  }
  return last + 1;
}

// Two rays on their own, step by step by turns: each step waits on the
// one before it, so two rays' steps side by side keep the processor busier.
static void MarchTwo(const GroupMarch& g, int k, int from, int to) {
  int a = from, b = from;
  while (a <= to && b <= to) {
    a = Step(g, k, a, to);
    b = Step(g, k + 1, b, to);
  }
  while (a <= to) a = Step(g, k, a, to);
  while (b <= to) b = Step(g, k + 1, b, to);
}

// Rays k0 to k1 - 1 of a group (neighbouring rows of one column) run side
// by side through the scene, their sample points hundredths of a cell
// apart. Where one look at the middle ray, its margins widened by that
// spread, shows that none of them can blend for a while, all skip
// together; elsewhere each half goes on as a group of its own for a
// while, down to single rays.
static void MarchRays(const GroupMarch& g, int k0, int k1, int from, int to) {
  if (k1 - k0 == 1) {
    for (int ti = from; ti <= to;) ti = Step(g, k0, ti, to);
    return;
  }
  const int ref = (k0 + k1 - 1) / 2, middle = (k0 + k1) / 2;
  const Margins spread = Spread(g.scene.rotation, g.rays, k0, k1, ref);
  for (int ti = from; ti <= to;) {
    const Look together = Examine(g.scene, g.maps, g.rays[ref], g.bounds, ti, spread);
    ++g.counts[ref].examined;
    if (!together.blends && together.hold >= 1) {
      ti = std::min(ti + together.hold, to) + 1;
      continue;
    }
    const int end = std::min(ti + kWindow - 1, to);
    if (k1 - k0 == 2) {
      MarchTwo(g, k0, ti, end);
    } else {
      MarchRays(g, k0, middle, ti, end);
      MarchRays(g, middle, k1, ti, end);
    }
    ti = end + 1;
  }
}

void CollectGroup(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels, float x,
                  float y, int rays, ContributionLists& lists, MarchCounts* counts) {
  Ray group[kGroupRays];
  MarchCounts n[kGroupRays];
  for (int k = 0; k < rays; ++k) {
    group[k] = {ColumnCoordinate(x), RowCoordinate(y + (float)k)};
    lists.count[k] = 0;
  }
  const float y0Low = group[0].y0, y0High = group[rays - 1].y0;
  GroupBounds bounds;
  bounds.step = BoundRayStep(scene.rotation, group[0].x0, y0Low, y0High);
  for (int l = 0; l < 3; ++l) {
    bounds.slabs[l] = SlabSamples(scene.rotation, group[0].x0, y0Low, y0High, kSlabShapes[l],
                                  maps.slab[l].litBox);
  }
  MarchRays({scene, maps, kernels, group, bounds, lists, n}, 0, rays, 0, 2000);
  if (counts != nullptr) {
    for (int k = 0; k < rays; ++k) {
      counts[k].evaluated += n[k].evaluated;
      counts[k].examined += n[k].examined;
      counts[k].runs += n[k].runs;
    }
  }
}

void MarchColumnFast(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels, int x,
                     ContributionLists& lists, COLORREF* column, MarchCounts* counts) {
  for (int y = 0; y < kColumnHeight; y += kGroupRays) {
    const int rays = std::min(kGroupRays, kColumnHeight - y);
    CollectGroup(scene, maps, kernels, (float)x, (float)y, rays, lists,
                 counts != nullptr ? &counts[y] : nullptr);
    Accumulator accs[kGroupRays];
    kernels.blendGroup(lists, rays, accs);
    for (int k = 0; k < rays; ++k) column[y + k] = PackColour(accs[k]);
  }
}

COLORREF MarchPixelFast(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                        float x, float y, MarchCounts* counts) {
  const auto lists = std::make_unique<ContributionLists>();
  CollectGroup(scene, maps, kernels, x, y, 1, *lists, counts);
  Accumulator acc;
  kernels.blendGroup(*lists, 1, &acc);
  return PackColour(acc);
}
