// The blend operator and the packing of a colour.
#include <gtest/gtest.h>

#include "scene/Scene.h"

namespace {

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

}  // namespace
