// The renderer in WebAssembly: what the page's workers call. Each worker
// holds a frame of its own and computes the columns it is handed;
// the page draws them in order. The same fast march and definitions as
// every other build, so the same bits.
#include <emscripten/emscripten.h>

#include <cstring>
#include <string>

#include "march/Frame.h"
#include "text/ViewText.h"
#include "turn/TurnViews.h"

static Frame frame;
static ContributionLists lists;
static Accumulator accs[kColumnHeight];
static uint32_t column[kColumnHeight];
static View view = kImageView;

extern "C" {

// Builds the scene and its maps, and picks the kernel set by name ("" for
// the fastest this module has). Returns 0, or -1 for a set it has not.
EMSCRIPTEN_KEEPALIVE int OrbeluneBegin(const char* name) {
  if (!BuildFrame(frame, kImageView, name)) return -1;
  view = kImageView;
  return 0;
}

// Turns the scene to the view "A,B,C" (radians, each angle the float
// strtof reads, as orbelune-render --view reads it), after OrbeluneBegin.
// Returns 0, or -1 for text that is no view (the view is kept).
EMSCRIPTEN_KEEPALIVE int OrbeluneView(const char* text) {
  View asked;
  std::string why;
  if (!ParseView(text, asked, why)) return -1;
  // The same floats, bit for bit, as the scene has (the image's view after
  // OrbeluneBegin): nothing to build again, on a worker's way to its first
  // column.
  if (std::memcmp(&asked, &view, sizeof view) == 0) return 0;
  view = asked;
  BuildFrame(frame, view, frame.kernels->name);
  return 0;
}

// The page's reader of view texts, the command's own (ParseView), so that
// the page takes and refuses exactly the texts orbelune-render --view
// does, as the same floats. The page writes a text's UTF-8 bytes into the
// room OrbeluneViewRoom gives, then calls OrbeluneReadView.
static std::string asked, why, shortest, turnText;
static float angles[3];
static View lastRead = kImageView;

// Linux's most for one argument of a command, its NUL not counted: no
// longer text reaches --view. Refused here too, which also keeps each
// worker's copy of a view's text on its stack well within the stack.
static const size_t kLongestViewText = 131071;

EMSCRIPTEN_KEEPALIVE char* OrbeluneViewRoom(int length) {
  asked.assign(length > 0 ? (size_t)length : 0, '\0');
  return asked.data();
}

// Why the text in the room is no view, or "" for a view, whose floats
// OrbeluneReadAngles and whose shortest text OrbeluneReadText then give.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneReadView() {
  View read;
  if (asked.size() > kLongestViewText) {
    why = "a view's text is longer than " + std::to_string(kLongestViewText) +
          " bytes, the most a command's argument holds";
  } else if (std::memchr(asked.data(), '\0', asked.size()) != nullptr) {
    why = "a NUL is no part of a view";  // which a C string would cut short
  } else if (ParseView(asked.c_str(), read, why)) {
    why.clear();
    angles[0] = read.A, angles[1] = read.B, angles[2] = read.C;
    shortest = ViewText(read);
    lastRead = read;
  }
  return why.c_str();
}

// The last view read: its three floats, and each as the shortest text that
// reads back as it ("A,B,C", as orbelune-render's PNG names a view).
EMSCRIPTEN_KEEPALIVE const float* OrbeluneReadAngles() {
  return angles;
}

EMSCRIPTEN_KEEPALIVE const char* OrbeluneReadText() {
  return shortest.c_str();
}

// Frame k of a turn of `frames` from the last view read, as the shortest
// text that reads back as its floats: the view orbelune-render --turn gives
// that frame, for the page's Play. "" for a frame out of range.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneReadTurnView(int frame, int frames) {
  const bool inRange = frames >= kMinTurnFrames && frames <= kMaxTurnFrames && frame >= 0 &&
                       frame < frames;
  turnText = inRange ? ViewText(TurnView(lastRead, frame, frames)) : "";
  return turnText.c_str();
}

// Whether the view in use is the image's, bit for bit: the page shows the
// golden verdict only then, and cannot tell from its own doubles.
EMSCRIPTEN_KEEPALIVE int OrbeluneIsImageView() {
  return IsImageView(view) ? 1 : 0;
}

// The name of the kernel set in use.
EMSCRIPTEN_KEEPALIVE const char* OrbeluneKernels() {
  return frame.kernels != nullptr ? frame.kernels->name : "";
}

// Column x's 769 packed colours (COLORREF, top to bottom), valid until the
// next call.
EMSCRIPTEN_KEEPALIVE const uint32_t* OrbeluneColumn(int x) {
  MarchColumnFast(MarchOf(frame), x, lists, accs);
  for (int y = 0; y < kColumnHeight; ++y) column[y] = PackColour(accs[y]);
  return column;
}

// Column x's colours for the preview while the view turns: the rows y = 0,
// step, 2 step, ... are the exact image's, each row between repeats the
// one above it, as blocks; a step-th of the work. Null for a step below 1.
EMSCRIPTEN_KEEPALIVE const uint32_t* OrbelunePreviewColumn(int x, int step) {
  if (step < 1) return nullptr;
  MarchColumnRows(MarchOf(frame), x, 0, step, lists, accs);
  for (int y = 0; y < kColumnHeight; ++y) column[y] = PackColour(accs[y - y % step]);
  return column;
}

// Column x's colours at rows first, first + step, ... only (the other rows
// hold nothing of use): the pieces a sharpening image is computed in, coarse
// to fine. Null for a first row or step out of range.
EMSCRIPTEN_KEEPALIVE const uint32_t* OrbeluneRows(int x, int first, int step) {
  if (step < 1 || first < 0 || first >= kColumnHeight) return nullptr;
  MarchColumnRows(MarchOf(frame), x, first, step, lists, accs);
  for (int y = first; y < kColumnHeight; y += step) column[y] = PackColour(accs[y]);
  return column;
}

// The float accumulators (R, G, B) behind the last column's colours, for
// the tests to hold kernel sets to each other bit for bit.
EMSCRIPTEN_KEEPALIVE const Accumulator* OrbeluneAccumulators() {
  return accs;
}

}  // extern "C"
