// PNG files: content and text read back; nothing half-written, clobbered or
// left behind, whatever stands at the path.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tools/PngFile.h"

namespace {

namespace fs = std::filesystem;

fs::path TemporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "orbelune-png-XXXXXX").string();
  return mkdtemp(pattern.data());
}

size_t Entries(const fs::path& dir) {
  return (size_t)std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

const uint32_t kPixels[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0, 0x00FFFFFF};
const PngText kText = {"orbelune-render 1.0", "a comment"};

bool IsPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  return png_sig_cmp(reinterpret_cast<png_const_bytep>(signature), 0, 8) == 0;
}

TEST(PngFile, WritesRgbWithTextAndSrgbThatReadsBack) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::string error;
  ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, kText, error)) << error;
  EXPECT_EQ(Entries(dir), 1u);

  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  ASSERT_TRUE(ReadPngFile(path, pixels, width, height, error)) << error;
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(pixels, std::vector<uint32_t>(kPixels, kPixels + 6));

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

// An existing file is replaced whole and keeps its permission bits; a
// symbolic link is followed, its target replaced and the link kept.
TEST(PngFile, ReplacesFilesWholeKeepingModesAndLinks) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::ofstream(path) << "old contents";
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  std::string error;
  ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, kText, error)) << error;
  EXPECT_TRUE(IsPng(path));
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);

  fs::create_directory(dir / "elsewhere");
  const fs::path target = dir / "elsewhere" / "target.png";
  std::ofstream(target) << "old";
  fs::create_symlink("elsewhere/target.png", dir / "link.png");
  ASSERT_TRUE(WritePngFile((dir / "link.png").string(), kPixels, 3, 2, kText, error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_TRUE(IsPng(target.string()));
  EXPECT_EQ(Entries(dir / "elsewhere"), 1u);  // the temporary file went beside the target

  // A dangling link: the file it names is created.
  fs::create_symlink("elsewhere/new.png", dir / "dangling.png");
  ASSERT_TRUE(WritePngFile((dir / "dangling.png").string(), kPixels, 3, 2, kText, error));
  EXPECT_TRUE(IsPng((dir / "elsewhere" / "new.png").string()));
  fs::remove_all(dir);
}

// A FIFO is written in place, for a reader at the other end; nothing
// replaces it.
TEST(PngFile, WritesIntoAFifoInPlace) {
  const fs::path dir = TemporaryDirectory();
  const std::string fifo = (dir / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string read;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    read.assign(std::istreambuf_iterator<char>(in), {});
  });
  std::string error;
  const bool ok = WritePngFile(fifo, kPixels, 3, 2, kText, error);
  reader.join();
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(read.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Entries(dir), 1u);
  fs::remove_all(dir);
}

// A device that takes no data (a node of our own, so that a fault here
// could never replace the system's /dev/full): the system's words, a
// failure, and the device still there.
TEST(PngFile, AWriteErrorIsSaidInPlainWords) {
  const fs::path dir = TemporaryDirectory();
  const std::string full = (dir / "full").string();
  if (mknod(full.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0) {
    fs::remove_all(dir);
    GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
  }
  std::string error;
  EXPECT_FALSE(WritePngFile(full, kPixels, 3, 2, kText, error));
  EXPECT_EQ(error, "No space left on device");
  EXPECT_TRUE(fs::is_character_file(full));
  fs::remove_all(dir);
}

// The longest legal name still gets a temporary name within the limit.
TEST(PngFile, TheLongestLegalNameCanBeWritten) {
  const fs::path dir = TemporaryDirectory();
  const long most = pathconf(dir.c_str(), _PC_NAME_MAX);
  const std::string path = (dir / (std::string((size_t)most - 4, 'n') + ".png")).string();
  std::string error;
  EXPECT_TRUE(CheckWritable(path, error)) << error;
  ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, kText, error)) << error;
  EXPECT_TRUE(IsPng(path));
  EXPECT_EQ(Entries(dir), 1u);
  fs::remove_all(dir);
}

TEST(PngFile, UnwritablePlacesFailAndLeaveNothing) {
  const fs::path dir = TemporaryDirectory();
  std::string error;
  const std::string missing = (dir / "no-such-dir" / "out.png").string();
  EXPECT_FALSE(CheckWritable(missing, error));
  EXPECT_FALSE(WritePngFile(missing, kPixels, 1, 1, kText, error));
  EXPECT_EQ(error, "No such file or directory");
  error.clear();
  EXPECT_FALSE(CheckWritable(dir.string(), error));
  EXPECT_EQ(error, "it is a directory");
  EXPECT_FALSE(WritePngFile(dir.string(), kPixels, 1, 1, kText, error));
  EXPECT_EQ(Entries(dir), 0u);
  EXPECT_TRUE(CheckWritable((dir / "fine.png").string(), error));
  EXPECT_EQ(Entries(dir), 0u);
  fs::create_symlink("loop.png", dir / "loop.png");
  EXPECT_FALSE(WritePngFile((dir / "loop.png").string(), kPixels, 1, 1, kText, error));
  EXPECT_EQ(error, "Too many levels of symbolic links");
  fs::remove_all(dir);
}

TEST(PngFile, ReadingRefusesWhatIsNoPng) {
  const fs::path dir = TemporaryDirectory();
  std::ofstream(dir / "text.png") << "this is not a PNG file at all";
  std::vector<uint32_t> pixels;
  int width, height;
  std::string error;
  EXPECT_FALSE(ReadPngFile((dir / "text.png").string(), pixels, width, height, error));
  EXPECT_EQ(error, "not a PNG file");
  // A true signature and nothing after it.
  std::ofstream(dir / "cut.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
  EXPECT_FALSE(ReadPngFile((dir / "cut.png").string(), pixels, width, height, error));
  EXPECT_EQ(error.rfind("a damaged PNG file", 0), 0u) << error;
  EXPECT_FALSE(ReadPngFile((dir / "none.png").string(), pixels, width, height, error));
  EXPECT_EQ(error, "No such file or directory");
  fs::remove_all(dir);
}

}  // namespace
