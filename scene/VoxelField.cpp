// The voxel glow field: 201 small glowing objects scattered at random over
// a 50 x 50 x 50 grid, one per cell at most; a sample sees only its own cell.
#include <cmath>

#include "scene/Scene.h"

int32_t CrtRand(uint32_t& state) {
  state = state * 214013u + 2531011u;
  return (int32_t)(state >> 16 & 0x7FFF);
}

void BuildVoxelField(VoxelField& field) {
  for (float i = 0.0f; i <= 49.0f; i = i + 1.0f) {
    for (float j = 0.0f; j <= 49.0f; j = j + 1.0f) {
      for (float k = 0.0f; k <= 49.0f; k = k + 1.0f) {
        const int c = CellAt((int)i, (int)j, (int)k);
        field.radiusGrid[c] = 0.0f;
        field.kindGrid[c] = 0.0f;
      }
    }
  }
  // The C runtime's generator is never seeded and nothing else draws from
  // it, so the scatter always starts from its initial state.
  uint32_t state = 1;
  for (float object = 0.0f; object <= 200.0f; object = object + 1.0f) {
    const int32_t d1 = CrtRand(state);
    const int32_t d2 = CrtRand(state);
    const int32_t d3 = CrtRand(state);
    const int32_t d4 = CrtRand(state);
    const int32_t d5 = CrtRand(state);
    // A draw of 32767 maps to exactly 1.0: cell 35 at the far edge.
    const float X = (float)((double)d1 / 32767 * 21 + 14);
    const float Y = (float)((double)d2 / 32767 * 21 + 14);
    const float Z = (float)((double)d3 / 32767 * 21 + 14);
    const float r = (float)((double)d4 / 32767 * 0.4);
    const float K = (float)((double)d5 / 32767 * 50);
    const float kind = (float)((int)K % 2);
    const int c = CellAt((int)X, (int)Y, (int)Z);
    field.radiusGrid[c] = r;
    field.kindGrid[c] = kind;
  }
}

// Offset of a coordinate from the centre of its unit cell, in [-0.5, 0.5).
static float CellOffset(float s) {
  return (float)((double)s - std::floor((double)s) - 0.5);
}

int VoxelCellIndex(float sx, float sy, float sz) {
  const float ux = (float)((double)sx + 25);
  const float uy = (float)((double)sy + 25);
  const float uz = (float)((double)sz + 25);
  return CellAt((int)ux, (int)uy, (int)uz);
}

void ShadeVoxelSample(const VoxelField& field, float sx, float sy, float sz, Accumulator& acc) {
  ShadeVoxelCell(field, VoxelCellIndex(sx, sy, sz), sx, sy, sz, acc);
}

void ShadeVoxelCell(const VoxelField& field, int c, float sx, float sy, float sz,
                    Accumulator& acc) {
  const float r = field.radiusGrid[c];
  if (!(r > 0.0f)) return;
  Blend(acc, VoxelGlow(r, field.kindGrid[c], sx, sy, sz));
}

Contribution VoxelGlow(float r, float kind, float sx, float sy, float sz) {
  const double dx = CellOffset(sx);
  const double dy = CellOffset(sy);
  const double dz = CellOffset(sz);
  if (kind == 1.0f) {
    const float e = (float)(std::sqrt(dx * dx + dy * dy + dz * dz) - r);
    const float n = (float)((double)e * 30);
    const double nd = n;
    const float a = (float)(1 / (nd * nd * nd * nd + 1) / 15);
    return {a, 50.0f, 255.0f, 200.0f};
  }
  const float e = (float)(std::sqrt(dx * dx * dx * dx * dx * dx + dy * dy * dy * dy * dy * dy +
                                    dz * dz * dz * dz * dz * dz) -
                          (double)r / 300);
  const float n = (float)((double)e * 40);
  const double nd = n;
  const float a = (float)(1 / (nd * nd * nd * nd + 1) / 30);
  return {a, 255.0f, 170.0f, 50.0f};
}
