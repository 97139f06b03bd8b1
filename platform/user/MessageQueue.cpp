// The thread's message queue: posted messages, the quit message, paints and
// timers, handed out in Windows' order (posted first, then the quit message,
// then paints, then timers). Between messages it waits on its event source.
#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

#include "platform/user/EventSource.h"
#include "platform/user/Queue.h"

namespace {

constexpr UINT kTimerMinimum = 10;  // USER_TIMER_MINIMUM, as on Windows

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  uint64_t due;
  TIMERPROC proc;
};

uint64_t SteadyClock() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

static std::vector<Timer> timers;
static std::deque<MSG> posted;
static bool quitPosted = false;
static int quitCode = 0;
static const EventSource* source = nullptr;
static Clock now = SteadyClock;

void UseEventSource(const EventSource* events, Clock clock) {
  source = events;
  now = clock != nullptr ? clock : SteadyClock;
}

void PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg = {};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = (DWORD)now();
  posted.push_back(msg);
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (!IsWindow(hwnd)) return 0;
  elapse = std::max(elapse, kTimerMinimum);
  const Timer timer = {hwnd, id, elapse, now() + elapse, proc};
  auto same = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (same != timers.end()) {
    *same = timer;
  } else {
    timers.push_back(timer);
  }
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  const auto end = std::remove_if(timers.begin(), timers.end(),
                                  [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  const BOOL found = end != timers.end();
  timers.erase(end, timers.end());
  return found;
}

void DropTimers(HWND hwnd) {
  std::erase_if(timers, [&](const Timer& t) { return t.hwnd == hwnd; });
}

void ClearQueue() {
  timers.clear();
  posted.clear();
  quitPosted = false;
  quitCode = 0;
}

// The next message, if one is due now; sets wake to when a timer is next due.
static BOOL NextMessage(MSG* msg, uint64_t& wake) {
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
  if (HWND hwnd = WindowToPaint()) {
    *msg = {};
    msg->hwnd = hwnd;
    msg->message = WM_PAINT;
    return TRUE;
  }
  const uint64_t time = now();
  for (Timer& t : timers) {
    if (t.due <= time) {
      t.due = time + t.elapse;  // one WM_TIMER at a time, never a backlog
      *msg = {};
      msg->hwnd = t.hwnd;
      msg->message = WM_TIMER;
      msg->wParam = t.id;
      msg->lParam = (LPARAM)t.proc;
      msg->time = (DWORD)time;
      return TRUE;
    }
    wake = std::min(wake, t.due);
  }
  return -1;
}

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) {
  if (msg == nullptr) return -1;
  for (;;) {
    if (source != nullptr) source->poll();
    uint64_t wake = UINT64_MAX;
    const BOOL got = NextMessage(msg, wake);
    if (got != -1) return got;
    // Nothing to wait for would mean waiting for ever: report it instead.
    if (source == nullptr || (!AnyWindow() && timers.empty())) return -1;
    const uint64_t time = std::min(now(), wake);
    source->wait(wake == UINT64_MAX ? -1 : (int)std::min<uint64_t>(wake - time, 1000));
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
  return SendToWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
