// Inputs read as streams: a FIFO waited for, a directory refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "files/InputFile.h"
#include "tests/TestFiles.h"

namespace {

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
