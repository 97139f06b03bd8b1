// What the turn's encoder settings cost: the first frames of a turn
// rendered once, then encoded with each setting, its time and size a frame
// printed beside the default's.
//
//   build/release/bench/turn_bench [FRAMES [OF] [--half | --quarter]]
//
// FRAMES (default 12) consecutive frames of an OF-frame turn (default 360)
// from the image's view, at full size, half or quarter. The sizes hold on any
// machine; the times are of this one, and a loaded machine's are longer.
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "march/Frame.h"
#include "digest/FrameDigest.h"
#include "turn/TurnEncoding.h"
#include "turn/TurnViews.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Frames {
  int step, rows;
  std::vector<std::vector<PackedColour>> colours;
};

void KeepColumn(void* context, int x, const PackedColour* column) {
  Frames& frames = *static_cast<Frames*>(context);
  std::memcpy(&frames.colours.back()[(size_t)(x / frames.step) * frames.rows], column,
              (size_t)frames.rows * sizeof(PackedColour));
}

struct Setting {
  const char* name;
  TurnEncoding encoding;
};

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 12;
  const int of = argc > 2 ? std::atoi(argv[2]) : 360;
  const int step = argc > 3 && std::strcmp(argv[3], "--half") == 0      ? 2
                   : argc > 3 && std::strcmp(argv[3], "--quarter") == 0 ? 4
                                                                         : 1;
  if (count < 2 || of < count || of > kMaxTurnFrames) {
    std::fprintf(stderr, "usage: turn_bench [FRAMES [OF] [--half | --quarter]], 2 <= FRAMES <= OF <= 3600\n");
    return 2;
  }
  TurnShape shape;
  shape.frames = count;
  shape.width = (kColumnCount - 1) / step + 1, shape.height = (kColumnHeight - 1) / step + 1;
  Frames frames = {step, shape.height, {}};
  std::vector<std::string> digests;
  const auto frame = std::make_unique<Frame>();
  auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < count; ++k) {
    frames.colours.emplace_back((size_t)shape.width * shape.height);
    BuildFrame(*frame, TurnView(kImageView, k, of));
    MarchFrameEvery(*frame, {}, frames.step, KeepColumn, &frames);
    digests.push_back(ColoursDigest(frames.colours.back().data(), frames.colours.back().size()));
  }
  const double render = Since(start) / count;
  std::printf("%d frames of a %d-frame turn, %d x %d: rendering %.3f s a frame (%.2f a second)\n",
              count, of, shape.width, shape.height, render, 1 / render);

  const TurnEncoding defaults;
  const Setting settings[] = {
      {"default: key frames, m4, q25", defaults},
      {"key frames, method 0", {0, 25, 1, 1}},
      {"key frames, method 2", {2, 25, 1, 1}},
      {"key frames, method 6", {6, 25, 1, 1}},
      {"key frames, quality 0", {4, 0, 1, 1}},
      {"key frames, quality 75", {4, 75, 1, 1}},
      {"key frames, m6, q100", {6, 100, 1, 1}},
      {"key frame every 9 to 17, q25", {4, 25, 9, 17}},
      {"first frame alone key, q25", {4, 25, INT_MAX - 1, INT_MAX}},
      {"libwebp's: first alone key, q75", {4, 75, INT_MAX - 1, INT_MAX}},
  };
  std::printf("%-32s %12s %12s %14s %12s\n", "setting", "ms a frame", "KB a frame",
              "MB a 360-turn", "vs default");
  double defaultBytes = 0;
  for (const Setting& setting : settings) {
    std::string why;
    start = std::chrono::steady_clock::now();
    TurnWriter* writer = BeginTurnEncoded(shape, setting.encoding, why);
    bool ok = writer != nullptr;
    for (int k = 0; ok && k < count; ++k)
      ok = AddTurnFrame(writer, frames.colours[k].data(), digests[k], why);
    std::vector<uint8_t> file;
    ok = ok && FinishTurn(writer, file, why);
    FreeTurn(writer);
    const double seconds = Since(start);
    if (!ok) {
      std::printf("%-32s failed: %s\n", setting.name, why.c_str());
      continue;
    }
    const double bytes = (double)file.size() / count;
    if (defaultBytes == 0) defaultBytes = bytes;
    std::printf("%-32s %12.1f %12.1f %14.1f %11.0f%%\n", setting.name, 1000 * seconds / count,
                bytes / 1024, bytes * 360 / 1e6, 100 * bytes / defaultBytes);
  }
  return 0;
}
