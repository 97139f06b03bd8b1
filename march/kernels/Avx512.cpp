// The vector kernels (VectorKernels.h) in AVX-512 (F and VL) with FMA:
// the shading eight samples to a vector, eight doubles, eight floats in
// the 256-bit half; the blend four rays to a vector, as in Avx2.cpp. The
// fused forms and the corrected reciprocal are those of Avx2Lanes.h, on
// twice the lanes, for the same reasons, given again beside each. The
// tests compare the kernels with the scalar ones.
//
// This file alone is compiled for AVX-512, and is entered only once the
// processor is known to have it (kernels/Dispatch.cpp). Like Avx2.cpp it
// exports its kernel set, kAvx512Kernels, and nothing else; a test reads
// the built object's symbols to hold it to that.
#include <immintrin.h>

#include "march/Kernels.h"

namespace {

typedef double D8 __attribute__((vector_size(64)));
typedef float F8 __attribute__((vector_size(32)));

D8 Splat(double v) {
  return (D8)_mm512_set1_pd(v);
}

// The conversions are the compiler's (vcvtpd2ps and vcvtps2pd, rounding to
// nearest as the scalar code's): GCC 12's intrinsics for them warn of an
// uninitialised value of their own.
F8 Narrow(D8 v) {
  return __builtin_convertvector(v, F8);
}

D8 Widen(F8 v) {
  return __builtin_convertvector(v, D8);
}

// Rounds each lane to float, as an assignment to a float does.
D8 ToFloat(D8 v) {
  return Widen(Narrow(v));
}

D8 Load(const double* p) {
  return (D8)_mm512_loadu_pd(p);
}

// Rounded to a whole number toward minus infinity, with no inexact
// exception: std::floor. (The masked forms, every lane selected, here and
// in Sqrt: the plain ones' GCC 12 intrinsics warn as the conversions do.)
D8 Floor(D8 v) {
  return (D8)_mm512_mask_roundscale_pd((__m512d)v, 0xFF, (__m512d)v,
                                       _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}

F8 Floor(F8 v) {
  return (F8)_mm256_floor_ps((__m256)v);
}

D8 Sqrt(D8 v) {
  return (D8)_mm512_mask_sqrt_pd((__m512d)v, 0xFF, (__m512d)v);
}

// a * b + c with a * b exact in double (two floats' product has at most 48
// significant bits), so the fused form rounds once, where the written form
// rounds once too: the same value.
D8 MulAddExact(D8 a, D8 b, D8 c) {
  return (D8)_mm512_fmadd_pd((__m512d)a, (__m512d)b, (__m512d)c);
}

// w / d rounded to double, for an odd d (3 or 15), without a division.
// Beyond any bit, the exact quotient's remainder is k / d of that bit's
// weight (k a whole number), so the quotient lies at least 1 / (2 d) of an
// ulp from any midpoint between doubles (k / d is never 1 / 2). An
// estimate from the rounded reciprocal, corrected once by its remainder
// w - q d (computed exactly: a small multiple of q's ulp), differs from the
// quotient by far less than that, so it rounds the same way. Taking the
// remainder as q d - w and subtracting its share keeps the sign of a zero.
D8 DivideByOdd(D8 w, double d) {
  const double reciprocal = 1 / d;  // a constant, where d is one
  const __m512d q = _mm512_mul_pd((__m512d)w, _mm512_set1_pd(reciprocal));
  const __m512d r = _mm512_fmsub_pd(q, _mm512_set1_pd(d), (__m512d)w);
  return (D8)_mm512_fnmadd_pd(r, _mm512_set1_pd(reciprocal), q);
}

F8 LoadFloats(const float* p) {
  return (F8)_mm256_loadu_ps(p);
}

void Store(float* out, F8 v) {
  _mm256_storeu_ps(out, (__m256)v);
}

void Store(double* out, D8 v) {
  _mm512_storeu_pd(out, (__m512d)v);
}

// a0, b0, a1, b1, ..., a3, b3 and a4, b4, ..., a7, b7: one two-source
// permutation each, where unpacking would stay within 128-bit halves.
F8 InterleaveLow(F8 a, F8 b) {
  return (F8)_mm256_permutex2var_ps((__m256)a, _mm256_setr_epi32(0, 8, 1, 9, 2, 10, 3, 11),
                                    (__m256)b);
}

F8 InterleaveHigh(F8 a, F8 b) {
  return (F8)_mm256_permutex2var_ps((__m256)a, _mm256_setr_epi32(4, 12, 5, 13, 6, 14, 7, 15),
                                    (__m256)b);
}

// The blend's primitives: AVX2's four lanes (in EVEX encodings here, with
// 32 registers). Blending eight rays to a vector was slower on the
// machine it was measured on, and more rays in flight gained nothing:
// the figures are in docs/design.md.
namespace four {
#include "march/kernels/Avx2Lanes.h"
}  // namespace four
using four::MulAddExact;
using four::Narrow;
using four::Store;
using four::ToFloat;
using four::Transpose;
using four::Widen;
four::F4 LoadBlendFloats(const float* p) {
  return four::LoadFloats(p);
}

// Eight lanes for the shading, four for the blend; two sets of four rays'
// blends in flight.
constexpr int kLanes = 8, kBlendLanes = 4;
constexpr int kRaySets = 2;
using Doubles = D8;
using Floats = F8;
using BlendDoubles = four::D4;
using BlendFloats = four::F4;

#include "march/kernels/VectorKernels.h"

}  // namespace

extern const MarchKernels kAvx512Kernels = {
    "avx512",           kGroupRaysVector,  ShadeRunVector, BlendGroupVector,
    SamplePointsVector, DivideByOddVector, kLanes};
