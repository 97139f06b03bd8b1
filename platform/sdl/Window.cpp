// USER32 over SDL2: just enough of the Windows windowing model for the
// shell. Classes, one or more windows, a thread message queue with posted
// messages, paints and timers, and device contexts that draw into a window's
// own pixel surface. Messages reach the window procedure in Windows' order:
// posted messages first, then the quit message, then paints, then timers.
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/Surface.h"
#include "platform/User.h"
#include "platform/sdl/Startup.h"

namespace {

constexpr int kEdge = 2;                 // width of the sunken client edge
constexpr Uint64 kPresentInterval = 16;  // ms between shows: about 60 Hz
constexpr UINT kTimerMinimum = 10;       // USER_TIMER_MINIMUM, as on Windows

struct WindowClass {
  std::string name;
  WNDCLASSEXA wc;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  Uint64 due;
  TIMERPROC proc;
};

}  // namespace

struct HWND__ {
  WNDPROC proc;
  HBRUSH background;
  SDL_Window* sdl;
  SDL_Surface* canvas;  // the whole window, edge included
  HDC__ dc;             // draws into the client area of canvas
  int edge;
  bool visible;
  bool needsPaint;
  bool needsErase;
  bool dirty;  // canvas differs from what is shown
  Uint64 lastPresent;
};

static std::vector<WindowClass> classes;
static std::vector<HWND> windows;
static std::vector<Timer> timers;
static std::deque<MSG> posted;
static bool quitPosted = false;
static int quitCode = 0;
static bool videoReady = false;
// Why the windowing could not start, for the failure message.
static std::string videoFailure;

static bool IsWindow(HWND hwnd) {
  return hwnd != nullptr && std::find(windows.begin(), windows.end(), hwnd) != windows.end();
}

// SDL's drivers that show nothing to anyone (evdev is the dummy driver
// with keyboard input): with no display reachable SDL would fall back to
// them, and the program would run on unseen, forever.
static bool ShowsNothing(const char* driver) {
  return strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0 ||
         strcasecmp(driver, "evdev") == 0;
}

// Starts SDL's video with a driver that shows windows on a display: the one
// the user names in SDL_VIDEODRIVER, or the first of the others that opens.
static bool InitVideo() {
  if (videoReady) return true;
  // Windows drawn through the display's shared memory, not through OpenGL:
  // no GL library and its threads for a picture that SDL only copies.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
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

static void PostMessageToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg = {};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = (DWORD)SDL_GetTicks64();
  posted.push_back(msg);
}

static LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return IsWindow(hwnd) ? hwnd->proc(hwnd, message, wParam, lParam) : 0;
}

static void Present(HWND hwnd) {
  SDL_Surface* shown = SDL_GetWindowSurface(hwnd->sdl);
  if (shown != nullptr && SDL_BlitSurface(hwnd->canvas, nullptr, shown, nullptr) == 0) {
    SDL_UpdateWindowSurface(hwnd->sdl);
  }
  hwnd->dirty = false;
  hwnd->dc.drawn = 0;
  hwnd->dc.changed = false;
  hwnd->lastPresent = SDL_GetTicks64();
}

// Shows what was drawn, if it changed anything, unless the canvas was shown
// less than a display frame ago.
static void PresentSoon(HWND hwnd) {
  hwnd->dirty = hwnd->dirty || hwnd->dc.changed;
  if (hwnd->dirty && hwnd->visible && SDL_GetTicks64() - hwnd->lastPresent >= kPresentInterval)
    Present(hwnd);
}

void WindowSurfaceDrawn(HDC hdc) {
  hdc->drawn = 0;
  PresentSoon(static_cast<HWND>(hdc->owner));
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

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpszClassName == nullptr ||
      wc->lpfnWndProc == nullptr) {
    return 0;
  }
  for (const WindowClass& c : classes) {
    if (strcasecmp(c.name.c_str(), wc->lpszClassName) == 0) return 0;  // already registered
  }
  classes.push_back({wc->lpszClassName, *wc});
  return (ATOM)(0xC000 + classes.size());
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  const WindowClass* wc = nullptr;
  for (const WindowClass& c : classes) {
    if (className != nullptr && strcasecmp(c.name.c_str(), className) == 0) wc = &c;
  }
  const int edge = (exStyle & WS_EX_CLIENTEDGE) ? kEdge : 0;
  if (wc == nullptr || width <= 2 * edge || height <= 2 * edge || !InitVideo()) return nullptr;

  SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", x, y, width, height,
                                     SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
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

  HWND hwnd = new HWND__{};
  hwnd->proc = wc->wc.lpfnWndProc;
  hwnd->background = wc->wc.hbrBackground;
  hwnd->sdl = sdl;
  hwnd->canvas = canvas;
  hwnd->edge = edge;
  hwnd->dc.owner = hwnd;
  hwnd->dc.surface.top = static_cast<uint32_t*>(canvas->pixels) + edge * (canvas->pitch / 4) + edge;
  hwnd->dc.surface.width = width - 2 * edge;
  hwnd->dc.surface.height = height - 2 * edge;
  hwnd->dc.surface.stride = canvas->pitch / 4;
  hwnd->needsPaint = true;
  hwnd->needsErase = true;
  windows.push_back(hwnd);
  SDL_SetWindowData(sdl, "hwnd", hwnd);

  // WM_CREATE before CreateWindowExA returns; -1 refuses the window.
  if (hwnd->proc(hwnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  return hwnd;
}

BOOL ShowWindow(HWND hwnd, int nCmdShow) {
  if (!IsWindow(hwnd)) return FALSE;
  const BOOL wasVisible = hwnd->visible;
  if (nCmdShow == SW_HIDE) {
    SDL_HideWindow(hwnd->sdl);
    hwnd->visible = false;
  } else {
    SDL_ShowWindow(hwnd->sdl);
    hwnd->visible = true;
    Present(hwnd);
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  if (hwnd->visible && hwnd->needsPaint) Send(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (!IsWindow(hwnd) || paint == nullptr) return nullptr;
  *paint = {};
  paint->hdc = &hwnd->dc;
  paint->rcPaint = {0, 0, hwnd->dc.surface.width, hwnd->dc.surface.height};
  hwnd->needsPaint = false;
  if (hwnd->needsErase) {
    hwnd->needsErase = false;
    paint->fErase = Send(hwnd, WM_ERASEBKGND, (WPARAM)paint->hdc, 0) == 0;
  }
  return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT*) {
  if (!IsWindow(hwnd)) return FALSE;
  PresentSoon(hwnd);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  return IsWindow(hwnd) ? &hwnd->dc : nullptr;
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  if (!IsWindow(hwnd) || hdc != &hwnd->dc) return 0;
  PresentSoon(hwnd);
  return 1;
}

BOOL DestroyWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  Send(hwnd, WM_DESTROY, 0, 0);
  timers.erase(
      std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
      timers.end());
  windows.erase(std::find(windows.begin(), windows.end(), hwnd));
  SDL_FreeSurface(hwnd->canvas);
  SDL_DestroyWindow(hwnd->sdl);
  delete hwnd;
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (!IsWindow(hwnd)) return 0;
  elapse = std::max(elapse, kTimerMinimum);
  const Uint64 due = SDL_GetTicks64() + elapse;
  for (Timer& t : timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t = {hwnd, id, elapse, due, proc};
      return id ? id : 1;
    }
  }
  timers.push_back({hwnd, id, elapse, due, proc});
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  const auto end = std::remove_if(timers.begin(), timers.end(),
                                  [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  const BOOL found = end != timers.end();
  timers.erase(end, timers.end());
  return found;
}

static HWND WindowOfEvent(Uint32 windowId) {
  SDL_Window* sdl = SDL_GetWindowFromID(windowId);
  HWND hwnd = sdl ? static_cast<HWND>(SDL_GetWindowData(sdl, "hwnd")) : nullptr;
  return IsWindow(hwnd) ? hwnd : nullptr;
}

// Turns what the desktop says into window messages.
static void TranslateEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: {
      HWND hwnd = WindowOfEvent(event.window.windowID);
      if (hwnd == nullptr) break;
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        PostMessageToQueue(hwnd, WM_CLOSE, 0, 0);
      } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        hwnd->needsPaint = true;
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      HWND hwnd = WindowOfEvent(event.key.windowID);
      if (hwnd == nullptr) break;
      const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
      const bool down = event.type == SDL_KEYDOWN;
      const UINT message =
          alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
      const WPARAM key = event.key.keysym.sym == SDLK_F4 ? VK_F4 : (WPARAM)event.key.keysym.sym;
      PostMessageToQueue(hwnd, message, key, alt ? 1 << 29 : 0);
      break;
    }
    case SDL_QUIT:
      // An interrupt from the terminal: ask every window to close.
      for (HWND hwnd : windows) PostMessageToQueue(hwnd, WM_CLOSE, 0, 0);
      break;
    default: break;
  }
}

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) {
  if (msg == nullptr) return -1;
  for (;;) {
    SDL_Event event;
    while (videoReady && SDL_PollEvent(&event)) TranslateEvent(event);

    if (!posted.empty()) {
      *msg = posted.front();
      posted.pop_front();
      return TRUE;
    }
    if (quitPosted) {
      quitPosted = false;
      *msg = {};
      msg->message = WM_QUIT;
      msg->wParam = (WPARAM)quitCode;
      return FALSE;
    }
    for (HWND hwnd : windows) {
      if (hwnd->visible && hwnd->needsPaint) {
        *msg = {};
        msg->hwnd = hwnd;
        msg->message = WM_PAINT;
        return TRUE;
      }
    }
    const Uint64 now = SDL_GetTicks64();
    Uint64 wake = UINT64_MAX;
    for (Timer& t : timers) {
      if (t.due <= now) {
        t.due = now + t.elapse;  // one WM_TIMER at a time, never a backlog
        *msg = {};
        msg->hwnd = t.hwnd;
        msg->message = WM_TIMER;
        msg->wParam = t.id;
        msg->lParam = (LPARAM)t.proc;
        msg->time = (DWORD)now;
        return TRUE;
      }
      wake = std::min(wake, t.due);
    }
    for (HWND hwnd : windows) {
      if (!hwnd->dirty) continue;
      if (now - hwnd->lastPresent >= kPresentInterval) {
        Present(hwnd);
      } else {
        wake = std::min(wake, hwnd->lastPresent + kPresentInterval);
      }
    }
    // Nothing to wait for would mean waiting forever: report it instead.
    if (!videoReady || (windows.empty() && timers.empty())) return -1;
    const int timeout = wake == UINT64_MAX ? -1 : (int)std::min<Uint64>(wake - now, 1000);
    if (SDL_WaitEventTimeout(&event, timeout)) TranslateEvent(event);
  }
}

BOOL TranslateMessage(const MSG* msg) {
  return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// The system colour of a brush given as COLOR_xxx + 1.
static Uint32 BrushColour(HBRUSH brush) {
  const uintptr_t index = (uintptr_t)brush;
  if (index == COLOR_BTNFACE + 1) return 0xF0F0F0;
  return index == 0 ? 0x000000 : 0xFFFFFF;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  if (!IsWindow(hwnd)) return 0;
  switch (message) {
    case WM_ERASEBKGND: {
      if (hwnd->background == nullptr) return 0;
      SDL_Rect client = {hwnd->edge, hwnd->edge, hwnd->dc.surface.width, hwnd->dc.surface.height};
      SDL_FillRect(hwnd->canvas, &client, BrushColour(hwnd->background));
      hwnd->dirty = true;
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) PostMessageToQueue(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) Send(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    default: return 0;
  }
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  static int applicationIcon;
  return instance == nullptr && name == IDI_APPLICATION ? reinterpret_cast<HICON>(&applicationIcon)
                                                        : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  static int arrowCursor;
  return instance == nullptr && name == IDC_ARROW ? reinterpret_cast<HCURSOR>(&arrowCursor)
                                                  : nullptr;
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

HMODULE GetModuleHandleA(LPCSTR name) {
  static int module;
  return name == nullptr ? reinterpret_cast<HMODULE>(&module) : nullptr;
}

void ShutdownWindowing() {
  while (!windows.empty()) DestroyWindow(windows.back());
  classes.clear();
  posted.clear();
  if (videoReady) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoReady = false;
  SDL_Quit();
}
