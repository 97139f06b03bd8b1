// The window program's stages, on request: with ORBELUNE_REPORT_STAGES set,
// each stage is said on stderr once, as "orbelune: STAGE SECONDS" with the
// wall clock's seconds, so that a benchmark can take the time from launch to
// the complete image on the screen without polling the screen (which would
// load the machine it measures), and see where that time goes.
#pragma once

// Notes a stage the first time it is reached.
void ReportStage(const char* stage);

// Counts a column's worth of pixels drawn into a window: the render pass's
// first and last columns are stages.
void CountColumnDrawn();

// Notes that a window showed its canvas: the first show after the last
// column was drawn is the stage "image shown".
void CountPresent();
