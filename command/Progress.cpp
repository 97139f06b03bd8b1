#include "command/Progress.h"

#include <chrono>
#include <cstdio>

#include "scene/Image.h"

static bool showProgress = false;
static std::chrono::steady_clock::time_point startTime;
static std::chrono::steady_clock::time_point lastShown;

static double SecondsSince(std::chrono::steady_clock::time_point then) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - then).count();
}

void StartProgress(bool show) {
  showProgress = show;
  startTime = std::chrono::steady_clock::now();
  lastShown = startTime;
}

void ColumnDrawn(int column) {
  if (!showProgress) return;
  // A few updates a second are plenty; the terminal must not slow the pass.
  if (SecondsSince(lastShown) < 0.2 && column != kColumnCount - 1) return;
  lastShown = std::chrono::steady_clock::now();
  const int done = column + 1;
  const double elapsed = SecondsSince(startTime);
  const double left = elapsed / done * (kColumnCount - done);
  std::fprintf(stderr, "\rrendering: %4d of %d columns, %5.1f s left ", done, kColumnCount, left);
  std::fflush(stderr);
}

void FrameDone(const char* doing, int done, int frames) {
  if (!showProgress) return;
  if (SecondsSince(lastShown) < 0.2 && done != frames) return;
  lastShown = std::chrono::steady_clock::now();
  const double left = SecondsSince(startTime) / done * (frames - done);
  std::fprintf(stderr, "\r%s: %4d of %d frames, %6.1f s left ", doing, done, frames, left);
  std::fflush(stderr);
}

double FinishProgress() {
  if (showProgress) std::fprintf(stderr, "\r%60s\r", "");
  return SecondsSince(startTime);
}
