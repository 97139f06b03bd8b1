// WinMain and WndProc against the recording build of the window layer, with
// a DrawBall that only records the context it is given.
#include "shell/Shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/recording/Recording.h"
#include "render/DrawBall.h"

void DrawBall(HDC hdc) {
  char line[64];
  std::snprintf(line, sizeof line, "DrawBall(%#lx)", (unsigned long)(uintptr_t)hdc);
  userCalls.push_back(line);
}

namespace {

using Calls = std::vector<std::string>;

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);

ScriptedMessage Message(UINT message, WPARAM wParam = 0, BOOL result = TRUE) {
  ScriptedMessage scripted = {};
  scripted.result = result;
  scripted.msg.hwnd = RecordedWindow();
  scripted.msg.message = message;
  scripted.msg.wParam = wParam;
  return scripted;
}

Calls SetUpCalls() {
  return {
      "LoadIconA(null, #32512)",
      "LoadCursorA(null, #32512)",
      "LoadIconA(null, #32512)",
      "RegisterClassExA(cbSize=" + std::to_string(sizeof(WNDCLASSEXA)) +
          " style=0 proc=WndProc clsExtra=0 wndExtra=0 instance=0x400000 icon=0x3001 "
          "cursor=0x3002 background=0x10 menu=null class=\"MyWindowClass\" iconSm=0x3001)",
  };
}

const char kCreate[] =
    "CreateWindowExA(0x200, \"MyWindowClass\", \"Orbelune\", 0x80000000, -2, -2, 1028, 772, null, "
    "null, 0x400000, null)";

Calls Concat(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    ResetRecording();
    hdcWindow = nullptr;
  }
};

TEST_F(Shell, ANormalRunRendersInTheFirstPaintAndReplaysOnEveryTick) {
  recordingScript.messages = {Message(WM_TIMER, 1), Message(WM_TIMER, 99), Message(WM_CLOSE)};
  const int result = WinMain(kInstance, nullptr, (LPSTR) "any arguments", 7);
  EXPECT_EQ(result, 0);
  const Calls tick = {
      "TranslateMessage(0x113)", "DispatchMessageA(0x113)",   "GetDC(0x1000)",
      "DrawBall(0x2002)",        "ReleaseDC(0x1000, 0x2002)", "GetMessageA(null, 0, 0)"};
  Calls expected = Concat(SetUpCalls(), {
                                            kCreate,
                                            "SetTimer(0x1000, 1, 1, null)",
                                            "ShowWindow(0x1000, 7)",
                                            "UpdateWindow(0x1000)",
                                            "BeginPaint(0x1000)",
                                            "DrawBall(0x2001)",
                                            "EndPaint(0x1000, 0x2001)",
                                            "GetMessageA(null, 0, 0)",
                                        });
  expected = Concat(Concat(expected, tick), tick);
  expected = Concat(expected, {
                                  "TranslateMessage(0x10)",
                                  "DispatchMessageA(0x10)",
                                  "DestroyWindow(0x1000)",
                                  "KillTimer(0x1000, 1)",
                                  "PostQuitMessage(0)",
                                  "GetMessageA(null, 0, 0)",
                              });
  EXPECT_EQ(userCalls, expected);
  EXPECT_EQ(hdcWindow, RecordedWindowDC());
}

TEST_F(Shell, FailedRegistrationShowsOneMessageBoxAndReturns1) {
  recordingScript.registerResult = 0;
  EXPECT_EQ(WinMain(kInstance, nullptr, nullptr, 10), 1);
  EXPECT_EQ(userCalls, Concat(SetUpCalls(), {"MessageBoxA(null, \"Window Registration Failed!\", "
                                             "\"Error!\", 0x1030)"}));
}

TEST_F(Shell, FailedCreationShowsOneMessageBoxAndReturns1) {
  recordingScript.createFails = true;
  EXPECT_EQ(WinMain(kInstance, nullptr, nullptr, 10), 1);
  EXPECT_EQ(userCalls, Concat(SetUpCalls(), {kCreate,
                                             "MessageBoxA(null, \"Window Creation "
                                             "Failed!\", \"Error!\", 0x1030)"}));
}

TEST_F(Shell, TheLoopEndsOnTheQuitMessageWithItsCode) {
  recordingScript.messages = {Message(WM_TIMER, 1), Message(WM_QUIT, 42, FALSE)};
  EXPECT_EQ(WinMain(kInstance, nullptr, nullptr, 10), 42);
  EXPECT_EQ(userCalls.back(), "GetMessageA(null, 0, 0)");
}

TEST_F(Shell, AMessageRetrievalErrorEndsTheLoopWith1) {
  recordingScript.messages = {Message(WM_TIMER, 1), Message(0, 0, -1)};
  EXPECT_EQ(WinMain(kInstance, nullptr, nullptr, 10), 1);
  EXPECT_EQ(userCalls.back(), "GetMessageA(null, 0, 0)");
}

TEST_F(Shell, WndProcMessageTable) {
  const HWND hwnd = RecordedWindow();
  EXPECT_EQ(WndProc(hwnd, WM_CREATE, 0, 0), 0);
  EXPECT_EQ(userCalls, (Calls{"SetTimer(0x1000, 1, 1, null)"}));

  userCalls.clear();
  EXPECT_EQ(WndProc(hwnd, WM_PAINT, 0, 0), 0);
  EXPECT_EQ(userCalls,
            (Calls{"BeginPaint(0x1000)", "DrawBall(0x2001)", "EndPaint(0x1000, 0x2001)"}));
  EXPECT_EQ(hdcWindow, RecordedPaintDC());

  for (WPARAM id : {1, 0, 2, 12345}) {
    userCalls.clear();
    EXPECT_EQ(WndProc(hwnd, WM_TIMER, id, 0), 0);
    EXPECT_EQ(userCalls, (Calls{"GetDC(0x1000)", "DrawBall(0x2002)", "ReleaseDC(0x1000, 0x2002)"}));
  }

  userCalls.clear();
  EXPECT_EQ(WndProc(hwnd, WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(userCalls, (Calls{"KillTimer(0x1000, 1)", "PostQuitMessage(0)"}));

  userCalls.clear();
  EXPECT_EQ(WndProc(hwnd, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(userCalls[0], "DestroyWindow(0x1000)");
}

TEST_F(Shell, EveryOtherMessageGetsTheDefaultHandling) {
  for (UINT message : {WM_ERASEBKGND, WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSCOMMAND, 0x0200, 0x8000}) {
    userCalls.clear();
    EXPECT_EQ(WndProc(RecordedWindow(), message, 77, -5), 0x5EED);
    char expected[96];
    std::snprintf(expected, sizeof expected, "DefWindowProcA(0x1000, %#x, 77, -5)", message);
    EXPECT_EQ(userCalls, (Calls{expected}));
  }
}

}  // namespace
