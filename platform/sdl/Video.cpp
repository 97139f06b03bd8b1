// SDL's video start-up and the report of its failure: MessageBoxA, which says
// why no display could be opened where that is what failed.
#include <SDL.h>
#include <strings.h>

#include <cstdio>
#include <string>

#include "platform/User.h"
#include "platform/sdl/Video.h"
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

// The driver the user names in SDL_VIDEODRIVER, or the first of the others
// that opens.
bool StartVideo() {
  if (videoReady) return true;
  // Windows drawn through the display's shared memory, not through OpenGL:
  // no GL library and its threads for a picture that SDL only copies.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  FilterX11Errors();
  videoFailure.clear();
  const char* named = SDL_getenv("SDL_VIDEODRIVER");
  if (named != nullptr && named[0] != '\0') {
    videoReady = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoReady) {
      videoFailure = named;
      videoFailure += ": ";
      videoFailure += SDL_GetError();
    }
    return videoReady;
  }
  for (int i = 0; i < SDL_GetNumVideoDrivers() && !videoReady; ++i) {
    const char* driver = SDL_GetVideoDriver(i);
    if (ShowsNothing(driver)) continue;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    videoReady = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoReady) {
      if (!videoFailure.empty()) videoFailure += "; ";
      videoFailure += driver;
      videoFailure += ": ";
      videoFailure += SDL_GetError();
    }
  }
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  if (!videoReady) videoFailure.insert(0, "no display could be opened: ");
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
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption ? caption : "", text ? text : "",
                           nullptr);
  return IDOK;
}
