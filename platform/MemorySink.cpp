// The pixel sink of programs that draw only into memory device contexts
// (the headless renderer, the benchmark): the memory surface's own, with
// nothing to show and nothing to watch. The window program links
// SetPixel.cpp instead.
#include "platform/Surface.h"

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour) {
  return PutPixel(hdc, x, y, colour);
}
