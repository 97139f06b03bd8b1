// Inside the renderer: shading a run of samples that all blend in the same
// layers. The fast march finds such runs (a ray crossing one occupied voxel
// cell, or one lit cell of a slab, takes dozens to hundreds of samples in
// it); within a run nothing needs looking up, and the samples can be
// computed side by side. Two versions give the same bits: a scalar one
// that calls the definitions in Scene.h, and one in AVX2 vector code.
#pragma once

#include "render/FastMarch.h"

// What every sample of a run blends in: the object of an occupied voxel
// cell (radius r > 0, kind) if `voxel`, then each slab with `lit` set.
struct SampleRun {
  float x0, y0;  // the ray
  bool voxel;
  float r, kind;
  bool lit[3];  // word, strip, banner
};

// A RunShader (FastMarch.h) blends samples first to last
// (0 <= first <= last <= 2000) of the run into acc, in order, each sample's
// voxel glow before its slabs.
void ShadeRunScalar(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                    int last, Accumulator& acc);

// Needs a processor with AVX2 and FMA (and an OS that saves their state).
void ShadeRunAvx2(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                  int last, Accumulator& acc);
bool Avx2Available();

// The shader the fast march uses: AVX2 where the processor has it, unless
// the scalar one is asked for.
extern bool bScalarRuns;
RunShader ChooseRunShader();
