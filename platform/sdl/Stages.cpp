#include "platform/sdl/Stages.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/ImageSize.h"

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
  // The image's columns make the image; every later column is a replay's.
  if (columnsDrawn == 1) ReportStage("first-column-drawn");
  if (columnsDrawn == ImageColumns()) ReportStage("last-column-drawn");
}

void CountPresent() {
  if (imageShown || columnsDrawn < ImageColumns()) return;
  imageShown = true;
  ReportStage("image-shown");
}
