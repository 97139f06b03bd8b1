// The renderer's entry. DrawBall computes the image once, on its first call,
// drawing each pixel through SetPixel as soon as it is known and keeping it in
// the frame store; every later call replays the frame store.
#pragma once

#include "platform/Win32.h"
#include "scene/Scene.h"

constexpr int kImageWidth = 1025;  // columns 0 to 1024
constexpr int kImageHeight = 769;  // rows 0 to 768

// Draws the whole image into hdc: 788,225 SetPixel calls, column by column,
// each column top to bottom. Nothing to report; the sink's results are ignored.
void DrawBall(HDC hdc);

// 0 until the render pass begins, then 1 for good. Written only by DrawBall.
extern int bin;

// The frame store: the packed COLORREF of pixel (x, y) held as a float
// (exact, every colour is below 2^24), column-major. Written only by DrawBall;
// others may read it once the first call has returned.
extern float mmo[kImageWidth][kImageHeight];

// How the render pass runs; set before the first DrawBall. Either way the
// image is the same, bit for bit.
// Worker threads for the render pass; 0 means one per core.
extern int nRenderThreads;
// true: march every sample of every pixel on the calling thread, as the
// image is defined; false (the default): the fast march, skipping samples
// that cannot contribute.
extern bool bReferenceMarch;
// The fast march's kernel set by name ("scalar", "avx2"); null, or a set
// this build or processor does not run, for the fastest it runs.
extern const char* szRenderKernels;
// The view the render pass computes; the window program keeps the image's.
extern View renderView;
