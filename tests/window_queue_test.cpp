// The Linux window layer's message queue and window calls, without SDL: a
// fake event source and clock drive them, a fake host stands behind each
// window, and a window procedure records what it is sent.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/Surface.h"
#include "platform/user/EventSource.h"
#include "platform/user/Queue.h"
#include "platform/user/WindowHost.h"

struct NativeWindow {
  HDC__ dc;
};

namespace {

uint64_t fakeNow = 0;
std::vector<int> waits;                       // the timeouts the queue waited with
std::deque<std::function<void()>> arriving;  // what the desktop says, in turn
int opened = 0, closed = 0;

uint64_t FakeClock() {
  return fakeNow;
}

void FakePoll() {
  while (!arriving.empty()) {
    auto event = arriving.front();
    arriving.pop_front();
    event();
  }
}

// Waiting passes the time; waiting for ever would hang the test instead.
void FakeWait(int timeout) {
  waits.push_back(timeout);
  if (timeout < 0 || waits.size() > 1000) throw std::runtime_error("the queue waits for ever");
  fakeNow += timeout;
}

const EventSource kFakeEvents = {FakePoll, FakeWait};

NativeWindow* FakeOpen(HWND, const char*, int, int, int width, int height, int edge) {
  ++opened;
  NativeWindow* window = new NativeWindow{};
  window->dc.surface.width = width - 2 * edge;
  window->dc.surface.height = height - 2 * edge;
  return window;
}

void FakeClose(NativeWindow* window) {
  ++closed;
  delete window;
}

const WindowHost kFakeHost = {
    FakeOpen, FakeClose, [](NativeWindow*, bool) {}, [](NativeWindow* w) { return &w->dc; },
    [](NativeWindow*, uint32_t) {}, [](NativeWindow*) {}};

struct Sent {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
};
std::vector<Sent> sent;
LRESULT createResult = 0;

// As the shell's: its own answer to WM_CREATE, a quit on WM_DESTROY, the
// default handling for everything else.
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  sent.push_back({hwnd, message, wParam});
  if (message == WM_CREATE) return createResult;
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class QueueTest : public testing::Test {
 protected:
  void SetUp() override {
    fakeNow = 1000;
    waits.clear();
    arriving.clear();
    opened = closed = 0;
    createResult = 0;
    UseEventSource(&kFakeEvents, FakeClock);
    UseWindowHost(&kFakeHost);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "Test";
    ASSERT_NE(RegisterClassExA(&wc), 0);
  }
  void TearDown() override {
    DestroyAllWindows();
    ClearQueue();
    UseEventSource(nullptr, nullptr);
    UseWindowHost(nullptr);
    sent.clear();
  }

  static HWND Create() {
    HWND hwnd = CreateWindowExA(WS_EX_CLIENTEDGE, "Test", "", WS_POPUP, 0, 0, 104, 84, nullptr,
                                nullptr, nullptr, nullptr);
    if (hwnd != nullptr) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
  }

  // The next message, dispatched as the shell's loop does.
  static MSG Next(BOOL expected = TRUE) {
    MSG msg = {};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), expected);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return msg;
  }
};

}  // namespace

TEST_F(QueueTest, PostedThenQuitThenPaintThenTimer) {
  HWND hwnd = Create();
  ASSERT_NE(hwnd, nullptr);
  SetTimer(hwnd, 7, 10, nullptr);
  fakeNow += 50;
  PostQuitMessage(3);
  arriving.push_back([&] { PostToQueue(hwnd, WM_KEYDOWN, 'A', 0); });

  EXPECT_EQ(Next().message, (UINT)WM_KEYDOWN);
  const MSG quit = Next(FALSE);
  EXPECT_EQ(quit.message, (UINT)WM_QUIT);
  EXPECT_EQ(quit.wParam, 3u);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  const MSG timer = Next();
  EXPECT_EQ(timer.message, (UINT)WM_TIMER);
  EXPECT_EQ(timer.wParam, 7u);
  EXPECT_EQ(timer.hwnd, hwnd);
  EXPECT_TRUE(waits.empty()) << "everything was due at once";
}

TEST_F(QueueTest, TimersRunNoFasterThanTenMilliseconds) {
  HWND hwnd = Create();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  const uint64_t start = fakeNow;
  SetTimer(hwnd, 1, 1, nullptr);
  for (int tick = 1; tick <= 3; ++tick) {
    const MSG msg = Next();
    EXPECT_EQ(msg.message, (UINT)WM_TIMER);
    EXPECT_EQ(fakeNow, start + 10 * tick);
    EXPECT_EQ(msg.time, (DWORD)(start + 10 * tick));
  }
  EXPECT_EQ(waits, (std::vector<int>{10, 10, 10}));
}

TEST_F(QueueTest, ALateTimerGivesOneMessageNotABacklog) {
  HWND hwnd = Create();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  SetTimer(hwnd, 1, 10, nullptr);
  fakeNow += 1000;  // a long draw: a hundred periods go by
  EXPECT_EQ(Next().message, (UINT)WM_TIMER);
  EXPECT_TRUE(waits.empty());
  EXPECT_EQ(Next().message, (UINT)WM_TIMER);
  EXPECT_EQ(waits, std::vector<int>{10}) << "the second tick came without a full period's wait";
}

TEST_F(QueueTest, CreateReturningMinusOneRefusesTheWindow) {
  createResult = -1;
  EXPECT_EQ(Create(), nullptr);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].message, (UINT)WM_CREATE);
  EXPECT_EQ(sent[1].message, (UINT)WM_DESTROY);
  EXPECT_FALSE(IsWindow(sent[0].hwnd));
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 1) << "the refused window's desktop side is left open";
}

TEST_F(QueueTest, DestroyWindowDropsItsTimers) {
  HWND first = Create();
  HWND second = Create();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  SetTimer(first, 1, 10, nullptr);
  SetTimer(first, 2, 15, nullptr);
  SetTimer(second, 3, 25, nullptr);
  EXPECT_TRUE(DestroyWindow(first));
  EXPECT_FALSE(KillTimer(first, 1));
  EXPECT_EQ(Next(FALSE).message, (UINT)WM_QUIT);  // the procedure's, on WM_DESTROY
  const MSG msg = Next();
  EXPECT_EQ(msg.message, (UINT)WM_TIMER);
  EXPECT_EQ(msg.hwnd, second);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(waits, std::vector<int>{25});
}

TEST_F(QueueTest, NothingToWaitForFailsInsteadOfHanging) {
  MSG msg;
  EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
  // No window and no timer: nothing can ever come.
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
  // A window, but no source for its events (no display).
  HWND hwnd = Create();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  UseEventSource(nullptr, nullptr);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
  EXPECT_TRUE(waits.empty());
}

TEST_F(QueueTest, AltF4BecomesSysCommandThenClose) {
  HWND hwnd = Create();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(Next().message, (UINT)WM_PAINT);
  sent.clear();
  arriving.push_back([&] { PostToQueue(hwnd, WM_SYSKEYDOWN, VK_F4, 1 << 29); });
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(got, FALSE);
  std::vector<UINT> messages;
  for (const Sent& s : sent) messages.push_back(s.message);
  EXPECT_EQ(messages, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1].wParam, (WPARAM)SC_CLOSE);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(closed, 1);
}
