// Writing PNG files: content, and nothing half-written on failure.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/PngFile.h"

namespace {

namespace fs = std::filesystem;

fs::path TemporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "orbelune-png-XXXXXX").string();
  return mkdtemp(pattern.data());
}

TEST(PngFile, WritesRgbThatReadsBack) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  const uint32_t pixels[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0, 0x00FFFFFF};
  std::string error;
  ASSERT_TRUE(WritePngFile(path, pixels, 3, 2, error)) << error;

  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  EXPECT_EQ(image.format, (png_uint_32)PNG_FORMAT_RGB);
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rgb[i * 3 + 0], (pixels[i] >> 16) & 0xFF);
    EXPECT_EQ(rgb[i * 3 + 1], (pixels[i] >> 8) & 0xFF);
    EXPECT_EQ(rgb[i * 3 + 2], pixels[i] & 0xFF);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

TEST(PngFile, ReplacesAnExistingFileWhole) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::ofstream(path) << "old contents";
  const uint32_t pixel = 0x00808080;
  std::string error;
  ASSERT_TRUE(WritePngFile(path, &pixel, 1, 1, error)) << error;
  std::ifstream in(path, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  EXPECT_EQ(png_sig_cmp(reinterpret_cast<png_const_bytep>(signature), 0, 8), 0);
  fs::remove_all(dir);
}

TEST(PngFile, UnwritablePlacesFailAndLeaveNothing) {
  const fs::path dir = TemporaryDirectory();
  const uint32_t pixel = 0;
  std::string error;
  const std::string missing = (dir / "no-such-dir" / "out.png").string();
  EXPECT_FALSE(CheckWritable(missing, error));
  EXPECT_FALSE(WritePngFile(missing, &pixel, 1, 1, error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(CheckWritable(dir.string(), error));
  EXPECT_EQ(error, "it is a directory");
  EXPECT_FALSE(WritePngFile(dir.string(), &pixel, 1, 1, error));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);
  EXPECT_TRUE(CheckWritable((dir / "fine.png").string(), error));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);
  fs::remove_all(dir);
}

}  // namespace
