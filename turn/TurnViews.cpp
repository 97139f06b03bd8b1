#include "turn/TurnViews.h"

#include <numbers>

View TurnView(View start, int frame, int frames) {
  // Widened once, in the order written: B + ((2 pi) k) / N, one rounding.
  const double step = 2 * std::numbers::pi * (double)frame / (double)frames;
  return {start.A, (float)((double)start.B + step), start.C};
}
