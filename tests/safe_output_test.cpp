// PNG files: content and text read back; nothing half-written, clobbered or
// left behind, whatever stands at the path or goes wrong; and reading that
// stays within bounds whatever the file says, from any stream.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <thread>
#include <vector>

#include "tools/InputFile.h"
#include "tools/PngCodec.h"
#include "tools/SafeOutput.h"

namespace {

namespace fs = std::filesystem;

fs::path TemporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "orbelune-png-XXXXXX").string();
  return mkdtemp(pattern.data());
}

size_t Entries(const fs::path& dir) {
  return (size_t)std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const uint32_t kPixels[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0, 0x00FFFFFF};
const PngText kText = {"orbelune-render 1.0", "a comment"};

bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  std::string& error) {
  return WriteSafely(
      path, [&](FILE* file, std::string& e) { return WritePng(file, pixels, width, height, kText, e); },
      error);
}

// The PNG's bytes, as written to a stream.
std::string PngBytes(const uint32_t* pixels, int width, int height) {
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

bool ReadPngBytes(const std::string& bytes, uint32_t width, uint32_t height, PngImage& image,
                  std::string& error) {
  FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  const bool ok = ReadPng(file, width, height, image, error);
  std::fclose(file);
  return ok;
}

bool ReadPngFile(const std::string& path, uint32_t width, uint32_t height, PngImage& image,
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

bool IsPng(const std::string& path) { return Contents(path).compare(0, 8, "\x89PNG\r\n\x1a\n") == 0; }

// A chunk as it stands in a file: length, type, data, CRC.
std::string Chunk(const char* type, const std::string& data) {
  std::string chunk;
  const uint32_t length = (uint32_t)data.size();
  for (int shift = 24; shift >= 0; shift -= 8) chunk += (char)(length >> shift);
  chunk += std::string(type, 4) + data;
  const uint32_t crc = (uint32_t)crc32(crc32(0, (const Bytef*)type, 4), (const Bytef*)data.data(),
                                      (uInt)data.size());
  for (int shift = 24; shift >= 0; shift -= 8) chunk += (char)(crc >> shift);
  return chunk;
}

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

// An existing file is replaced whole and keeps its permission bits; a
// symbolic link is followed, its target replaced and the link kept.
TEST(PngFile, ReplacesFilesWholeKeepingModesAndLinks) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::ofstream(path) << "old contents";
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  std::string error;
  ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, error)) << error;
  EXPECT_TRUE(IsPng(path));
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);

  fs::create_directory(dir / "elsewhere");
  const fs::path target = dir / "elsewhere" / "target.png";
  std::ofstream(target) << "old";
  fs::create_symlink("elsewhere/target.png", dir / "link.png");
  ASSERT_TRUE(WritePngFile((dir / "link.png").string(), kPixels, 3, 2, error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_TRUE(IsPng(target.string()));
  EXPECT_EQ(Entries(dir / "elsewhere"), 1u);  // the temporary file went beside the target

  // A dangling link: the file it names is created.
  fs::create_symlink("elsewhere/new.png", dir / "dangling.png");
  ASSERT_TRUE(WritePngFile((dir / "dangling.png").string(), kPixels, 3, 2, error));
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
  std::thread reader([&] { read = Contents(fifo); });
  std::string error;
  const bool ok = WritePngFile(fifo, kPixels, 3, 2, error);
  reader.join();
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(read.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Entries(dir), 1u);
  fs::remove_all(dir);
}

// /dev/fd/N, /proc/self/fd/N, /dev/stdout: this process's own descriptor,
// written where it stands. A log opened for appending keeps what it had
// (its path is what the link shows: replacing that file lost the log); a
// pipe gets the bytes (its link shows "pipe:[N]", which names no file).
TEST(PngFile, DescriptorPathsAreWrittenInPlace) {
  const fs::path dir = TemporaryDirectory();
  const fs::path log = dir / "log.txt";
  std::ofstream(log) << "earlier lines\n";
  const int fd = open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  const std::string png = PngBytes(kPixels, 3, 2);
  std::string error;
  for (const std::string& path :
       {"/dev/fd/" + std::to_string(fd), "/proc/self/fd/" + std::to_string(fd)}) {
    EXPECT_EQ(OutputDescriptor(path), fd) << path;
    EXPECT_TRUE(CheckWritable(path, error)) << path << ": " << error;
    ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, error)) << path << ": " << error;
  }
  EXPECT_EQ(Contents(log), "earlier lines\n" + png + png);
  EXPECT_EQ(Entries(dir), 1u);
  EXPECT_NE(fcntl(fd, F_GETFD), -1);  // still open: written through a copy
  close(fd);

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_TRUE(WritePngFile("/dev/fd/" + std::to_string(ends[1]), kPixels, 3, 2, error)) << error;
  close(ends[1]);
  std::string piped(png.size() + 1, '\0');
  EXPECT_EQ(read(ends[0], piped.data(), piped.size()), (ssize_t)png.size());
  EXPECT_EQ(piped.substr(0, png.size()), png);
  close(ends[0]);

  EXPECT_EQ(OutputDescriptor("-"), 1);
  EXPECT_EQ(OutputDescriptor("/dev/stdout"), 1);
  EXPECT_EQ(OutputDescriptor("/dev/stderr"), 2);
  fs::create_symlink("/dev/stdout", dir / "out.png");
  EXPECT_EQ(OutputDescriptor((dir / "out.png").string()), 1);
  EXPECT_EQ(OutputDescriptor((dir / "log.txt").string()), -1);
  EXPECT_EQ(OutputDescriptor("/proc/1/fd/1"), -1);  // another process's
  // A descriptor that is not open, or open for reading only.
  EXPECT_FALSE(CheckWritable("/dev/fd/999", error));
  EXPECT_EQ(OutputDescriptor("/dev/fd/0"), 0);
  const int input = open(log.c_str(), O_RDONLY);
  EXPECT_FALSE(WritePngFile("/dev/fd/" + std::to_string(input), kPixels, 3, 2, error));
  EXPECT_EQ(error, "it is open for reading only");
  close(input);
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
  EXPECT_FALSE(WritePngFile(full, kPixels, 3, 2, error));
  EXPECT_EQ(error, "No space left on device");
  EXPECT_TRUE(fs::is_character_file(full));
  fs::remove_all(dir);
}

// A file-size limit (ulimit -f) is a write error like a full disk: said,
// the temporary file removed, the old file kept; SIGXFSZ, which would end
// the process with the temporary file left, is kept off meanwhile.
TEST(PngFile, AFileSizeLimitIsAWriteErrorAndKeepsTheOldFile) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::ofstream(path) << "old contents";
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    const bool ok = WriteSafely(
        path,
        [](FILE* file, std::string& error) {
          const std::string block(1000, 'x');
          for (int i = 0; i < 10; ++i) {
            if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) {
              error = std::strerror(errno);
              return false;
            }
          }
          return true;
        },
        error);
    if (write(ends[1], error.data(), error.size()) < 0) _exit(3);
    _exit(ok ? 0 : 1);
  }
  close(ends[1]);
  char said[200] = {};
  const ssize_t length = read(ends[0], said, sizeof said - 1);
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(std::string(said, length > 0 ? (size_t)length : 0), "File too large");
  EXPECT_EQ(Contents(path), "old contents");
  EXPECT_EQ(Entries(dir), 1u);
  // And the process's own disposition of SIGXFSZ is given back.
  struct sigaction now;
  sigaction(SIGXFSZ, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  fs::remove_all(dir);
}

void Handler(int) {}

// An exception between the temporary file's creation and its rename (out
// of memory while encoding): the file is removed and the signal handlers
// are the caller's again.
TEST(PngFile, AnExceptionWhileWritingLeavesNothingAndRestoresTheHandlers) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::ofstream(path) << "old contents";
  struct sigaction mine = {}, before, after;
  mine.sa_handler = Handler;
  sigemptyset(&mine.sa_mask);
  sigaction(SIGTERM, &mine, &before);
  std::string error;
  bool sawTemporary = false;
  EXPECT_THROW(WriteSafely(
                   path,
                   [&](FILE* file, std::string&) -> bool {
                     std::fputs("partial", file);
                     sawTemporary = Entries(dir) == 2;
                     throw std::bad_alloc();
                   },
                   error),
               std::bad_alloc);
  sigaction(SIGTERM, &before, &after);
  EXPECT_TRUE(sawTemporary);
  EXPECT_EQ(after.sa_handler, Handler);
  EXPECT_EQ(Contents(path), "old contents");
  EXPECT_EQ(Entries(dir), 1u);
  fs::remove_all(dir);
}

// A signal the caller ignores (nohup, trap '' INT) stays ignored while the
// temporary file exists: the write goes on and the file is written.
TEST(PngFile, AnIgnoredSignalDuringTheWriteStaysIgnored) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "out.png").string();
  std::ofstream(path) << "old contents";
  struct sigaction ignore = {}, before[2];
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGHUP, &ignore, &before[0]);
  sigaction(SIGINT, &ignore, &before[1]);
  std::string error;
  const bool ok = WriteSafely(
      path,
      [](FILE* file, std::string& e) {
        raise(SIGHUP);
        raise(SIGINT);
        return WritePng(file, kPixels, 3, 2, kText, e);
      },
      error);
  struct sigaction after[2];
  sigaction(SIGHUP, &before[0], &after[0]);
  sigaction(SIGINT, &before[1], &after[1]);
  EXPECT_TRUE(ok) << error;
  EXPECT_TRUE(IsPng(path));
  EXPECT_EQ(Entries(dir), 1u);
  EXPECT_EQ(after[0].sa_handler, SIG_IGN);
  EXPECT_EQ(after[1].sa_handler, SIG_IGN);
  fs::remove_all(dir);
}

// The longest legal name still gets a temporary name within the limit.
TEST(PngFile, TheLongestLegalNameCanBeWritten) {
  const fs::path dir = TemporaryDirectory();
  const long most = pathconf(dir.c_str(), _PC_NAME_MAX);
  const std::string path = (dir / (std::string((size_t)most - 4, 'n') + ".png")).string();
  std::string error;
  EXPECT_TRUE(CheckWritable(path, error)) << error;
  ASSERT_TRUE(WritePngFile(path, kPixels, 3, 2, error)) << error;
  EXPECT_TRUE(IsPng(path));
  EXPECT_EQ(Entries(dir), 1u);
  fs::remove_all(dir);
}

TEST(PngFile, UnwritablePlacesFailAndLeaveNothing) {
  const fs::path dir = TemporaryDirectory();
  std::string error;
  const std::string missing = (dir / "no-such-dir" / "out.png").string();
  EXPECT_FALSE(CheckWritable(missing, error));
  EXPECT_FALSE(WritePngFile(missing, kPixels, 1, 1, error));
  EXPECT_EQ(error, "No such file or directory");
  error.clear();
  EXPECT_FALSE(CheckWritable(dir.string(), error));
  EXPECT_EQ(error, "it is a directory");
  EXPECT_FALSE(WritePngFile(dir.string(), kPixels, 1, 1, error));
  EXPECT_EQ(Entries(dir), 0u);
  EXPECT_TRUE(CheckWritable((dir / "fine.png").string(), error));
  EXPECT_EQ(Entries(dir), 0u);
  fs::create_symlink("loop.png", dir / "loop.png");
  EXPECT_FALSE(WritePngFile((dir / "loop.png").string(), kPixels, 1, 1, error));
  EXPECT_EQ(error, "Too many levels of symbolic links");
  fs::remove_all(dir);
}

// A read-only file in a directory the writer may write is not replaced:
// renaming over it would need only the directory's permission. Run as
// nobody where the test runs as root, whom no permission stops.
TEST(PngFile, AFileTheWriterMayNotWriteIsKept) {
  const fs::path dir = TemporaryDirectory();
  const std::string path = (dir / "kept.png").string();
  std::ofstream(path) << "old contents";
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    std::string error;
    if (CheckWritable(path, error) || error != "Permission denied") _exit(4);
    error.clear();
    if (WritePngFile(path, kPixels, 1, 1, error) || error != "Permission denied") _exit(5);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not become nobody, 4: the check passed, "
                                       "5: the write replaced the file";
  std::ifstream file(path);
  const std::string contents((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(contents, "old contents");
  EXPECT_EQ(Entries(dir), 1u);
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

// Opening a FIFO with no writer returns at once; the wait for its data is
// said once, and a writer that comes later is read. A directory is said to
// be one.
TEST(InputFile, AFifoIsWaitedForSaidAndReadAndADirectoryRefused) {
  const fs::path dir = TemporaryDirectory();
  const std::string fifo = (dir / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<int> waits{0};
  std::string error;
  FILE* file = nullptr;
  std::thread reader([&] { file = OpenInput(fifo, [&] { ++waits; }, error); });
  for (int i = 0; i < 600 && waits.load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(waits.load(), 1) << "the wait was never said: did the open itself wait?";
  // The writer (which also lets a reader waiting in open() go).
  std::ofstream(fifo, std::ios::binary) << "some bytes";
  reader.join();
  ASSERT_NE(file, nullptr) << error;
  char got[32] = {};
  EXPECT_EQ(std::fread(got, 1, sizeof got, file), 10u);
  EXPECT_STREQ(got, "some bytes");
  std::fclose(file);
  EXPECT_EQ(waits.load(), 1);

  EXPECT_EQ(OpenInput(dir.string(), nullptr, error), nullptr);
  EXPECT_EQ(error, "it is a directory");
  EXPECT_EQ(OpenInput((dir / "none").string(), nullptr, error), nullptr);
  EXPECT_EQ(error, "No such file or directory");
  fs::remove_all(dir);
}

}  // namespace
