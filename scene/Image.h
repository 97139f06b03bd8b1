// The image's numbers, the one home every layer takes them from: its
// columns, its rows, the samples along each pixel's ray, and the packed
// colour of a pixel.
#pragma once

#include <cstdint>

constexpr int kColumnCount = 1025;    // columns x = 0 to 1024
constexpr int kColumnHeight = 769;    // rows y = 0 to 768
constexpr int kSamplesPerRay = 2001;  // samples t = 0 to 2000
constexpr int kLastSample = kSamplesPerRay - 1;

// A pixel's colour, red | green << 8 | blue << 16 (0x00BBGGRR): the value
// of the platform's COLORREF, without the platform.
using PackedColour = uint32_t;
