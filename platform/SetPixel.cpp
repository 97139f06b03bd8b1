// The pixel sink as programs use it. Tests and the headless renderer link
// their own SetPixel over the same PutPixel instead.
#include "platform/Surface.h"

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  return PutPixel(hdc, x, y, color);
}
