// --check's reading of a PNG, on any bytes: no crash, no undefined
// behaviour, and memory bounded by the wanted image whatever the file says
// (the run's -rss_limit_mb and -malloc_limit_mb hold that).
#include <cstdint>
#include <cstdio>
#include <string>

#include "png/PngCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Through a stream, as --check reads a file or a pipe.
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  PngImage image;
  std::string error;
  const bool read = ReadPng(file, 1025, 769, image, error);
  std::fclose(file);
  // What the reader promises: pixels only at the wanted size, a reason for
  // every failure.
  if (read && !image.pixels.empty() && image.pixels.size() != (size_t)1025 * 769) __builtin_trap();
  if (!read && error.empty()) __builtin_trap();
  return 0;
}
