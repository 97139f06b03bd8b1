// The scalar kernels, and the choice between them and the AVX2 ones.
#include "render/ShadeRun.h"

constexpr BitmapLayer kLayers[3] = {kWordLayer, kStripLayer, kBannerLayer};

void ShadeRunScalar(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                    int last, ContributionLists& lists, int ray) {
  for (int t = first; t <= last; ++t) {
    const SamplePoint s =
        ComputeSamplePointAt(scene.rotation, run.x0, run.y0, maps.depth[t], maps.perspective[t]);
    if (run.voxel) Append(lists, ray, VoxelGlow(run.r, run.kind, s.sx, s.sy, s.sz));
    for (int l = 0; l < 3; ++l) {
      if (run.lit[l])
        Append(lists, ray, PatternColour(kLayers[l], run.pattern[l], LayerDepth(kLayers[l], s.sz)));
    }
  }
}

void BlendGroupScalar(ContributionLists& lists, int rays, Accumulator* accs) {
  for (int k = 0; k < rays; ++k) {
    Accumulator acc = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < lists.count[k]; ++i) {
      Blend(acc, lists.a[k][i], lists.red[k][i], lists.green[k][i], lists.blue[k][i]);
    }
    accs[k] = acc;
  }
}

bool Avx2Available() {
  // GCC's check includes the OS's support for the AVX registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

MarchKernels ChooseKernels() {
  return Avx2Available() ? kAvx2Kernels : kScalarKernels;
}
