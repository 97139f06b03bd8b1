// A frame: the scene built for one view, its skip maps and the kernel set
// that shades its runs, set up once and then marched, whole or a column at
// a time. The one way every program and test sets up the fast march.
#pragma once

#include <memory>

#include "march/FastMarch.h"
#include "march/MarchColumns.h"

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

// How a frame's columns are computed. Either way the image is the same,
// bit for bit.
struct MarchOptions {
  int threads = 0;  // threads to compute with; 0 means one per core
  // true: every sample of every pixel on the calling thread, as the image
  // is defined (MarchPixel); false: the fast march.
  bool reference = false;
};

// Computes every column of the built frame and hands each to sink on the
// calling thread, x = 0 to 1024 in order, each as soon as it and those
// before it are complete.
void MarchFrame(const Frame& frame, const MarchOptions& options, ColumnSink sink, void* context);

// The same for every step-th column and row alone (step 1 to 1024): sink
// gets x = 0, step, 2 step, ... up to 1024, in order, each with the
// colours of rows 0, step, 2 step, ... up to 768, top to bottom: exactly
// those pixels of MarchFrame's columns. A turn's half-size frames (step 2)
// are these.
void MarchFrameEvery(const Frame& frame, const MarchOptions& options, int step, ColumnSink sink,
                     void* context);
