// What a turn's file says about itself, in its XMP chunk: the start view,
// the frame count, each frame's size and every frame's digest, in frame
// order. The writer composes it and the reader reads it back; nothing else
// is in the packet, and the reader takes nothing else.
#pragma once

#include <string>
#include <vector>

#include "scene/Camera.h"

struct TurnMetadata {
  View start;
  int frames;
  int width, height;
  std::vector<std::string> digests;  // lower-case hex SHA-256, one a frame
};

// The two frame sizes a turn has: the image's (every pixel), and half
// (513 x 385: the pixels of even column and even row). Step is the
// distance in image pixels between neighbouring frame pixels, 1 or 2.
bool TurnFrameSize(int width, int height, int& step);

// Whether text is a digest as the metadata lists it: 64 lower-case hex.
bool IsDigestText(const std::string& text);

// The XMP packet for a turn.
std::string TurnMetadataText(const TurnMetadata& metadata);

// Reads a packet TurnMetadataText wrote. False, with why in plain words,
// for anything else: a value missing, malformed or out of range, or a
// digest count other than the frame count.
bool ParseTurnMetadata(const std::string& text, TurnMetadata& metadata, std::string& why);
