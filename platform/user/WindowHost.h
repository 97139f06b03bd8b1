// What the window calls need from the desktop's window behind each HWND: a
// canvas to draw into, and showing it. The window layer's host is SDL; the
// tests fake it.
#pragma once

#include <cstdint>

#include "platform/User.h"

struct NativeWindow;

struct WindowHost {
  // Opens the desktop's window, hidden, and its canvas, edge included; null
  // where it cannot.
  NativeWindow* (*open)(HWND hwnd, const char* title, int x, int y, int width, int height,
                        int edge);
  void (*close)(NativeWindow* window);
  void (*show)(NativeWindow* window, bool visible);
  // The device context that draws into the client area.
  HDC (*dc)(NativeWindow* window);
  // Fills the client area with a colour, 0x00RRGGBB.
  void (*fill)(NativeWindow* window, uint32_t rgb);
  // A paint or a draw has ended: show what it changed, at the display's pace.
  void (*drawn)(NativeWindow* window);
};

void UseWindowHost(const WindowHost* host);
