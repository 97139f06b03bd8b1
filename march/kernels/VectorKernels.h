// The vector kernels, written once: a vector's lanes of samples of a run
// side by side through the sample point, the glow and the slab colours;
// the blends of sets of rays, a ray to a lane, several sets in flight.
// Each lane computes what the scalar definitions compute: the same double
// operations in the same order, each rounded to float where they round;
// where a quicker form stands in, the comment beside it shows why it gives
// the same value.
//
// Not a header to include anywhere else: each instruction set's kernel
// file (Avx2.cpp, Avx512.cpp, WasmSimd.cpp) includes it inside its
// anonymous namespace, after defining its width and the primitives it is
// written over, each with the same value in every lane as the operation it
// names:
//   kLanes                    lanes to a vector: 4 or 8 (<= kVectorLanes)
//   Doubles, Floats           kLanes doubles, kLanes floats (vector types)
//   Splat(double)             kLanes copies
//   Load, LoadFloats, Store   unaligned loads and stores of kLanes lanes
//   Narrow, Widen, ToFloat    double to float and back, round to nearest
//   Floor, Sqrt               of each lane, as std::floor and std::sqrt
//   MulAddExact(a, b, c)      a * b + c where a * b is exact in double
//   DivideByOdd(w, d)         w / d for d = 3 or 15, rounded to double
//   InterleaveLow, InterleaveHigh   of two vectors a and b, the first and
//                             the second half of a0, b0, a1, b1, ...
// and for the blend, which may take vectors of fewer lanes:
//   kBlendLanes               lanes to its vectors (<= kVectorLanes)
//   kRaySets                  sets of kBlendLanes rays blended side by side
//   BlendDoubles, BlendFloats its vectors; Widen, Narrow, ToFloat,
//                             MulAddExact and Store for them too
//   LoadBlendFloats           an unaligned load of kBlendLanes floats
//   Transpose(BlendFloats (&)[kBlendLanes])   rows turned into columns
// It defines ShadeRunVector, BlendGroupVector, SamplePointsVector and
// DivideByOddVector, the file's kernel set, whose march groups are
// kGroupRaysVector rays.

static_assert(kLanes <= kVectorLanes && kBlendLanes <= kVectorLanes,
              "the tables and lists have room for kVectorLanes");
constexpr int kGroupRaysVector = kBlendLanes * kRaySets;
static_assert(kMaxGroupRays % kGroupRaysVector == 0, "a group fits the lists");

// The sample points of a vector's samples, floats as ComputeSamplePointAt
// gives them.
struct Points {
  Floats sx, sy, sz;
};

// What the sample points of one ray share, splat once per run rather than
// once per vector of samples.
struct RayTerms {
  Doubles sinA, cosA, sinB, cosB;
  Doubles y0CosA, minusY0SinA, x0CosB, minusX0SinB;
  bool turned;  // a third angle other than 0
  Doubles sinC, cosC;
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
Doubles RotatedZ1(const RayTerms& v, Doubles z0) {
  return ToFloat(MulAddExact(z0, v.cosA, v.minusY0SinA));
}
Floats RotatedZ2(const RayTerms& v, Doubles z1) {
  return Narrow(MulAddExact(z1, v.cosB, v.minusX0SinB));
}

// ComputeSamplePointAt, a vector of samples at once, given z0 and the
// float p / 2. Inlined into the run shader's loop, where it is most of the
// work.
[[gnu::always_inline]] inline Points SamplePoints(const RayTerms& v, Doubles z0, Floats halfP) {
  const Floats y1 = Narrow(MulAddExact(z0, v.sinA, v.y0CosA));
  const Doubles z1 = RotatedZ1(v, z0);
  const Floats x2 = Narrow(MulAddExact(z1, v.sinB, v.x0CosB));
  const Floats z2 = RotatedZ2(v, z1);
  Floats x3 = x2, y3 = y1;
  // With the third angle 0 (sin 0, cos 1) the last step is the identity:
  // x2 * 1 + y1 * 0 is x2 and y1 * 1 - x2 * 0 is y1, but for the sign of a
  // zero, which nothing downstream can tell (a cell offset, a shifted or
  // scaled coordinate of -0 and +0 are the same).
  if (v.turned) {
    const Doubles x2d = Widen(x2), y1d = Widen(y1);
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
// float arithmetic, on vectors of half the width, gives the same offset:
// `exact` says the run's samples all lie there.
[[gnu::always_inline]] inline Doubles CellOffsets(Floats s, bool exact) {
  if (exact) return Widen(s - Floor(s) - 0.5f);
  const Doubles w = Widen(s);
  return ToFloat(w - Floor(w) - 0.5);
}

// VoxelGlow's alpha (its colour depends on the kind alone), in two stages
// that the run shader takes over a whole chunk each: the distance term e,
// then the alpha from it. Shorter chains of dependent operations let the
// processor keep more groups of samples in flight.
// `size` is r for a sphere (kind 1), r / 300 for a cube.
[[gnu::always_inline]] inline Floats GlowDistance(double size, float kind, const bool (&exact)[3],
                                                  const Points& s) {
  const Doubles dx = CellOffsets(s.sx, exact[0]), dy = CellOffsets(s.sy, exact[1]),
                dz = CellOffsets(s.sz, exact[2]);
  // Squares of floats are exact in double: the fused forms round each sum
  // once, as written.
  if (kind == 1.0f) return Narrow(Sqrt(MulAddExact(dz, dz, MulAddExact(dy, dy, dx * dx))) - size);
  return Narrow(Sqrt(dx * dx * dx * dx * dx * dx + dy * dy * dy * dy * dy * dy +
                     dz * dz * dz * dz * dz * dz) -
                size);
}

Floats GlowAlpha(float kind, Floats e) {
  // e * 30 is one rounding of a product of floats: the float product.
  if (kind == 1.0f) {
    const Doubles n = Widen(e * 30.0f);
    return Narrow(DivideByOdd(1 / (n * n * n * n + 1), 15));
  }
  const Doubles n = Widen(e * 40.0f);
  // A quotient by 30 is half that by 15, exactly (it is far from tiny).
  return Narrow(DivideByOdd(1 / (n * n * n * n + 1), 15) * 0.5);
}

struct Colours {
  Floats red, green, blue;
};

// v in every lane. A subtraction of +0 leaves every float as it is, -0
// included, and compilers make one splat of it; a loop over the lanes is
// left as lane-by-lane inserts by WebAssembly's (which made the shading
// four times slower there).
Floats SplatFloat(float v) {
  return v - Floats{};
}

// PatternColour, a vector of samples at once, for one pattern value: its fixed
// channels from PatternColour itself, the depth tint T from each sz.
// The strip's depth sz * 10 is one rounding of a product of floats: the
// float product. (The banner's sz - 2.5 is exact in float only near 2.5,
// so it stays in double.)
Colours PatternColours(BitmapLayer layer, const Contribution& fixed, Floats sz) {
  Doubles gz;
  switch (layer) {
    case kWordLayer: gz = Widen(sz); break;
    case kStripLayer: gz = Widen(sz * 10.0f); break;
    case kBannerLayer:
    default: gz = ToFloat((Widen(sz) - 2.5) * 10); break;
  }
  const Floats T = Narrow(DivideByOdd((gz + 1) * 255, 3));
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
  float sx[kLanes], sy[kLanes], sz[kLanes];
  Store(sx, s.sx), Store(sy, s.sy), Store(sz, s.sz);
  for (int i = 0; i < kLanes; ++i) points[i] = {sx[i], sy[i], sz[i]};
}

// What one slot (the voxel glow, or one slab) adds at a vector's samples.
struct Slot {
  Floats a, red, green, blue;
};

// Writes the entries of a vector's samples, j to j + kLanes - 1, of a run with
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
    const auto put = [&](float* out, Floats first, Floats second) {
      Store(out, InterleaveLow(first, second));
      Store(out + kLanes, InterleaveHigh(first, second));
    };
    put(fields[0] + at, slots[0].a, slots[1].a);
    put(fields[1] + at, slots[0].red, slots[1].red);
    put(fields[2] + at, slots[0].green, slots[1].green);
    put(fields[3] + at, slots[0].blue, slots[1].blue);
  } else {
    for (int i = 0; i < kLanes; ++i) {
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
  const Floats glowRed = SplatFloat(glow[0]), glowGreen = SplatFloat(glow[1]);
  const Floats glowBlue = SplatFloat(glow[2]);
  const int perSample = run.voxel + run.lit[0] + run.lit[1] + run.lit[2];
  float* const fields[4] = {lists.a[ray], lists.red[ray], lists.green[ray], lists.blue[ray]};
  const int base = lists.count[ray];
  // A chunk of samples at a time, each stage over the whole chunk: short
  // loops of independent iterations, which the processor overlaps. The
  // lanes past `last` are computed and written past the ray's count, where
  // the lists have room; they are never blended.
  constexpr int kChunk = 64 / kLanes;  // vectors of samples
  const RayTerms terms = TermsOf(scene.rotation, run.x0, run.y0);
  const double size = run.kind == 1.0f ? (double)run.r : (double)run.r / 300;
  Contribution patterns[3];
  for (int l = 0; l < 3; ++l) {
    if (run.lit[l]) patterns[l] = PatternColour(kBitmapLayers[l], run.pattern[l], 0.0f);
  }
  Points points[kChunk];
  Slot slots[kChunk][4];
  for (int start = first; start <= last; start += kLanes * kChunk) {
    const int groups = (last - start) / kLanes + 1 < kChunk ? (last - start) / kLanes + 1 : kChunk;
    // The depth tables run a vector's width past the last sample. The
    // slabs need only sz: their pattern is the run's.
    for (int g = 0; g < groups; ++g) {
      const int t = start + kLanes * g;
      if (run.voxel)
        points[g] =
            SamplePoints(terms, Load(&maps.depthWide[t]), LoadFloats(&maps.halfPerspective[t]));
      else
        points[g].sz = RotatedZ2(terms, RotatedZ1(terms, Load(&maps.depthWide[t])));
    }
    int slot = 0;
    if (run.voxel) {
      Floats e[kChunk];
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
      PutGroup(fields, base, start - first + kLanes * g, perSample, slots[g]);
  }
  lists.count[ray] += (last - first + 1) * perSample;
}

// A set of kBlendLanes rays' accumulators, lane k for the set's ray k.
struct Lanes {
  BlendDoubles R, G, B;
};

// Entries i to i + kBlendLanes - 1 of rays k to k + kBlendLanes - 1 of one field,
// turned about so that vector m holds entry i + m of every ray.
struct Block {
  BlendFloats entry[kBlendLanes];
};

Block LoadBlock(const float (*field)[kMaxContributions], int k, int i) {
  Block b;
  for (int m = 0; m < kBlendLanes; ++m) b.entry[m] = LoadBlendFloats(&field[k + m][i]);
  Transpose(b.entry);
  return b;
}

// Entry m of the blocks blended into one set of rays' accumulators:
// Blend, kBlendLanes rays side by side.
[[gnu::always_inline]] inline void BlendEntry(const Block& a, const Block& r, const Block& g,
                                              const Block& b, int m, Lanes& lanes) {
  const BlendDoubles alpha = Widen(a.entry[m]), keep = 1 - alpha;
  // colour * a is a product of two floats, exact in double, so fusing it
  // into the sum rounds once, as the written form does.
  lanes.R = ToFloat(MulAddExact(Widen(r.entry[m]), alpha, keep * lanes.R));
  lanes.G = ToFloat(MulAddExact(Widen(g.entry[m]), alpha, keep * lanes.G));
  lanes.B = ToFloat(MulAddExact(Widen(b.entry[m]), alpha, keep * lanes.B));
}

// Blocks `from` to `to` - 1 of `Active` sets of rays (sets[0] and on),
// side by side, entry by entry in turn: 3 * Active chains of blends in
// flight, the accumulators in registers throughout. (One set after the
// other is slower: each blend waits for the one before.)
template <int Active>
void BlendSets(const ContributionLists& lists, const int* sets, int from, int to, Lanes* lanes) {
  Lanes set[Active];
  for (int s = 0; s < Active; ++s) set[s] = lanes[sets[s]];
  for (int block = from; block < to; ++block) {
    const int i = kBlendLanes * block;
    Block a[Active], r[Active], g[Active], b[Active];
    for (int s = 0; s < Active; ++s) {
      const int k = kBlendLanes * sets[s];
      a[s] = LoadBlock(lists.a, k, i), r[s] = LoadBlock(lists.red, k, i);
      g[s] = LoadBlock(lists.green, k, i), b[s] = LoadBlock(lists.blue, k, i);
    }
    for (int m = 0; m < kBlendLanes; ++m) {
      for (int s = 0; s < Active; ++s) BlendEntry(a[s], r[s], g[s], b[s], m, set[s]);
    }
  }
  for (int s = 0; s < Active; ++s) lanes[sets[s]] = set[s];
}

// BlendSets for a number of sets known only at run time.
template <int Active = kRaySets>
void BlendSome(const ContributionLists& lists, const int* sets, int active, int from, int to,
               Lanes* lanes) {
  if constexpr (Active > 1) {
    if (active < Active) return BlendSome<Active - 1>(lists, sets, active, from, to, lanes);
  }
  BlendSets<Active>(lists, sets, from, to, lanes);
}

// Blend, kGroupRaysVector rays at a time: lane k of a vector is the
// channel of ray k of a set of kBlendLanes rays. Each set's lists are padded to
// whole blocks of kBlendLanes entries, as many as its longest list needs, with
// a = 0, which leaves an accumulator as it is:
// (1 - 0) * R + 0 * 0 = R, exactly. All sets blend side by side up to the
// end of the shortest, then those left, and so on.
void BlendGroupVector(ContributionLists& lists, int rays, Accumulator* accs) {
  int blocks[kRaySets] = {};
  for (int k = 0; k < rays; ++k) {
    const int needed = (lists.count[k] + kBlendLanes - 1) / kBlendLanes;
    blocks[k / kBlendLanes] = needed > blocks[k / kBlendLanes] ? needed : blocks[k / kBlendLanes];
  }
  // A vector of entries to a store: most rays need one or two, far too few
  // for a call to memset, which a loop of single entries would become. The
  // last store may reach kBlendLanes - 1 entries past the padding, where the
  // lists have room.
  const BlendFloats zero = {};
  for (int k = 0; k < kGroupRaysVector; ++k) {
    for (int i = k < rays ? lists.count[k] : 0; i < kBlendLanes * blocks[k / kBlendLanes];
         i += kBlendLanes) {
      Store(&lists.a[k][i], zero), Store(&lists.red[k][i], zero);
      Store(&lists.green[k][i], zero), Store(&lists.blue[k][i], zero);
    }
  }
  // The sets from the most blocks to the fewest.
  int sets[kRaySets];
  for (int s = 0; s < kRaySets; ++s) {
    int at = s;
    for (; at > 0 && blocks[sets[at - 1]] < blocks[s]; --at) sets[at] = sets[at - 1];
    sets[at] = s;
  }
  Lanes lanes[kRaySets];
  for (Lanes& set : lanes) set = {BlendDoubles{}, BlendDoubles{}, BlendDoubles{}};
  for (int active = kRaySets, done = 0; active > 0; --active) {
    const int end = blocks[sets[active - 1]];
    if (end > done) BlendSome(lists, sets, active, done, end, lanes);
    done = end > done ? end : done;
  }
  for (int v = 0; v < kRaySets; ++v) {
    float red[kBlendLanes], green[kBlendLanes], blue[kBlendLanes];
    Store(red, Narrow(lanes[v].R)), Store(green, Narrow(lanes[v].G)),
        Store(blue, Narrow(lanes[v].B));
    for (int k = kBlendLanes * v; k < rays && k < kBlendLanes * v + kBlendLanes; ++k)
      accs[k] = {red[k - kBlendLanes * v], green[k - kBlendLanes * v], blue[k - kBlendLanes * v]};
  }
}
