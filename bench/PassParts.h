// Kernels that do only part of a kernel set's work, so that a pass timed
// with them shows where the set's time goes: deciding the runs and skips
// alone (no run shaded, nothing blended), and every contribution shaded
// but nothing blended. The blending is then the whole pass less the
// latter. Each marches in groups of the set's size.
#pragma once

#include "march/Kernels.h"

// The set whose runs the cut-short kernels shade: one at a time.
inline const MarchKernels* partsOf = nullptr;

inline void NoRun(const Scene&, const SkipMaps&, const SampleRun&, int, int, ContributionLists&,
                  int) {}
inline void NoBlend(ContributionLists&, int rays, Accumulator* accs) {
  for (int k = 0; k < rays; ++k) accs[k] = {0, 0, 0};
}
inline void AllRuns(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                    int last, ContributionLists& lists, int ray) {
  partsOf->shadeRun(scene, maps, run, first, last, lists, ray);
}

// `set` cut short to a run shader: NoRun for deciding alone, or one that
// shades with partsOf.
inline MarchKernels CutShort(const MarchKernels& set, const char* name,
                             decltype(MarchKernels::shadeRun) shadeRun) {
  return {name, set.groupRays, shadeRun, NoBlend, nullptr, nullptr, 0};
}
