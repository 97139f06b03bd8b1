// orbelune-render --turn: a full turn of the view about y, written as a
// lossless animated WebP.
#pragma once

#include <string>

#include "command/Modes.h"

struct TurnRequest {
  int frames = 0;  // 0: no turn asked for
  double fps = 25;
  int step = 1;  // every step-th column and row alone: 1, 2 (half) or 4 (quarter)
  RenderOptions render;  // its view is the first frame's
  bool digest = false;     // print each frame's digest, one a line
  bool writeFile = true;   // write the WebP to output
  std::string output;
};

// Makes the turn.
Outcome MakeTurn(const TurnRequest& request);
