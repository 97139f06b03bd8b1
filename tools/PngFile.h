// Writing an image to a PNG file without ever leaving a partial file.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height pixels, given as 0x00RRGGBB values row by row from
// the top, as an 8-bit RGB PNG at path. The file appears whole or not at all:
// it is written beside path under a temporary name, then renamed. On failure
// returns false and says why in error.
bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  std::string& error);

// Whether a file can be written at path, found by creating and removing a
// temporary file beside it; false with the reason in error.
bool CheckWritable(const std::string& path, std::string& error);
