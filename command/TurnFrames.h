// A turn's frames as the march computes them: what making a turn and
// checking one both render.
#pragma once

#include <vector>

#include "march/Frame.h"

// A frame's colours in frame-store order, as the march hands its columns.
struct FrameColours {
  int step, rows;
  std::vector<PackedColour> colours;
};

// Room for the colours of a width x height frame of a turn.
FrameColours NewFrameColours(int width, int height);

// The colours of frame k of the turn: its view, every step-th column and row.
void RenderTurnFrame(Frame& frame, View start, int k, int frames, const char* kernels,
                     const MarchOptions& march, FrameColours& colours);
