// Which kernel sets this build has and which the processor runs: the one
// place that knows the instruction sets. The build compiles each vector
// kernel file only for targets that have its instruction set and tells
// this file so.
#include <cstring>

#include "march/Kernels.h"

#ifdef ORBELUNE_KERNELS_AVX2
extern const MarchKernels kAvx2Kernels;

static bool Avx2Runs() {
  // GCC's check includes the OS's support for the AVX registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#endif

#ifdef ORBELUNE_KERNELS_AVX512
extern const MarchKernels kAvx512Kernels;

static bool Avx512Runs() {
  // As for AVX2, GCC's check includes the OS's support for the AVX-512
  // registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#endif

#ifdef ORBELUNE_KERNELS_WASM_SIMD
// Built into the SIMD module only, which the page loads once the browser
// has validated SIMD: wherever it runs, it may be taken.
extern const MarchKernels kWasmSimdKernels;
#endif

KernelSets RunnableKernels() {
  KernelSets sets = {{&kScalarKernels}, 1};
#ifdef ORBELUNE_KERNELS_AVX2
  if (Avx2Runs()) sets.set[sets.count++] = &kAvx2Kernels;
#endif
  // AVX-512 after AVX2: its pass is 4% faster on the AMD EPYC (Zen 4) it
  // was measured on (docs/design.md); no other processor was measured.
#ifdef ORBELUNE_KERNELS_AVX512
  if (Avx512Runs()) sets.set[sets.count++] = &kAvx512Kernels;
#endif
#ifdef ORBELUNE_KERNELS_WASM_SIMD
  sets.set[sets.count++] = &kWasmSimdKernels;
#endif
  return sets;
}

const MarchKernels* KernelsNamed(const char* name) {
  const KernelSets sets = RunnableKernels();
  for (int i = 0; i < sets.count; ++i) {
    if (std::strcmp(sets.set[i]->name, name) == 0) return sets.set[i];
  }
  return nullptr;
}

const MarchKernels& ChooseKernels() {
  const KernelSets sets = RunnableKernels();
  return *sets.set[sets.count - 1];
}
