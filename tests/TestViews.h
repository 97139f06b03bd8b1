// The views the fast march is held to, besides the image's: each angle at
// 0, near 0, at and near plus and minus pi / 2 and at pi, third angles
// other than 0, and views where sx or sy turns within the frame. Shared by
// the tests and the view bench.
#pragma once

#include "scene/Scene.h"

struct TestView {
  const char* name;
  View view;
};

// The floats nearest pi / 2 and pi.
constexpr float kHalfPi = 1.57079637f, kPi = 3.14159274f;

constexpr TestView kTestViews[] = {
    {"the image's", kImageView},
    {"none", {0.0f, 0.0f, 0.0f}},
    {"all near 0", {1e-3f, 1e-3f, 1e-3f}},
    {"staircase", {0.3f, -1.1f, 0.7f}},
    {"A at pi/2", {kHalfPi, -0.5f, 0.0f}},
    {"A at -pi/2", {-kHalfPi, 0.4f, 0.2f}},
    {"A near pi/2", {kHalfPi - 1e-3f, 0.3f, -0.2f}},
    {"A near -pi/2", {-kHalfPi + 1e-3f, -0.5f, 0.0f}},
    {"B at pi/2", {-0.5f, kHalfPi, 0.0f}},
    {"B at -pi/2", {0.2f, -kHalfPi, 0.3f}},
    {"B near pi/2", {-0.5f, kHalfPi - 1e-3f, 0.1f}},
    {"B near -pi/2", {0.1f, -kHalfPi + 1e-3f, 0.0f}},
    {"C at pi/2", {-0.5f, -0.5f, kHalfPi}},
    {"C at -pi/2", {0.2f, 0.4f, -kHalfPi}},
    {"C near pi/2", {0.3f, -0.2f, kHalfPi - 1e-3f}},
    {"C near -pi/2", {-0.4f, 0.1f, -kHalfPi + 1e-3f}},
    {"A at pi", {kPi, 0.0f, 0.0f}},
    {"B at pi", {0.0f, kPi, 0.5f}},
    {"C at pi", {-0.5f, -0.5f, kPi}},
    {"sx turns", {0.0f, 0.2f, 0.0f}},
    {"sy turns", {0.2f, 0.0f, 0.0f}},
    {"both turn", {0.15f, -0.2f, 0.1f}},
    {"far round", {1.0f, 2.0f, -2.5f}},
};
constexpr int kTestViewCount = sizeof kTestViews / sizeof kTestViews[0];
