// A pixel sink for tests: it records every SetPixel call, then draws as the
// real sink does.
#pragma once

#include <vector>

#include "platform/Win32.h"

struct PixelCall {
  HDC hdc;
  int x;
  int y;
  COLORREF colour;
  COLORREF result;
};

// Every SetPixel call since the last ClearPixelCalls, in order.
extern std::vector<PixelCall> pixelCalls;

void ClearPixelCalls();
