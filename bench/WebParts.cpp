// The web module's render pass on one thread, split as render_bench splits
// the native one: each part timed as a whole pass with kernels that do only
// that much, so that under node one can see whether deciding or shading
// dominates in WebAssembly (bench/web_parts.js prints it).
#include <emscripten/emscripten.h>

#include <memory>

#include "march/Frame.h"

namespace {

const MarchKernels* chosen = nullptr;

void NoRun(const Scene&, const SkipMaps&, const SampleRun&, int, int, ContributionLists&, int) {}
void NoBlend(ContributionLists&, int rays, Accumulator* accs) {
  for (int k = 0; k < rays; ++k) accs[k] = {0, 0, 0};
}
void AllRuns(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first, int last,
             ContributionLists& lists, int ray) {
  chosen->shadeRun(scene, maps, run, first, last, lists, ray);
}

Frame frame;
ContributionLists lists;
Accumulator column[kColumnHeight];
uint32_t packed[kColumnHeight];

}  // namespace

extern "C" {

// Picks the kernel set; 0, or -1 where the module has none of that name.
EMSCRIPTEN_KEEPALIVE int OrbeluneChoose(const char* name) {
  chosen = name[0] == '\0' ? &ChooseKernels() : KernelsNamed(name);
  return chosen != nullptr ? 0 : -1;
}

// Milliseconds for part 0 (scene build and maps), or the build and every
// column with 1 (deciding alone), 2 (and shading, no blending) or 3 (the
// whole pass, colours packed as the page's worker packs them).
EMSCRIPTEN_KEEPALIVE double OrbelunePart(int part) {
  const double start = emscripten_get_now();
  BuildFrame(frame);
  if (part > 0) {
    // In groups of the chosen set's size, as its pass has them.
    const MarchKernels deciding = {"none", chosen->groupRays, NoRun, NoBlend, nullptr, nullptr, 0};
    const MarchKernels shading = {"runs", chosen->groupRays, AllRuns, NoBlend, nullptr, nullptr, 0};
    const MarchKernels& kernels = part == 1 ? deciding : part == 2 ? shading : *chosen;
    for (int x = 0; x < kColumnCount; ++x) {
      MarchColumnFast({frame.scene, *frame.maps, kernels}, x, lists, column);
      for (int y = 0; y < kColumnHeight; ++y) packed[y] = PackColour(column[y]);
    }
  }
  return emscripten_get_now() - start;
}

}  // extern "C"
