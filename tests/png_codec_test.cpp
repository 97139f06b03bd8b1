// PNG files: content and text read back; and reading that stays within
// bounds whatever the file says, from any stream.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "png/PngCodec.h"
#include "tests/TestFiles.h"

namespace {

TEST(PngFile, WritesRgbWithTextAndSrgbThatReadsBack) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::string error;
  ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, error)) << error;
  EXPECT_EQ(Entries(dir), 1u);

  PngImage image;
  ASSERT_TRUE(ReadPngFile(path, 3, 2, image, error)) << error;
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  std::vector<uint32_t> opaque;
  for (uint32_t p : kPixels) opaque.push_back(0xFF000000 | p);
  EXPECT_EQ(image.pixels, opaque);

  // The chunks, as libpng reads them.
  FILE* file = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_read_info(png, info);
  png_textp text = nullptr;
  ASSERT_EQ(png_get_text(png, info, &text, nullptr), 2);
  EXPECT_STREQ(text[0].key, "Software");
  EXPECT_STREQ(text[0].text, "orbelune-render 1.0");
  EXPECT_STREQ(text[1].key, "Comment");
  EXPECT_STREQ(text[1].text, "a comment");
  int intent = -1;
  EXPECT_EQ(png_get_sRGB(png, info, &intent), PNG_INFO_sRGB);
  EXPECT_EQ(png_get_color_type(png, info), PNG_COLOR_TYPE_RGB);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  fs::remove_all(dir);
}

TEST(PngRead, RefusesWhatIsNoPng) {
  PngImage image;
  std::string error;
  EXPECT_FALSE(ReadPngBytes("this is not a PNG file at all", 3, 2, image, error));
  EXPECT_EQ(error, "not a PNG file");
  EXPECT_FALSE(ReadPngBytes("", 3, 2, image, error));
  EXPECT_EQ(error, "not a PNG file");
  // A true signature and nothing after it; a file cut short anywhere.
  const std::string png = PngBytes(kPixels, 3, 2);
  for (size_t length : {(size_t)8, (size_t)20, (size_t)33, png.size() / 2, png.size() - 1}) {
    EXPECT_FALSE(ReadPngBytes(png.substr(0, length), 3, 2, image, error)) << length;
    EXPECT_EQ(error.rfind("a damaged PNG file", 0), 0u) << length << ": " << error;
  }
  // One bit changed in the pixels' data.
  std::string flipped = png;
  flipped[flipped.find("IDAT") + 6] ^= 0x10;
  EXPECT_FALSE(ReadPngBytes(flipped, 3, 2, image, error));
  EXPECT_EQ(error.rfind("a damaged PNG file", 0), 0u) << error;
  std::string none;
  EXPECT_FALSE(ReadPngFile("/nonexistent/none.png", 3, 2, image, error));
  EXPECT_EQ(error, "No such file or directory");
}

// A PNG of another size is read no further than its header, however large
// it says it is: a 2 KB file claiming 1,000,000 x 1,431 pixels once had a
// 4 GB buffer allocated for it.
TEST(PngRead, AnotherSizeIsKnownFromTheHeaderAlone) {
  const std::string png = PngBytes(kPixels, 3, 2);
  PngImage image;
  std::string error;
  ASSERT_TRUE(ReadPngBytes(png, 1025, 769, image, error)) << error;
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  EXPECT_TRUE(image.pixels.empty());
  // The header of a huge image and nothing after it.
  std::string header = png.substr(0, 33);
  header.replace(8, 25, Chunk("IHDR", std::string("\x00\x0f\x42\x40\x00\x00\x05\x97\x08\x02\x00\x00\x00", 13)));
  ASSERT_TRUE(ReadPngBytes(header, 1025, 769, image, error)) << error;
  EXPECT_EQ(image.width, 1000000u);
  EXPECT_EQ(image.height, 1431u);
  EXPECT_TRUE(image.pixels.empty());
  // But a header is believed only whole: a width changed without its CRC,
  // or a size no image has, is damage, not another size.
  std::string changed = png;
  changed[18] = 4;  // 3 pixels wide becomes 1027
  EXPECT_FALSE(ReadPngBytes(changed, 1025, 769, image, error));
  EXPECT_EQ(error, "a damaged PNG file: IHDR: CRC error");
  header.replace(8, 25, Chunk("IHDR", std::string("\x00\x00\x00\x00\x00\x00\x03\x01\x08\x02\x00\x00\x00", 13)));
  EXPECT_FALSE(ReadPngBytes(header, 1025, 769, image, error));
  EXPECT_EQ(error, "a damaged PNG file: IHDR: no image is 0 x 769 pixels");
}

// Text chunks cost nothing however many and however large: 1,100 zTXt
// chunks of 7 MB each, compressed, once took 7.7 GB to read. Read here
// in a process of its own, whose peak size must not grow by more than
// 128 MB, and which may never pass 2 GB however wrong the reading goes
// (AddressSanitizer reserves more than that, and keeps freed memory: there
// only the result is held).
TEST(PngRead, TextChunksAreSkippedWithinBoundedMemory) {
  std::vector<uint32_t> pixels(64 * 48, 0x00204060);
  const std::string png = PngBytes(pixels.data(), 64, 48);
  const std::string text(7000000, 'a');
  std::vector<Bytef> packed(compressBound(text.size()));
  uLongf packedSize = packed.size();
  ASSERT_EQ(compress2(packed.data(), &packedSize, (const Bytef*)text.data(), text.size(), 9), Z_OK);
  const std::string chunk =
      Chunk("zTXt", std::string("Comment\0\0", 9) + std::string((const char*)packed.data(), packedSize));
  std::string bomb = png.substr(0, 33);
  for (int i = 0; i < 1100; ++i) bomb += chunk;
  bomb += png.substr(33);

  const pid_t child = fork();
  if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit limit = {2048ul << 20, 2048ul << 20};
    setrlimit(RLIMIT_AS, &limit);
#endif
    rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    PngImage image;
    std::string error;
    const bool ok = ReadPngBytes(bomb, 64, 48, image, error);
    getrusage(RUSAGE_SELF, &after);
    if (!ok || image.pixels != std::vector<uint32_t>(64 * 48, 0xFF204060)) _exit(1);
#if !defined(__SANITIZE_ADDRESS__)
    if (after.ru_maxrss - before.ru_maxrss > 128 * 1024) _exit(2);
#endif
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_NE(WEXITSTATUS(status), 1) << "not read right";
  EXPECT_NE(WEXITSTATUS(status), 2) << "its peak size grew by more than 128 MB";
}

// Every colour type comes out as 8-bit RGBA: a palette with a transparent
// entry, 16-bit grey with alpha; transparency is kept, for the caller to
// judge.
TEST(PngRead, EveryColourTypeGivesRgbaWithItsTransparency) {
  const auto write = [](int colourType, int depth, const std::vector<png_byte>& row,
                        const std::function<void(png_structp, png_infop)>& extra) {
    char* data = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&data, &size);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, 2, 1, depth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    extra(png, info);
    png_write_info(png, info);
    png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    std::string bytes(data, size);
    std::free(data);
    return bytes;
  };
  PngImage image;
  std::string error;
  const std::string palette =
      write(PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, [](png_structp png, png_infop info) {
        png_color colours[2] = {{0x11, 0x22, 0x33}, {0x44, 0x55, 0x66}};
        png_set_PLTE(png, info, colours, 2);
        png_byte alpha[1] = {0};
        png_set_tRNS(png, info, alpha, 1, nullptr);
      });
  ASSERT_TRUE(ReadPngBytes(palette, 2, 1, image, error)) << error;
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x00112233, 0xFF445566}));
  const std::string grey = write(PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00},
                                 [](png_structp, png_infop) {});
  ASSERT_TRUE(ReadPngBytes(grey, 2, 1, image, error)) << error;
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF808080, 0x00FFFFFF}));
}

// Read on only, never rewound: a pipe holding a true PNG is read whole.
TEST(PngRead, APipeIsReadAsAStream) {
  const std::string png = PngBytes(kPixels, 3, 2);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::thread writer([&] {
    EXPECT_EQ(write(ends[1], png.data(), png.size()), (ssize_t)png.size());
    close(ends[1]);
  });
  FILE* file = fdopen(ends[0], "rb");
  PngImage image;
  std::string error;
  EXPECT_TRUE(ReadPng(file, 3, 2, image, error)) << error;
  std::fclose(file);
  writer.join();
  EXPECT_EQ(image.pixels.size(), 6u);
}

}  // namespace
