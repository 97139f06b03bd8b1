// Prints our generator's first N draws, one per line, for comparison with
// the platform C runtime's rand().
#include <cstdio>
#include <cstdlib>

#include "scene/Scene.h"

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
  uint32_t state = 1;
  for (long i = 0; i < count; ++i) std::printf("%d\n", CrtRand(state));
  return 0;
}
