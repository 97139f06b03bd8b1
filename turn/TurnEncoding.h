// How the writer has libwebp encode a turn: the command and the page take
// the defaults (BeginTurn); the benchmark weighs the others.
#pragma once

#include <climits>
#include <string>

#include "turn/TurnWriter.h"

// The defaults make every frame a key frame, whole and alone: a turning
// scene changes nearly every pixel, so a frame drawn over the last costs
// more than it saves (bench/turn_bench: libwebp's default, the first frame
// alone a key frame, is 14% larger for about 15% less time); and a
// damaged frame then spoils no other. Quality 25 is within 2% of 75's
// size at about 60% of its time.
struct TurnEncoding {
  int method = 4;      // 0 (fastest) to 6 (smallest)
  float quality = 25;  // lossless effort, 0 to 100
  int kmin = 1, kmax = 1;  // the distance between key frames; 1: every frame
};

// BeginTurn with these settings.
TurnWriter* BeginTurnEncoded(const TurnShape& shape, const TurnEncoding& encoding,
                             std::string& why);
