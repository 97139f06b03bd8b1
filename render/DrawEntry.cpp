// The draw entry and the frame store: the first call computes the image,
// drawing each pixel as soon as it is known; every later call replays it.
#include <memory>

#include "march/MarchColumns.h"
#include "march/SkipMaps.h"
#include "platform/LargePages.h"
#include "render/DrawBall.h"
#include "scene/Scene.h"

int bin = 0;
// On a large page's boundary, so that the render pass's first touch of it
// can take large pages (see RenderPass).
ORBELUNE_LARGE_PAGE_ALIGNED float mmo[kImageWidth][kImageHeight];

int nRenderThreads = 0;
bool bReferenceMarch = false;
const char* szRenderKernels = nullptr;
View renderView = kImageView;

// Draws one pixel, then stores it: the draw comes first, and the store does
// not depend on it.
static void DrawAndStore(HDC hdc, int x, int y, COLORREF c) {
  const float f = (float)c;  // exact: c < 2^24
  SetPixel(hdc, x, y, (COLORREF)(long long)f);
  mmo[x][y] = f;
}

static void DrawColumn(HDC hdc, int x, const COLORREF* column) {
  for (int y = 0; y < kImageHeight; ++y) DrawAndStore(hdc, x, y, column[y]);
}

// Every sample of every pixel, one after another: the image's definition.
static void ReferencePass(HDC hdc, const Scene& scene) {
  for (float x = 0.0f; x <= 1024.0f; x = x + 1.0f) {
    for (float y = 0.0f; y <= 768.0f; y = y + 1.0f) {
      DrawAndStore(hdc, (int)x, (int)y, MarchPixel(scene, x, y));
    }
  }
}

// Builds the scene, then computes every pixel column by column, drawing and
// storing each column as it completes.
static void RenderPass(HDC hdc) {
  PreferLargePages(mmo, sizeof mmo);
  Scene scene;  // about 1 MB, gone when the pass ends
  BuildScene(scene, renderView);
  if (bReferenceMarch) {
    ReferencePass(hdc, scene);
    return;
  }
  // The fast march's own maps (about 800 KB) go on the heap: the stack
  // already holds the scene, and the main thread has only 2 MB of it.
  auto maps = std::make_unique<SkipMaps>();
  BuildSkipMaps(scene, *maps);
  const MarchKernels* named = szRenderKernels != nullptr ? KernelsNamed(szRenderKernels) : nullptr;
  const MarchContext march = {scene, *maps, named != nullptr ? *named : ChooseKernels()};
  MarchColumns(march, RenderThreadCount(nRenderThreads), hdc, DrawColumn);
}

// Writes the stored colours back, in the order they were computed.
static void ReplayPass(HDC hdc) {
  for (int x = 0; x <= 1024; ++x) {
    for (int y = 0; y <= 768; ++y) {
      SetPixel(hdc, x, y, (COLORREF)(long long)mmo[x][y]);
    }
  }
}

void DrawBall(HDC hdc) {
  if (bin == 0) {
    bin = 1;  // set before the pass: the pass happens once, whatever follows
    RenderPass(hdc);
  } else {
    ReplayPass(hdc);
  }
}
