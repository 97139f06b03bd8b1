// The fast march against the straightforward one on every test view, one
// thread each, in one run.
//
//   build/release/bench/view_bench [--columns N]
//
// For each view: the straightforward march on 9 columns spread across the
// frame (or N), scaled to 1025 columns, and the fast pass on the whole
// frame (scene build, maps and march; the best of three), the ratio, the
// samples looked at one by one and the rays looked at whole (beyond the
// bounds); below it, for each kernel set the processor runs, the pass split
// into deciding the runs and skips, shading the contributions and blending
// them (each timed as a whole pass, its scene build and maps of about a
// millisecond included, with kernels that do only that much,
// best of two); then the slowest ratio. Ratios measured in the same run
// hold on a loaded machine where seconds do not.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/PassParts.h"
#include "march/Frame.h"
#include "tests/TestViews.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<PackedColour> frame((size_t)kColumnCount* kColumnHeight);

void StoreColumn(void*, int x, const PackedColour* column) {
  std::copy(column, column + kColumnHeight, frame.begin() + (size_t)x * kColumnHeight);
}

// The whole render pass on one thread, as the draw entry runs it, with
// the given kernels (the fastest where none).
double FastFrame(View view, const MarchKernels* kernels = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const auto built = std::make_unique<Frame>();
  BuildFrame(*built, view);
  if (kernels != nullptr) built->kernels = kernels;
  MarchFrame(*built, {1}, StoreColumn, nullptr);
  return Since(start);
}

// The best of two passes.
double BestFrame(View view, const MarchKernels& kernels) {
  return std::min(FastFrame(view, &kernels), FastFrame(view, &kernels));
}

// Each kernel set's pass on the view, split.
void PrintSplit(View view) {
  const KernelSets sets = RunnableKernels();
  for (int i = 0; i < sets.count; ++i) {
    const MarchKernels& set = *sets.set[i];
    partsOf = &set;
    const double deciding = BestFrame(view, CutShort(set, "deciding", NoRun));
    const double shading = BestFrame(view, CutShort(set, "runs", AllRuns));
    const double pass = BestFrame(view, set);
    std::printf("  %-12s deciding %6.3fs, contributions %6.3fs, blending %6.3fs, pass %6.3fs\n",
                set.name, deciding, shading - deciding, pass - shading, pass);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int columns = 9;
  if (argc == 3 && std::strcmp(argv[1], "--columns") == 0) columns = std::atoi(argv[2]);
  if (columns < 2 || columns > kColumnCount) {
    std::fprintf(stderr, "usage: view_bench [--columns N], N from 2 to 1025\n");
    return 2;
  }
  std::printf("%-14s %-30s %9s %9s %7s %10s %6s %s\n", "view", "angles", "straight", "fast",
              "ratio", "looked", "whole", "columns");
  double slowest = 1e300;
  const char* slowestName = "";
  for (const TestView& test : kTestViews) {
    const auto built = std::make_unique<Frame>();
    BuildFrame(*built, test.view);
    const Scene* scene = &built->scene;
    // The straightforward march, on columns spread evenly, scaled.
    std::vector<int> xs;
    for (int i = 0; i < columns; ++i) xs.push_back(i * (kColumnCount - 1) / (columns - 1));
    std::vector<PackedColour> reference;
    auto start = std::chrono::steady_clock::now();
    for (int x : xs) {
      for (int y = 0; y < kColumnHeight; ++y)
        reference.push_back(MarchPixel(*scene, (float)x, (float)y));
    }
    const double straight = Since(start) / columns * kColumnCount;
    double fast = 1e300;
    for (int i = 0; i < 3; ++i) fast = std::min(fast, FastFrame(test.view));
    bool same = true;
    for (int i = 0; i < columns; ++i) {
      same = same && std::equal(reference.begin() + (size_t)i * kColumnHeight,
                                reference.begin() + (size_t)(i + 1) * kColumnHeight,
                                frame.begin() + (size_t)xs[i] * kColumnHeight);
    }
    // The counts, from a pass of its own.
    MarchCounts total;
    const auto lists = std::make_unique<ContributionLists>();
    std::vector<Accumulator> column(kColumnHeight);
    std::vector<MarchCounts> counts(kColumnHeight);
    for (int x = 0; x < kColumnCount; ++x) {
      std::fill(counts.begin(), counts.end(), MarchCounts{});
      MarchColumnFast(MarchOf(*built), x, *lists, column.data(), counts.data());
      for (const MarchCounts& c : counts)
        total.examined += c.examined, total.wholeRays += c.wholeRays;
    }
    char angles[64];
    std::snprintf(angles, sizeof angles, "(%.9g, %.9g, %.9g)", test.view.A, test.view.B,
                  test.view.C);
    const double ratio = straight / fast;
    std::printf("%-14s %-30s %8.2fs %8.3fs %6.0fx %10llu %6llu %s\n", test.name, angles, straight,
                fast, ratio, (unsigned long long)total.examined,
                (unsigned long long)total.wholeRays, same ? "identical" : "DIFFER");
    PrintSplit(test.view);
    std::fflush(stdout);
    if (ratio < slowest) slowest = ratio, slowestName = test.name;
  }
  std::printf("slowest: %s, %.0f times faster on one thread\n", slowestName, slowest);
  return 0;
}
