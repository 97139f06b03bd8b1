// --map: where the fast march's work goes, per pixel, as a PNG.
#include <cstdio>
#include <memory>
#include <vector>

#include "command/Modes.h"
#include "command/OutputReport.h"
#include "maps/MapLegend.h"

// --map: the counts of the fast march, in false colour, with their totals,
// and the legend below the image's rows.
int MakeMap(const Options& options) {
  if (!OutputWritable(options.output)) return 1;
  const auto frame = std::make_unique<Frame>();
  BuildFrame(*frame, options.render.view, options.render.kernels);
  uint64_t wholeRays = 0;
  const std::vector<uint32_t> counts =
      CountFrame(options.mapKind, *frame, options.render.march.threads, &wholeRays);
  const MapTotals totals = TotalsOf(counts);
  const std::string description =
      DescribeMap(options.mapKind, totals, wholeRays) + ViewNamed(options.render.view);
  std::fprintf(stderr, "%s\n", description.c_str());
  const std::vector<uint32_t> pixels = MapWithLegend(counts, totals);
  const int height = kColumnHeight + kLegendHeight;
  return WritePngOutput(options.output, pixels.data(), height, {kVersion, description}) ? 0 : 1;
}