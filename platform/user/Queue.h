// Inside the window layer: the window records and the thread's message
// queue, shared by the window calls, the queue and the event sources.
#pragma once

#include "platform/User.h"

struct NativeWindow;

struct HWND__ {
  WNDPROC proc;
  HBRUSH background;
  NativeWindow* native;  // the desktop's window
  bool visible;          // shown with ShowWindow
  bool needsPaint;       // a WM_PAINT is due
  bool needsErase;       // and, inside it, a WM_ERASEBKGND
  bool destroying;       // inside DestroyWindow
};

bool IsWindow(HWND hwnd);
// The window procedure, at once; nothing for a window that is gone.
LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The first shown window that waits for a WM_PAINT, or null.
HWND WindowToPaint();
bool AnyWindow();
// The desktop lost what the window showed: a WM_PAINT is due.
void InvalidateWindow(HWND hwnd);
// Destroys every window, as DestroyWindow does, and forgets the classes.
void DestroyAllWindows();
// Posts the message to every window: how an interrupt asks them to close.
void PostToEveryWindow(UINT message);

void PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Stops the window's timers: a destroyed window gets no more WM_TIMER.
void DropTimers(HWND hwnd);
// Forgets the posted messages, the quit message and the timers.
void ClearQueue();
