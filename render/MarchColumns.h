// Inside the renderer: the fast render pass's columns, computed in parallel.
#pragma once

#include "render/FastMarch.h"

// The number of threads to compute with: requested, or all cores for 0.
int RenderThreadCount(int requested);

// Computes every column with the fast march on `threads` threads, the
// calling thread and threads - 1 workers, and calls drawColumn for x = 0 to
// 1024, in that order, on the calling thread alone: each column once it is
// complete, as soon as the calling thread is between columns of its own.
void MarchColumns(const Scene& scene, const SkipMaps& maps, const MarchKernels& kernels,
                  int threads, HDC hdc, void (*drawColumn)(HDC hdc, int x, const COLORREF* column));
