// The colour accumulator and the blend operator every layer adds its
// colour with, and the packed colour of a pixel. Numbers: scene/Scene.h.
#pragma once

#include "scene/Image.h"

// A pixel's colour accumulator, each channel within [0, 255].
struct Accumulator {
  float R, G, B;
};

// What one layer adds at one sample: the blend's alpha and colour.
struct Contribution {
  float a, red, green, blue;
};

// acc = (1 - a) * acc + colour * a, channel by channel, red first. Static,
// so that every file, the one built for AVX2 among them, has its own copy
// and the linker never hands an AVX2 copy to code that must run anywhere.
// (1 - a) is not exact in float or even in double for small a, so the
// blend stays in double, rounded once per channel.
static inline void Blend(Accumulator& acc, float a, float cr, float cg, float cb) {
  acc.R = (float)((1 - (double)a) * acc.R + (double)cr * a);
  acc.G = (float)((1 - (double)a) * acc.G + (double)cg * a);
  acc.B = (float)((1 - (double)a) * acc.B + (double)cb * a);
}
static inline void Blend(Accumulator& acc, Contribution c) {
  Blend(acc, c.a, c.red, c.green, c.blue);
}

// red | green << 8 | blue << 16 from the integer parts of the channels.
PackedColour PackColour(const Accumulator& acc);
