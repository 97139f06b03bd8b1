// The voxel glow field: the grid of objects, their scattering by the C
// runtime's generator, and the glow each adds at a sample. Numbers:
// scene/Scene.h.
#pragma once

#include <cstdint>

#include "scene/Blend.h"

constexpr int kGridSize = 50;
constexpr int kGridCells = kGridSize * kGridSize * kGridSize;
constexpr int kObjects = 201;

// The voxel glow field: one object at most per cell, cell (i, j, k) at
// element i * 2500 + j * 50 + k. radius 0 marks an empty cell; kind 1.0 is a
// sphere glow, 0.0 a rounded-cube glow.
struct VoxelField {
  float radiusGrid[kGridCells];
  float kindGrid[kGridCells];
};

// A voxel cell's indices along x, y and z, and its grid element.
struct CellIndices {
  int i, j, k;
};
static inline int CellAt(int i, int j, int k) {
  return (i * kGridSize + j) * kGridSize + k;
}
static inline CellIndices CellIndicesOf(int cell) {
  return {cell / (kGridSize * kGridSize), cell / kGridSize % kGridSize, cell % kGridSize};
}

// The platform C runtime's rand(), reproduced exactly so that every build
// scatters the same objects: state starts at 1, is advanced by
// state * 214013 + 2531011 (mod 2^32), and each draw is bits 16 to 30.
int32_t CrtRand(uint32_t& state);

// Clears both grids and scatters the 201 objects, from the generator's
// initial state: exactly 1005 draws.
void BuildVoxelField(VoxelField& field);

// The grid element of the cell that holds the sample: the coordinates are
// shifted by 25, rounded to float and truncated.
int VoxelCellIndex(float sx, float sy, float sz);

// The glow of an object of radius r > 0 and the given kind at the sample.
Contribution VoxelGlow(float r, float kind, float sx, float sy, float sz);

// Blends the glow of the object in the sample's cell, if any, into acc.
void ShadeVoxelSample(const VoxelField& field, float sx, float sy, float sz, Accumulator& acc);

// The same, for a sample whose cell c = VoxelCellIndex(sx, sy, sz) is known.
void ShadeVoxelCell(const VoxelField& field, int c, float sx, float sy, float sz, Accumulator& acc);
