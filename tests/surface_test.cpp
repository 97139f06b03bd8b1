// Memory device contexts and the pixel sink behind them.
#include "platform/Surface.h"

#include <gtest/gtest.h>

namespace {

BITMAPINFO Info(int width, int height, int bits = 32) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = (WORD)bits;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

TEST(MemoryDC, DrawsColourRefsAsDibPixels) {
  const BITMAPINFO info = Info(4, -3);
  void* bits = nullptr;
  HDC hdc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(SelectObject(hdc, bitmap), nullptr);
  EXPECT_EQ(PutPixel(hdc, 1, 2, RGB(0x11, 0x22, 0x33)), RGB(0x11, 0x22, 0x33));
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  EXPECT_EQ(pixels[2 * 4 + 1], 0x00112233u);  // top-down rows, 0x00RRGGBB
  EXPECT_EQ(GetPixel(hdc, 1, 2), RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(DeleteObject(bitmap), FALSE);  // still selected
  EXPECT_EQ(DeleteDC(hdc), TRUE);
  EXPECT_EQ(DeleteObject(bitmap), TRUE);
}

TEST(MemoryDC, BottomUpSectionsStoreTheTopRowLast) {
  const BITMAPINFO info = Info(2, 3);
  void* bits = nullptr;
  HDC hdc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(hdc, bitmap);
  PutPixel(hdc, 0, 0, RGB(255, 0, 0));
  EXPECT_EQ(static_cast<const uint32_t*>(bits)[2 * 2], 0x00FF0000u);
  DeleteDC(hdc);
  DeleteObject(bitmap);
}

TEST(MemoryDC, ClipsToTheSurface) {
  const BITMAPINFO info = Info(1024, -768);
  HDC hdc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  SelectObject(hdc, bitmap);
  EXPECT_EQ(PutPixel(hdc, 1023, 767, 0x123456), 0x123456u);
  EXPECT_EQ(PutPixel(hdc, 1024, 0, 0x123456), CLR_INVALID);
  EXPECT_EQ(PutPixel(hdc, 0, 768, 0x123456), CLR_INVALID);
  EXPECT_EQ(PutPixel(hdc, -1, 0, 0x123456), CLR_INVALID);
  EXPECT_EQ(PutPixel(hdc, 0, -1, 0x123456), CLR_INVALID);
  EXPECT_EQ(GetPixel(hdc, 1024, 0), CLR_INVALID);
  DeleteDC(hdc);
  DeleteObject(bitmap);
}

TEST(MemoryDC, UnusableContextsDrawNothing) {
  EXPECT_EQ(PutPixel(nullptr, 0, 0, 0), CLR_INVALID);
  HDC empty = CreateCompatibleDC(nullptr);
  EXPECT_EQ(PutPixel(empty, 0, 0, 0), CLR_INVALID);
  EXPECT_EQ(SelectObject(empty, nullptr), HGDI_ERROR);
  EXPECT_EQ(DeleteDC(empty), TRUE);
  EXPECT_EQ(DeleteDC(nullptr), FALSE);
}

TEST(MemoryDC, RejectsSectionsItCannotDrawInto) {
  void* bits = reinterpret_cast<void*>(1);
  BITMAPINFO info = Info(4, 4, 24);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  info = Info(0, 4);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info = Info(1 << 30, 1 << 30);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(MemoryDC, ABitmapBelongsToOneContextAtATime) {
  const BITMAPINFO info = Info(2, 2);
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(first, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  SelectObject(first, bitmap);
  EXPECT_EQ(SelectObject(second, bitmap), HGDI_ERROR);
  DeleteDC(first);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  DeleteDC(second);
  EXPECT_EQ(DeleteObject(bitmap), TRUE);
}

}  // namespace
