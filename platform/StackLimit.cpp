#include "platform/StackLimit.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

bool EnsureRenderStack(std::string& error) {
  rlimit limit;
  if (getrlimit(RLIMIT_STACK, &limit) != 0) return true;  // nothing known: go on
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= (rlim_t)kRenderStackBytes) return true;
  // The main thread's stack grows on demand up to the limit in force when
  // it grows, so raising the limit now gives the pass its room.
  if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= (rlim_t)kRenderStackBytes) {
    limit.rlim_cur = (rlim_t)kRenderStackBytes;
    if (setrlimit(RLIMIT_STACK, &limit) == 0) return true;
    error = std::strerror(errno);
    return false;
  }
  error = "the stack limit is " + std::to_string(limit.rlim_max / 1024) +
          " KB and the render pass needs " + std::to_string(kRenderStackBytes / 1024) +
          " KB (raise it with ulimit -s)";
  return false;
}
