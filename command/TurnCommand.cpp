#include "tools/TurnCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "text/ViewText.h"
#include "tools/FrameDigest.h"
#include "tools/OutputReport.h"
#include "tools/Progress.h"
#include "turn/TurnReader.h"
#include "turn/TurnViews.h"
#include "turn/TurnWriter.h"

static const char kName[] = "orbelune-render";

namespace {

// A frame's colours in frame-store order, as the march hands its columns.
struct FrameColours {
  int step, rows;
  std::vector<PackedColour> colours;
};

void KeepColumn(void* context, int x, const PackedColour* column) {
  FrameColours& frame = *static_cast<FrameColours*>(context);
  std::memcpy(&frame.colours[(size_t)(x / frame.step) * frame.rows], column,
              (size_t)frame.rows * sizeof(PackedColour));
}

// The colours of frame k of the turn: its view, every step-th column and row.
void RenderTurnFrame(Frame& frame, View start, int k, int frames, const char* kernels,
                     const MarchOptions& march, FrameColours& colours) {
  BuildFrame(frame, TurnView(start, k, frames), kernels);
  MarchFrameEvery(frame, march, colours.step, KeepColumn, &colours);
}

FrameColours NewFrameColours(int width, int height) {
  FrameColours frame;
  frame.step = (kColumnCount - 1) / (width - 1);
  frame.rows = height;
  frame.colours.resize((size_t)width * height);
  return frame;
}

using Writer = std::unique_ptr<TurnWriter, decltype(&FreeTurn)>;
using Reader = std::unique_ptr<TurnReader, decltype(&CloseTurn)>;

}  // namespace

int MakeTurn(const TurnRequest& request, bool& digestLost) {
  if (request.writeFile && !OutputWritable(request.output)) return 1;
  TurnShape shape;
  shape.start = request.start;
  shape.frames = request.frames;
  shape.fps = request.fps;
  shape.width = (kColumnCount - 1) / request.step + 1;
  shape.height = (kColumnHeight - 1) / request.step + 1;
  std::string why;
  const Writer writer(BeginTurn(shape, why), FreeTurn);
  if (!writer) {
    std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
    return 1;
  }
  const auto frame = std::make_unique<Frame>();
  FrameColours colours = NewFrameColours(shape.width, shape.height);
  int status = 0;
  StartProgress(isatty(STDERR_FILENO) != 0);
  for (int k = 0; k < shape.frames; ++k) {
    RenderTurnFrame(*frame, shape.start, k, shape.frames, request.kernels, request.march, colours);
    const std::string digest = ColoursDigest(colours.colours.data(), colours.colours.size());
    if (request.digest && !digestLost &&
        (std::printf("%s\n", digest.c_str()) < 0 || std::fflush(stdout) != 0)) {
      FinishProgress();
      std::fprintf(stderr, "%s: cannot write the digest: %s\n", kName, std::strerror(errno));
      digestLost = true;
      status = 1;
    }
    if (!AddTurnFrame(writer.get(), colours.colours.data(), digest, why)) {
      FinishProgress();
      std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
      return 1;
    }
    FrameDone("turning", k + 1, shape.frames);
  }
  const double seconds = FinishProgress();
  std::vector<uint8_t> file;
  if (!FinishTurn(writer.get(), file, why)) {
    std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
    return 1;
  }
  std::fprintf(stderr, "turned %d frames of %d x %d pixels in %.1f s (%.2f frames a second), "
               "%zu bytes\n", shape.frames, shape.width, shape.height, seconds,
               shape.frames / seconds, file.size());
  const auto write = [&](FILE* out, std::string& error) {
    if (std::fwrite(file.data(), 1, file.size(), out) == file.size()) return true;
    error = std::strerror(errno);
    return false;
  };
  if (request.writeFile && !WriteOutput(request.output, write)) status = 1;
  return status;
}

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

int CheckTurn(FILE* input, const std::string& file, const char* kernels,
              const MarchOptions& march) {
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
    RenderTurnFrame(*frame, turn.start, k, turn.frames, kernels, march, wanted);
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
