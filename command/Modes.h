// orbelune-render's modes, each in a file of its own, and the little they
// share.
#pragma once

#include <cstdint>
#include <string>

#include "command/Options.h"
#include "platform/MemoryContext.h"
#include "png/PngCodec.h"

// How a mode ends: its exit code, and whether the loss of what it printed
// to standard output was already said (so that it is not said twice).
struct Outcome {
  int status = 0;
  bool outputLossSaid = false;
};

// The image, written to a PNG, its digest printed, or both.
Outcome MakeImage(const Options& options);

// --check: whether a PNG holds the image, or a WebP is an exact turn.
int Check(const Options& options);

// --map: where the fast march's work goes, in false colour.
int MakeMap(const Options& options);

// The image's pixels, rendered into a new memory context (top-down rows)
// with progress on a terminal; false where the context cannot be had.
bool RenderInto(const RenderOptions& options, MemoryContext& context);

// Writes the PNG, the image's width and `height` rows, to the output and
// says where it went, or why it could not.
bool WritePngOutput(const std::string& output, const uint32_t* pixels, int height,
                    const PngText& text);

// What the PNG's comment adds for a view other than the image's: the view,
// as --view reads it back.
std::string ViewNamed(View view);
