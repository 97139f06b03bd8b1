// The image's fingerprint: SHA-256 over the frame store's 788,225 colours,
// each a little-endian 32-bit COLORREF, in frame-store order (column by
// column, each column top to bottom).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/DrawBall.h"

// Lower-case hex digest of the given colours in that layout.
std::string ColoursDigest(const uint32_t* colours, size_t count);

// The digest of the frame store as it stands. (Inline, so that only the
// programs that use it link the frame store.)
inline std::string FrameDigest() {
  std::vector<uint32_t> colours;
  colours.reserve((size_t)kImageWidth * kImageHeight);
  for (int x = 0; x < kImageWidth; ++x) {
    for (int y = 0; y < kImageHeight; ++y) colours.push_back((uint32_t)(long long)mmo[x][y]);
  }
  return ColoursDigest(colours.data(), colours.size());
}
