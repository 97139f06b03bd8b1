// A frame: the scene built for one view, its skip maps and the kernel set
// that shades its runs, set up once and then marched, whole or a column at
// a time. The one way every program and test sets up the fast march.
#pragma once

#include <memory>

#include "march/FastMarch.h"

struct Frame {
  Scene scene;                      // about 1 MB
  std::unique_ptr<SkipMaps> maps;   // about 800 KB, apart from the scene
  const MarchKernels* kernels = nullptr;
};

// Builds the frame of a view with the kernel set of that name (null or ""
// for the fastest this processor runs): the scene, then its maps. False,
// and the frame left as it was, for a name no runnable set has.
bool BuildFrame(Frame& frame, View view = kImageView, const char* kernels = nullptr);

// The built frame as the per-column calls take it (MarchColumnFast,
// MarchColumnRows): the page's module computes single columns and rows,
// the maps and the benchmarks want counts, the tests accumulators.
inline MarchContext MarchOf(const Frame& frame) {
  return {frame.scene, *frame.maps, *frame.kernels};
}

// Receives column x's 769 packed colours, top to bottom.
using ColumnSink = void (*)(void* context, int x, const PackedColour* column);

// Computes every column of the built frame on `threads` threads (0: one
// per core) and hands each to sink on the calling thread, x = 0 to 1024 in
// order, each as soon as it and those before it are complete.
void MarchFrame(const Frame& frame, int threads, ColumnSink sink, void* context);
