#include "platform/MemoryContext.h"

bool CreateMemoryContext(int width, int height, MemoryContext& context) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  context = {};
  context.hdc = CreateCompatibleDC(nullptr);
  if (context.hdc == nullptr) return false;
  context.bitmap = CreateDIBSection(context.hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (context.bitmap == nullptr) {
    DeleteDC(context.hdc);
    return false;
  }
  context.previous = SelectObject(context.hdc, context.bitmap);
  context.bits = static_cast<uint32_t*>(bits);
  return true;
}

void DeleteMemoryContext(MemoryContext& context) {
  SelectObject(context.hdc, context.previous);
  DeleteDC(context.hdc);
  DeleteObject(context.bitmap);
  context = {};
}
