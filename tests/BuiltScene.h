// The scene and the fast march's maps, built once for the tests of a
// process and shared by them (read only).
#pragma once

#include "render/FastMarch.h"

struct Built {
  Scene scene;
  SkipMaps maps;
};

inline const Built& TheScene() {
  static const Built* built = [] {
    Built* b = new Built;
    BuildVoxelField(b->scene.field);
    BuildBitmapLayers(b->scene.layers);
    BuildViewRotation(b->scene.rotation);
    BuildSkipMaps(b->scene, b->maps);
    return b;
  }();
  return *built;
}
