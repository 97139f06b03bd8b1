#include "tests/RecordingSink.h"

#include "platform/Surface.h"

std::vector<PixelCall> pixelCalls;

void ClearPixelCalls() {
  pixelCalls.clear();
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour) {
  const COLORREF result = PutPixel(hdc, x, y, colour);
  pixelCalls.push_back({hdc, x, y, colour, result});
  return result;
}
