// The scalar run shader, and the choice between it and the AVX2 one.
#include "render/ShadeRun.h"

constexpr BitmapLayer kLayers[3] = {kWordLayer, kStripLayer, kBannerLayer};

void ShadeRunScalar(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                    int last, Accumulator& acc) {
  for (int t = first; t <= last; ++t) {
    const SamplePoint s =
        ComputeSamplePointAt(scene.rotation, run.x0, run.y0, maps.depth[t], maps.perspective[t]);
    if (run.voxel) Blend(acc, VoxelGlow(run.r, run.kind, s.sx, s.sy, s.sz));
    for (int l = 0; l < 3; ++l) {
      if (run.lit[l])
        Blend(acc, LayerColour(kLayers[l], LayerCoordinates(kLayers[l], s.sx, s.sy, s.sz)));
    }
  }
}

bool bScalarRuns = false;

bool Avx2Available() {
  // GCC's check includes the OS's support for the AVX registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

RunShader ChooseRunShader() {
  return !bScalarRuns && Avx2Available() ? ShadeRunAvx2 : ShadeRunScalar;
}
