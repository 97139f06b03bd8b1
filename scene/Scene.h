// The image's definition: the render pass's working data and its stages.
// Everything else (the fast march, the draw entry) is held to what these
// functions compute; nothing here depends on them.
//
// Numbers: every scene quantity is a float. Each formula is evaluated in
// double, operands widened and operations applied left to right as written,
// and rounded to float once, when assigned. x^n is repeated multiplication.
// This is what makes the image bit-identical on every build; never let a
// float * float slip in.
#pragma once

#include "scene/Blend.h"
#include "scene/Camera.h"
#include "scene/Image.h"
#include "scene/Slabs.h"
#include "scene/Voxels.h"

// Everything one render pass builds, about 1 MB; the draw entry keeps it on
// its stack and hands it to the stages.
struct Scene {
  VoxelField field;
  BitmapLayers layers;
  ViewRotation rotation;
};

// The render pass's scene build, in its order: the voxel field, the
// bitmaps, the view rotation.
static inline void BuildScene(Scene& scene, View view = kImageView) {
  BuildVoxelField(scene.field);
  BuildBitmapLayers(scene.layers);
  BuildViewRotation(scene.rotation, view);
}

// Marches one pixel's 2001 samples through every layer and returns its
// packed colour. The straightforward definition of the image.
PackedColour MarchPixel(const Scene& scene, float x, float y);
// The same march's colour accumulator before packing: what the fast march
// must reproduce bit for bit, not merely to the byte.
Accumulator AccumulatePixel(const Scene& scene, float x, float y);
