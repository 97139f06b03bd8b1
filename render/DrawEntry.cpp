// The draw entry and the frame store: the first call computes the image,
// drawing each pixel as soon as it is known; every later call replays it.
#include "render/DrawBall.h"
#include "render/Scene.h"

int bin = 0;
float mmo[kImageWidth][kImageHeight];

// Computes every pixel column by column, draws it, then stores it.
static void RenderPass(HDC hdc) {
  Scene scene;  // about 1 MB, gone when the pass ends
  BuildVoxelField(scene.field);
  BuildBitmapLayers(scene.layers);
  BuildViewRotation(scene.rotation);
  for (float x = 0.0f; x <= 1024.0f; x = x + 1.0f) {
    for (float y = 0.0f; y <= 768.0f; y = y + 1.0f) {
      const COLORREF c = MarchPixel(scene, x, y);
      const float f = (float)c;  // exact: c < 2^24
      SetPixel(hdc, (int)x, (int)y, (COLORREF)(long long)f);
      mmo[(int)x][(int)y] = f;
    }
  }
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
