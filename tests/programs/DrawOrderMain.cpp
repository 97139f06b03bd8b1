// draw-order: runs the render pass's in-order draw PASSES times, over
// columns of uneven, short work, on THREADS threads (4 unless given), and
// checks that every pass draws each column once, in order, after its work
// is done. Short columns make the drawing thread wait for the workers' last
// columns hundreds of times a second: a wake-up the wait can miss leaves a
// pass that never ends, which the tests run it with a time limit to see.
//
//   draw-order PASSES [THREADS]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "march/MarchColumns.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: draw-order PASSES [THREADS]\n");
    return 2;
  }
  const int passes = std::atoi(argv[1]);
  const int threads = argc == 3 ? std::atoi(argv[2]) : 4;
  std::vector<int> worked(kColumnCount);
  for (int pass = 1; pass <= passes; ++pass) {
    int next = 0, wrong = 0;
    ShareColumnsInOrder(
        threads,
        [&](ContributionLists&, int x) {
          // A few microseconds, different from column to column and pass
          // to pass.
          volatile unsigned spin = 0;
          for (unsigned i = 0, n = ((unsigned)(x * 7919 + pass * 104729) % 97) * 40; i < n; ++i)
            spin = spin + i;
          worked[x] = pass;
        },
        [&](int x) {
          if (x != next++ || worked[x] != pass) ++wrong;
        });
    if (wrong != 0 || next != kColumnCount) {
      std::fprintf(stderr, "draw-order: pass %d drew %d columns, %d out of order or not done\n",
                   pass, next, wrong);
      return 1;
    }
  }
  std::printf("draw-order: %d passes of %d columns on %d threads, each drawn in order\n", passes,
              kColumnCount, threads);
  return 0;
}
