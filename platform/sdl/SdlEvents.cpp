// What the desktop says, through SDL, turned into window messages; and,
// while the queue waits, the windows shown at the display's pace.
#include <SDL.h>

#include <algorithm>

#include "platform/user/Queue.h"
#include "platform/sdl/SdlEvents.h"
#include "platform/sdl/SdlWindow.h"
#include "platform/sdl/X11Windows.h"

static void WindowEvent(const SDL_WindowEvent& event) {
  HWND hwnd = WindowOfSdlId(event.windowID);
  if (hwnd == nullptr) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE: PostToQueue(hwnd, WM_CLOSE, 0, 0); break;
    case SDL_WINDOWEVENT_EXPOSED:
      // Windows would ask for a paint; the paint's replay may change no
      // pixel, and the canvas must be shown again all the same.
      InvalidateWindow(hwnd);
      ShowAgain(hwnd);
      break;
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MOVED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: ShowAgain(hwnd); break;
    default: break;
  }
}

static void KeyEvent(const SDL_KeyboardEvent& event) {
  HWND hwnd = WindowOfSdlId(event.windowID);
  if (hwnd == nullptr) return;
  const bool alt = (event.keysym.mod & KMOD_ALT) != 0;
  const bool down = event.type == SDL_KEYDOWN;
  const UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  const WPARAM key = event.keysym.sym == SDLK_F4 ? VK_F4 : (WPARAM)event.keysym.sym;
  PostToQueue(hwnd, message, key, alt ? 1 << 29 : 0);
}

static void Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: WindowEvent(event.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: KeyEvent(event.key); break;
    case SDL_QUIT:
      // An interrupt from the terminal: ask every window to close.
      PostToEveryWindow(WM_CLOSE);
      break;
    case SDL_SYSWMEVENT:
      // Another client destroyed the window: there is no window left to
      // ask (WM_CLOSE), so it is destroyed as the shell's own close does,
      // from WM_DESTROY on: the timer stopped, the quit message.
      if (SDL_Window* sdl = DestroyedX11Window(event)) {
        HWND hwnd = static_cast<HWND>(SDL_GetWindowData(sdl, "hwnd"));
        if (IsWindow(hwnd)) {
          WindowGone(hwnd);
          DestroyWindow(hwnd);
        }
      }
      break;
    default: break;
  }
}

static void Poll() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) Translate(event);
}

static void Wait(int timeout) {
  const Uint64 now = SDL_GetTicks64();
  const uint64_t due = ShowPending(now);
  if (due != UINT64_MAX) {
    const int untilDue = (int)(due - std::min<uint64_t>(due, now));
    timeout = timeout < 0 ? untilDue : std::min(timeout, untilDue);
  }
  SDL_Event event;
  if (SDL_WaitEventTimeout(&event, timeout)) Translate(event);
}

const EventSource kSdlEvents = {Poll, Wait};
