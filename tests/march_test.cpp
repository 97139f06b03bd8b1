// The straightforward march of a pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "digest/FrameDigest.h"
#include "scene/Scene.h"

namespace {

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
