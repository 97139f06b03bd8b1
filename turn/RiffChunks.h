// The top-level chunks of a RIFF file in memory (a WebP's), walked by
// their sizes from byte 12 on, as far as whole chunk headers go: what the
// writer counts its frames with, and the reader counts chunks with before
// the demuxer sees them.
#pragma once

#include <cstddef>
#include <cstdint>

inline uint32_t LittleEndian32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// Calls visit(chunk) with each chunk's first byte (its four-letter name,
// then its size) until visit returns false. 64-bit offsets: a size near
// 4 GB must not wrap a 32-bit build's.
template <typename Visit>
void ForEachChunk(const uint8_t* bytes, size_t size, Visit visit) {
  for (uint64_t at = 12; at + 8 <= size;) {
    const uint8_t* chunk = bytes + at;
    if (!visit(chunk)) return;
    const uint64_t length = LittleEndian32(chunk + 4);
    at += 8 + length + (length & 1);
  }
}
