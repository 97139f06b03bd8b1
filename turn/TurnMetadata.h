// What a turn's file says about itself, in its XMP chunk: the start view,
// the frame count, each frame's size and every frame's digest, in frame
// order. The writer composes it and the reader reads it back: the reader
// takes a packet only byte for byte as the writer would compose it from
// the values read (no comment, no other attribute, no other spacing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/Camera.h"

struct TurnMetadata {
  View start;
  int frames;
  int width, height;
  std::vector<std::string> digests;  // lower-case hex SHA-256, one a frame
};

// The frame sizes a turn has: the image's (every pixel), half (513 x 385:
// the pixels of even column and even row) and quarter (257 x 193: every
// fourth column and row). Step is the distance in image pixels between
// neighbouring frame pixels, 1, 2 or 4.
bool TurnFrameSize(int width, int height, int& step);

// The largest file a turn may be, in bytes: what the writer makes at most
// and the reader reads at most. A full-size frame of the scene takes about
// 260 KB, so 3600 of them (about 1 GB) fit with room to spare.
constexpr uint64_t kMaxTurnFileBytes = 2000000000;

// The longest packet a turn has: TurnMetadataText of kMaxTurnFrames
// digests and the longest view text (about 320 KB). A reader reads no more.
constexpr size_t kMaxTurnMetadataBytes = 400000;

// Whether text is a digest as the metadata lists it: 64 lower-case hex.
bool IsDigestText(const std::string& text);

// The XMP packet for a turn.
std::string TurnMetadataText(const TurnMetadata& metadata);

// Reads a packet TurnMetadataText wrote. False, with why in plain words,
// for anything else: a value missing, malformed or out of range, a digest
// count other than the frame count, or anything the writer would not have
// written for those values.
bool ParseTurnMetadata(const std::string& text, TurnMetadata& metadata, std::string& why);
