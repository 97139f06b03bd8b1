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

// What MarchFrameEvery keeps of a whole frame marched the slow way.
struct EveryStep {
  int step, rows;
  PackedColour* colours;
};
static void KeepEveryStep(void* context, int x, const PackedColour* column) {
  const EveryStep& every = *static_cast<EveryStep*>(context);
  if (x % every.step != 0) return;
  PackedColour* kept = &every.colours[(size_t)(x / every.step) * every.rows];
  for (int y = 0; y < every.rows; ++y) kept[y] = column[y * every.step];
}

void MarchFrameEvery(const Frame& frame, const MarchOptions& options, int step, ColumnSink sink,
                     void* context) {
  if (step == 1) return MarchFrame(frame, options, sink, context);
  const int columns = (kColumnCount - 1) / step + 1, rows = (kColumnHeight - 1) / step + 1;
  std::vector<PackedColour> colours((size_t)columns * rows);
  if (options.reference) {
    EveryStep every = {step, rows, colours.data()};
    MarchFrame(frame, options, KeepEveryStep, &every);
  } else {
    const MarchContext march = MarchOf(frame);
    const auto marchColumn = [&](ContributionLists& lists, int x) {
      if (x % step != 0) return;
      Accumulator accs[kColumnHeight];
      MarchColumnRows(march, x, 0, step, lists, accs);
      PackedColour* column = &colours[(size_t)(x / step) * rows];
      for (int y = 0; y < rows; ++y) column[y] = PackColour(accs[y * step]);
    };
    ShareColumns(RenderThreadCount(options.threads), marchColumn, nullptr, nullptr);
  }
  // Sent on once all are done: a turn takes its frames whole anyway.
  for (int i = 0; i < columns; ++i) sink(context, i * step, &colours[(size_t)i * rows]);
}
