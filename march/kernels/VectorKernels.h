// The vector kernels, written once: four samples of a run side by side
// through the sample point, the glow and the slab colours; eight rays'
// blends, four to a vector. Each lane computes what the scalar definitions
// compute: the same double operations in the same order, each rounded to
// float where they round; where a quicker form stands in, the comment
// beside it shows why it gives the same value.
//
// Not a header to include anywhere else: each instruction set's kernel
// file (Avx2.cpp, WasmSimd.cpp) includes it inside its anonymous namespace,
// after defining the primitives it is written over, each with the same
// value in every lane as the operation it names:
//   D4, F4                    four doubles, four floats (vector types)
//   Splat(double)             four copies
//   Load, LoadFloats, Store   unaligned loads and stores of four lanes
//   Narrow, Widen, ToFloat    double to float and back, round to nearest
//   Floor, Sqrt               of each lane, as std::floor and std::sqrt
//   MulAddExact(a, b, c)      a * b + c where a * b is exact in double
//   DivideByOdd(w, d)         w / d for d = 3 or 15, rounded to double
//   InterleaveLow, InterleaveHigh   lanes 0, 4, 1, 5 and 2, 6, 3, 7 of two
//   Transpose(F4 (&)[4])      four rows of four turned into columns
// It defines ShadeRunVector, BlendGroupVector, SamplePointsVector and
// DivideByOddVector, the file's kernel set.

// The sample points of four samples, floats as ComputeSamplePointAt
// gives them.
struct Points {
  F4 sx, sy, sz;
};

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
[[gnu::always_inline]] inline D4 CellOffsets(F4 s, bool exact) {
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
  const D4 dx = CellOffsets(s.sx, exact[0]), dy = CellOffsets(s.sy, exact[1]),
           dz = CellOffsets(s.sz, exact[2]);
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
  // A quotient by 30 is half that by 15, exactly (it is far from tiny).
  return Narrow(DivideByOdd(1 / (n * n * n * n + 1), 15) * 0.5);
}

struct Colours {
  F4 red, green, blue;
};

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

void DivideByOddVector(const double* w, int d, double* quotients) {
  Store(quotients, DivideByOdd(Load(w), d));
}

void SamplePointsVector(const ViewRotation& rotation, const SkipMaps& maps, float x0, float y0,
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
      Store(out, InterleaveLow(first, second));
      Store(out + 4, InterleaveHigh(first, second));
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

void ShadeRunVector(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first,
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
  Block b = {{LoadFloats(&field[k][i]), LoadFloats(&field[k + 1][i]), LoadFloats(&field[k + 2][i]),
              LoadFloats(&field[k + 3][i])}};
  Transpose(b.entry);
  return b;
}

// Entry m of the blocks blended into one set of four rays' accumulators:
// Blend, four rays side by side.
[[gnu::always_inline]] inline void BlendEntry(const Block& a, const Block& r, const Block& g,
                                              const Block& b, int m, Lanes& lanes) {
  const D4 alpha = Widen(a.entry[m]), keep = 1 - alpha;
  // colour * a is a product of two floats, exact in double, so fusing it
  // into the sum rounds once, as the written form does.
  lanes.R = ToFloat(MulAddExact(Widen(r.entry[m]), alpha, keep * lanes.R));
  lanes.G = ToFloat(MulAddExact(Widen(g.entry[m]), alpha, keep * lanes.G));
  lanes.B = ToFloat(MulAddExact(Widen(b.entry[m]), alpha, keep * lanes.B));
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
void BlendGroupVector(ContributionLists& lists, int rays, Accumulator* accs) {
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
