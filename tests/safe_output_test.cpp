// Output that never clobbers: nothing half-written, clobbered or left
// behind, whatever stands at the path or goes wrong.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>

#include "files/SafeOutput.h"
#include "png/PngCodec.h"
#include "tests/TestFiles.h"

namespace {

// An existing file is replaced whole and keeps its permission bits; a
// symbolic link is followed, its target replaced and the link kept.
TEST(SafeOutput, ReplacesFilesWholeKeepingModesAndLinks) {
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
TEST(SafeOutput, WritesIntoAFifoInPlace) {
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
TEST(SafeOutput, DescriptorPathsAreWrittenInPlace) {
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
TEST(SafeOutput, AWriteErrorIsSaidInPlainWords) {
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
TEST(SafeOutput, AFileSizeLimitIsAWriteErrorAndKeepsTheOldFile) {
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
TEST(SafeOutput, AnExceptionWhileWritingLeavesNothingAndRestoresTheHandlers) {
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
TEST(SafeOutput, AnIgnoredSignalDuringTheWriteStaysIgnored) {
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
TEST(SafeOutput, TheLongestLegalNameCanBeWritten) {
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

TEST(SafeOutput, UnwritablePlacesFailAndLeaveNothing) {
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
TEST(SafeOutput, AFileTheWriterMayNotWriteIsKept) {
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

}  // namespace
