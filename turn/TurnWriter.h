// Writes a turn as a lossless animated WebP (libwebp's WebPAnimEncoder),
// frame by frame as the frames are made, into memory: the command writes
// the bytes to its output, the page's module hands them to the page. Only
// the encoded frames are held, never the frames themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/Camera.h"
#include "scene/Image.h"

// The frame rates a turn may have, in frames a second: its frames last
// whole milliseconds, at least one each.
constexpr double kMinTurnFps = 0.1, kMaxTurnFps = 1000;

// What a turn is: where it starts, how many frames, how fast, how large.
struct TurnShape {
  View start = kImageView;  // frame 0's view
  int frames = 36;          // kMinTurnFrames to kMaxTurnFrames
  double fps = 25;          // frames a second
  int width = kColumnCount, height = kColumnHeight;  // each frame's pixels
};

struct TurnWriter;  // opaque

// Starts a turn. Null, with why in plain words, where it cannot.
TurnWriter* BeginTurn(const TurnShape& shape, std::string& why);

// Adds the next frame: width x height colours in frame-store order (column
// by column, each top to bottom), and their digest as lower-case hex, which
// the file's metadata lists in frame order.
bool AddTurnFrame(TurnWriter* writer, const PackedColour* colours, const std::string& digest,
                  std::string& why);

// Ends the turn once every frame is in: the whole file, with metadata
// naming the start view, the frame count and each frame's digest.
bool FinishTurn(TurnWriter* writer, std::vector<uint8_t>& file, std::string& why);

// Frees the writer, finished or not.
void FreeTurn(TurnWriter* writer);
