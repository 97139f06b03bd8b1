// For the tests of --check: a turn rewritten with one pixel of one frame
// changed and every digest the file carried kept, as a damaged copy would
// be.
//   turn-damage IN.webp OUT.webp FRAME X Y   (FRAME from 1)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "turn/TurnReader.h"
#include "turn/TurnWriter.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: turn-damage IN.webp OUT.webp FRAME X Y\n");
    return 2;
  }
  const int damaged = std::atoi(argv[3]) - 1, x = std::atoi(argv[4]), y = std::atoi(argv[5]);
  FILE* in = std::fopen(argv[1], "rb");
  std::string why;
  TurnReader* reader = in != nullptr ? OpenTurn(in, why) : nullptr;
  if (reader == nullptr) {
    std::fprintf(stderr, "turn-damage: %s\n", why.c_str());
    return 1;
  }
  const TurnMetadata& turn = TurnInfo(reader);
  TurnShape shape;
  shape.start = turn.start;
  shape.frames = turn.frames;
  shape.width = turn.width, shape.height = turn.height;
  TurnWriter* writer = BeginTurn(shape, why);
  std::vector<PackedColour> colours;
  long seeThrough = 0;
  for (int k = 0; writer != nullptr && k < turn.frames; ++k) {
    if (!NextTurnFrame(reader, colours, seeThrough, why)) break;
    if (k == damaged) colours[(size_t)x * turn.height + y] ^= 0x010203;
    if (!AddTurnFrame(writer, colours.data(), turn.digests[k], why)) break;
  }
  std::vector<uint8_t> file;
  const bool ok = writer != nullptr && FinishTurn(writer, file, why);
  FreeTurn(writer);
  CloseTurn(reader);
  std::fclose(in);
  FILE* out = ok ? std::fopen(argv[2], "wb") : nullptr;
  if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
      std::fclose(out) != 0) {
    std::fprintf(stderr, "turn-damage: %s\n", ok ? "cannot write" : why.c_str());
    return 1;
  }
  return 0;
}
