#include "turn/TurnViews.h"

#include <cstring>
#include <numbers>

View TurnView(View start, int frame, int frames) {
  // Widened once, in the order written: B + ((2 pi) k) / N, one rounding.
  const double step = 2 * std::numbers::pi * (double)frame / (double)frames;
  return {start.A, (float)((double)start.B + step), start.C};
}

int RepeatedTurnView(View start, int frames) {
  for (int k = 0; k + 1 < frames; ++k) {
    const View view = TurnView(start, k, frames), next = TurnView(start, k + 1, frames);
    if (std::memcmp(&view, &next, sizeof view) == 0) return k;
  }
  return -1;
}
