// A memory device context over a 32-bit DIB section: what the headless
// renderer, the tests and the benchmark draw into in place of a window.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

struct MemoryContext {
  HDC hdc;
  HBITMAP bitmap;
  HGDIOBJ previous;  // the bitmap it replaced in hdc
  uint32_t* bits;    // the pixels, 0x00RRGGBB, in the section's row order
};

// A context with a width x height surface; a negative height runs its rows
// top-down, as the window's client area and a PNG do. False, with nothing
// left to delete, where it cannot be had.
bool CreateMemoryContext(int width, int height, MemoryContext& context);

void DeleteMemoryContext(MemoryContext& context);
