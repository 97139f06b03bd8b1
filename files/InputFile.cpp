#include "files/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/DescriptorPath.h"
#include "files/FifoWait.h"

namespace {

int Fail(int fd, std::string& error, const char* reason = nullptr) {
  error = reason != nullptr ? reason : std::strerror(errno);
  if (fd >= 0) close(fd);
  return -1;
}

// The descriptor to read path from, its own (closed with the stream);
// opened tells whether it was opened here, not inherited.
int OpenDescriptor(const std::string& path, bool& opened, std::string& error) {
  int named = -1;
  opened = false;
  if (path == "-") named = STDIN_FILENO;
  if (named >= 0 || DescriptorNamed(path, named)) {
    const int fd = fcntl(named, F_DUPFD_CLOEXEC, 3);
    return fd >= 0 ? fd : Fail(-1, error);
  }
  opened = true;
  // Without O_NONBLOCK, opening a FIFO waits for a writer, unseen and
  // for ever; with it, the open returns at once and the wait is for data.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Fail(-1, error);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Fail(fd, error);
  return fd;
}

}  // namespace

FILE* OpenInput(const std::string& path, const std::function<void()>& waiting,
                std::string& error) {
  bool opened = false;
  const int fd = OpenDescriptor(path, opened, error);
  if (fd < 0) return nullptr;
  struct stat status;
  if (fstat(fd, &status) != 0) return Fail(fd, error), nullptr;
  if (S_ISDIR(status.st_mode)) return Fail(fd, error, "it is a directory"), nullptr;
  // (A pipe handed down to us is read as it comes; only a FIFO opened
  // here can have no writer at all.)
  if (opened && S_ISFIFO(status.st_mode) && !AwaitWriter(fd, waiting, error))
    return close(fd), nullptr;
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) Fail(fd, error);
  return file;
}
