// The AVX2 run shader against the scalar one, which calls the image's own
// definitions: the same bits for every sample point of whole columns.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "render/ShadeRun.h"

namespace {

struct Built {
  Scene scene;
  SkipMaps maps;
};

std::unique_ptr<Built> BuildAll() {
  auto b = std::make_unique<Built>();
  BuildVoxelField(b->scene.field);
  BuildBitmapLayers(b->scene.layers);
  BuildViewRotation(b->scene.rotation);
  BuildSkipMaps(b->scene, b->maps);
  return b;
}

bool SameBits(const Accumulator& a, const Accumulator& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every layer switched on at every sample, whether or not it would blend
// there: each formula meets every sample point of the ray, in every lane.
TEST(ShadeRun, VectorAndScalarShadersAgreeOnWholeColumns) {
  if (!Avx2Available()) GTEST_SKIP() << "this processor has no AVX2";
  const auto b = BuildAll();
  const float radii[] = {0.4f, 0.123456f, 0.4f / 32767};
  for (int x : {0, 512, 1024}) {
    for (int y = 0; y <= 768; ++y) {
      const float kind = (float)(y % 2);  // sphere and cube glows by turns
      const SampleRun run = {
          ColumnCoordinate((float)x), RowCoordinate((float)y), true, radii[y % 3], kind,
          {true, true, true}};
      // Windows of four samples from every start: each sample lands in
      // every lane once. The accumulator starts off zero so that the
      // blend's multiplication counts too.
      for (int first = 0; first + 3 <= 2000; ++first) {
        Accumulator scalar = {100.0f, 50.5f, 200.25f}, vector = scalar;
        ShadeRunScalar(b->scene, b->maps, run, first, first + 3, scalar);
        ShadeRunAvx2(b->scene, b->maps, run, first, first + 3, vector);
        ASSERT_TRUE(SameBits(scalar, vector))
            << "pixel " << x << ", " << y << ", samples from " << first << ", kind " << kind;
      }
    }
  }
}

// Runs of every length end where they should: the lanes past the last
// sample are computed but never blended.
TEST(ShadeRun, RunsOfAnyLengthBlendExactlyTheirSamples) {
  if (!Avx2Available()) GTEST_SKIP() << "this processor has no AVX2";
  const auto b = BuildAll();
  const SampleRun run = {ColumnCoordinate(700), RowCoordinate(300), true, 0.3f, 1.0f,
                         {true, false, true}};
  for (int first : {0, 1, 1990, 1997}) {
    for (int last = first; last <= 2000 && last <= first + 9; ++last) {
      Accumulator scalar = {0, 0, 0}, vector = {0, 0, 0};
      ShadeRunScalar(b->scene, b->maps, run, first, last, scalar);
      ShadeRunAvx2(b->scene, b->maps, run, first, last, vector);
      ASSERT_TRUE(SameBits(scalar, vector)) << first << " to " << last;
    }
  }
}

}  // namespace
