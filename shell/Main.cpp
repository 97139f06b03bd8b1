// Orbelune's window: a borderless popup with a sunken client edge, placed so
// that its 1024 x 768 client area covers the screen. The image is computed
// inside the first paint; a 1 ms timer redraws it for as long as it is open.
// One file for every platform: on Windows the calls are USER32's own,
// elsewhere our layer's.
#include "render/DrawBall.h"
#include "shell/Shell.h"

static char g_szClassName[] = "MyWindowClass";
static HINSTANCE g_hInst = nullptr;

int nTimerDelay = 1;
const int idTimer1 = 1;
HDC hdcWindow = nullptr;

static const UINT kErrorBox = MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL;  // 0x1030

// Turns messages into calls; every other message gets the default handling.
LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: SetTimer(hwnd, idTimer1, nTimerDelay, nullptr); return 0;
    case WM_DESTROY:
      KillTimer(hwnd, idTimer1);
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      hdcWindow = BeginPaint(hwnd, &ps);
      DrawBall(hdcWindow);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_TIMER:
      // Any timer redraws, whatever its identifier.
      hdcWindow = GetDC(hwnd);
      DrawBall(hdcWindow);
      ReleaseDC(hwnd, hdcWindow);
      return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// Registers the class, creates and shows the window (the first paint renders
// the whole image) and runs the message loop. Returns the quit code, or 1
// when the window cannot be set up or messages cannot be fetched.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
  WNDCLASSEXA wc;
  HWND hwnd;
  MSG Msg;

  g_hInst = hInstance;

  wc.cbSize = sizeof(WNDCLASSEXA);
  wc.style = 0;
  wc.lpfnWndProc = WndProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = g_hInst;
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = g_szClassName;
  wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);

  if (!RegisterClassExA(&wc)) {
    MessageBoxA(nullptr, "Window Registration Failed!", "Error!", kErrorBox);
    return 1;  // a failure, not a success
  }

  // Hidden until shown: WS_POPUP alone, no title bar, menu or sizing border.
  hwnd = CreateWindowExA(WS_EX_CLIENTEDGE, g_szClassName, "Orbelune", WS_POPUP, -2, -2, 1028, 772,
                         nullptr, nullptr, g_hInst, nullptr);
  if (hwnd == nullptr) {
    MessageBoxA(nullptr, "Window Creation Failed!", "Error!", kErrorBox);
    return 1;
  }

  ShowWindow(hwnd, nCmdShow);
  UpdateWindow(hwnd);  // the first paint: the whole render pass

  BOOL got;
  while ((got = GetMessageA(&Msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;  // an error would otherwise spin here forever
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
  }
  return (int)Msg.wParam;
}
