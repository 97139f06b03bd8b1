// The draw entry and the frame store: the first call computes the image,
// drawing each pixel as soon as it is known; every later call replays it.
#include "platform/ImageSize.h"
#include "platform/LargePages.h"
#include "render/DrawBall.h"
#include "scene/Scene.h"

int bin = 0;
// On a large page's boundary, so that the render pass's first touch of it
// can take large pages (see RenderPass).
ORBELUNE_LARGE_PAGE_ALIGNED float mmo[kColumnCount][kColumnHeight];

// Draws one pixel, then stores it: the draw comes first, and the store does
// not depend on it.
static void DrawAndStore(HDC hdc, int x, int y, PackedColour c) {
  const float f = (float)c;  // exact: c < 2^24
  SetPixel(hdc, x, y, (COLORREF)(long long)f);
  mmo[x][y] = f;
}

// Where a pass draws, and whom it tells.
struct PassSink {
  HDC hdc;
  const RenderOptions* options;
};

// The fast march's sink: draws and stores a column, then tells the
// caller's observer, if any.
static void DrawColumn(void* context, int x, const PackedColour* column) {
  const PassSink& sink = *static_cast<const PassSink*>(context);
  for (int y = 0; y < kColumnHeight; ++y) DrawAndStore(sink.hdc, x, y, column[y]);
  if (sink.options->columnDrawn != nullptr) sink.options->columnDrawn(sink.options->observer, x);
}

// Builds the scene, then computes every pixel column by column, drawing and
// storing each column as it completes (with the straightforward march too,
// where asked). The scene (about 1 MB) is on the stack and gone when the
// pass ends; the fast march's maps go on the heap, as the main thread has
// only 2 MB of stack.
static void RenderPass(HDC hdc, const RenderOptions& options) {
  PreferLargePages(mmo, sizeof mmo);
  Frame frame;
  // A kernel set no runnable set has the name of: the fastest.
  if (!BuildFrame(frame, options.view, options.kernels)) BuildFrame(frame, options.view);
  PassSink sink = {hdc, &options};
  MarchFrame(frame, options.march, DrawColumn, &sink);
}

// Writes the stored colours back, in the order they were computed.
static void ReplayPass(HDC hdc) {
  for (int x = 0; x < kColumnCount; ++x) {
    for (int y = 0; y < kColumnHeight; ++y) {
      SetPixel(hdc, x, y, (COLORREF)(long long)mmo[x][y]);
    }
  }
}

void RenderImage(HDC hdc, const RenderOptions& options) {
  if (bin != 0) return;
  bin = 1;  // set before the pass: the pass happens once, whatever follows
  RenderPass(hdc, options);
}

void DrawBall(HDC hdc) {
  if (bin == 0) {
    // The window's SetPixel counts a column's worth of pixels by the size
    // the platform is told.
    TellImageSize(kColumnCount, kColumnHeight);
    RenderImage(hdc, RenderOptions{});
  } else {
    ReplayPass(hdc);
  }
}
