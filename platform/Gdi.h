// GDI as the program uses it, for platforms other than Windows: the handle
// and colour types, the pixel sink and memory device contexts over DIB
// sections. Sizes and values match the Windows headers.
#pragma once

#include <cstdint>

typedef int32_t BOOL;
typedef int32_t LONG;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef DWORD COLORREF;
typedef void* HANDLE;
typedef void* HGDIOBJ;

// Distinct pointer types, as the Windows headers declare them.
struct HDC__;
typedef HDC__* HDC;
struct HBITMAP__;
typedef HBITMAP__* HBITMAP;

#define WINAPI
#define TRUE 1
#define FALSE 0
#define CLR_INVALID ((COLORREF)0xFFFFFFFF)
#define HGDI_ERROR ((HGDIOBJ)(intptr_t)-1)
#define BI_RGB 0
#define DIB_RGB_COLORS 0

#define RGB(r, g, b) \
  ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)((c) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows run top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// Sets pixel (x, y) of the context's surface where it lies inside it;
// returns the colour set, or CLR_INVALID for a pixel outside the surface or
// a context that cannot be drawn to (null, or with no surface selected).
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

// Reads pixel (x, y); CLR_INVALID where SetPixel could not set it.
COLORREF GetPixel(HDC hdc, int x, int y);

// A memory context with no surface until a bitmap is selected into it.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);

// Only 32-bit BI_RGB sections are supported (the only kind we draw into);
// anything else returns null. *bits receives the pixel rows, each pixel a
// 32-bit 0x00RRGGBB value, as on Windows.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Selects a bitmap into a memory context; returns the one selected before
// (null for none), or HGDI_ERROR.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);

// Frees a bitmap; fails (FALSE), as on Windows, while it is selected.
BOOL DeleteObject(HGDIOBJ object);
