// The pixel sink as the programs use it. The headless renderer and the tests
// link their own SetPixel over the same PutPixel instead.
#include "platform/ImageSize.h"
#include "platform/Surface.h"

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  const COLORREF result = PutPixel(hdc, x, y, color);
  // A window shows what is drawn into it; once a column's worth has been
  // drawn, let the window decide whether it is time to show it.
  if (hdc != nullptr && hdc->owner != nullptr && ++hdc->drawn >= (unsigned)ImageRows())
    WindowSurfaceDrawn(hdc);
  return result;
}
