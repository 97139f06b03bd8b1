// Another X client can destroy our window at any moment. Until its
// DestroyNotify arrives, SDL (and our presents) keep sending requests for
// it, on SDL's two connections, and Xlib's default error handler would print
// the failed request and exit(1), even as late as SDL closing them. So the
// errors that say one of our windows is gone pass silently, every other goes
// on to the handler before ours; the DestroyNotify, asked for as SDL's
// window-manager event, closes the window the ordinary way.
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

#include "platform/sdl/X11Windows.h"

namespace {

struct Watched {
  SDL_Window* sdl;  // null once closed; the id stays, for late complaints
  Window id;
};

}  // namespace

static std::vector<Watched> watched;
static Display* display = nullptr;
static XErrorHandler previous = nullptr;
static bool filtering = false;

static int LetGoneWindowsPass(Display* d, XErrorEvent* error) {
  const bool gone = error->error_code == BadWindow || error->error_code == BadDrawable;
  if (gone && std::any_of(watched.begin(), watched.end(),
                          [&](const Watched& w) { return w.id == error->resourceid; })) {
    return 0;
  }
  return previous != nullptr ? previous(d, error) : 0;
}

void FilterX11Errors() {
  if (filtering) return;
  filtering = true;
  previous = XSetErrorHandler(LetGoneWindowsPass);
}

void WatchX11Window(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  if (display != info.info.x11.display) {
    // A new connection (the video was started again): its ids are new too.
    display = info.info.x11.display;
    watched.clear();
  }
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  watched.push_back({window, info.info.x11.window});
}

SDL_Window* DestroyedX11Window(const SDL_Event& event) {
  if (event.type != SDL_SYSWMEVENT || event.syswm.msg->subsystem != SDL_SYSWM_X11) return nullptr;
  const XEvent& x = event.syswm.msg->msg.x11.event;
  if (x.type != DestroyNotify) return nullptr;
  for (const Watched& w : watched) {
    if (w.sdl != nullptr && w.id == x.xdestroywindow.window) return w.sdl;
  }
  return nullptr;
}

void X11WindowClosed(SDL_Window* window) {
  for (Watched& w : watched) {
    if (w.sdl == window) w.sdl = nullptr;
  }
}
