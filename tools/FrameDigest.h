// The image's fingerprint: SHA-256 over the frame store's 788,225 colours,
// each a little-endian 32-bit COLORREF, in frame-store order (column by
// column, each column top to bottom).
#pragma once

#include <cstdint>
#include <string>

// Lower-case hex digest of the given colours in that layout.
std::string ColoursDigest(const uint32_t* colours, size_t count);

// The digest of the frame store as it stands.
std::string FrameDigest();
