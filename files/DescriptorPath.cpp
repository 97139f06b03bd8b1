#include "files/DescriptorPath.h"
#include "files/PathParts.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether folder is this process's descriptor table in /proc: /proc/PID/fd,
// or /proc/PID/task/TID/fd (what /proc/thread-self/fd leads to).
bool IsOwnDescriptorFolder(const std::string& folder) {
  char* real = realpath(folder.c_str(), nullptr);
  if (real == nullptr) return false;
  const std::string path = real;
  std::free(real);
  const std::string own = "/proc/" + std::to_string(getpid());
  if (path == own + "/fd") return true;
  const std::string task = own + "/task/";
  if (path.rfind(task, 0) != 0 || path.size() < task.size() + 4) return false;
  const std::string rest = path.substr(task.size());
  return rest.size() > 3 && rest.compare(rest.size() - 3, 3, "/fd") == 0 &&
         AllDigits(rest.substr(0, rest.size() - 3));
}

}  // namespace

bool DescriptorNamed(const std::string& path, int& fd) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    if (AllDigits(Base(at)) && IsOwnDescriptorFolder(Directory(at))) {
      fd = std::atoi(Base(at).c_str());
      return true;
    }
    struct stat status;
    if (lstat(at.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return false;
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink(at.c_str(), buffer.data(), PATH_MAX);
    if (length <= 0) return false;
    const std::string link(buffer.data(), (size_t)length);
    at = link[0] == '/' ? link : Directory(at) + "/" + link;
  }
  return false;
}
