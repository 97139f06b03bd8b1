// orbelune-render --turn, and --check of a turn: a full turn of the view
// about y, written as a lossless animated WebP, and such a file read back
// and held to the renders of its views.
#pragma once

#include <cstdio>
#include <string>

#include "march/Frame.h"

struct TurnRequest {
  int frames = 0;  // 0: no turn asked for
  double fps = 25;
  bool half = false;  // frames of the even columns and rows alone
  View start = kImageView;
  const char* kernels = nullptr;
  MarchOptions march;
  bool digest = false;     // print each frame's digest, one a line
  bool writeFile = true;   // write the WebP to output
  std::string output;
};

// Makes the turn; returns the exit code. digestLost is set where the
// digests could not be printed (which was said).
int MakeTurn(const TurnRequest& request, bool& digestLost);

// Checks the turn read from input (named file in messages): each frame
// against the digest the file carries and against its view's render.
// Returns the exit code: 0 if every frame is exact, 1 if not (the frames
// that differ are said) or the file cannot be read as a turn.
int CheckTurn(FILE* input, const std::string& file, const char* kernels,
              const MarchOptions& march);
