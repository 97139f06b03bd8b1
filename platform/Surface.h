// Inside the Win32 layer: what stands behind a device context. Every
// context, a memory one or (later) a window's, draws into a surface of
// 32-bit 0x00RRGGBB pixels; PutPixel is the one place that writes a pixel,
// so the real sink and the tests' recording sink clip identically.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Gdi.h"

struct PixelSurface {
  uint32_t* top;  // first pixel of row 0 (the top row), null for none
  int width;
  int height;
  ptrdiff_t stride;  // pixels from one row to the next; negative bottom-up
};

struct HDC__ {
  PixelSurface surface;
  HBITMAP bitmap;  // selected bitmap of a memory context, else null
  void* owner;     // the window of a window context, else null
  unsigned drawn;  // pixels set since the window last looked
  bool changed;    // whether a pixel took another colour since the window last showed it
};

// Writes the pixel where it lies on the context's surface; returns the
// colour set or CLR_INVALID.
COLORREF PutPixel(HDC hdc, int x, int y, COLORREF color);

// Window contexts: tells the window layer that pixels were drawn, so that it
// can show them at the display's pace while a long draw is still running.
void WindowSurfaceDrawn(HDC hdc);
