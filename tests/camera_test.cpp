// The camera and the sample points it gives.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "digest/FrameDigest.h"
#include "scene/Scene.h"

namespace {

ViewRotation Rotation() {
  ViewRotation v;
  BuildViewRotation(v);
  return v;
}

SamplePoint PointAt(int x, int y, int t) {
  static const ViewRotation v = Rotation();
  return ComputeSamplePoint(v, ColumnCoordinate((float)x), RowCoordinate((float)y), (float)t);
}

void ExpectPoint(SamplePoint s, double sx, double sy, double sz) {
  EXPECT_NEAR(s.sx, sx, 5e-7);
  EXPECT_NEAR(s.sy, sy, 5e-7);
  EXPECT_NEAR(s.sz, sz, 5e-7);
}

TEST(Camera, RotationCoefficients) {
  const ViewRotation v = Rotation();
  EXPECT_EQ(v.sinA, -0.479425550f);
  EXPECT_EQ(v.sinB, -0.479425550f);
  EXPECT_EQ(v.cosA, 0.877582550f);
  EXPECT_EQ(v.cosB, 0.877582550f);
  EXPECT_EQ(v.sinC, 0.0f);
  EXPECT_EQ(v.cosC, 1.0f);
}

TEST(Camera, PixelCoordinatesAtCornersAndCentre) {
  EXPECT_EQ(ColumnCoordinate(0), -10.0f);
  EXPECT_EQ(ColumnCoordinate(512), 0.0f);
  EXPECT_EQ(ColumnCoordinate(1024), 10.0f);
  EXPECT_EQ(ColumnCoordinate(1), -10.0f + 0.01953125f);
  EXPECT_EQ(RowCoordinate(0), -10.0f);
  EXPECT_EQ(RowCoordinate(384), 0.0f);
  EXPECT_EQ(RowCoordinate(768), 10.0f);
}

TEST(Camera, KnownSamplePoints) {
  ExpectPoint(PointAt(0, 0, 0), -2.095368, -3.675295, -16.703121);
  ExpectPoint(PointAt(1024, 0, 0), 14.106155, -3.675295, -7.114611);
  ExpectPoint(PointAt(512, 384, 0), 3.883712, 4.425467, -7.701511);
  const SamplePoint centre = PointAt(512, 384, 1000);
  EXPECT_EQ(centre.sx, 0.0f);
  EXPECT_EQ(centre.sy, 0.0f);
  EXPECT_EQ(centre.sz, 0.0f);
  ExpectPoint(PointAt(512, 384, 2000), -2.589142, -2.950311, 7.701511);
}

TEST(Camera, SamplePointsStayInsideTheGridAtTheCorners) {
  EXPECT_NEAR(PointAt(0, 768, 2000).sx, -9.404104, 5e-7);
  EXPECT_NEAR(PointAt(1024, 0, 0).sx, 14.106155, 5e-7);
  EXPECT_NEAR(PointAt(0, 0, 2000).sy, -8.350820, 5e-7);
  EXPECT_NEAR(PointAt(0, 768, 0).sy, 12.526229, 5e-7);
  EXPECT_NEAR(PointAt(0, 0, 0).sz, -16.703121, 5e-7);
  EXPECT_NEAR(PointAt(1024, 768, 2000).sz, 16.703121, 5e-7);
  // Every corner ray, every sample: shifted coordinates within 8 to 42.
  for (int x : {0, 1024}) {
    for (int y : {0, 768}) {
      for (int t = 0; t <= 2000; ++t) {
        const SamplePoint s = PointAt(x, y, t);
        for (float c : {s.sx, s.sy, s.sz}) {
          ASSERT_GT(c + 25.0f, 8.0f);
          ASSERT_LT(c + 25.0f, 42.0f);
        }
      }
    }
  }
}

// A fingerprint of every sample point of a few whole columns. Evaluating any
// step of the camera in float instead of double changes bits here.
TEST(Camera, SamplePointsOfWholeColumnsAreBitExact) {
  std::vector<uint32_t> bits;
  for (int x : {0, 1, 333, 512, 1000, 1024}) {
    for (int y = 0; y <= 768; y += 3) {
      for (int t = 0; t <= 2000; ++t) {
        const SamplePoint s = PointAt(x, y, t);
        uint32_t word[3];
        std::memcpy(word, &s, sizeof word);
        bits.insert(bits.end(), word, word + 3);
      }
    }
  }
  EXPECT_EQ(ColoursDigest(bits.data(), bits.size()),
            "e7335eefebbe06a66e6ce672f068d4fca8c2dd9cbafe5ad4f5bdc268d5f0dd4d");
}

}  // namespace
