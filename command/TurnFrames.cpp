#include "command/TurnFrames.h"

#include <cstring>

#include "turn/TurnViews.h"

static void KeepColumn(void* context, int x, const PackedColour* column) {
  FrameColours& frame = *static_cast<FrameColours*>(context);
  std::memcpy(&frame.colours[(size_t)(x / frame.step) * frame.rows], column,
              (size_t)frame.rows * sizeof(PackedColour));
}

void RenderTurnFrame(Frame& frame, View start, int k, int frames, const char* kernels,
                     const MarchOptions& march, FrameColours& colours) {
  BuildFrame(frame, TurnView(start, k, frames), kernels);
  MarchFrameEvery(frame, march, colours.step, KeepColumn, &colours);
}

FrameColours NewFrameColours(int width, int height) {
  FrameColours frame;
  frame.step = (kColumnCount - 1) / (width - 1);
  frame.rows = height;
  frame.colours.resize((size_t)width * height);
  return frame;
}
