// The question is Xlib's own XOpenDisplay, as SDL puts it (the same name,
// the same authorisation), put in a child process: one that has not ended
// within the time limit is killed, where a thread stuck in Xlib could not
// be. The child calls nothing but Xlib, which none of our other threads
// use, as SDL's own message box does in its child.
#include "platform/sdl/X11Answer.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

static bool asked = false;
static bool displaySilent = false;

// Whether the child ends within the time limit: its end closes the pipe's
// one writing end, which the child holds.
static bool EndsInTime(int readEnd) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(kX11AnswerSeconds);
  pollfd end = {readEnd, POLLIN, 0};
  for (;;) {
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    const int ready = poll(&end, 1, left > 0 ? (int)left : 0);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // no way to tell: let SDL ask
  }
}

static bool AskDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || name[0] == '\0') return false;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    // Ended with the parent, even by Ctrl+C, rather than left waiting.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(1);
    // _exit closes the connection; nothing of the parent's is flushed.
    _exit(XOpenDisplay(nullptr) != nullptr ? 0 : 1);
  }
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    return false;
  }
  const bool silent = !EndsInTime(ends[0]);
  close(ends[0]);
  if (silent) kill(child, SIGKILL);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return silent;
}

bool X11DisplaySilent() {
  if (!asked) {
    asked = true;
    displaySilent = AskDisplay();
  }
  return displaySilent;
}
