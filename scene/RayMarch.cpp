// The camera and the ray march: the view's rotation, a simple perspective
// and 2001 samples along every ray, each folded into the pixel's colour.
#include "scene/Scene.h"
#include "scene/SinCos.h"

void BuildViewRotation(ViewRotation& rotation, View view) {
  rotation.sinA = (float)SineOf(view.A);
  rotation.sinB = (float)SineOf(view.B);
  rotation.sinC = (float)SineOf(view.C);
  rotation.cosA = (float)CosineOf(view.A);
  rotation.cosB = (float)CosineOf(view.B);
  rotation.cosC = (float)CosineOf(view.C);
}

float ColumnCoordinate(float x) {
  return (float)((double)x * 20 / 1024 - 10);
}

float RowCoordinate(float y) {
  return (float)((double)y * 20 / 768 - 10);
}

float SampleDepth(float t) {
  return (float)((double)t * 20 / 2000 - 10);
}

float PerspectiveFactor(float z0) {
  // From the depth before rotation; it scales only x and y.
  return (float)((50 - (double)z0) / 32.5);
}

SamplePoint ComputeSamplePoint(const ViewRotation& v, float x0, float y0, float t) {
  const float z0 = SampleDepth(t);
  return ComputeSamplePointAt(v, x0, y0, z0, PerspectiveFactor(z0));
}

PackedColour PackColour(const Accumulator& acc) {
  // Truncate to 16 bits, keep the low 8: within [0, 255] just the integer part.
  const PackedColour red = (uint16_t)(int16_t)acc.R & 0xFF;
  const PackedColour green = (uint16_t)(int16_t)acc.G & 0xFF;
  const PackedColour blue = (uint16_t)(int16_t)acc.B & 0xFF;
  return red | green << 8 | blue << 16;
}

Accumulator AccumulatePixel(const Scene& scene, float x, float y) {
  const float x0 = ColumnCoordinate(x);
  const float y0 = RowCoordinate(y);
  Accumulator acc = {0.0f, 0.0f, 0.0f};
  // Every sample of every ray, every layer at each: no early end, no skip.
  for (float t = 0.0f; t <= 2000.0f; t = t + 1.0f) {
    const SamplePoint s = ComputeSamplePoint(scene.rotation, x0, y0, t);
    ShadeVoxelSample(scene.field, s.sx, s.sy, s.sz, acc);
    ShadeBitmapSample(scene.layers, s.sx, s.sy, s.sz, acc);
  }
  return acc;
}

PackedColour MarchPixel(const Scene& scene, float x, float y) {
  return PackColour(AccumulatePixel(scene, x, y));
}
