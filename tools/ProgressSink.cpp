// The headless renderer's pixel sink: the memory surface's own, plus a
// progress report as each column completes (the pass draws column by column).
#include "platform/Surface.h"
#include "render/DrawBall.h"
#include "tools/Progress.h"

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  const COLORREF result = PutPixel(hdc, x, y, color);
  if (y == kColumnHeight - 1) ColumnDrawn(x);
  return result;
}
