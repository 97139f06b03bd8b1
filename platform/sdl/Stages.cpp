#include "platform/sdl/Stages.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

static const bool reporting = std::getenv("ORBELUNE_REPORT_STAGES") != nullptr;
static long columnsDrawn = 0;
static bool imageShown = false;

void ReportStage(const char* stage) {
  if (!reporting) return;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  std::fprintf(stderr, "orbelune: %s %lld.%06ld\n", stage, (long long)now.tv_sec,
               now.tv_nsec / 1000);
}

void CountColumnDrawn() {
  ++columnsDrawn;
  // 1025 columns make the image; every later column is a replay's.
  if (columnsDrawn == 1) ReportStage("first-column-drawn");
  if (columnsDrawn == 1025) ReportStage("last-column-drawn");
}

void CountPresent() {
  if (imageShown || columnsDrawn < 1025) return;
  imageShown = true;
  ReportStage("image-shown");
}
