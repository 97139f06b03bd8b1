// The desktop's window over SDL: a canvas of the whole window (edge
// included) that device contexts draw into, shown through SDL's window
// surface. A draw that changes nothing is not shown again, but whatever may
// have cost the desktop what the window showed is.
#include <algorithm>
#include <vector>

#include "platform/Surface.h"
#include "platform/user/EventSource.h"
#include "platform/user/Queue.h"
#include "platform/sdl/SdlEvents.h"
#include "platform/sdl/SdlWindow.h"
#include "platform/sdl/Stages.h"
#include "platform/sdl/Video.h"
#include "platform/sdl/X11Windows.h"

namespace {

constexpr Uint64 kPresentInterval = 16;  // ms between shows: about 60 Hz

}  // namespace

struct NativeWindow {
  SDL_Window* sdl;
  SDL_Surface* canvas;  // the whole window, edge included
  HDC__ dc;             // draws into the client area of canvas
  int edge;
  bool shown;
  bool dirty;  // canvas differs from what the desktop shows
  bool gone;   // destroyed by another client
  Uint64 lastPresent;
};

static std::vector<NativeWindow*> natives;

static void Present(NativeWindow* window) {
  SDL_Surface* shown = window->gone ? nullptr : SDL_GetWindowSurface(window->sdl);
  if (shown != nullptr) {
    // A resized window's surface is new: clear what the canvas does not cover.
    if (shown->w != window->canvas->w || shown->h != window->canvas->h)
      SDL_FillRect(shown, nullptr, 0);
    if (SDL_BlitSurface(window->canvas, nullptr, shown, nullptr) == 0 &&
        SDL_UpdateWindowSurface(window->sdl) == 0)
      CountPresent();
  }
  window->dirty = false;
  window->dc.drawn = 0;
  window->dc.changed = false;
  window->lastPresent = SDL_GetTicks64();
}

// Shows what was drawn, if it changed anything, unless the canvas was shown
// less than a display frame ago.
static void PresentSoon(NativeWindow* window) {
  window->dirty = window->dirty || window->dc.changed;
  if (window->dirty && window->shown && SDL_GetTicks64() - window->lastPresent >= kPresentInterval)
    Present(window);
}

void WindowSurfaceDrawn(HDC hdc) {
  hdc->drawn = 0;
  CountColumnDrawn();
  PresentSoon(static_cast<HWND>(hdc->owner)->native);
}

uint64_t ShowPending(uint64_t now) {
  uint64_t wake = UINT64_MAX;
  for (NativeWindow* window : natives) {
    if (!window->dirty || !window->shown) continue;
    if (now - window->lastPresent >= kPresentInterval) {
      Present(window);
    } else {
      wake = std::min(wake, window->lastPresent + kPresentInterval);
    }
  }
  return wake;
}

HWND WindowOfSdlId(Uint32 windowId) {
  SDL_Window* sdl = SDL_GetWindowFromID(windowId);
  HWND hwnd = sdl ? static_cast<HWND>(SDL_GetWindowData(sdl, "hwnd")) : nullptr;
  return IsWindow(hwnd) ? hwnd : nullptr;
}

void ShowAgain(HWND hwnd) {
  if (IsWindow(hwnd)) hwnd->native->dirty = true;
}

void WindowGone(HWND hwnd) {
  if (IsWindow(hwnd)) hwnd->native->gone = true;
}

// A sunken edge as Windows draws WS_EX_CLIENTEDGE: dark above and left,
// light below and right, two pixels wide.
static void DrawClientEdge(SDL_Surface* canvas, int edge) {
  if (edge == 0) return;
  const int w = canvas->w, h = canvas->h;
  auto fill = [&](int x, int y, int cw, int ch, Uint32 rgb) {
    SDL_Rect r = {x, y, cw, ch};
    SDL_FillRect(canvas, &r, rgb);
  };
  fill(0, 0, w, 1, 0xA0A0A0), fill(0, 0, 1, h, 0xA0A0A0);
  fill(0, h - 1, w, 1, 0xFFFFFF), fill(w - 1, 0, 1, h, 0xFFFFFF);
  fill(1, 1, w - 2, 1, 0x696969), fill(1, 1, 1, h - 2, 0x696969);
  fill(1, h - 2, w - 2, 1, 0xE3E3E3), fill(w - 2, 1, 1, h - 2, 0xE3E3E3);
}

static NativeWindow* Open(HWND hwnd, const char* title, int x, int y, int width, int height,
                          int edge) {
  if (!StartVideo()) return nullptr;
  ReportStage("video-started");
  UseEventSource(&kSdlEvents, SDL_GetTicks64);
  SDL_Window* sdl =
      SDL_CreateWindow(title, x, y, width, height, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  SDL_Surface* canvas =
      sdl ? SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_XRGB8888)
          : nullptr;
  if (canvas == nullptr) {
    if (sdl != nullptr) SDL_DestroyWindow(sdl);
    return nullptr;
  }
  SDL_SetWindowPosition(sdl, x, y);
  SDL_FillRect(canvas, nullptr, 0);
  DrawClientEdge(canvas, edge);
  WatchX11Window(sdl);

  NativeWindow* window = new NativeWindow{};
  window->sdl = sdl;
  window->canvas = canvas;
  window->edge = edge;
  window->dc.owner = hwnd;
  window->dc.surface.top = static_cast<uint32_t*>(canvas->pixels) + edge * (canvas->pitch / 4) + edge;
  window->dc.surface.width = width - 2 * edge;
  window->dc.surface.height = height - 2 * edge;
  window->dc.surface.stride = canvas->pitch / 4;
  SDL_SetWindowData(sdl, "hwnd", hwnd);
  natives.push_back(window);
  return window;
}

static void Close(NativeWindow* window) {
  natives.erase(std::find(natives.begin(), natives.end(), window));
  SDL_FreeSurface(window->canvas);
  SDL_DestroyWindow(window->sdl);
  X11WindowClosed(window->sdl);
  delete window;
}

static void Show(NativeWindow* window, bool visible) {
  window->shown = visible;
  if (window->gone) return;
  if (visible) {
    SDL_ShowWindow(window->sdl);
    Present(window);
    ReportStage("window-shown");
  } else {
    SDL_HideWindow(window->sdl);
  }
}

static HDC Dc(NativeWindow* window) {
  return &window->dc;
}

static void Fill(NativeWindow* window, uint32_t rgb) {
  SDL_Rect client = {window->edge, window->edge, window->dc.surface.width,
                     window->dc.surface.height};
  SDL_FillRect(window->canvas, &client, rgb);
  window->dirty = true;
}

const WindowHost kSdlWindows = {Open, Close, Show, Dc, Fill, PresentSoon};
