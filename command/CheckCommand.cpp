// --check: whether a file holds Orbelune's image or an exact turn of it,
// and where it does not. A turn's WebP begins "RIFF", a PNG with byte 0x89:
// the first byte tells which it is to be.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "command/Modes.h"
#include "command/Progress.h"
#include "command/TurnFrames.h"
#include "digest/FrameDigest.h"
#include "digest/GoldenDigest.h"
#include "files/InputFile.h"
#include "text/ShownText.h"
#include "text/ViewText.h"
#include "turn/TurnReader.h"

// What is said of a file that is neither a PNG nor a WebP.
static constexpr char kNeitherPngNorTurn[] = "not a PNG file, nor a WebP file";

using Reader = std::unique_ptr<TurnReader, decltype(&CloseTurn)>;

namespace {

// How frame k (1-based in messages) differs from what it should be, or ""
// where it is exact.
std::string FrameDifference(int k, const std::vector<PackedColour>& found, long seeThrough,
                            const std::string& carried, const FrameColours& wanted) {
  std::string said;
  long differing = 0;
  size_t first = 0;
  for (size_t i = 0; i < found.size(); ++i) {
    if (found[i] == wanted.colours[i]) continue;
    if (differing++ == 0) first = i;
  }
  const std::string of = " of " + std::to_string(found.size()) + " pixels";
  if (differing > 0) {
    char where[128];
    std::snprintf(where, sizeof where, " (the first at (%d, %d): 0x%06X, the view has 0x%06X)",
                  (int)(first / wanted.rows), (int)(first % wanted.rows), (unsigned)found[first],
                  (unsigned)wanted.colours[first]);
    said = std::to_string(differing) + of + " differ from its view's render" + where;
  }
  if (seeThrough > 0)
    said += (said.empty() ? "" : "; ") + std::to_string(seeThrough) + of + " are not fully opaque";
  if (ColoursDigest(found.data(), found.size()) != carried)
    said += (said.empty() ? "" : "; ") + std::string("its colours are not the digest it carries");
  return said.empty() ? "" : "  frame " + std::to_string(k + 1) + ": " + said + "\n";
}

// Says why the file cannot be checked; memory short is said as anywhere
// else in the command.
int CannotCheck(const std::string& file, const std::string& why) {
  if (why == kTurnOutOfMemory) throw std::bad_alloc();
  std::fprintf(stderr, "%s: cannot check %s: %s\n", kName, file.c_str(),
               why == kNotWebP ? kNeitherPngNorTurn : why.c_str());
  return 1;
}

}  // namespace

// Checks the turn read from input (named file in messages): each frame
// against the digest the file carries and against its view's render.
// Returns the exit code: 0 if every frame is exact, 1 if not (the frames
// that differ are said) or the file cannot be read as a turn. Throws
// std::bad_alloc where memory, not the file, fails the check.
static int CheckTurn(FILE* input, const std::string& file, const RenderOptions& options) {
  std::string why;
  const Reader reader(OpenTurn(input, why), CloseTurn);
  if (!reader) return CannotCheck(file, why);
  const TurnMetadata& turn = TurnInfo(reader.get());
  const auto frame = std::make_unique<Frame>();
  FrameColours wanted = NewFrameColours(turn.width, turn.height);
  std::vector<PackedColour> found;
  std::string differences;
  int differing = 0;
  StartProgress(isatty(STDERR_FILENO) != 0);
  for (int k = 0; k < turn.frames; ++k) {
    long seeThrough = 0;
    if (!NextTurnFrame(reader.get(), found, seeThrough, why)) {
      FinishProgress();
      return CannotCheck(file, why);
    }
    RenderTurnFrame(*frame, turn.start, k, turn.frames, options.kernels, options.march,
                    wanted);
    const std::string difference = FrameDifference(k, found, seeThrough, turn.digests[k], wanted);
    differing += !difference.empty();
    differences += difference;
    FrameDone("checking", k + 1, turn.frames);
  }
  FinishProgress();
  const std::string what = std::to_string(turn.frames) + " frames of " +
                           std::to_string(turn.width) + " x " + std::to_string(turn.height) +
                           " pixels from view " + ViewText(turn.start);
  if (differing == 0) {
    std::printf("%s is an exact turn of Orbelune: %s, every frame its view's render and its "
                "digest\n", file.c_str(), what.c_str());
    return 0;
  }
  std::printf("%s is not an exact turn of Orbelune (%s): %d of %d frames differ:\n%s",
              file.c_str(), what.c_str(), differing, turn.frames, differences.c_str());
  return 1;
}

// The colour of pixel (x, y) of top-down 0x00RRGGBB rows, as a COLORREF.
static uint32_t ColourAt(const uint32_t* rows, int x, int y) {
  return ColourOfPixel(rows[(size_t)y * kColumnCount + x]);
}

// Whether every pixel is fully opaque, as the image is; says the first
// that is not where one is not.
static bool Opaque(const char* file, const uint32_t* pixels) {
  long seeThrough = 0;
  int firstX = 0, firstY = 0;
  for (int y = 0; y < kColumnHeight; ++y) {
    for (int x = 0; x < kColumnCount; ++x) {
      if (pixels[(size_t)y * kColumnCount + x] >> 24 == 0xFF) continue;
      if (seeThrough++ == 0) firstX = x, firstY = y;
    }
  }
  if (seeThrough == 0) return true;
  std::printf("%s is not Orbelune's image: %ld of %d pixels are not fully opaque (the first at "
              "(%d, %d)), and the image is opaque\n",
              file, seeThrough, kColumnCount * kColumnHeight, firstX, firstY);
  return false;
}

// Says where the pixels differ from the image itself, rendered now.
static void SayDifferences(const char* file, const uint32_t* pixels,
                           const RenderOptions& options) {
  MemoryContext context;
  if (!RenderInto(options, context)) throw std::bad_alloc();
  long differing = 0;
  std::string where;
  for (int x = 0; x < kColumnCount; ++x) {
    for (int y = 0; y < kColumnHeight; ++y) {
      const uint32_t found = ColourAt(pixels, x, y), wanted = ColourAt(context.bits, x, y);
      if (found == wanted) continue;
      if (++differing <= 5) {
        char line[96];
        std::snprintf(line, sizeof line, "  (%d, %d): 0x%06X, the image has 0x%06X\n", x, y,
                      (unsigned)found, (unsigned)wanted);
        where += line;
      }
    }
  }
  DeleteMemoryContext(context);
  std::printf("%s is not Orbelune's image: %ld of %d pixels differ (COLORREFs, 0x00BBGGRR)%s\n%s",
              file, differing, kColumnCount * kColumnHeight, differing > 5 ? "; the first 5:" : ":",
              where.c_str());
}

// A WebP is checked as a turn; a PNG must hold the image. The image is
// opaque: a pixel a viewer would show blended with its background is not
// the image's, whatever colour it hides.
int Check(const Options& options) {
  const std::string name = options.check == "-" ? "standard input" : ShownText(options.check);
  const char* file = name.c_str();
  std::string error;
  const auto waiting = [&] {
    std::fprintf(stderr, "%s: waiting for something to write to %s\n", kName, file);
  };
  FILE* input = OpenInput(options.check, waiting, error);
  // A terminal by a name of its own (/dev/tty, /dev/pts/N), opened now.
  if (input != nullptr && isatty(fileno(input))) {
    std::fclose(input);
    return RefuseTerminalInput();
  }
  const int first = input != nullptr ? std::getc(input) : EOF;
  if (first != EOF) std::ungetc(first, input);
  if (first == EOF && input != nullptr && !std::ferror(input)) {
    std::fclose(input);
    std::fprintf(stderr, "%s: cannot check %s: an empty file\n", kName, file);
    return 1;
  }
  if (first == 'R') {
    const int status = CheckTurn(input, name, options.render);
    std::fclose(input);
    return status;
  }
  PngImage image;
  const bool read = input != nullptr && ReadPng(input, kColumnCount, kColumnHeight, image, error);
  if (input != nullptr) std::fclose(input);
  if (!read) {
    if (error == "not a PNG file") error = kNeitherPngNorTurn;
    std::fprintf(stderr, "%s: cannot check %s: %s\n", kName, file, error.c_str());
    return 1;
  }
  if (image.pixels.empty()) {
    std::printf("%s is not Orbelune's image: it is %u x %u pixels, the image %d x %d\n", file,
                (unsigned)image.width, (unsigned)image.height, kColumnCount, kColumnHeight);
    return 1;
  }
  const uint32_t* pixels = image.pixels.data();
  if (!Opaque(file, pixels)) return 1;
  const std::string digest = RowsDigest(pixels, kColumnCount, kColumnHeight);
  if (digest == kGoldenFrameDigest) {
    std::printf("%s is Orbelune's image (digest %s)\n", file, digest.c_str());
    return 0;
  }
  SayDifferences(file, pixels, options.render);
  return 1;
}
