#include "march/Frame.h"

#include <vector>

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

void MarchFrameEvery(const Frame& frame, const MarchOptions& options, int step, ColumnSink sink,
                     void* context) {
  if (step == 1) return MarchFrame(frame, options, sink, context);
  const int columns = (kColumnCount - 1) / step + 1, rows = (kColumnHeight - 1) / step + 1;
  std::vector<PackedColour> colours((size_t)columns * rows);
  if (options.reference) {
    for (float x = 0.0f; x <= 1024.0f; x = x + (float)step) {
      PackedColour* column = &colours[(size_t)((int)x / step) * rows];
      for (float y = 0.0f; y <= 768.0f; y = y + (float)step)
        column[(int)y / step] = MarchPixel(frame.scene, x, y);
    }
  } else {
    const MarchContext march = MarchOf(frame);
    // Sent on once all are done: a turn takes its frames whole anyway.
    const auto marchColumn = [&](ContributionLists& lists, int x) {
      if (x % step != 0) return;
      Accumulator accs[kColumnHeight];
      MarchColumnRows(march, x, 0, step, lists, accs);
      PackedColour* column = &colours[(size_t)(x / step) * rows];
      for (int y = 0; y < rows; ++y) column[y] = PackColour(accs[y * step]);
    };
    ShareColumns(RenderThreadCount(options.threads), marchColumn, nullptr, nullptr);
  }
  for (int i = 0; i < columns; ++i) sink(context, i * step, &colours[(size_t)i * rows]);
}
