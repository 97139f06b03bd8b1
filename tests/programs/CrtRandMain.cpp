// crt-rand.exe N: prints the platform C runtime's first N rand() draws,
// one per line, never seeded. A console program for the tests.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
  for (long i = 0; i < count; ++i) std::printf("%d\n", std::rand());
  return 0;
}
