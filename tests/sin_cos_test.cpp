// Our own sines and cosines against the platform's, rounded to float as
// the view rotation takes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "scene/Scene.h"
#include "scene/SinCos.h"

namespace {

// Whether the double d lies within `ulps` units in its last place of a
// midpoint between two neighbouring floats: where one ulp of a double
// either way can round to another float.
bool NearFloatMidpoint(double d, int ulps) {
  const float f = (float)d;
  const float other = d > (double)f ? std::nextafter(f, INFINITY) : std::nextafter(f, -INFINITY);
  const double midpoint = ((double)f + (double)other) / 2;
  const double ulp = std::nextafter(std::fabs(d), INFINITY) - std::fabs(d);
  return std::fabs(d - midpoint) <= ulps * ulp;
}

// Compares both functions with the platform's at one angle; prints and
// counts each float that differs, and fails unless it is a near-tie.
void Compare(float angle, int& differences) {
  const double ours[2] = {SineOf(angle), CosineOf(angle)};
  const double platform[2] = {std::sin((double)angle), std::cos((double)angle)};
  for (int f = 0; f < 2; ++f) {
    if ((float)ours[f] == (float)platform[f]) continue;
    ++differences;
    std::printf("%s(%.9g): ours %.17g, platform %.17g\n", f == 0 ? "sin" : "cos", angle, ours[f],
                platform[f]);
    EXPECT_TRUE(NearFloatMidpoint(platform[f], 4))
        << (f == 0 ? "sin" : "cos") << " of " << angle << " differs from the platform's";
  }
}

TEST(SinCos, TheImagesViewHasTodaysFloats) {
  EXPECT_EQ((float)SineOf(-0.5f), -0.479425550f);
  EXPECT_EQ((float)CosineOf(-0.5f), 0.877582550f);
  EXPECT_EQ((float)SineOf(0.0f), 0.0f);
  EXPECT_EQ((float)CosineOf(0.0f), 1.0f);
  // The rotation built of them: Camera.RotationCoefficients.
}

// 400,001 angles across [-2 pi, 2 pi], the floats next to each multiple of
// pi / 4 there (where reduction and the kernels' ranges meet), and floats
// of every size up to the largest, each both signs.
TEST(SinCos, AgreeWithThePlatformButForNearTies) {
  int differences = 0, angles = 0;
  const double twoPi = 6.283185307179586;
  for (int i = 0; i <= 400000; ++i, ++angles)
    Compare((float)(-twoPi + i * (2 * twoPi / 400000)), differences);
  for (int k = -8; k <= 8; ++k) {
    float a = (float)(k * 0.7853981633974483);
    for (int step = 0; step < 50; ++step) a = std::nextafter(a, -INFINITY);
    for (int step = 0; step < 100; ++step, ++angles, a = std::nextafter(a, INFINITY))
      Compare(a, differences);
  }
  uint32_t state = 12345;
  for (int i = 0; i < 100000; ++i) {
    state = state * 1664525u + 1013904223u;
    const uint32_t bits = state % 0x7f800000u;  // every finite positive float
    float a;
    std::memcpy(&a, &bits, sizeof a);
    Compare(a, differences), Compare(-a, differences), angles += 2;
  }
  std::printf("%d angles, %d floats differ from the platform's (near-ties)\n", angles, differences);
  EXPECT_LT(differences, 20);
}

TEST(SinCos, NotANumberForNotANumberAndTheInfinities) {
  for (float a : {NAN, INFINITY, -INFINITY}) {
    EXPECT_TRUE(std::isnan(SineOf(a))) << a;
    EXPECT_TRUE(std::isnan(CosineOf(a))) << a;
  }
}

}  // namespace
