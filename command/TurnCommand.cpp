#include "command/TurnCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "command/OutputReport.h"
#include "command/Progress.h"
#include "command/TurnFrames.h"
#include "digest/FrameDigest.h"
#include "turn/TurnWriter.h"

using Writer = std::unique_ptr<TurnWriter, decltype(&FreeTurn)>;

Outcome MakeTurn(const TurnRequest& request) {
  if (request.writeFile && !OutputWritable(request.output)) return {1};
  TurnShape shape;
  shape.start = request.render.view;
  shape.frames = request.frames;
  shape.fps = request.fps;
  shape.width = (kColumnCount - 1) / request.step + 1;
  shape.height = (kColumnHeight - 1) / request.step + 1;
  std::string why;
  const Writer writer(BeginTurn(shape, why), FreeTurn);
  if (!writer) {
    std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
    return {1};
  }
  const auto frame = std::make_unique<Frame>();
  FrameColours colours = NewFrameColours(shape.width, shape.height);
  Outcome outcome;
  StartProgress(isatty(STDERR_FILENO) != 0);
  for (int k = 0; k < shape.frames; ++k) {
    RenderTurnFrame(*frame, shape.start, k, shape.frames, request.render.kernels,
                    request.render.march, colours);
    const std::string digest = ColoursDigest(colours.colours.data(), colours.colours.size());
    // Said once, the progress line cleared first.
    if (request.digest && !outcome.outputLossSaid &&
        !PrintDigest(digest, [] { FinishProgress(); })) {
      outcome = {1, true};
      // The digests were all this turn was for: no frame after is wanted.
      if (!request.writeFile) return outcome;
    }
    if (!AddTurnFrame(writer.get(), colours.colours.data(), digest, why)) {
      FinishProgress();
      std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
      return {1};
    }
    FrameDone("turning", k + 1, shape.frames);
  }
  const double seconds = FinishProgress();
  std::vector<uint8_t> file;
  if (!FinishTurn(writer.get(), file, why)) {
    std::fprintf(stderr, "%s: %s\n", kName, why.c_str());
    return {1};
  }
  std::fprintf(stderr, "turned %d frames of %d x %d pixels in %.1f s (%.2f frames a second), "
               "%zu bytes\n", shape.frames, shape.width, shape.height, seconds,
               shape.frames / seconds, file.size());
  const auto write = [&](FILE* out, std::string& error) {
    if (std::fwrite(file.data(), 1, file.size(), out) == file.size()) return true;
    error = std::strerror(errno);
    return false;
  };
  if (request.writeFile && !WriteOutput(request.output, write)) outcome.status = 1;
  return outcome;
}
