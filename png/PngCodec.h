// PNG encoding and decoding on streams: what orbelune-render writes, and
// what --check reads from any file, pipe or hostile input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Text chunks stored beside the pixels (empty ones are left out).
struct PngText {
  std::string software;
  std::string comment;
};

// Encodes width x height pixels, given as 0x00RRGGBB values row by row from
// the top, as an 8-bit RGB PNG marked sRGB, onto an open stream. On failure
// returns false and says why in error, in plain words.
bool WritePng(FILE* file, const uint32_t* pixels, int width, int height, const PngText& text,
              std::string& error);

struct PngImage {
  uint32_t width = 0, height = 0;  // as the file's header says
  std::vector<uint32_t> pixels;    // 0xAARRGGBB, row by row from the top
};

// Reads a PNG of any colour type from the stream, reading on only (a pipe
// will do), into 8-bit pixels with alpha (opaque where the file has none;
// 16-bit channels rounded to 8). A PNG of any size but width x height is
// read no further than its header, once that chunk's CRC holds: image gets
// its size and no pixels.
// Text and other ancillary chunks are skipped unread, so the memory used
// stays within a few times the wanted image, whatever the file holds.
// False with the reason in error: "not a PNG file", "a damaged PNG file:
// ...", or the system's words for a read error.
bool ReadPng(FILE* file, uint32_t width, uint32_t height, PngImage& image, std::string& error);
