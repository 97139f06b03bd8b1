#include "files/FifoWait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// How long a FIFO's other end may stay away before the wait is said.
constexpr int kQuietMilliseconds = 2000;
// How often a writer looks again for a reader (no event tells of one).
constexpr int kRetryMilliseconds = 50;

}  // namespace

bool AwaitWriter(int fd, const std::function<void()>& waiting, std::string& error) {
  pollfd entry = {fd, POLLIN, 0};
  for (int timeout = kQuietMilliseconds;; timeout = -1) {
    const int ready = poll(&entry, 1, timeout);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) {
      error = std::strerror(errno);
      return false;
    }
    if (ready == 0 && waiting) waiting();
  }
}

int OpenForReader(const std::string& path, const std::function<void()>& waiting,
                  std::string& error) {
  // Without O_NONBLOCK the open waits for a reader, unseen; with it the
  // open fails with ENXIO until one has the FIFO open.
  for (int waited = 0;; waited += kRetryMilliseconds) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
      const int flags = fcntl(fd, F_GETFL);
      if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return fd;
      error = std::strerror(errno);
      close(fd);
      return -1;
    }
    if (errno != ENXIO) {
      error = std::strerror(errno);
      return -1;
    }
    if (waited == kQuietMilliseconds && waiting) waiting();
    poll(nullptr, 0, kRetryMilliseconds);
  }
}
