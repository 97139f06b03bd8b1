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

struct TurnReader;  // opaque

// Why OpenTurn refuses a file that does not begin as a WebP does.
constexpr char kNotWebP[] = "not a WebP file";
// Why it or NextTurnFrame fails where memory, not the file, failed.
constexpr char kTurnOutOfMemory[] = "out of memory";

// Reads the whole file from the stream and opens it as a turn: a WebP
// animation of a turn's frame size, at most kMaxTurnFrames frames, whose
// metadata (TurnMetadata) lists as many digests as it holds frames, each
// frame one lossless image covering the canvas, looping for ever, with no
// colour profile, EXIF or second metadata. Chunks no WebP has are skipped
// unheld. Null, with why in plain words, for anything else:
// kNotWebP, "a truncated WebP file: ...", "a damaged WebP file: ...",
// kTurnOutOfMemory (which libwebp's failures are told from damage), or
// what makes a sound WebP file no turn.
TurnReader* OpenTurn(FILE* file, std::string& why);

// What the file says of itself.
const TurnMetadata& TurnInfo(const TurnReader* reader);

// Decodes the next frame: width x height colours (0x00BBGGRR) in frame-
// store order, column by column, and how many of its pixels are not fully
// opaque (a turn's never are). False, with why, for a damaged frame or
// kTurnOutOfMemory.
bool NextTurnFrame(TurnReader* reader, std::vector<PackedColour>& colours, long& seeThrough,
                   std::string& why);

void CloseTurn(TurnReader* reader);
