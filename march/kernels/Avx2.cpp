// The vector kernels (VectorKernels.h) in AVX2 and FMA, over the
// primitives of Avx2Lanes.h. The tests compare the kernels with the scalar
// ones.
//
// This file alone is compiled for AVX2 and FMA, and is entered only once
// the processor is known to have them (kernels/Dispatch.cpp). It exports
// kAvx2Kernels and nothing else, so that no other file can be handed one
// of its functions in place of a portable one: its own functions are in an
// anonymous namespace, the inline functions of our headers are static, and
// it uses no template from the standard library. A test reads the built
// object's symbols to hold it to that.
#include <immintrin.h>

#include "march/Kernels.h"

namespace {

#include "march/kernels/Avx2Lanes.h"

#include "march/kernels/FourLanes.h"

#include "march/kernels/VectorKernels.h"

}  // namespace

extern const MarchKernels kAvx2Kernels = {"avx2",
                                          kGroupRaysVector,
                                          ShadeRunVector,
                                          BlendGroupVector,
                                          SamplePointsVector,
                                          DivideByOddVector,
                                          kLanes};
