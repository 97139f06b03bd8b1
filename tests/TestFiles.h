// Temporary folders and small PNG files, written and read back: what the
// tests of the PNG codec, of safe output and of input files share.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/SafeOutput.h"
#include "png/PngCodec.h"


namespace fs = std::filesystem;

inline fs::path TemporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "orbelune-png-XXXXXX").string();
  return mkdtemp(pattern.data());
}

inline size_t Entries(const fs::path& dir) {
  return (size_t)std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

inline std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline const uint32_t kPixels[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0, 0x00FFFFFF};
inline const PngText kText = {"orbelune-render 1.0", "a comment"};

inline bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  std::string& error) {
  return WriteSafely(
      path, [&](FILE* file, std::string& e) { return WritePng(file, pixels, width, height, kText, e); },
      error);
}

// The PNG's bytes, as written to a stream.
inline std::string PngBytes(const uint32_t* pixels, int width, int height) {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);
  std::string error;
  EXPECT_TRUE(WritePng(file, pixels, width, height, kText, error)) << error;
  std::fclose(file);
  std::string bytes(data, size);
  std::free(data);
  return bytes;
}

inline bool ReadPngBytes(const std::string& bytes, uint32_t width, uint32_t height, PngImage& image,
                  std::string& error) {
  FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  const bool ok = ReadPng(file, width, height, image, error);
  std::fclose(file);
  return ok;
}

inline bool ReadPngFile(const std::string& path, uint32_t width, uint32_t height, PngImage& image,
                 std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  const bool ok = ReadPng(file, width, height, image, error);
  std::fclose(file);
  return ok;
}

inline bool IsPng(const std::string& path) { return Contents(path).compare(0, 8, "\x89PNG\r\n\x1a\n") == 0; }

// A chunk as it stands in a file: length, type, data, CRC.
inline std::string Chunk(const char* type, const std::string& data) {
  std::string chunk;
  const uint32_t length = (uint32_t)data.size();
  for (int shift = 24; shift >= 0; shift -= 8) chunk += (char)(length >> shift);
  chunk += std::string(type, 4) + data;
  const uint32_t crc = (uint32_t)crc32(crc32(0, (const Bytef*)type, 4), (const Bytef*)data.data(),
                                      (uInt)data.size());
  for (int shift = 24; shift >= 0; shift -= 8) chunk += (char)(crc >> shift);
  return chunk;
}

