// The fast march's kernels: shading runs of samples, and blending what they
// add.
//
// The fast march finds runs of samples that all blend in the same layers (a
// ray crossing one occupied voxel cell, or one lit cell of a slab, stays in
// it for dozens to hundreds of samples). Within a run nothing needs looking
// up, and the samples' contributions can be computed side by side. They are
// collected per ray, in the order the straightforward march blends them,
// and blended afterwards, a group of rays side by side, so that several
// independent chains of blends are in flight rather than one.
//
// Every kernel set gives the same bits. The scalar set (kernels/Scalar.cpp)
// calls the definitions in scene/Scene.h; each vector set lives in a file
// of its own under kernels/, compiled only for targets with its
// instruction set, and says beside each operation why it computes the same
// value. kernels/Dispatch.cpp alone knows which sets a build has and which
// the processor runs.
#pragma once

#include <cstdint>

#include "march/SkipMaps.h"
#include "scene/Scene.h"

// What every sample of a run blends in: the object of an occupied voxel
// cell (radius r > 0, kind) if `voxel`, then each slab with `lit` set.
struct SampleRun {
  float x0, y0;  // the ray
  bool voxel;
  float r, kind;
  // Per axis, whether every sample's coordinate lies at least 0.5 from 0,
  // so that its cell offset needs no rounding (a shortcut a vector shader
  // may take; false is always safe).
  bool exactOffset[3];
  bool lit[3];  // word, strip, banner
  // Each lit slab's pattern value (LayerPattern), the same at every sample
  // of the run.
  uint8_t pattern[3];
};

// Rays marched and blended together, neighbouring rows of a column: at
// most this many, as many as a kernel set's blender keeps in flight
// (MarchKernels::groupRays, a divisor of this).
constexpr int kMaxGroupRays = 8;
// At most every layer at every sample, and room for a vector shader's
// last lanes (up to kVectorLanes - 1 samples) and a vector blender's
// padding beyond.
constexpr int kMaxContributions = (kSamplesPerRay + kVectorLanes - 1) * 4 + kVectorLanes;

// The contributions of up to kMaxGroupRays rays, each ray's in blend order,
// one array per field and ray. About 1 MB, of which a ray typically uses a
// few hundred bytes.
struct ContributionLists {
  float a[kMaxGroupRays][kMaxContributions];
  float red[kMaxGroupRays][kMaxContributions];
  float green[kMaxGroupRays][kMaxContributions];
  float blue[kMaxGroupRays][kMaxContributions];
  int count[kMaxGroupRays];
};

// One set of kernels, all computing the same values in their own way.
struct MarchKernels {
  const char* name;  // "scalar", "avx2", "avx512": as --kernels names them
  // How many rays the march hands blendGroup at most: enough independent
  // chains of blends to hide their latency.
  int groupRays;
  // Appends the contributions of samples first to last
  // (0 <= first <= last <= 2000) of the run to ray `ray`'s list, each
  // sample's voxel glow before its slabs.
  void (*shadeRun)(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                   int last, ContributionLists& lists, int ray);
  // Blends the list of each of rays 0 to rays - 1 (rays <= groupRays)
  // into a fresh accumulator. Lists may be padded with contributions that change
  // nothing (a = 0).
  void (*blendGroup)(ContributionLists& lists, int rays, Accumulator* accs);
  // The parts that tests hold against the definitions and the benchmark
  // times alone: the sample points of samples t to t + lanes - 1
  // (t <= 2000) of a ray, and `lanes` quotients by 3 or 15, as the set
  // computes them.
  void (*samplePoints)(const ViewRotation& rotation, const SkipMaps& maps, float x0, float y0,
                       int t, SamplePoint* points);
  void (*divideByOdd)(const double* w, int d, double* quotients);
  int lanes;  // at most kVectorLanes
};

extern const MarchKernels kScalarKernels;

// The kernel sets this build has and this processor runs, the scalar set
// first and the fastest last.
constexpr int kMaxKernelSets = 4;
struct KernelSets {
  const MarchKernels* set[kMaxKernelSets];
  int count;
};
KernelSets RunnableKernels();

// The runnable set of that name, or null.
const MarchKernels* KernelsNamed(const char* name);

// The fastest runnable set.
const MarchKernels& ChooseKernels();

// Appends one contribution to ray `ray`'s list.
static inline void Append(ContributionLists& lists, int ray, Contribution c) {
  const int at = lists.count[ray]++;
  lists.a[ray][at] = c.a, lists.red[ray][at] = c.red, lists.green[ray][at] = c.green,
  lists.blue[ray][at] = c.blue;
}
