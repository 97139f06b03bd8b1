// The whole frame through DrawBall, as the window draws it: the render pass
// once, into a 1024 x 768 surface like the window's client area, then
// replays into other contexts. The pass runs once per process, so every
// case here shares it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/DrawBall.h"
#include "tests/RecordingSink.h"
#include "digest/FrameDigest.h"
#include "digest/GoldenDigest.h"
#include "platform/MemoryContext.h"

namespace {

MemoryContext CreateContext(int width, int height) {
  MemoryContext context;
  if (!CreateMemoryContext(width, height, context)) std::abort();
  return context;
}

// What the render pass did, recorded once for every case.
MemoryContext window;
std::vector<PixelCall> renderCalls;
std::vector<float> storeAfterRender;

class FrameEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    window = CreateContext(1024, -768);
    const auto start = std::chrono::steady_clock::now();
    ClearPixelCalls();
    DrawBall(window.hdc);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("render pass: %.1f s\n", took.count());
    renderCalls = pixelCalls;
    storeAfterRender.assign(&mmo[0][0], &mmo[0][0] + kColumnCount * kColumnHeight);
  }
};

void ExpectColumnOrder(const std::vector<PixelCall>& calls, HDC hdc) {
  ASSERT_EQ(calls.size(), 788225u);
  size_t i = 0;
  for (int x = 0; x <= 1024; ++x) {
    for (int y = 0; y <= 768; ++y, ++i) {
      ASSERT_EQ(calls[i].x, x);
      ASSERT_EQ(calls[i].y, y);
      ASSERT_EQ(calls[i].hdc, hdc);
    }
  }
}

TEST(RenderPass, MatchesTheGoldenImage) {
  EXPECT_EQ(StoreDigest(&mmo[0][0], (size_t)kColumnCount * kColumnHeight), kGoldenFrameDigest);
}

TEST(RenderPass, DrawsEveryPixelOnceInColumnOrder) {
  EXPECT_EQ(bin, 1);
  ExpectColumnOrder(renderCalls, window.hdc);
}

TEST(RenderPass, StoresWhatItDrewColumnByColumn) {
  for (const PixelCall& call : renderCalls) {
    const float stored = storeAfterRender[(size_t)call.x * 769 + call.y];
    ASSERT_EQ((COLORREF)(long long)stored, call.colour);
    ASSERT_LE(call.colour, 0x00FFFFFFu);
  }
  // Pixel (1, 0) is element 769 and (1024, 768) the last, 788,224.
  EXPECT_EQ(storeAfterRender[769], mmo[1][0]);
  EXPECT_EQ(storeAfterRender[788224], mmo[1024][768]);
  EXPECT_EQ(&mmo[1][0] - &mmo[0][0], 769);
}

TEST(RenderPass, ClipsTheLastColumnAndRowButStoresThem) {
  int clipped = 0, lit = 0;
  for (const PixelCall& call : renderCalls) {
    const bool outside = call.x == 1024 || call.y == 768;
    ASSERT_EQ(call.result == CLR_INVALID, outside) << call.x << ", " << call.y;
    if (outside) {
      ++clipped;
    } else {
      ASSERT_EQ(GetPixel(window.hdc, call.x, call.y), call.colour);
    }
    if (call.colour != 0) ++lit;
  }
  EXPECT_EQ(clipped, 1025 + 769 - 1);
  EXPECT_GT(lit, 100000);  // the scene is there, not a black frame
}

TEST(ReplayPass, DrawsTheSameColoursInTheSameOrder) {
  for (int pass = 0; pass < 2; ++pass) {
    // A full-size bottom-up context this time: every pixel shows.
    MemoryContext other = CreateContext(1025, 769);
    ClearPixelCalls();
    DrawBall(other.hdc);
    ExpectColumnOrder(pixelCalls, other.hdc);
    for (size_t i = 0; i < pixelCalls.size(); ++i) {
      ASSERT_EQ(pixelCalls[i].colour, renderCalls[i].colour);
      ASSERT_EQ(GetPixel(other.hdc, pixelCalls[i].x, pixelCalls[i].y), renderCalls[i].colour);
    }
    EXPECT_EQ(bin, 1);
    EXPECT_EQ(std::memcmp(storeAfterRender.data(), mmo, sizeof mmo), 0);
    DeleteMemoryContext(other);
  }
}

TEST(ReplayPass, ToleratesAContextThatCannotDraw) {
  ClearPixelCalls();
  DrawBall(nullptr);
  EXPECT_EQ(pixelCalls.size(), 788225u);
  EXPECT_EQ(std::memcmp(storeAfterRender.data(), mmo, sizeof mmo), 0);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new FrameEnvironment);
  return RUN_ALL_TESTS();
}
