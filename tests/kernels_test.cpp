// Every vector kernel set against the scalar one, which calls the image's
// own definitions: the same bits for every sample point of whole columns,
// every contribution, every quotient and every blend.
#include "march/Kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "tests/BuiltScene.h"

namespace {

// Each vector kernel set a build may have, by name: each case runs once per
// set, and says it is skipped where this build or processor has no such
// set.
class Kernels : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    kernels = KernelsNamed(GetParam());
    if (kernels == nullptr)
      GTEST_SKIP() << "no " << GetParam()
                   << " kernel set: this build lacks it or this processor does not run it";
  }
  const MarchKernels* kernels = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Vector, Kernels, testing::Values("avx2", "avx512"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

// The kernels divide by 3 and 15 with a corrected reciprocal: the same
// doubles as the division, for numbers of every size and sign, and for
// those whose quotient is exact or a hair from a power of two.
TEST_P(Kernels, QuotientsWithoutDivisionAreTheDivisions) {
  uint32_t state = 99;
  const auto bits = [&] {
    return (uint64_t)CrtRand(state) << 45 ^ (uint64_t)CrtRand(state) << 30 ^
           (uint64_t)CrtRand(state) << 15 ^ (uint64_t)CrtRand(state);
  };
  for (int d : {3, 15}) {
    for (int round = 0; round < 1000000; ++round) {
      double w[kVectorLanes];
      for (int i = 0; i < kernels->lanes; ++i) {
        // Exponents from 2^-100 to 2^100, any significand; and every
        // fourth a whole multiple of d, or just beside a power of two.
        const uint64_t exponent = 923 + CrtRand(state) % 201;
        double v;
        const uint64_t pattern = exponent << 52 | (bits() & 0xFFFFFFFFFFFFF);
        std::memcpy(&v, &pattern, sizeof v);
        if (i % 4 == 1)
          v = (double)(CrtRand(state) * d) * std::ldexp(1.0, CrtRand(state) % 80 - 40);
        if (i % 4 == 2) v = std::nextafter(std::ldexp((double)d, CrtRand(state) % 60 - 30), 0.0);
        w[i] = CrtRand(state) % 2 ? -v : v;
      }
      double quotients[kVectorLanes];
      kernels->divideByOdd(w, d, quotients);
      for (int i = 0; i < kernels->lanes; ++i) {
        const double expected = w[i] / d;
        ASSERT_EQ(std::memcmp(&quotients[i], &expected, sizeof expected), 0)
            << w[i] << " / " << d << ", " << kernels->name;
      }
    }
  }
}

// Every sample point of whole columns, in each lane.
TEST_P(Kernels, VectorSamplePointsAreTheScalarOnes) {
  const Frame* b = &TheScene();
  for (int x : {0, 333, 512, 1024}) {
    for (int y = 0; y <= 768; ++y) {
      const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
      for (int t = 0; t <= 2000; ++t) {
        SamplePoint vector[kVectorLanes];
        const int lane = t % kernels->lanes;
        kernels->samplePoints(b->scene.rotation, *b->maps, x0, y0, t - lane, vector);
        const SamplePoint scalar = ComputeSamplePoint(b->scene.rotation, x0, y0, (float)t);
        ASSERT_EQ(std::memcmp(&vector[lane], &scalar, sizeof scalar), 0)
            << "pixel " << x << ", " << y << ", sample " << t << ", " << kernels->name;
      }
    }
  }
}

// Every layer switched on at every sample, whether or not it would blend
// there: each formula meets every sample point of the ray, and each sample
// every lane (the runs start at each of the first lanes' samples). Along the axes where a ray
// stays at least 0.5 from 0, its cell offsets go unrounded, as the march
// allows for cells away from the middle.
TEST_P(Kernels, VectorAndScalarShadersAgreeOnWholeColumns) {
  const Frame* b = &TheScene();
  auto scalar = std::make_unique<ContributionLists>();
  auto vector = std::make_unique<ContributionLists>();
  const float radii[] = {0.4f, 0.123456f, 0.4f / 32767};
  int exactRuns = 0;
  for (int x : {0, 512, 1024}) {
    for (int y = 0; y <= 768; ++y) {
      const float kind = (float)(y % 2);  // sphere and cube glows by turns
      // Every fourth run the slabs alone, whose shader needs only sz; the
      // patterns' values by turns.
      const bool voxel = y % 4 != 3;
      // Cell offsets unrounded along each axis where the whole ray keeps
      // that coordinate at least 0.5 from 0.
      const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
      bool exact[3] = {true, true, true};
      for (int t = 0; t <= 2000; ++t) {
        const SamplePoint s = ComputeSamplePoint(b->scene.rotation, x0, y0, (float)t);
        const float coordinates[3] = {s.sx, s.sy, s.sz};
        for (int a = 0; a < 3; ++a) exact[a] = exact[a] && std::fabs(coordinates[a]) >= 0.5f;
      }
      const SampleRun run = {x0,
                             y0,
                             voxel,
                             radii[y % 3],
                             kind,
                             {exact[0], exact[1], exact[2]},
                             {true, true, true},
                             {(uint8_t)(y % 2), (uint8_t)(y / 2 % 2), (uint8_t)(y / 3 % 4)}};
      exactRuns += exact[0] + exact[1] + exact[2];
      const int ray = y % kernels->groupRays;
      for (int first = 0; first < kernels->lanes; ++first) {
        scalar->count[ray] = vector->count[ray] = 0;
        kScalarKernels.shadeRun(b->scene, *b->maps, run, first, 2000, *scalar, ray);
        kernels->shadeRun(b->scene, *b->maps, run, first, 2000, *vector, ray);
        ASSERT_EQ(scalar->count[ray], (2001 - first) * (voxel ? 4 : 3));
        ASSERT_EQ(vector->count[ray], scalar->count[ray]);
        for (int i = 0; i < scalar->count[ray]; ++i) {
          const float s[4] = {scalar->a[ray][i], scalar->red[ray][i], scalar->green[ray][i],
                              scalar->blue[ray][i]};
          const float v[4] = {vector->a[ray][i], vector->red[ray][i], vector->green[ray][i],
                              vector->blue[ray][i]};
          ASSERT_EQ(std::memcmp(s, v, sizeof s), 0)
              << "pixel " << x << ", " << y << ", entry " << i << ", " << kernels->name;
        }
      }
    }
  }
  EXPECT_GT(exactRuns, 500);  // the unrounded offsets were tried too
}

// Runs of every length end where they should: the lanes past the last
// sample are computed but never appended.
TEST_P(Kernels, RunsOfAnyLengthAppendExactlyTheirSamples) {
  const Frame* b = &TheScene();
  auto lists = std::make_unique<ContributionLists>();
  const SampleRun run = {ColumnCoordinate(700), RowCoordinate(300),  true,     0.3f, 1.0f,
                         {false, false, false}, {true, false, true}, {1, 0, 3}};
  for (int first : {0, 1, 1990, 1997}) {
    for (int last = first; last <= 2000 && last <= first + 9; ++last) {
      lists->count[2] = 5;
      kernels->shadeRun(b->scene, *b->maps, run, first, last, *lists, 2);
      ASSERT_EQ(lists->count[2], 5 + (last - first + 1) * 3)
          << first << " to " << last << ", " << kernels->name;
    }
  }
}

// Up to a group of rays of different lengths, blended side by side and
// one by one (so that the sets of rays run out at different blocks): the
// same accumulators, bit for bit, with contributions of every alpha
// the layers give (down to the smallest glows) and every colour value.
TEST_P(Kernels, VectorAndScalarBlendersAgree) {
  auto scalar = std::make_unique<ContributionLists>();
  uint32_t state = 12345;
  for (int trial = 0; trial < 200; ++trial) {
    const int rays = 1 + trial % kernels->groupRays;
    for (int k = 0; k < rays; ++k) {
      scalar->count[k] = 0;
      const int length = CrtRand(state) % 600;
      for (int i = 0; i < length; ++i) {
        const float a =
            i % 3 == 0
                ? 0.1f
                : (float)((double)(CrtRand(state) + 1) / 32768 / 15 / (1 << (CrtRand(state) % 24)));
        Append(*scalar, k,
               {a, (float)(CrtRand(state) % 256), (float)(CrtRand(state) % 2048) / 8,
                (float)CrtRand(state) / 32767 * 255});
      }
    }
    auto vector = std::make_unique<ContributionLists>(*scalar);
    Accumulator s[kMaxGroupRays], v[kMaxGroupRays];
    kScalarKernels.blendGroup(*scalar, rays, s);
    kernels->blendGroup(*vector, rays, v);
    ASSERT_EQ(std::memcmp(s, v, sizeof(Accumulator) * rays), 0)
        << "trial " << trial << ", " << kernels->name;
  }
}

}  // namespace
