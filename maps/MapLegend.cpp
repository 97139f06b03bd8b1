#include "maps/MapLegend.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "march/FastMarch.h"

// One string per glyph row, as the digits show: keep the formatter out.
// clang-format off
const char* const kDigitGlyphs[10][7] = {
    {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."},
    {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
    {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
    {"####.", "....#", "....#", ".###.", "....#", "....#", "####."},
    {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
    {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."},
    {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."},
    {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."},
    {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."},
    {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."},
};
// clang-format on

namespace {

constexpr int kWidth = kColumnCount;
// Numbers written closer than this, in pixels, would read as one.
constexpr int kLabelGap = 16;

struct Label {
  uint32_t value;
  int tick;        // the bar's column the value lies at
  int left, width; // the written number's box
};

Label LabelOf(uint32_t value, const MapTotals& totals) {
  const int tick =
      (int)std::lround(kBarLeft + ScalePosition(value, totals) * (kBarRight - kBarLeft));
  const int width = (int)std::to_string(value).size() * kDigitAdvance - kDigitScale;
  const int left = std::clamp(tick - width / 2, 0, kWidth - width);
  return {value, tick, left, width};
}

bool Apart(const Label& a, const Label& b) {
  return a.left + a.width + kLabelGap <= b.left || b.left + b.width + kLabelGap <= a.left;
}

// The round numbers strictly between 0 and the maximum.
std::vector<uint32_t> RoundNumbers(const MapTotals& totals) {
  std::vector<uint32_t> numbers;
  if (totals.logarithmic) {
    for (uint64_t n = 1; n < totals.maximum; n *= 10) numbers.push_back((uint32_t)n);
    return numbers;
  }
  // The smallest of 1, 2, 5 times a power of ten that gives at most five steps.
  uint64_t step = 1;
  for (uint64_t decade = 1;; decade *= 10) {
    const uint64_t choices[3] = {decade, 2 * decade, 5 * decade};
    const uint64_t* fits = std::find_if(choices, choices + 3, [&](uint64_t s) {
      return totals.maximum <= 5 * s;
    });
    if (fits != choices + 3) {
      step = *fits;
      break;
    }
  }
  for (uint64_t n = step; n < totals.maximum; n += step) numbers.push_back((uint32_t)n);
  return numbers;
}

void Fill(std::vector<uint32_t>& strip, int left, int top, int right, int bottom,
          uint32_t colour) {
  for (int y = top; y < bottom; ++y)
    for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x)
      strip[(size_t)y * kWidth + x] = colour;
}

void DrawNumber(std::vector<uint32_t>& strip, const Label& label) {
  const std::string digits = std::to_string(label.value);
  for (size_t i = 0; i < digits.size(); ++i) {
    const int left = label.left + (int)i * kDigitAdvance;
    const char* const* glyph = kDigitGlyphs[digits[i] - '0'];
    for (int row = 0; row < 7; ++row) {
      for (int cell = 0; cell < 5; ++cell) {
        if (glyph[row][cell] != '#') continue;
        const int x = left + cell * kDigitScale, y = kLabelTop + row * kDigitScale;
        Fill(strip, x, y, x + kDigitScale, y + kDigitScale, kLegendInk);
      }
    }
  }
}

}  // namespace

std::vector<uint32_t> LegendNumbers(const MapTotals& totals) {
  std::vector<uint32_t> numbers = {0};
  if (totals.maximum == 0) return numbers;
  const Label last = LabelOf(totals.maximum, totals);
  Label kept = LabelOf(0, totals);
  for (uint32_t n : RoundNumbers(totals)) {
    const Label label = LabelOf(n, totals);
    if (!Apart(label, kept) || !Apart(label, last)) continue;
    numbers.push_back(n);
    kept = label;
  }
  numbers.push_back(totals.maximum);
  return numbers;
}

std::vector<uint32_t> MapWithLegend(const std::vector<uint32_t>& counts, const MapTotals& totals) {
  std::vector<uint32_t> pixels = MapPixels(counts, totals);
  std::vector<uint32_t> strip((size_t)kWidth * kLegendHeight, kLegendPaper);
  for (int x = kBarLeft; x <= kBarRight; ++x) {
    // A map of one count is one colour: so is its bar.
    const double t = totals.maximum == 0 ? 0 : (double)(x - kBarLeft) / (kBarRight - kBarLeft);
    Fill(strip, x, kBarTop, x + 1, kBarBottom, ScaleColour(t));
  }
  for (uint32_t n : LegendNumbers(totals)) {
    const Label label = LabelOf(n, totals);
    Fill(strip, label.tick, kBarBottom, label.tick + 1, kTickBottom, kLegendInk);
    DrawNumber(strip, label);
  }
  pixels.insert(pixels.end(), strip.begin(), strip.end());
  return pixels;
}
