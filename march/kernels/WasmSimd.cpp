// The kernels in WebAssembly SIMD: the AVX2 kernels' structure (four
// samples of a run side by side, eight rays blended four to a vector),
// each lane computing what the scalar definitions compute. WebAssembly has
// no fused multiply-add one may rely on (relaxed SIMD's is not the same
// everywhere, and is not used), so where the AVX2 kernels fuse, these
// evaluate the written operations, and where those take a corrected
// reciprocal, these divide; each place says why that is the same value.
// Four doubles are two 128-bit vectors: the compiler splits the 256-bit
// vector types below into pairs of f64x2 operations.
//
// This file alone is compiled with -msimd128, into the SIMD module only,
// which the page loads where the browser validates SIMD. It exports
// kWasmSimdKernels and nothing else.
#include <wasm_simd128.h>

#include <cstring>

#include "march/Kernels.h"

namespace {

typedef double D4 __attribute__((vector_size(32)));
typedef float F4 __attribute__((vector_size(16)));
typedef int I4 __attribute__((vector_size(16)));

D4 Splat(double v) {
  return D4{v, v, v, v};
}

typedef double D2 __attribute__((vector_size(16)));

F4 Narrow(D4 v);
D4 Widen(F4 v);

// Rounds each lane to float, as an assignment to a float does.
D4 ToFloat(D4 v) {
  return Widen(Narrow(v));
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

// An f64x2 operation on each half of four lanes.
template <typename Op>
D4 Halves(D4 v, Op op) {
  const D2 low = (D2)op((v128_t)D2{v[0], v[1]}), high = (D2)op((v128_t)D2{v[2], v[3]});
  return D4{low[0], low[1], high[0], high[1]};
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
// is the only one, as in the fused form the AVX2 kernels use.
D4 MulAddExact(D4 a, D4 b, D4 c) {
  return a * b + c;
}

// w / d, rounded to double: a division, as the scalar definitions take it
// (the AVX2 kernels' corrected reciprocal needs a fused multiply-add).
D4 DivideByOdd(D4 w, double d) {
  return w / d;
}

// The sample points of four samples, floats as ComputeSamplePointAt
// gives them.
struct Points {
  F4 sx, sy, sz;
};

// Round to nearest, as the conversions of the scalar code.
F4 Narrow(D4 v) {
  return __builtin_convertvector(v, F4);
}

D4 Widen(F4 v) {
  return __builtin_convertvector(v, D4);
}

// What the sample points of one ray share, splat once per run rather than
// once per four samples.
struct RayTerms {
  D4 sinA, cosA, sinB, cosB;
  D4 y0CosA, minusY0SinA, x0CosB, minusX0SinB;
  bool turned;  // a third angle other than 0
  D4 sinC, cosC;
};

RayTerms TermsOf(const ViewRotation& v, float x0, float y0) {
  return {Splat(v.sinA),
          Splat(v.cosA),
          Splat(v.sinB),
          Splat(v.cosB),
          Splat((double)y0 * v.cosA),
          Splat(-((double)y0 * v.sinA)),
          Splat((double)x0 * v.cosB),
          Splat(-((double)x0 * v.sinB)),
          !(v.sinC == 0.0f && v.cosC == 1.0f),
          Splat(v.sinC),
          Splat(v.cosC)};
}

// The rotation's z1 and z2 (the sample's sz), as ComputeSamplePointAt.
D4 RotatedZ1(const RayTerms& v, D4 z0) {
  return ToFloat(MulAddExact(z0, v.cosA, v.minusY0SinA));
}
F4 RotatedZ2(const RayTerms& v, D4 z1) {
  return Narrow(MulAddExact(z1, v.cosB, v.minusX0SinB));
}

// ComputeSamplePointAt, four samples at once, given z0 and the float p / 2.
// Inlined into the run shader's loop, where it is most of the work.
[[gnu::always_inline]] inline Points SamplePoints(const RayTerms& v, D4 z0, F4 halfP) {
  const F4 y1 = Narrow(MulAddExact(z0, v.sinA, v.y0CosA));
  const D4 z1 = RotatedZ1(v, z0);
  const F4 x2 = Narrow(MulAddExact(z1, v.sinB, v.x0CosB));
  const F4 z2 = RotatedZ2(v, z1);
  F4 x3 = x2, y3 = y1;
  // With the third angle 0 (sin 0, cos 1) the last step is the identity:
  // x2 * 1 + y1 * 0 is x2 and y1 * 1 - x2 * 0 is y1, but for the sign of a
  // zero, which nothing downstream can tell (a cell offset, a shifted or
  // scaled coordinate of -0 and +0 are the same).
  if (v.turned) {
    const D4 x2d = Widen(x2), y1d = Widen(y1);
    x3 = Narrow(x2d * v.cosC + y1d * v.sinC);
    y3 = Narrow(y1d * v.cosC - x2d * v.sinC);
  }
  // x3 * p / 2 is exact in double, so its one rounding is that of the float
  // product of x3 and p / 2 (itself exact: p is above 1).
  return {x3 * halfP, y3 * halfP, z2};
}

// VoxelField's cell offset: s - floor(s) - 0.5, rounded to float. For a
// float s at least 0.5 from 0 every step is exact, in float as in double:
// for |s| >= 1, s and floor(s) are multiples of s's unit in the last place
// (2^-23 or more), and so are both differences, both below 1 in size; for
// 1/2 <= |s| < 1 they are multiples of 2^-24 below 1/2 in size. There
// float arithmetic, on four lanes at half the cost, gives the same
// offset: `exact` says the run's samples all lie there.
[[gnu::always_inline]] inline D4 CellOffset(F4 s, bool exact) {
  if (exact) return Widen(s - Floor(s) - 0.5f);
  const D4 w = Widen(s);
  return ToFloat(w - Floor(w) - 0.5);
}

// VoxelGlow's alpha (its colour depends on the kind alone), in two stages
// that the run shader takes over a whole chunk each: the distance term e,
// then the alpha from it. Shorter chains of dependent operations let the
// processor keep more groups of samples in flight.
// `size` is r for a sphere (kind 1), r / 300 for a cube.
[[gnu::always_inline]] inline F4 GlowDistance(double size, float kind, const bool (&exact)[3],
                                              const Points& s) {
  const D4 dx = CellOffset(s.sx, exact[0]), dy = CellOffset(s.sy, exact[1]),
           dz = CellOffset(s.sz, exact[2]);
  // Squares of floats are exact in double: the fused forms round each sum
  // once, as written.
  if (kind == 1.0f) return Narrow(Sqrt(MulAddExact(dz, dz, MulAddExact(dy, dy, dx * dx))) - size);
  return Narrow(Sqrt(dx * dx * dx * dx * dx * dx + dy * dy * dy * dy * dy * dy +
                     dz * dz * dz * dz * dz * dz) -
                size);
}

F4 GlowAlpha(float kind, F4 e) {
  // e * 30 is one rounding of a product of floats: the float product.
  if (kind == 1.0f) {
    const D4 n = Widen(e * 30.0f);
    return Narrow(DivideByOdd(1 / (n * n * n * n + 1), 15));
  }
  const D4 n = Widen(e * 40.0f);
  return Narrow(1 / (n * n * n * n + 1) / 30);
}

struct Colours {
  F4 red, green, blue;
};

void Store(float* out, F4 v) {
  std::memcpy(out, &v, sizeof v);
}

F4 SplatFloat(float v) {
  return F4{v, v, v, v};
}

// PatternColour, four samples at once, for one pattern value: its fixed
// channels from PatternColour itself, the depth tint T from each sz.
// The strip's depth sz * 10 is one rounding of a product of floats: the
// float product. (The banner's sz - 2.5 is exact in float only near 2.5,
// so it stays in double.)
Colours PatternColours(BitmapLayer layer, const Contribution& fixed, F4 sz) {
  D4 gz;
  switch (layer) {
    case kWordLayer: gz = Widen(sz); break;
    case kStripLayer: gz = Widen(sz * 10.0f); break;
    case kBannerLayer:
    default: gz = ToFloat((Widen(sz) - 2.5) * 10); break;
  }
  const F4 T = Narrow(DivideByOdd((gz + 1) * 255, 3));
  if (layer == kStripLayer) return {T, SplatFloat(fixed.green), SplatFloat(fixed.blue)};
  return {SplatFloat(fixed.red), T, SplatFloat(fixed.blue)};
}

void DivideByOddWasmSimd(const double* w, int d, double* quotients) {
  const D4 q = DivideByOdd(Load(w), d);
  std::memcpy(quotients, &q, sizeof q);
}

void SamplePointsWasmSimd(const ViewRotation& rotation, const SkipMaps& maps, float x0, float y0,
                          int t, SamplePoint* points) {
  const Points s = SamplePoints(TermsOf(rotation, x0, y0), Load(&maps.depthWide[t]),
                                LoadFloats(&maps.halfPerspective[t]));
  float sx[4], sy[4], sz[4];
  Store(sx, s.sx), Store(sy, s.sy), Store(sz, s.sz);
  for (int i = 0; i < 4; ++i) points[i] = {sx[i], sy[i], sz[i]};
}

// What one slot (the voxel glow, or one slab) adds at four samples.
struct Slot {
  F4 a, red, green, blue;
};

// Writes the entries of four samples, j to j + 3, of a run with
// `perSample` slots per sample, from entry `base` of the list on.
void PutGroup(float* const fields[4], int base, int j, int perSample, const Slot* slots) {
  const int at = base + j * perSample;
  if (perSample == 1) {
    Store(fields[0] + at, slots[0].a);
    Store(fields[1] + at, slots[0].red);
    Store(fields[2] + at, slots[0].green);
    Store(fields[3] + at, slots[0].blue);
  } else if (perSample == 2) {
    // Sample by sample, the first slot's entry before the second's.
    const auto put = [&](float* out, F4 first, F4 second) {
      Store(out, __builtin_shufflevector(first, second, 0, 4, 1, 5));
      Store(out + 4, __builtin_shufflevector(first, second, 2, 6, 3, 7));
    };
    put(fields[0] + at, slots[0].a, slots[1].a);
    put(fields[1] + at, slots[0].red, slots[1].red);
    put(fields[2] + at, slots[0].green, slots[1].green);
    put(fields[3] + at, slots[0].blue, slots[1].blue);
  } else {
    for (int i = 0; i < 4; ++i) {
      for (int s = 0; s < perSample; ++s) {
        const int e = at + i * perSample + s;
        fields[0][e] = slots[s].a[i], fields[1][e] = slots[s].red[i];
        fields[2][e] = slots[s].green[i], fields[3][e] = slots[s].blue[i];
      }
    }
  }
}

void ShadeRunWasmSimd(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
                      int last, ContributionLists& lists, int ray) {
  static const float glowColours[2][3] = {{255.0f, 170.0f, 50.0f}, {50.0f, 255.0f, 200.0f}};
  const float* glow = glowColours[run.kind == 1.0f];
  const F4 glowRed = SplatFloat(glow[0]), glowGreen = SplatFloat(glow[1]);
  const F4 glowBlue = SplatFloat(glow[2]);
  const int perSample = run.voxel + run.lit[0] + run.lit[1] + run.lit[2];
  float* const fields[4] = {lists.a[ray], lists.red[ray], lists.green[ray], lists.blue[ray]};
  const int base = lists.count[ray];
  // A chunk of samples at a time, each stage over the whole chunk: short
  // loops of independent iterations, which the processor overlaps. The
  // lanes past `last` are computed and written past the ray's count, where
  // the lists have room; they are never blended.
  constexpr int kChunk = 16;  // groups of four samples
  const RayTerms terms = TermsOf(scene.rotation, run.x0, run.y0);
  const double size = run.kind == 1.0f ? (double)run.r : (double)run.r / 300;
  Contribution patterns[3];
  for (int l = 0; l < 3; ++l) {
    if (run.lit[l]) patterns[l] = PatternColour(kBitmapLayers[l], run.pattern[l], 0.0f);
  }
  Points points[kChunk];
  Slot slots[kChunk][4];
  for (int start = first; start <= last; start += 4 * kChunk) {
    const int groups = (last - start) / 4 + 1 < kChunk ? (last - start) / 4 + 1 : kChunk;
    // The depth tables run three entries past the last sample. The slabs
    // need only sz: their pattern is the run's.
    for (int g = 0; g < groups; ++g) {
      const int t = start + 4 * g;
      if (run.voxel)
        points[g] =
            SamplePoints(terms, Load(&maps.depthWide[t]), LoadFloats(&maps.halfPerspective[t]));
      else
        points[g].sz = RotatedZ2(terms, RotatedZ1(terms, Load(&maps.depthWide[t])));
    }
    int slot = 0;
    if (run.voxel) {
      F4 e[kChunk];
      for (int g = 0; g < groups; ++g)
        e[g] = GlowDistance(size, run.kind, run.exactOffset, points[g]);
      for (int g = 0; g < groups; ++g)
        slots[g][slot] = {GlowAlpha(run.kind, e[g]), glowRed, glowGreen, glowBlue};
      ++slot;
    }
    for (int l = 0; l < 3; ++l) {
      if (!run.lit[l]) continue;
      for (int g = 0; g < groups; ++g) {
        const Colours c = PatternColours(kBitmapLayers[l], patterns[l], points[g].sz);
        slots[g][slot] = {SplatFloat(patterns[l].a), c.red, c.green, c.blue};
      }
      ++slot;
    }
    for (int g = 0; g < groups; ++g)
      PutGroup(fields, base, start - first + 4 * g, perSample, slots[g]);
  }
  lists.count[ray] += (last - first + 1) * perSample;
}

// Four rays' accumulators, lane k for ray k.
struct Lanes {
  D4 R, G, B;
};

// Entries i to i + 3 of rays k to k + 3 of one field, turned about so that
// vector m holds entry i + m of every ray.
struct Block {
  F4 entry[4];
};

Block LoadBlock(const float (*field)[kMaxContributions], int k, int i) {
  const F4 r0 = LoadFloats(&field[k][i]), r1 = LoadFloats(&field[k + 1][i]),
           r2 = LoadFloats(&field[k + 2][i]), r3 = LoadFloats(&field[k + 3][i]);
  const F4 t0 = __builtin_shufflevector(r0, r1, 0, 4, 1, 5);
  const F4 t1 = __builtin_shufflevector(r2, r3, 0, 4, 1, 5);
  const F4 t2 = __builtin_shufflevector(r0, r1, 2, 6, 3, 7);
  const F4 t3 = __builtin_shufflevector(r2, r3, 2, 6, 3, 7);
  return {{__builtin_shufflevector(t0, t1, 0, 1, 4, 5), __builtin_shufflevector(t0, t1, 2, 3, 6, 7),
           __builtin_shufflevector(t2, t3, 0, 1, 4, 5),
           __builtin_shufflevector(t2, t3, 2, 3, 6, 7)}};
}

// Entry m of the blocks blended into one set of four rays' accumulators:
// Blend, four rays side by side.
[[gnu::always_inline]] inline void BlendEntry(const Block& a, const Block& r, const Block& g,
                                              const Block& b, int m, Lanes& lanes) {
  const D4 alpha = Widen((F4)a.entry[m]), keep = 1 - alpha;
  // colour * a is a product of two floats, exact in double.
  lanes.R = ToFloat(MulAddExact(Widen((F4)r.entry[m]), alpha, keep * lanes.R));
  lanes.G = ToFloat(MulAddExact(Widen((F4)g.entry[m]), alpha, keep * lanes.G));
  lanes.B = ToFloat(MulAddExact(Widen((F4)b.entry[m]), alpha, keep * lanes.B));
}

// Four blends into one set of four rays, the block at entry i of rays k to
// k + 3. The accumulators stay in registers throughout.
void BlendBlock(const ContributionLists& lists, int k, int i, Lanes& lanes) {
  const Block a = LoadBlock(lists.a, k, i), r = LoadBlock(lists.red, k, i),
              g = LoadBlock(lists.green, k, i), b = LoadBlock(lists.blue, k, i);
  Lanes set = lanes;
  for (int m = 0; m < 4; ++m) BlendEntry(a, r, g, b, m, set);
  lanes = set;
}

// The same for both sets at once, rays 0 to 3 and 4 to 7, entry by entry
// in turn: two chains of blends (three channels each) in flight. (Two
// calls of BlendBlock, one set after the other, are slower.)
void BlendBlocks(const ContributionLists& lists, int i, Lanes (&lanes)[2]) {
  const Block a0 = LoadBlock(lists.a, 0, i), r0 = LoadBlock(lists.red, 0, i),
              g0 = LoadBlock(lists.green, 0, i), b0 = LoadBlock(lists.blue, 0, i);
  const Block a1 = LoadBlock(lists.a, 4, i), r1 = LoadBlock(lists.red, 4, i),
              g1 = LoadBlock(lists.green, 4, i), b1 = LoadBlock(lists.blue, 4, i);
  Lanes first = lanes[0], second = lanes[1];
  for (int m = 0; m < 4; ++m) {
    BlendEntry(a0, r0, g0, b0, m, first);
    BlendEntry(a1, r1, g1, b1, m, second);
  }
  lanes[0] = first, lanes[1] = second;
}

// Blend, eight rays at a time: lane k of a vector is ray k's channel, rays
// 0 to 3 in one set of vectors and 4 to 7 in the other. Each set's lists
// are padded to whole blocks of four entries, as many as its longest list
// needs, with a = 0, which leaves an accumulator as it is:
// (1 - 0) * R + 0 * 0 = R, exactly. The two sets blend side by side, then
// the longer one alone.
void BlendGroupWasmSimd(ContributionLists& lists, int rays, Accumulator* accs) {
  static_assert(kGroupRays == 8, "two vectors of four rays");
  int blocks[2] = {0, 0};
  for (int k = 0; k < rays; ++k) {
    const int needed = (lists.count[k] + 3) / 4;
    blocks[k / 4] = needed > blocks[k / 4] ? needed : blocks[k / 4];
  }
  // Four entries to a store: most rays need one or two, far too few for a
  // call to memset, which a loop of single entries would become. The last
  // store may reach three entries past the padding, where the lists have room.
  const F4 zero = {0, 0, 0, 0};
  for (int k = 0; k < kGroupRays; ++k) {
    for (int i = k < rays ? lists.count[k] : 0; i < 4 * blocks[k / 4]; i += 4) {
      Store(&lists.a[k][i], zero), Store(&lists.red[k][i], zero);
      Store(&lists.green[k][i], zero), Store(&lists.blue[k][i], zero);
    }
  }
  Lanes lanes[2] = {{Splat(0), Splat(0), Splat(0)}, {Splat(0), Splat(0), Splat(0)}};
  const int both = blocks[0] < blocks[1] ? blocks[0] : blocks[1];
  for (int block = 0; block < both; ++block) BlendBlocks(lists, 4 * block, lanes);
  const int longer = blocks[1] > blocks[0];
  for (int block = both; block < blocks[longer]; ++block)
    BlendBlock(lists, 4 * longer, 4 * block, lanes[longer]);
  for (int v = 0; v < 2; ++v) {
    float red[4], green[4], blue[4];
    Store(red, Narrow(lanes[v].R)), Store(green, Narrow(lanes[v].G)),
        Store(blue, Narrow(lanes[v].B));
    for (int k = 4 * v; k < rays && k < 4 * v + 4; ++k)
      accs[k] = {red[k - 4 * v], green[k - 4 * v], blue[k - 4 * v]};
  }
}

}  // namespace

extern const MarchKernels kWasmSimdKernels = {"wasm-simd", ShadeRunWasmSimd, BlendGroupWasmSimd,
                                              SamplePointsWasmSimd, DivideByOddWasmSimd};
