// SDL's video start-up and the report of its failure: MessageBoxA, which says
// why no display could be opened where that is what failed.
#include <SDL.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/User.h"
#include "platform/sdl/Video.h"
#include "platform/sdl/X11Answer.h"
#include "platform/sdl/X11Windows.h"

static bool videoReady = false;
// Why the video could not start, for the failure message.
static std::string videoFailure;

// SDL's drivers that show nothing to anyone (evdev is the dummy driver
// with keyboard input): with no display reachable SDL would fall back to
// them, and the program would run on unseen, forever.
static bool ShowsNothing(const char* driver) {
  return strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0 ||
         strcasecmp(driver, "evdev") == 0;
}

// An environment variable, "" where it is not set.
static std::string Environment(const char* name) {
  const char* value = SDL_getenv(name);
  return value != nullptr ? value : "";
}

// Why a driver cannot even be tried, or "": a Wayland display with no
// runtime folder to find it in (libwayland would print its own complaint
// on the terminal, whatever display the user meant), an X display that
// never answers (SDL would wait for it for ever).
static std::string Untried(const std::string& driver) {
  if (strcasecmp(driver.c_str(), "wayland") == 0 && Environment("WAYLAND_DISPLAY")[0] != '/' &&
      Environment("XDG_RUNTIME_DIR")[0] != '/')
    return "no Wayland display: XDG_RUNTIME_DIR is not set";
  if (strcasecmp(driver.c_str(), "x11") == 0 && X11DisplaySilent())
    return "the display " + Environment("DISPLAY") + " does not answer";
  return "";
}

// SDL's reason, with the display named where SDL names none.
static std::string Failed(const std::string& driver) {
  const std::string why = SDL_GetError();
  if (strcasecmp(driver.c_str(), "x11") != 0 || why != "x11 not available") return why;
  const std::string display = Environment("DISPLAY");
  return display.empty() ? "DISPLAY is not set" : "the display " + display + " cannot be opened";
}

// Starts one driver; false, with why added to the failure, where it fails.
static bool TryDriver(const char* driver, size_t length) {
  const std::string name(driver, length);
  std::string why = Untried(name);
  if (why.empty()) {
    // Above SDL_VIDEODRIVER itself, which may name a list of drivers.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, name.c_str(), SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    why = Failed(name);
  }
  if (!videoFailure.empty()) videoFailure += "; ";
  videoFailure += name + ": " + why;
  return false;
}

// The drivers the user names in SDL_VIDEODRIVER (a list, separated by
// commas), or else SDL's others: the first of them that opens.
bool StartVideo() {
  if (videoReady) return true;
  // Windows drawn through the display's shared memory, not through OpenGL:
  // no GL library and its threads for a picture that SDL only copies.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  FilterX11Errors();
  videoFailure.clear();
  const char* named = SDL_getenv("SDL_VIDEODRIVER");
  if (named != nullptr && named[0] != '\0') {
    for (const char* driver = named; !videoReady && *driver != '\0';) {
      const size_t length = strcspn(driver, ",");
      if (length > 0) videoReady = TryDriver(driver, length);
      driver += length + (driver[length] == ',');
    }
  } else {
    for (int i = 0; i < SDL_GetNumVideoDrivers() && !videoReady; ++i) {
      const char* driver = SDL_GetVideoDriver(i);
      if (!ShowsNothing(driver)) videoReady = TryDriver(driver, strlen(driver));
    }
    if (!videoReady) videoFailure.insert(0, "no display could be opened: ");
  }
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  return videoReady;
}

void StopVideo() {
  if (videoReady) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoReady = false;
  SDL_Quit();
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  // On the terminal too, with the reason where the windowing failed: the
  // box cannot show without a display, and a log should say why.
  std::fprintf(stderr, "%s %s\n", caption ? caption : "", text ? text : "");
  if (!videoFailure.empty()) std::fprintf(stderr, "  %s\n", videoFailure.c_str());
  // SDL's box opens a connection of its own, and would wait for ever on a
  // display that never answers.
  if (!X11DisplaySilent())
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption ? caption : "", text ? text : "",
                             nullptr);
  return IDOK;
}
