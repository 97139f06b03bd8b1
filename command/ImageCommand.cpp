// The image: rendered into a memory device context through RenderImage,
// exactly as the window program draws into its window, then written to a
// PNG, its digest printed, or both.
#include <unistd.h>

#include <cstdio>
#include <new>

#include "command/Modes.h"
#include "command/OutputReport.h"
#include "command/Progress.h"
#include "digest/FrameDigest.h"
#include "text/ViewText.h"

// The pass's observer: a column is drawn.
static void ColumnDone(void*, int x) { ColumnDrawn(x); }

bool RenderInto(const RenderOptions& options, MemoryContext& context) {
  if (!CreateMemoryContext(kColumnCount, -kColumnHeight, context)) return false;
  RenderOptions observed = options;
  observed.columnDrawn = ColumnDone;
  StartProgress(isatty(STDERR_FILENO) != 0);
  RenderImage(context.hdc, observed);
  const double seconds = FinishProgress();
  std::fprintf(stderr, "rendered %d x %d pixels in %.1f s\n", kColumnCount, kColumnHeight, seconds);
  return true;
}

bool WritePngOutput(const std::string& output, const uint32_t* pixels, int height,
                    const PngText& text) {
  return WriteOutput(output, [&](FILE* file, std::string& error) {
    return WritePng(file, pixels, kColumnCount, height, text, error);
  });
}

std::string ViewNamed(View view) {
  return IsImageView(view) ? "" : "; view " + ViewText(view);
}

Outcome MakeImage(const Options& options) {
  const bool writePng = options.outputGiven || !options.digest;
  // Find out now, not after the long render, when the file cannot be written.
  if (writePng && !OutputWritable(options.output)) return {1};
  MemoryContext context;
  if (!RenderInto(options.render, context)) throw std::bad_alloc();
  // Of the pixels written, as the PNG will hold them.
  const std::string digest = RowsDigest(context.bits, kColumnCount, kColumnHeight);

  Outcome outcome;
  if (options.digest && !PrintDigest(digest)) outcome = {1, true};
  const PngText text = {kVersion, "SHA-256 of the frame's colours: " + digest +
                                      ViewNamed(options.render.view)};
  if (writePng && !WritePngOutput(options.output, context.bits, kColumnHeight, text))
    outcome.status = 1;
  DeleteMemoryContext(context);
  return outcome;
}
