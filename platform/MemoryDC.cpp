// Memory device contexts and DIB sections: the surface that the headless
// renderer and the tests draw into.
#include <new>

#include "platform/LargePages.h"
#include "platform/Surface.h"

struct HBITMAP__ {
  PixelSurface surface;
  uint32_t* pixels;
  size_t bytes;
  HDC selectedInto;
};

static uint32_t ToSurfacePixel(COLORREF color) {
  return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}

static COLORREF ToColorRef(uint32_t pixel) {
  return (pixel & 0xFF) << 16 | (pixel & 0xFF00) | (pixel >> 16 & 0xFF);
}

static uint32_t* PixelAt(HDC hdc, int x, int y) {
  if (hdc == nullptr || hdc->surface.top == nullptr) return nullptr;
  if (x < 0 || y < 0 || x >= hdc->surface.width || y >= hdc->surface.height) return nullptr;
  return hdc->surface.top + y * hdc->surface.stride + x;
}

COLORREF PutPixel(HDC hdc, int x, int y, COLORREF color) {
  uint32_t* pixel = PixelAt(hdc, x, y);
  if (pixel == nullptr) return CLR_INVALID;
  const uint32_t value = ToSurfacePixel(color & 0xFFFFFF);
  // A window need show again only what changes: a replay of the same
  // colours changes nothing.
  if (*pixel != value) *pixel = value, hdc->changed = true;
  return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  uint32_t* pixel = PixelAt(hdc, x, y);
  return pixel == nullptr ? CLR_INVALID : ToColorRef(*pixel);
}

HDC CreateCompatibleDC(HDC) {
  return new (std::nothrow) HDC__{};
}

BOOL DeleteDC(HDC hdc) {
  if (hdc == nullptr || hdc->owner != nullptr) return FALSE;
  if (hdc->bitmap != nullptr) hdc->bitmap->selectedInto = nullptr;
  delete hdc;
  return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biPlanes != 1) {
    return nullptr;
  }
  // Keep both sides well inside int so that row arithmetic cannot overflow.
  const long long width = header.biWidth;
  const long long height = header.biHeight < 0 ? -(long long)header.biHeight : header.biHeight;
  if (width <= 0 || height <= 0 || width > 32768 || height > 32768) return nullptr;

  const size_t bytes = (size_t)(width * height) * sizeof(uint32_t);
  uint32_t* pixels = static_cast<uint32_t*>(AllocateLargePages(bytes));
  HBITMAP bitmap = pixels ? new (std::nothrow) HBITMAP__{} : nullptr;
  if (bitmap == nullptr) {
    FreeLargePages(pixels, bytes);
    return nullptr;
  }
  bitmap->pixels = pixels;
  bitmap->bytes = bytes;
  bitmap->surface.width = (int)width;
  bitmap->surface.height = (int)height;
  if (header.biHeight < 0) {
    bitmap->surface.top = pixels;
    bitmap->surface.stride = (ptrdiff_t)width;
  } else {
    bitmap->surface.top = pixels + (height - 1) * width;
    bitmap->surface.stride = -(ptrdiff_t)width;
  }
  if (bits != nullptr) *bits = pixels;
  return bitmap;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  HBITMAP bitmap = static_cast<HBITMAP>(object);
  if (hdc == nullptr || bitmap == nullptr || hdc->owner != nullptr) return HGDI_ERROR;
  if (bitmap->selectedInto != nullptr && bitmap->selectedInto != hdc) return HGDI_ERROR;
  HBITMAP previous = hdc->bitmap;
  if (previous != nullptr) previous->selectedInto = nullptr;
  bitmap->selectedInto = hdc;
  hdc->bitmap = bitmap;
  hdc->surface = bitmap->surface;
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  HBITMAP bitmap = static_cast<HBITMAP>(object);
  if (bitmap == nullptr || bitmap->selectedInto != nullptr) return FALSE;
  FreeLargePages(bitmap->pixels, bitmap->bytes);
  delete bitmap;
  return TRUE;
}
