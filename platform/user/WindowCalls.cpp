// The window calls: classes, creating and destroying windows, showing and
// painting them, and the default handling of their messages. What stands
// behind a window on the desktop is the host's.
#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Surface.h"
#include "platform/user/Queue.h"
#include "platform/user/WindowHost.h"

namespace {

constexpr int kEdge = 2;  // width of the sunken client edge

struct WindowClass {
  std::string name;
  WNDCLASSEXA wc;
};

}  // namespace

static std::vector<WindowClass> classes;
static std::vector<HWND> windows;
static const WindowHost* host = nullptr;

void UseWindowHost(const WindowHost* windowHost) {
  host = windowHost;
}

bool IsWindow(HWND hwnd) {
  return hwnd != nullptr && std::find(windows.begin(), windows.end(), hwnd) != windows.end();
}

LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return IsWindow(hwnd) ? hwnd->proc(hwnd, message, wParam, lParam) : 0;
}

HWND WindowToPaint() {
  for (HWND hwnd : windows) {
    if (hwnd->visible && hwnd->needsPaint) return hwnd;
  }
  return nullptr;
}

bool AnyWindow() {
  return !windows.empty();
}

void InvalidateWindow(HWND hwnd) {
  if (IsWindow(hwnd)) hwnd->needsPaint = true;
}

void PostToEveryWindow(UINT message) {
  for (HWND hwnd : windows) PostToQueue(hwnd, message, 0, 0);
}

void DestroyAllWindows() {
  while (!windows.empty()) DestroyWindow(windows.back());
  classes.clear();
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
  if (wc == nullptr || host == nullptr || width <= 2 * edge || height <= 2 * edge) return nullptr;

  HWND hwnd = new HWND__{};
  hwnd->proc = wc->wc.lpfnWndProc;
  hwnd->background = wc->wc.hbrBackground;
  hwnd->native = host->open(hwnd, windowName ? windowName : "", x, y, width, height, edge);
  if (hwnd->native == nullptr) {
    delete hwnd;
    return nullptr;
  }
  hwnd->needsPaint = true;
  hwnd->needsErase = true;
  windows.push_back(hwnd);

  // WM_CREATE before CreateWindowExA returns; -1 refuses the window.
  if (hwnd->proc(hwnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  // A second call from inside WM_DESTROY would destroy it twice.
  if (!IsWindow(hwnd) || hwnd->destroying) return FALSE;
  hwnd->destroying = true;
  SendToWindow(hwnd, WM_DESTROY, 0, 0);
  DropTimers(hwnd);
  windows.erase(std::find(windows.begin(), windows.end(), hwnd));
  host->close(hwnd->native);
  delete hwnd;
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int nCmdShow) {
  if (!IsWindow(hwnd)) return FALSE;
  const BOOL wasVisible = hwnd->visible;
  hwnd->visible = nCmdShow != SW_HIDE;
  host->show(hwnd->native, hwnd->visible);
  return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  if (hwnd->visible && hwnd->needsPaint) SendToWindow(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (!IsWindow(hwnd) || paint == nullptr) return nullptr;
  *paint = {};
  paint->hdc = host->dc(hwnd->native);
  paint->rcPaint = {0, 0, paint->hdc->surface.width, paint->hdc->surface.height};
  hwnd->needsPaint = false;
  if (hwnd->needsErase) {
    hwnd->needsErase = false;
    paint->fErase = SendToWindow(hwnd, WM_ERASEBKGND, (WPARAM)paint->hdc, 0) == 0;
  }
  return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT*) {
  if (!IsWindow(hwnd)) return FALSE;
  host->drawn(hwnd->native);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  return IsWindow(hwnd) ? host->dc(hwnd->native) : nullptr;
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  if (!IsWindow(hwnd) || hdc != host->dc(hwnd->native)) return 0;
  host->drawn(hwnd->native);
  return 1;
}

// The system colour of a brush given as COLOR_xxx + 1.
static uint32_t BrushColour(HBRUSH brush) {
  const uintptr_t index = (uintptr_t)brush;
  if (index == COLOR_BTNFACE + 1) return 0xF0F0F0;
  return index == 0 ? 0x000000 : 0xFFFFFF;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  if (!IsWindow(hwnd)) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      if (hwnd->background == nullptr) return 0;
      host->fill(hwnd->native, BrushColour(hwnd->background));
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) PostToQueue(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendToWindow(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    default: return 0;
  }
}
