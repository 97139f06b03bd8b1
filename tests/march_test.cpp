// The camera, the sample points, the blend operator and the packing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "scene/Scene.h"
#include "tools/FrameDigest.h"

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

TEST(Blend, OneContributionIntoAFreshAccumulator) {
  Accumulator acc = {0, 0, 0};
  Blend(acc, 0.1f, 150, 255, 200);
  EXPECT_EQ(acc.R, 15.0f);
  EXPECT_EQ(acc.G, 25.5f);
  EXPECT_EQ(acc.B, 20.0f);
  EXPECT_EQ(PackColour(acc), 0x0014190Fu);  // 1,317,135
}

TEST(Blend, OrderMatters) {
  Accumulator redFirst = {0, 0, 0};
  Blend(redFirst, 0.1f, 255, 0, 0);
  Blend(redFirst, 0.1f, 0, 0, 255);
  EXPECT_FLOAT_EQ(redFirst.R, 22.95f);
  EXPECT_EQ(redFirst.B, 25.5f);
  EXPECT_EQ(PackColour(redFirst), 0x00190016u);

  Accumulator blueFirst = {0, 0, 0};
  Blend(blueFirst, 0.1f, 0, 0, 255);
  Blend(blueFirst, 0.1f, 255, 0, 0);
  EXPECT_EQ(PackColour(blueFirst), 0x00160019u);
}

TEST(Blend, SmallAlphaNeedsDoublePrecision) {
  // With a near 3e-6 the factor 1 - a in float loses most of a's bits; the
  // result must be the double evaluation rounded once.
  const float a = 3.2e-6f;
  Accumulator acc = {200.0f, 100.0f, 7.0f};
  Blend(acc, a, 50, 255, 200);
  EXPECT_EQ(acc.R, (float)((1 - (double)a) * 200.0 + 50.0 * a));
  EXPECT_EQ(acc.G, (float)((1 - (double)a) * 100.0 + 255.0 * a));
  EXPECT_EQ(acc.B, (float)((1 - (double)a) * 7.0 + 200.0 * a));
}

TEST(Pack, ChannelsTruncateToWholeValues) {
  EXPECT_EQ(PackColour({0, 0, 0}), 0u);
  EXPECT_EQ(PackColour({255, 255, 255}), 0x00FFFFFFu);
  EXPECT_EQ(PackColour({254.99f, 0.99f, 128.5f}), 0x008000FEu);
  EXPECT_EQ((PackedColour)(long long)(float)0x00FFFFFFu, 0x00FFFFFFu);
}

TEST(March, EmptySceneIsBlack) {
  static Scene scene;
  std::memset(&scene, 0, sizeof scene);
  BuildViewRotation(scene.rotation);
  EXPECT_EQ(MarchPixel(scene, 512, 384), 0u);
  EXPECT_EQ(MarchPixel(scene, 0, 0), 0u);
}

// The colours of a band of whole columns through the middle of the scene,
// where spheres, cubes and all three slabs are crossed: the full march of
// about 3 million samples against its recorded fingerprint.
TEST(March, ColumnsThroughTheSceneAreBitExact) {
  static Scene scene;
  BuildVoxelField(scene.field);
  BuildBitmapLayers(scene.layers);
  BuildViewRotation(scene.rotation);
  std::vector<uint32_t> colours;
  for (int x : {300, 512, 700}) {
    for (int y = 0; y <= 768; y += 1) colours.push_back(MarchPixel(scene, (float)x, (float)y));
  }
  EXPECT_EQ(ColoursDigest(colours.data(), colours.size()),
            "5807443c13c847534fbb8ea34eb49e0bd52d53b6af74d8c251bca0a3d1ced988");
}

}  // namespace
