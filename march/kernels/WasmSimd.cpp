// The vector kernels (VectorKernels.h) in WebAssembly SIMD: the primitives
// they are written over. WebAssembly has no fused multiply-add one may rely
// on (relaxed SIMD's is not the same everywhere, and is not used), so where
// the AVX2 file fuses, this one evaluates the written operations, and where
// that one takes a corrected reciprocal, this one divides; each place says
// why that is the same value. Four doubles are two 128-bit vectors: the
// compiler splits the 256-bit vector type into pairs of f64x2 operations.
//
// This file alone is compiled with -msimd128, into the SIMD module only,
// which the page loads where the browser validates SIMD. It exports
// kWasmSimdKernels and nothing else.
#include <wasm_simd128.h>

#include <cstring>

#include "march/Kernels.h"

namespace {

typedef double D4 __attribute__((vector_size(32)));
typedef double D2 __attribute__((vector_size(16)));
typedef float F4 __attribute__((vector_size(16)));

D4 Splat(double v) {
  return D4{v, v, v, v};
}

D2 Low(D4 v) {
  return __builtin_shufflevector(v, v, 0, 1);
}

D2 High(D4 v) {
  return __builtin_shufflevector(v, v, 2, 3);
}

// Hides where a vector came from. The conversions below are two-lane
// instructions on halves of four lanes; seeing through the halves, the
// optimiser would make them one conversion of four lanes, which this
// compiler turns into four scalar conversions and as many lane moves.
v128_t Opaque(v128_t v) {
  __asm__("" : "+r"(v));
  return v;
}

// Round to nearest, as the conversions of the scalar code.
F4 Narrow(D4 v) {
  const v128_t low = wasm_f32x4_demote_f64x2_zero(Opaque((v128_t)Low(v)));
  const v128_t high = wasm_f32x4_demote_f64x2_zero(Opaque((v128_t)High(v)));
  return (F4)wasm_i32x4_shuffle(low, high, 0, 1, 4, 5);
}

D4 Widen(F4 v) {
  const D2 low = (D2)wasm_f64x2_promote_low_f32x4(Opaque((v128_t)v));
  const D2 high = (D2)wasm_f64x2_promote_low_f32x4(Opaque(wasm_i32x4_shuffle(v, v, 2, 3, 2, 3)));
  return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

D4 Load(const double* p) {
  D4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

F4 LoadFloats(const float* p) {
  F4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store(float* out, F4 v) {
  std::memcpy(out, &v, sizeof v);
}

void Store(double* out, D4 v) {
  std::memcpy(out, &v, sizeof v);
}

// An f64x2 operation on each half of four lanes.
template <typename Op>
D4 Halves(D4 v, Op op) {
  const D2 low = (D2)op((v128_t)Low(v)), high = (D2)op((v128_t)High(v));
  return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

// Rounds each lane to float, as an assignment to a float does: each half
// demoted and promoted back on its own, with no lanes moved between
// halves. (Seeing both conversions, the optimiser would fold them into one
// rounding of two lanes, which it makes scalar.)
D4 ToFloat(D4 v) {
  return Halves(v, [](v128_t half) {
    return wasm_f64x2_promote_low_f32x4(Opaque(wasm_f32x4_demote_f64x2_zero(Opaque(half))));
  });
}

D4 Floor(D4 v) {
  return Halves(v, wasm_f64x2_floor);
}

F4 Floor(F4 v) {
  return (F4)wasm_f32x4_floor((v128_t)v);
}

D4 Sqrt(D4 v) {
  return Halves(v, wasm_f64x2_sqrt);
}

// a * b + c with a * b exact in double (two floats' product has at most 48
// significant bits): the product's rounding changes nothing, so the sum's
// is the only one, as in the fused form of the AVX2 file.
D4 MulAddExact(D4 a, D4 b, D4 c) {
  return a * b + c;
}

// w / d, rounded to double: a division, as the scalar definitions take it.
D4 DivideByOdd(D4 w, double d) {
  return w / d;
}

F4 InterleaveLow(F4 a, F4 b) {
  return __builtin_shufflevector(a, b, 0, 4, 1, 5);
}

F4 InterleaveHigh(F4 a, F4 b) {
  return __builtin_shufflevector(a, b, 2, 6, 3, 7);
}

void Transpose(F4 (&rows)[4]) {
  const F4 t0 = InterleaveLow(rows[0], rows[1]), t1 = InterleaveLow(rows[2], rows[3]);
  const F4 t2 = InterleaveHigh(rows[0], rows[1]), t3 = InterleaveHigh(rows[2], rows[3]);
  rows[0] = __builtin_shufflevector(t0, t1, 0, 1, 4, 5);
  rows[1] = __builtin_shufflevector(t0, t1, 2, 3, 6, 7);
  rows[2] = __builtin_shufflevector(t2, t3, 0, 1, 4, 5);
  rows[3] = __builtin_shufflevector(t2, t3, 2, 3, 6, 7);
}

#include "march/kernels/FourLanes.h"

#include "march/kernels/VectorKernels.h"

}  // namespace

extern const MarchKernels kWasmSimdKernels = {
    "wasm-simd",        kGroupRaysVector,  ShadeRunVector, BlendGroupVector,
    SamplePointsVector, DivideByOddVector, kLanes};
