#include "march/Frame.h"


bool BuildFrame(Frame& frame, View view, const char* kernels) {
  const MarchKernels* set =
      kernels == nullptr || kernels[0] == '\0' ? &ChooseKernels() : KernelsNamed(kernels);
  if (set == nullptr) return false;
  if (!frame.maps) frame.maps = std::make_unique<SkipMaps>();
  frame.kernels = set;
  BuildScene(frame.scene, view);
  BuildSkipMaps(frame.scene, *frame.maps);
  return true;
}

// Every sample of every pixel, one after another: the image's definition,
// its loops counting in floats as the definition's do.
static void ReferenceColumns(const Scene& scene, ColumnSink sink, void* context) {
  PackedColour column[kColumnHeight];
  for (float x = 0.0f; x <= 1024.0f; x = x + 1.0f) {
    for (float y = 0.0f; y <= 768.0f; y = y + 1.0f) column[(int)y] = MarchPixel(scene, x, y);
    sink(context, (int)x, column);
  }
}

void MarchFrame(const Frame& frame, const MarchOptions& options, ColumnSink sink, void* context) {
  if (options.reference) return ReferenceColumns(frame.scene, sink, context);
  MarchColumns(MarchOf(frame), RenderThreadCount(options.threads), sink, context);
}
