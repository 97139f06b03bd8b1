// The widths of a four-lane kernel set (Avx2.cpp, WasmSimd.cpp), whose
// blend takes the same vectors: four lanes, two sets of four rays' blends
// in flight. Included inside the kernel file's anonymous namespace, after
// its D4, F4 and LoadFloats and before VectorKernels.h.
constexpr int kLanes = 4, kBlendLanes = 4;
constexpr int kRaySets = 2;
using Doubles = D4;
using Floats = F4;
using BlendDoubles = D4;
using BlendFloats = F4;
F4 LoadBlendFloats(const float* p) {
  return LoadFloats(p);
}
