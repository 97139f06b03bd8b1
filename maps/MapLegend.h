// A map's legend: a strip below the map with its colour bar and the
// counts the bar's colours stand for, written in a digit font of our own
// so that the PNG reads on its own.
#pragma once

#include <cstdint>
#include <vector>

#include "maps/CountMaps.h"

// The digits 0 to 9, 5 x 7 cells each, '#' lit; drawn kDigitScale pixels
// to a cell, one cell apart.
extern const char* const kDigitGlyphs[10][7];
constexpr int kDigitScale = 2;
constexpr int kDigitWidth = 5 * kDigitScale, kDigitHeight = 7 * kDigitScale;
constexpr int kDigitAdvance = kDigitWidth + kDigitScale;

// The strip's layout, in pixels from its top left corner: the bar from
// kBarLeft to kBarRight (count 0 at the left, the maximum at the right),
// a tick below it under each number, the number below its tick.
constexpr int kLegendHeight = 48;
constexpr int kBarLeft = 32, kBarRight = 992, kBarTop = 8, kBarBottom = 24;  // bottom excluded
constexpr int kTickBottom = 28;
constexpr int kLabelTop = 30;
constexpr uint32_t kLegendInk = 0xFFFFFF, kLegendPaper = 0x000000;

// The counts the legend writes under the bar, ascending: 0, round numbers
// between (powers of ten on a logarithmic scale), and the maximum; those
// too close to a neighbour to write are left out.
std::vector<uint32_t> LegendNumbers(const MapTotals& totals);

// The map (kColumnCount x kColumnHeight, as MapPixels makes it, pixel for
// pixel the image's) with its legend strip below: top-down 0x00RRGGBB
// rows, kColumnHeight + kLegendHeight of them.
std::vector<uint32_t> MapWithLegend(const std::vector<uint32_t>& counts, const MapTotals& totals);
