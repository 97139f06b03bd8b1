// PNG files: writing an image without ever leaving a partial file or
// clobbering what should not be, and reading one back.
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
bool WritePngStream(FILE* file, const uint32_t* pixels, int width, int height, const PngText& text,
                    std::string& error);

// Writes the PNG to path.
// - A regular file, or a new one, appears whole or not at all: it is
//   written under a temporary name beside it, then renamed. An existing
//   file keeps its permission bits (and its owner, where the process may
//   set it); the old file is kept if anything fails.
// - A symbolic link is followed: the file it leads to is replaced and the
//   link stays.
// - Any other kind of file (a device, a FIFO) is written in place.
// SIGINT, SIGTERM and SIGHUP during the write remove the temporary file,
// then end the process as they would have.
bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  const PngText& text, std::string& error);

// Whether WritePngFile could write at path, found without changing
// anything there; false with the reason in error.
bool CheckWritable(const std::string& path, std::string& error);

// Reads a PNG of any colour type as 0x00RRGGBB pixels, row by row from the
// top (alpha dropped, 16-bit channels rounded to 8). False with the reason
// in error, "not a PNG file" among them.
bool ReadPngFile(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height,
                 std::string& error);
