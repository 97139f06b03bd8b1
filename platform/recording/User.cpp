#include <cstdarg>
#include <cstdio>

#include "platform/recording/Recording.h"

RecordingScript recordingScript;
std::vector<std::string> userCalls;

static WNDPROC registeredProc = nullptr;
static bool quitPosted = false;
static int quitCode = 0;

HWND RecordedWindow() {
  return reinterpret_cast<HWND>(0x1000);
}

HDC RecordedPaintDC() {
  return reinterpret_cast<HDC>(0x2001);
}

HDC RecordedWindowDC() {
  return reinterpret_cast<HDC>(0x2002);
}

void ResetRecording() {
  recordingScript = RecordingScript();
  userCalls.clear();
  registeredProc = nullptr;
  quitPosted = false;
  quitCode = 0;
}

static void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
static void Log(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  userCalls.push_back(line);
}

static std::string Text(LPCSTR s) {
  if (s == nullptr) return "null";
  // Appended rather than "#" + ...: GCC 12 at -O3 warns falsely on the
  // latter (its bug 105329).
  if ((uintptr_t)s < 0x10000) return std::string("#").append(std::to_string((uintptr_t)s));
  return std::string("\"") + s + "\"";
}

static std::string Handle(const void* h) {
  char text[32];
  std::snprintf(text, sizeof text, "%#lx", (unsigned long)(uintptr_t)h);
  return h == nullptr ? "null" : text;
}

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  Log("RegisterClassExA(cbSize=%u style=%u proc=%s clsExtra=%d wndExtra=%d instance=%s icon=%s "
      "cursor=%s background=%s menu=%s class=%s iconSm=%s)",
      wc->cbSize, wc->style, wc->lpfnWndProc ? "WndProc" : "null", wc->cbClsExtra, wc->cbWndExtra,
      Handle(wc->hInstance).c_str(), Handle(wc->hIcon).c_str(), Handle(wc->hCursor).c_str(),
      Handle(wc->hbrBackground).c_str(), Text(wc->lpszMenuName).c_str(),
      Text(wc->lpszClassName).c_str(), Handle(wc->hIconSm).c_str());
  if (recordingScript.registerResult != 0) registeredProc = wc->lpfnWndProc;
  return recordingScript.registerResult;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  Log("CreateWindowExA(%#x, %s, %s, %#x, %d, %d, %d, %d, %s, %s, %s, %s)", exStyle,
      Text(className).c_str(), Text(windowName).c_str(), style, x, y, width, height,
      Handle(parent).c_str(), Handle(menu).c_str(), Handle(instance).c_str(),
      Handle(param).c_str());
  if (recordingScript.createFails || registeredProc == nullptr) return nullptr;
  registeredProc(RecordedWindow(), WM_CREATE, 0, 0);
  return RecordedWindow();
}

BOOL ShowWindow(HWND hwnd, int nCmdShow) {
  Log("ShowWindow(%s, %d)", Handle(hwnd).c_str(), nCmdShow);
  return FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  Log("UpdateWindow(%s)", Handle(hwnd).c_str());
  if (registeredProc != nullptr) registeredProc(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  Log("GetMessageA(%s, %u, %u)", Handle(hwnd).c_str(), filterMin, filterMax);
  if (!recordingScript.messages.empty()) {
    const ScriptedMessage next = recordingScript.messages.front();
    recordingScript.messages.pop_front();
    *msg = next.msg;
    return next.result;
  }
  *msg = {};
  if (!quitPosted) return -1;
  msg->message = WM_QUIT;
  msg->wParam = (WPARAM)quitCode;
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  Log("TranslateMessage(%#x)", msg->message);
  return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  Log("DispatchMessageA(%#x)", msg->message);
  return registeredProc ? registeredProc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Log("DefWindowProcA(%s, %#x, %lu, %ld)", Handle(hwnd).c_str(), message, (unsigned long)wParam,
      (long)lParam);
  return 0x5EED;
}

BOOL DestroyWindow(HWND hwnd) {
  Log("DestroyWindow(%s)", Handle(hwnd).c_str());
  if (registeredProc != nullptr) registeredProc(hwnd, WM_DESTROY, 0, 0);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Log("PostQuitMessage(%d)", exitCode);
  quitPosted = true;
  quitCode = exitCode;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  Log("SetTimer(%s, %lu, %u, %s)", Handle(hwnd).c_str(), (unsigned long)id, elapse,
      proc ? "proc" : "null");
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  Log("KillTimer(%s, %lu)", Handle(hwnd).c_str(), (unsigned long)id);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  Log("BeginPaint(%s)", Handle(hwnd).c_str());
  *paint = {};
  paint->hdc = RecordedPaintDC();
  return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  Log("EndPaint(%s, %s)", Handle(hwnd).c_str(), Handle(paint->hdc).c_str());
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  Log("GetDC(%s)", Handle(hwnd).c_str());
  return RecordedWindowDC();
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  Log("ReleaseDC(%s, %s)", Handle(hwnd).c_str(), Handle(hdc).c_str());
  return 1;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  Log("LoadIconA(%s, %s)", Handle(instance).c_str(), Text(name).c_str());
  return reinterpret_cast<HICON>(0x3001);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  Log("LoadCursorA(%s, %s)", Handle(instance).c_str(), Text(name).c_str());
  return reinterpret_cast<HCURSOR>(0x3002);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Log("MessageBoxA(%s, %s, %s, %#x)", Handle(owner).c_str(), Text(text).c_str(),
      Text(caption).c_str(), type);
  return IDOK;
}

HMODULE GetModuleHandleA(LPCSTR name) {
  Log("GetModuleHandleA(%s)", Text(name).c_str());
  return reinterpret_cast<HMODULE>(0x400000);
}
