// --check's reading of a turn, on any bytes: no crash, no undefined
// behaviour, and memory bounded by the file and one frame whatever the
// file says (the run's -rss_limit_mb and -malloc_limit_mb hold that).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "turn/TurnReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Through a stream, as --check reads a file or a pipe.
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  std::string why;
  TurnReader* reader = OpenTurn(file, why);
  // What the reader promises: a reason for every failure, and frames of
  // the size the metadata names, as many as it lists.
  if (reader == nullptr && why.empty()) __builtin_trap();
  if (reader != nullptr) {
    const TurnMetadata& turn = TurnInfo(reader);
    if ((int)turn.digests.size() != turn.frames) __builtin_trap();
    std::vector<PackedColour> colours;
    long seeThrough = 0;
    for (int k = 0; k < turn.frames; ++k) {
      why.clear();
      if (!NextTurnFrame(reader, colours, seeThrough, why)) {
        if (why.empty()) __builtin_trap();
        break;
      }
      if (colours.size() != (size_t)turn.width * turn.height) __builtin_trap();
    }
    CloseTurn(reader);
  }
  std::fclose(file);
  return 0;
}
