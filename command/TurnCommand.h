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
  int step = 1;  // every step-th column and row alone: 1, 2 (half) or 4 (quarter)
  View start = kImageView;
  const char* kernels = nullptr;
  MarchOptions march;
  bool digest = false;     // print each frame's digest, one a line
  bool writeFile = true;   // write the WebP to output
  std::string output;
};

// What --check says of a file that is neither a PNG nor a WebP.
constexpr char kNeitherPngNorTurn[] = "not a PNG file, nor a WebP file";

// Makes the turn; returns the exit code. digestLost is set where the
// digests could not be printed (which was said).
int MakeTurn(const TurnRequest& request, bool& digestLost);

// Checks the turn read from input (named file in messages): each frame
// against the digest the file carries and against its view's render.
// Returns the exit code: 0 if every frame is exact, 1 if not (the frames
// that differ are said) or the file cannot be read as a turn. Throws
// std::bad_alloc where memory, not the file, fails the check.
int CheckTurn(FILE* input, const std::string& file, const char* kernels,
              const MarchOptions& march);
