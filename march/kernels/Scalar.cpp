// The scalar kernels: the image's own definitions, sample by sample and
// blend by blend. Every other kernel set is held to these.
#include "march/Kernels.h"

namespace {

void ShadeRun(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first, int last,
              ContributionLists& lists, int ray) {
  for (int t = first; t <= last; ++t) {
    const SamplePoint s =
        ComputeSamplePointAt(scene.rotation, run.x0, run.y0, maps.depth[t], maps.perspective[t]);
    if (run.voxel) Append(lists, ray, VoxelGlow(run.r, run.kind, s.sx, s.sy, s.sz));
    for (int l = 0; l < 3; ++l) {
      const BitmapLayer layer = kBitmapLayers[l];
      if (run.lit[l])
        Append(lists, ray, PatternColour(layer, run.pattern[l], LayerDepth(layer, s.sz)));
    }
  }
}

void BlendGroup(ContributionLists& lists, int rays, Accumulator* accs) {
  for (int k = 0; k < rays; ++k) {
    Accumulator acc = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < lists.count[k]; ++i) {
      Blend(acc, lists.a[k][i], lists.red[k][i], lists.green[k][i], lists.blue[k][i]);
    }
    accs[k] = acc;
  }
}

void SamplePoints(const ViewRotation& rotation, const SkipMaps& maps, float x0, float y0, int t,
                  SamplePoint* points) {
  for (int i = 0; i < 4; ++i)
    points[i] = ComputeSamplePointAt(rotation, x0, y0, maps.depth[t + i], maps.perspective[t + i]);
}

void DivideByOdd(const double* w, int d, double* quotients) {
  for (int i = 0; i < 4; ++i) quotients[i] = w[i] / d;
}

}  // namespace

// Groups of eight rays, as the march had before any set chose; four
// points and quotients, the width of the tests' calls.
extern const MarchKernels kScalarKernels = {"scalar",     8,           ShadeRun, BlendGroup,
                                            SamplePoints, DivideByOdd, 4};
