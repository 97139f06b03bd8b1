// The image's fingerprint: SHA-256 over the frame's 788,225 colours, each a
// little-endian 32-bit COLORREF, in frame-store order (column by column,
// each column top to bottom). The golden value is kept in
// golden-image.sha256, and generated into GoldenDigest.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Lower-case hex digest of the given colours in that layout.
std::string ColoursDigest(const uint32_t* colours, size_t count);

// The same for a frame store's colours, held as floats (as mmo holds them).
std::string StoreDigest(const float* store, size_t count);

// A surface's pixel, 0x??RRGGBB, as a COLORREF (0x00BBGGRR).
inline uint32_t ColourOfPixel(uint32_t p) {
  return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
}

// The same for a surface of width x height pixels, 0x??RRGGBB in rows from
// the top (a memory context's, a PNG's as read; the top byte is not
// colour), taken column by column.
std::string RowsDigest(const uint32_t* rows, int width, int height);
