// The image's frame, built once for the tests of a process and shared by
// them (read only); and what the march tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "march/Frame.h"

inline const Frame& TheScene() {
  static const Frame* built = [] {
    Frame* frame = new Frame;
    BuildFrame(*frame);
    return frame;
  }();
  return *built;
}

// The built scene marched with the given kernels.
inline MarchContext MarchWith(const MarchKernels& kernels) {
  return {TheScene().scene, *TheScene().maps, kernels};
}

// Every kernel set this build has and this processor runs.
inline std::vector<const MarchKernels*> AllKernels() {
  const KernelSets sets = RunnableKernels();
  return {sets.set, sets.set + sets.count};
}

// How many samples of the pixel blend into it, by the straightforward march.
inline int ContributingSamples(const Scene& scene, int x, int y) {
  const float x0 = ColumnCoordinate((float)x), y0 = RowCoordinate((float)y);
  int count = 0;
  for (int t = 0; t <= 2000; ++t) {
    const SamplePoint s = ComputeSamplePoint(scene.rotation, x0, y0, (float)t);
    bool blends = scene.field.radiusGrid[VoxelCellIndex(s.sx, s.sy, s.sz)] > 0;
    for (BitmapLayer layer : kBitmapLayers) {
      blends =
          blends || LayerCellLit(scene.layers, layer, LayerCoordinates(layer, s.sx, s.sy, s.sz));
    }
    count += blends;
  }
  return count;
}

// Accumulators compared bit for bit, as floats print too coarsely to tell.
inline bool SameBits(const Accumulator& a, const Accumulator& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
inline std::ostream& operator<<(std::ostream& out, const Accumulator& acc) {
  const auto hex = [](float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
  };
  return out << "{" << acc.R << " (" << std::hex << hex(acc.R) << "), " << std::dec << acc.G << " ("
             << std::hex << hex(acc.G) << "), " << std::dec << acc.B << " (" << std::hex
             << hex(acc.B) << std::dec << ")}";
}

// Column x of a built scene marched with every kernel set, held to the
// straightforward march accumulator for accumulator and contributing sample
// for contributing sample; `where` names the case in a failure. The first
// set's counts are added to *sum where given.
inline void ExpectColumnMatchesReference(const Scene& scene, const SkipMaps& maps, int x,
                                         ContributionLists& lists, const std::string& where,
                                         MarchCounts* sum = nullptr) {
  std::vector<Accumulator> reference(kColumnHeight);
  std::vector<int> contributing(kColumnHeight);
  for (int y = 0; y <= 768; ++y) {
    reference[y] = AccumulatePixel(scene, (float)x, (float)y);
    contributing[y] = ContributingSamples(scene, x, y);
  }
  for (const MarchKernels* kernels : AllKernels()) {
    std::vector<Accumulator> column(kColumnHeight);
    std::vector<MarchCounts> counts(kColumnHeight);
    MarchColumnFast({scene, maps, *kernels}, x, lists, column.data(), counts.data());
    for (int y = 0; y <= 768; ++y) {
      ASSERT_PRED2(SameBits, column[y], reference[y])
          << where << "pixel " << x << ", " << y << ", " << kernels->name;
      ASSERT_EQ(counts[y].evaluated, (uint64_t)contributing[y])
          << where << "pixel " << x << ", " << y;
      if (sum != nullptr && kernels == AllKernels().front()) {
        sum->wholeRays += counts[y].wholeRays, sum->examined += counts[y].examined;
      }
    }
  }
}

// The pixel alone, and as each ray of a group (the group's rays share what
// is decided from the group's outer rays, so each place in it is tried),
// with every kernel set: accumulator and contributing samples as the
// straightforward march's. `where` names the case in a failure.
inline void ExpectPixelMatchesReference(const Frame& b, int x, int y, const std::string& where) {
  const Accumulator reference = AccumulatePixel(b.scene, (float)x, (float)y);
  const uint64_t contributing = ContributingSamples(b.scene, x, y);
  const auto lists = std::make_unique<ContributionLists>();
  for (const MarchKernels* kernels : AllKernels()) {
    const MarchContext march = {b.scene, *b.maps, *kernels};
    MarchCounts counts;
    const Accumulator alone = MarchPixelFast(march, (float)x, (float)y, &counts);
    ASSERT_PRED2(SameBits, alone, reference)
        << where << "pixel " << x << ", " << y << ", " << kernels->name;
    ASSERT_EQ(counts.evaluated, contributing) << where << "pixel " << x << ", " << y;
    const int rays = kernels->groupRays;
    for (int k = 0; k < rays; ++k) {
      if (y - k < 0 || y - k + rays > kColumnHeight) continue;
      MarchCounts group[kMaxGroupRays];
      CollectGroup(march, (float)x, (float)(y - k), rays, *lists, group);
      Accumulator accs[kMaxGroupRays];
      kernels->blendGroup(*lists, rays, accs);
      ASSERT_PRED2(SameBits, accs[k], reference)
          << where << "pixel " << x << ", " << y << " as ray " << k << ", " << kernels->name;
      ASSERT_EQ(group[k].evaluated, contributing)
          << where << "pixel " << x << ", " << y << " as ray " << k;
    }
  }
}
