// The AVX2 and FMA primitives the vector kernels (VectorKernels.h) are
// written over, on four doubles and four floats. Where a fused
// multiply-add or a reciprocal stands in for the written operations, the
// comment beside it shows why it gives the same value.
//
// Not a header to include anywhere else: Avx2.cpp includes it for its
// whole kernel set, Avx512.cpp for its blend, each inside its anonymous
// namespace (and both compiled for the instruction sets it needs).

typedef double D4 __attribute__((vector_size(32)));
typedef float F4 __attribute__((vector_size(16)));

inline D4 Splat(double v) {
  return D4{v, v, v, v};
}

// Rounds each lane to float, as an assignment to a float does.
inline D4 ToFloat(D4 v) {
  return (D4)_mm256_cvtps_pd(_mm256_cvtpd_ps((__m256d)v));
}

inline D4 Load(const double* p) {
  return (D4)_mm256_loadu_pd(p);
}

inline D4 Floor(D4 v) {
  return (D4)_mm256_floor_pd((__m256d)v);
}

inline F4 Floor(F4 v) {
  return (F4)_mm_floor_ps((__m128)v);
}

inline D4 Sqrt(D4 v) {
  return (D4)_mm256_sqrt_pd((__m256d)v);
}

// a * b + c with a * b exact in double (two floats' product has at most 48
// significant bits), so the fused form rounds once, where the written form
// rounds once too: the same value.
inline D4 MulAddExact(D4 a, D4 b, D4 c) {
  return (D4)_mm256_fmadd_pd((__m256d)a, (__m256d)b, (__m256d)c);
}

// w / d rounded to double, for an odd d (3 or 15), without a division.
// Beyond any bit, the exact quotient's remainder is k / d of that bit's
// weight (k a whole number), so the quotient lies at least 1 / (2 d) of an
// ulp from any midpoint between doubles (k / d is never 1 / 2). An
// estimate from the rounded reciprocal, corrected once by its remainder
// w - q d (computed exactly: a small multiple of q's ulp), differs from the
// quotient by far less than that, so it rounds the same way. Taking the
// remainder as q d - w and subtracting its share keeps the sign of a zero.
inline D4 DivideByOdd(D4 w, double d) {
  const double reciprocal = 1 / d;  // a constant, where d is one
  const __m256d q = _mm256_mul_pd((__m256d)w, (__m256d)Splat(reciprocal));
  const __m256d r = _mm256_fmsub_pd(q, (__m256d)Splat(d), (__m256d)w);
  return (D4)_mm256_fnmadd_pd(r, (__m256d)Splat(reciprocal), q);
}

inline F4 Narrow(D4 v) {
  return (F4)_mm256_cvtpd_ps((__m256d)v);
}

inline D4 Widen(F4 v) {
  return (D4)_mm256_cvtps_pd((__m128)v);
}

inline F4 LoadFloats(const float* p) {
  return (F4)_mm_loadu_ps(p);
}

inline void Store(float* out, F4 v) {
  _mm_storeu_ps(out, (__m128)v);
}

inline void Store(double* out, D4 v) {
  _mm256_storeu_pd(out, (__m256d)v);
}

inline F4 InterleaveLow(F4 a, F4 b) {
  return (F4)_mm_unpacklo_ps((__m128)a, (__m128)b);
}

inline F4 InterleaveHigh(F4 a, F4 b) {
  return (F4)_mm_unpackhi_ps((__m128)a, (__m128)b);
}

inline void Transpose(F4 (&rows)[4]) {
  __m128 r0 = (__m128)rows[0], r1 = (__m128)rows[1], r2 = (__m128)rows[2], r3 = (__m128)rows[3];
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  rows[0] = (F4)r0, rows[1] = (F4)r1, rows[2] = (F4)r2, rows[3] = (F4)r3;
}
