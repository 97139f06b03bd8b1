// Argument reduction to [-pi/4, pi/4] and the minimax polynomials there.
// The polynomials' coefficients and the three-part pi/2 are the public
// domain fdlibm's (Sun Microsystems, 1993). Only +, -, * and / of doubles
// and integer operations, all exactly specified, so no build can differ.
#include "scene/SinCos.h"

#include <cstdint>
#include <cstring>

namespace {

// sin(x + y) for |x + y| <= pi/4, y a tail below x's last place.
double KernelSin(double x, double y) {
  constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                   S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                   S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
  const double z = x * x, v = z * x;
  const double r = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
  return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// The high word of a double, and a double from a high word and a zero low
// word.
uint32_t HighWord(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return (uint32_t)(bits >> 32);
}
double FromHighWord(uint32_t high) {
  const uint64_t bits = (uint64_t)high << 32;
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// cos(x + y) for |x + y| <= pi/4.
double KernelCos(double x, double y) {
  constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                   C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                   C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
  const uint32_t ix = HighWord(x) & 0x7fffffff;
  const double z = x * x;
  const double r = z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
  if (ix < 0x3FD33333) return 1.0 - (0.5 * z - (z * r - x * y));  // |x| < 0.3
  // 1 - x^2 / 2 loses bits to cancellation beyond 0.3: take a quarter of
  // x^2 off first, a number with few bits so that 1 - qx is exact.
  const double qx = ix > 0x3fe90000 ? 0.28125 : FromHighWord(ix - 0x00200000);
  const double hz = 0.5 * z - qx, a = 1.0 - qx;
  return a - (hz - (z * r - x * y));
}

// The angle less n pi/2 as y0 + y1, |y0 + y1| <= pi/4 (about); returns n.
struct Reduced {
  int n;
  double y0, y1;
};

// Below 2^19: n pi/2 taken off in up to three parts of 33 bits each
// (Cody and Waite), each product with n exact; the later parts only where
// the first leaves a result small enough to need them.
Reduced ReduceMedium(double t) {
  constexpr double kInvPio2 = 6.36619772367581382433e-01;
  constexpr double kPio2_1 = 1.57079632673412561417e+00, kPio2_1t = 6.07710050650619224932e-11;
  constexpr double kPio2_2 = 6.07710050630396597660e-11, kPio2_2t = 2.02226624879595063154e-21;
  constexpr double kPio2_3 = 2.02226624871116645580e-21, kPio2_3t = 8.47842766036889956997e-32;
  const int n = (int)(t * kInvPio2 + 0.5);
  const double fn = n;
  double r = t - fn * kPio2_1, w = fn * kPio2_1t;
  double y0 = r - w;
  const int exponent = (int)(HighWord(t) >> 20);
  const auto lost = [&] { return exponent - (int)((HighWord(y0) >> 20) & 0x7ff); };
  if (lost() > 16) {
    const double u = r;
    w = fn * kPio2_2;
    r = u - w;
    w = fn * kPio2_2t - ((u - r) - w);
    y0 = r - w;
    if (lost() > 49) {
      const double v = r;
      w = fn * kPio2_3;
      r = v - w;
      w = fn * kPio2_3t - ((v - r) - w);
      y0 = r - w;
    }
  }
  return {n, y0, (r - y0) - w};
}

// a * b as hi + lo exactly (Dekker's product: no fused multiply-add).
void ExactProduct(double a, double b, double& hi, double& lo) {
  constexpr double kSplit = 134217729.0;  // 2^27 + 1
  const double ca = kSplit * a, cb = kSplit * b;
  const double ah = ca - (ca - a), al = a - ah, bh = cb - (cb - b), bl = b - bh;
  hi = a * b;
  lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

// From 2^19 up (floats there are multiples of 1/16): the float as
// m 2^e with a 24-bit m, times the bits of 2/pi that matter (Payne and
// Hanek), in whole numbers: the product's three bits above the point
// give n modulo 8, the 106 below it the fraction.
Reduced ReduceLarge(float t) {
  // 2/pi in 24-bit parts, the most significant first.
  static constexpr uint32_t kTwoOverPi[12] = {0xA2F983, 0x6E4E44, 0x1529FC, 0x2757D1,
                                              0xF534DD, 0xC0DB62, 0x95993C, 0x439041,
                                              0xFE5163, 0xABDEBB, 0xC561B7, 0x246E3A};
  constexpr int kParts = 7;
  uint32_t bits;
  std::memcpy(&bits, &t, sizeof bits);
  const uint64_t m = (bits & 0x7fffff) | 0x800000;
  const int e = (int)(bits >> 23 & 0xff) - 150;  // t = m 2^e, e >= -4 here
  // Parts before k0 add multiples of 8: nothing to n modulo 8 or to the
  // fraction. Part k0 + i weighs 2^(s - 24 i).
  const int k0 = e - 3 >= 24 ? (e - 3) / 24 : 0;
  const int s = e - 24 * (k0 + 1);
  // u = the sum times 2^(24 (kParts - 1) - s), an integer, in 24-bit
  // limbs, the least significant first.
  uint64_t limb[kParts + 2] = {};
  for (int i = 0; i < kParts; ++i) {
    const uint64_t product = m * kTwoOverPi[k0 + i];  // below 2^48
    limb[kParts - i] += product >> 24;
    limb[kParts - 1 - i] += product & 0xffffff;
  }
  for (int j = 0; j < kParts + 1; ++j) limb[j + 1] += limb[j] >> 24, limb[j] &= 0xffffff;
  // The point lies at bit p of u.
  const int p = 24 * (kParts - 1) - s;
  const auto bitsOf = [&](int from, int count) {  // bits from to from + count - 1 of u
    uint64_t value = 0;
    for (int b = from + count - 1; b >= from; --b)
      value = value << 1 | (b / 24 < kParts + 2 ? limb[b / 24] >> (b % 24) & 1 : 0);
    return value;
  };
  int n = (int)bitsOf(p, 3);
  double hi = (double)bitsOf(p - 53, 53) * 0x1p-53, lo = (double)bitsOf(p - 106, 53) * 0x1p-106;
  if (hi >= 0.5) hi -= 1, n += 1;  // exact: hi is within [1/2, 1)
  // (hi + lo) pi/2, hi first exactly, as y0 + y1.
  constexpr double kPio2 = 1.57079632679489655800e+00, kPio2Tail = 6.12323399573676603587e-17;
  double h, l;
  ExactProduct(hi, kPio2, h, l);
  l += hi * kPio2Tail + lo * kPio2;
  const double y0 = h + l;
  return {n, y0, l - (y0 - h)};
}

Reduced Reduce(float angle) {
  const double t = angle < 0 ? -(double)angle : (double)angle;
  Reduced r = t < 0x1p19 ? ReduceMedium(t) : ReduceLarge(angle < 0 ? -angle : angle);
  if (angle < 0) r = {-r.n, -r.y0, -r.y1};
  return r;
}

}  // namespace

double SineOf(float angle) {
  const double x = angle;
  if (!(x == x) || x - x != 0) return x - x;  // NaN for NaN and the infinities
  if ((HighWord(x) & 0x7fffffff) <= 0x3fe921fb) return KernelSin(x, 0);  // |x| <= pi/4
  const Reduced r = Reduce(angle);
  switch (r.n & 3) {
    case 0: return KernelSin(r.y0, r.y1);
    case 1: return KernelCos(r.y0, r.y1);
    case 2: return -KernelSin(r.y0, r.y1);
    default: return -KernelCos(r.y0, r.y1);
  }
}

double CosineOf(float angle) {
  const double x = angle;
  if (!(x == x) || x - x != 0) return x - x;
  if ((HighWord(x) & 0x7fffffff) <= 0x3fe921fb) return KernelCos(x, 0);
  const Reduced r = Reduce(angle);
  switch (r.n & 3) {
    case 0: return KernelCos(r.y0, r.y1);
    case 1: return -KernelSin(r.y0, r.y1);
    case 2: return -KernelCos(r.y0, r.y1);
    default: return KernelSin(r.y0, r.y1);
  }
}
