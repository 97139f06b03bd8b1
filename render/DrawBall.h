// The renderer's entry. DrawBall computes the image once, on its first call,
// drawing each pixel through SetPixel as soon as it is known and keeping it in
// the frame store; every later call replays the frame store.
#pragma once

#include "march/Frame.h"
#include "platform/Win32.h"
#include "scene/Scene.h"

// Draws the whole image into hdc: 788,225 SetPixel calls, column by column,
// each column top to bottom. Nothing to report; the sink's results are ignored.
// The window's entry: its render pass runs with the default RenderOptions.
void DrawBall(HDC hdc);

// 0 until the render pass begins, then 1 for good. Written only by the
// render pass's entries.
extern int bin;

// The frame store: the packed COLORREF of pixel (x, y) held as a float
// (exact, every colour is below 2^24), column-major. Written only by the
// render pass; others may read it once it has returned.
extern float mmo[kColumnCount][kColumnHeight];

// How a render pass runs: the frame it builds (the view; the fast march's
// kernel set by name, "scalar", "avx2" or "avx512", null for the fastest this
// processor runs) and how its columns are computed. Either way the image
// is the same, bit for bit. Where columnDrawn is set, it is told of each
// column (x) once its pixels are drawn and stored, with the observer
// given: how the caller follows the pass, column by column in x order.
struct RenderOptions {
  View view = kImageView;  // the window program's is always the image's
  const char* kernels = nullptr;
  MarchOptions march;
  void (*columnDrawn)(void* observer, int x) = nullptr;
  void* observer = nullptr;
};

// The headless renderer's entry: DrawBall's render pass with the options
// given, if no render pass has begun (bin is 0); otherwise nothing. The
// image is drawn into hdc, whose size the caller chose.
void RenderImage(HDC hdc, const RenderOptions& options);
