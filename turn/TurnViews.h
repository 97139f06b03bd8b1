// The views of a turn: N frames of a full turn about y, from a start view,
// in N equal steps. What orbelune-render --turn, its --check and the page's
// "Save turn" all take a turn's views from.
#pragma once

#include "scene/Camera.h"

constexpr int kMinTurnFrames = 2;
constexpr int kMaxTurnFrames = 3600;

// Frame k (0 to frames - 1) of a turn from start: start.B + 2 pi k / frames,
// computed in double and rounded to float once; A and C as in start. So
// frame k is exactly the view --view gives for its three angles.
View TurnView(View start, int frame, int frames);

// The first frame k (0-based) of a turn whose view is frame k + 1's, or -1
// where all differ: a B so large that a step vanishes in its rounding. No
// such turn is made, and none read is taken as one.
int RepeatedTurnView(View start, int frames);
