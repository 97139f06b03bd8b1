// The render pass, fast against straightforward, side by side in one run.
//
//   build/release/bench/render_bench
//
// The straightforward march takes minutes for the whole frame, so it is
// timed on 9 columns spread across the image and scaled to 1025 columns;
// the fast march is timed on the whole frame, scene build to last stored
// pixel, with one thread and with all, and split into deciding what to
// shade, shading it and blending, with each kernel set the processor runs.
// A summary with the ratio, the split of the chosen set and of each set,
// the counts of samples shaded and skipped, and the digests follows the
// table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/PassParts.h"
#include "march/Frame.h"
#include "march/MarchColumns.h"
#include "platform/Surface.h"
#include "render/DrawBall.h"
#include "digest/FrameDigest.h"
#include "digest/GoldenDigest.h"
#include "platform/MemoryContext.h"

namespace {

const int kReferenceColumns[] = {0, 128, 256, 384, 512, 640, 768, 896, 1024};
constexpr int kReferenceColumnCount = sizeof kReferenceColumns / sizeof kReferenceColumns[0];

// The image's frame, with the fastest kernels.
std::unique_ptr<Frame> BuiltFrame() {
  auto frame = std::make_unique<Frame>();
  BuildFrame(*frame);
  return frame;
}

std::vector<PackedColour> frame(kColumnCount* kColumnHeight);
std::vector<PackedColour> referenceColours;
double referenceSecondsPerColumn = 0;
double fastSeconds[2] = {0, 0};  // one thread, all threads
double buildSeconds = 0, drawSeconds = 0;

void StoreColumn(void*, int x, const PackedColour* column) {
  std::copy(column, column + kColumnHeight, frame.begin() + (size_t)x * kColumnHeight);
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ReferenceColumns(benchmark::State& state) {
  auto scene = std::make_unique<Scene>();
  BuildScene(*scene);
  for (auto _ : state) {
    referenceColours.clear();
    const auto start = std::chrono::steady_clock::now();
    for (int x : kReferenceColumns) {
      for (int y = 0; y < kColumnHeight; ++y) {
        referenceColours.push_back(MarchPixel(*scene, (float)x, (float)y));
      }
    }
    referenceSecondsPerColumn = Since(start) / kReferenceColumnCount;
    state.SetIterationTime(Since(start));
  }
  state.counters["s/frame (scaled)"] = referenceSecondsPerColumn * kColumnCount;
}

// The whole render pass as DrawBall runs it: scene build, maps, march.
double TimeFrame(int threads, const MarchKernels& kernels, double* builtSeconds) {
  const auto start = std::chrono::steady_clock::now();
  const auto built = BuiltFrame();
  built->kernels = &kernels;  // a part's kernels, which no name gives
  if (builtSeconds != nullptr) *builtSeconds = Since(start);
  MarchFrame(*built, {threads}, StoreColumn, nullptr);
  return Since(start);
}

// Every kernel set the processor runs, the chosen one among them, and its
// figures: each part of the pass on one thread (kParts below), and the
// whole pass on one thread and on all.
struct SetFigures {
  const MarchKernels* set;
  double part[5];
  double pass[2];  // one thread, all threads
};
std::vector<SetFigures> kernelSets;
const MarchKernels& chosen = ChooseKernels();

void FastFrame(benchmark::State& state, SetFigures* figures, bool allThreads) {
  const int threads = allThreads ? RenderThreadCount(0) : 1;
  double best = 1e9, built = 0;
  for (auto _ : state) {
    double seconds = TimeFrame(threads, *figures->set, &built);
    state.SetIterationTime(seconds);
    if (seconds < best) {
      best = seconds;
      if (figures->set == &chosen) buildSeconds = built;
    }
  }
  figures->pass[allThreads] = best;
  if (figures->set == &chosen) fastSeconds[allThreads] = best;
  state.counters["threads"] = threads;
}

// Besides deciding alone and all contributions (bench/PassParts.h), kernels
// that do part of the shading with the set being measured, to see how it
// splits: sample points only; the voxel glow only, or the slabs only (each
// with its runs' sample points).
void PointsOnly(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first, int last,
                ContributionLists&, int) {
  for (int t = first; t <= last; t += partsOf->lanes) {
    SamplePoint points[kVectorLanes];
    partsOf->samplePoints(scene.rotation, maps, run.x0, run.y0, t, points);
    benchmark::DoNotOptimize(points);
  }
}
void VoxelOnly(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first, int last,
               ContributionLists& lists, int ray) {
  SampleRun voxel = run;
  voxel.lit[0] = voxel.lit[1] = voxel.lit[2] = false;
  if (voxel.voxel) partsOf->shadeRun(scene, maps, voxel, first, last, lists, ray);
}
void SlabsOnly(const Scene& scene, const SkipMaps& maps, const SampleRun& run, int first, int last,
               ContributionLists& lists, int ray) {
  SampleRun slabs = run;
  slabs.voxel = false;
  if (slabs.lit[0] || slabs.lit[1] || slabs.lit[2])
    partsOf->shadeRun(scene, maps, slabs, first, last, lists, ray);
}
struct Part {
  const char* name;
  decltype(MarchKernels::shadeRun) shadeRun;
};
const Part kParts[] = {{"deciding", NoRun},
                       {"points", PointsOnly},
                       {"glow", VoxelOnly},
                       {"slabs", SlabsOnly},
                       {"runs", AllRuns}};
constexpr int kPartCount = sizeof kParts / sizeof kParts[0];

// One thread, part of the work, with the set's groups.
void PartFrame(benchmark::State& state, SetFigures* figures, int part) {
  partsOf = figures->set;
  const MarchKernels kernels = CutShort(*figures->set, kParts[part].name, kParts[part].shadeRun);
  double best = 1e9;
  for (auto _ : state) {
    const double seconds = TimeFrame(1, kernels, nullptr);
    state.SetIterationTime(seconds);
    best = std::min(best, seconds);
  }
  figures->part[part] = best;
}

// The parts and passes of each kernel set, in the order RunnableKernels
// gives them.
void RegisterKernelSets() {
  const KernelSets sets = RunnableKernels();
  kernelSets.resize(sets.count);
  for (int i = 0; i < sets.count; ++i) {
    SetFigures* figures = &kernelSets[i];
    figures->set = sets.set[i];
    const std::string name = figures->set->name;
    for (int p = 0; p < kPartCount; ++p) {
      benchmark::RegisterBenchmark(("PartFrame/" + name + "/" + kParts[p].name).c_str(), PartFrame,
                                   figures, p)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(2);
    }
    for (bool all : {false, true}) {
      benchmark::RegisterBenchmark(("FastFrame/" + name + (all ? "/all" : "/1")).c_str(), FastFrame,
                                   figures, all)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->MinTime(2.0);
    }
  }
}

// One replay pass: what every timer tick costs in pixel writes, into a
// memory surface the size of the window's client area.
void ReplayPass(benchmark::State& state) {
  MemoryContext context;
  if (!CreateMemoryContext(1024, -768, context)) {
    state.SkipWithError("out of memory");
    return;
  }
  if (bin == 0) DrawBall(context.hdc);  // the render pass, once
  for (auto _ : state) DrawBall(context.hdc);
  DeleteMemoryContext(context);
}

// The columns of one thread with the counts that maps are made of, and
// without: what asking for a map costs, and that not asking costs nothing.
double columnSeconds[2] = {0, 0};  // counts off, counts on
void CountedColumns(benchmark::State& state) {
  const bool counted = state.range(0) != 0;
  const auto built = BuiltFrame();
  const MarchContext march = MarchOf(*built);
  const auto lists = std::make_unique<ContributionLists>();
  std::vector<Accumulator> column(kColumnHeight);
  std::vector<MarchCounts> counts(kColumnHeight);
  double best = 1e9;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int x = 0; x < kColumnCount; ++x)
      MarchColumnFast(march, x, *lists, column.data(), counted ? counts.data() : nullptr);
    const double seconds = Since(start);
    state.SetIterationTime(seconds);
    best = std::min(best, seconds);
  }
  columnSeconds[counted] = best;
  state.SetLabel(counted ? "counts on" : "counts off");
}

BENCHMARK(ReplayPass)->Unit(benchmark::kMillisecond);
BENCHMARK(CountedColumns)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(ReferenceColumns)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void PrintSummary() {
  const auto built = BuiltFrame();
  MarchCounts counts;
  const auto lists = std::make_unique<ContributionLists>();
  std::vector<Accumulator> column(kColumnHeight);
  std::vector<MarchCounts> pixels(kColumnHeight);
  for (int x = 0; x < kColumnCount; ++x)
    MarchColumnFast(MarchOf(*built), x, *lists, column.data(), pixels.data());
  for (const MarchCounts& pixel : pixels) {
    counts.evaluated += pixel.evaluated;
    counts.examined += pixel.examined;
    counts.runs += pixel.runs;
    counts.crossings += pixel.crossings;
  }
  // What storing and drawing costs: the frame store's float conversion and
  // one write per pixel, as the draw entry does.
  static float store[kColumnCount][kColumnHeight];
  const auto start = std::chrono::steady_clock::now();
  for (int x = 0; x < kColumnCount; ++x) {
    for (int y = 0; y < kColumnHeight; ++y)
      store[x][y] = (float)frame[(size_t)x * kColumnHeight + y];
  }
  drawSeconds = Since(start);
  benchmark::DoNotOptimize(store);

  bool columnsAgree = true;
  for (int i = 0; i < kReferenceColumnCount; ++i) {
    for (int y = 0; y < kColumnHeight; ++y) {
      columnsAgree = columnsAgree && referenceColours[(size_t)i * kColumnHeight + y] ==
                                         frame[(size_t)kReferenceColumns[i] * kColumnHeight + y];
    }
  }
  const double total = 1577238225.0;
  const double reference = referenceSecondsPerColumn * kColumnCount;
  std::printf("\n");
  std::printf("straightforward march, 1 thread   %8.2f s  (9 columns timed, scaled to 1025)\n",
              reference);
  std::printf("fast march, 1 thread              %8.3f s  (%.0f times faster)\n", fastSeconds[0],
              reference / fastSeconds[0]);
  std::printf("fast march, %d threads             %8.3f s  (%.0f times faster)\n",
              RenderThreadCount(0), fastSeconds[1], reference / fastSeconds[1]);
  std::printf("  of which scene build and maps    %8.3f s\n", buildSeconds);
  std::printf("  storing 788,225 pixels           %8.3f s\n", drawSeconds);
  std::printf(
      "fast march, 1 thread, split (each part timed as a whole pass with kernels\n"
      "that do only that much; the glow and the slabs each include their runs'\n"
      "sample points):\n");
  const SetFigures* figures = nullptr;
  for (const SetFigures& set : kernelSets) {
    if (set.set == &chosen) figures = &set;
  }
  const double* part = figures->part;
  std::printf("  deciding runs and skips          %8.3f s\n", part[0] - buildSeconds);
  std::printf("  full sample points of every run  %8.3f s  (a vector at a time, each a call)\n",
              part[1] - part[0]);
  std::printf("  voxel glow                       %8.3f s\n", part[2] - part[0]);
  std::printf("  slab colours                     %8.3f s\n", part[3] - part[0]);
  std::printf("  all contributions together       %8.3f s\n", part[4] - part[0]);
  std::printf("  blending                         %8.3f s\n", fastSeconds[0] - part[4]);
  std::printf("the same with scalar kernels       %8.3f s  (the parts above: %s kernels)\n",
              kernelSets.front().pass[0], chosen.name);
  // The same split for every set side by side, the chosen one marked.
  std::printf("the split for each kernel set (1 thread but the last line; chosen: %s):\n",
              chosen.name);
  std::printf("  %-32s", "seconds");
  for (const SetFigures& set : kernelSets) std::printf(" %9s", set.set->name);
  std::printf("\n");
  const auto row = [](const char* name, auto value) {
    std::printf("  %-32s", name);
    for (const SetFigures& set : kernelSets) std::printf(" %9.3f", value(set));
    std::printf("\n");
  };
  row("deciding runs and skips", [](const SetFigures& f) { return f.part[0] - buildSeconds; });
  row("all contributions together", [](const SetFigures& f) { return f.part[4] - f.part[0]; });
  row("  of which sample points", [](const SetFigures& f) { return f.part[1] - f.part[0]; });
  row("  of which voxel glow", [](const SetFigures& f) { return f.part[2] - f.part[0]; });
  row("  of which slab colours", [](const SetFigures& f) { return f.part[3] - f.part[0]; });
  row("blending", [](const SetFigures& f) { return f.pass[0] - f.part[4]; });
  std::printf("  %-32s", "rays blended together");
  for (const SetFigures& set : kernelSets) std::printf(" %9d", set.set->groupRays);
  std::printf("\n");
  row("whole pass, 1 thread", [](const SetFigures& f) { return f.pass[0]; });
  char all[64];
  std::snprintf(all, sizeof all, "whole pass, %d threads", RenderThreadCount(0));
  row(all, [](const SetFigures& f) { return f.pass[1]; });
  // A sample looked at may be shaded too: the two counts bound from above
  // how many samples were computed at all.
  const double computed = (double)counts.evaluated + (double)counts.examined;
  std::printf("samples shaded %llu (%.2f%%), in %llu runs\n", (unsigned long long)counts.evaluated,
              100 * counts.evaluated / total, (unsigned long long)counts.runs);
  std::printf("samples looked at one by one, next to crossings, %llu\n",
              (unsigned long long)counts.examined);
  std::printf("crossings worked out %llu\n", (unsigned long long)counts.crossings);
  std::printf("columns of 1 thread, counts off %.3f s, counts on (as --map) %.3f s\n",
              columnSeconds[0], columnSeconds[1]);
  std::printf("samples never computed, at least %.0f (%.2f%%)\n", total - computed,
              100 * (total - computed) / total);
  std::printf("fast frame digest      %s\n", ColoursDigest(frame.data(), frame.size()).c_str());
  std::printf("golden (straightforward) %s\n", kGoldenFrameDigest);
  std::printf("the 9 timed columns: %s\n", columnsAgree ? "identical in both marches" : "DIFFER");
}

}  // namespace

int main(int argc, char** argv) {
  RegisterKernelSets();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bool complete = !referenceColours.empty() && fastSeconds[0] > 0 && fastSeconds[1] > 0;
  for (const SetFigures& set : kernelSets) {
    for (double seconds : set.part) complete = complete && seconds > 0;
    complete = complete && set.pass[0] > 0 && set.pass[1] > 0;
  }
  if (complete) PrintSummary();
  return 0;
}
