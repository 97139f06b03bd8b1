// The camera: the view's rotation, and each ray's sample points through it
// and the perspective. Numbers: scene/Scene.h.
#pragma once

struct ViewRotation {
  float sinA, sinB, sinC;
  float cosA, cosB, cosC;
};

// A view: the rotation's three angles, in radians, about x, y and z.
struct View {
  float A, B, C;
};
// The image's view.
constexpr View kImageView = {-0.5f, -0.5f, 0.0f};

struct SamplePoint {
  float sx, sy, sz;
};

// The six sines and cosines of the view's rotation: each the double sine
// or cosine of the angle (our own, the same on every build), rounded to
// float.
void BuildViewRotation(ViewRotation& rotation, View view = kImageView);

// The horizontal and vertical pixel coordinates before rotation:
// x0 for column x (0 to 1024), y0 for row y (0 to 768).
float ColumnCoordinate(float x);
float RowCoordinate(float y);

// Sample t (0 to 2000) of the ray through (x0, y0): rotation, then perspective.
SamplePoint ComputeSamplePoint(const ViewRotation& rotation, float x0, float y0, float t);

// The parts of it that depend on t alone: the depth z0 before rotation, and
// the perspective factor p from it. The same for every ray, so a march may
// compute them once per sample index.
float SampleDepth(float t);
float PerspectiveFactor(float z0);
// Inline, so that a march can keep the ray's own products (x0 * cos B and
// the like, exact in double) out of its loop over samples.
static inline SamplePoint ComputeSamplePointAt(const ViewRotation& v, float x0, float y0, float z0,
                                               float p) {
  // About x, then y, then z; each step reads only the values before it.
  const float y1 = (float)((double)y0 * v.cosA + (double)z0 * v.sinA);
  const float z1 = (float)((double)z0 * v.cosA - (double)y0 * v.sinA);
  const float x2 = (float)((double)x0 * v.cosB + (double)z1 * v.sinB);
  const float z2 = (float)((double)z1 * v.cosB - (double)x0 * v.sinB);
  const float x3 = (float)((double)x2 * v.cosC + (double)y1 * v.sinC);
  const float y3 = (float)((double)y1 * v.cosC - (double)x2 * v.sinC);
  SamplePoint s;
  s.sx = (float)((double)x3 * p / 2);
  s.sy = (float)((double)y3 * p / 2);
  s.sz = z2;
  return s;
}
