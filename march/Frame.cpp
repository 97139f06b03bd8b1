#include "march/Frame.h"

#include "march/MarchColumns.h"

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

void MarchFrame(const Frame& frame, int threads, ColumnSink sink, void* context) {
  MarchColumns(MarchOf(frame), RenderThreadCount(threads), sink, context);
}
