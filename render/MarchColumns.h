// Inside the renderer: the fast render pass's columns, computed in parallel.
#pragma once

#include "render/FastMarch.h"

// The number of worker threads to use: requested, or all cores for 0.
int RenderThreadCount(int requested);

// Computes every column with the fast march on `threads` workers (on the
// calling thread alone for 1) and calls drawColumn for x = 0 to 1024, in
// that order, on the calling thread, each as soon as its column is complete.
void MarchColumns(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                  int threads, HDC hdc, void (*drawColumn)(HDC hdc, int x, const COLORREF* column));
