// The image's fingerprint: SHA-256 over the frame's 788,225 colours, each a
// little-endian 32-bit COLORREF, in frame-store order (column by column,
// each column top to bottom). The golden value is in GoldenDigest.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Lower-case hex digest of the given colours in that layout.
std::string ColoursDigest(const uint32_t* colours, size_t count);

// The same for a frame store's colours, held as floats (as mmo holds them).
std::string StoreDigest(const float* store, size_t count);
