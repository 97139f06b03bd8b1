// Reading a turn back from any stream (a file, a pipe), frame by frame,
// in bounded memory whatever the bytes: the header is judged before the
// rest is read, the container before any frame is decoded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "scene/Image.h"
#include "turn/TurnMetadata.h"

// The largest file a turn may be, in bytes: the limit on what is read.
// (A full-size frame of the scene takes about ... KB; 3600 of them fit.)
constexpr uint64_t kMaxTurnFileBytes = (uint64_t)1 << 30;

struct TurnReader;  // opaque

// Reads the whole file from the stream and opens it as a turn: a WebP
// animation of a turn's frame size, at most kMaxTurnFrames frames, whose
// metadata (TurnMetadata) lists as many digests as it holds frames. Null,
// with why in plain words, for anything else: "not a WebP file", "a
// truncated WebP file: ...", "a damaged WebP file: ...", or what makes a
// sound WebP file no turn.
TurnReader* OpenTurn(FILE* file, std::string& why);

// What the file says of itself.
const TurnMetadata& TurnInfo(const TurnReader* reader);

// Decodes the next frame: width x height colours (0x00BBGGRR) in frame-
// store order, column by column, and how many of its pixels are not fully
// opaque (a turn's never are). False, with why, for a damaged frame.
bool NextTurnFrame(TurnReader* reader, std::vector<PackedColour>& colours, long& seeThrough,
                   std::string& why);

void CloseTurn(TurnReader* reader);
