#pragma once
// Grids of doubles as arrays of row pointers, the layout shared by the engine
// and the pictures: grid[i][j], i along x, j along y. Each row is its own
// array; freeing uses the row count recorded when the grid was allocated.
#include <cstdint>

namespace ostrander {

// Allocates rows x columns doubles, all 0. Returns the row array.
double** AllocateRowGrid(int32_t rows, int32_t columns);
// Frees each of the recorded rows, then the row array; null is allowed.
void FreeRowGrid(double** grid, int32_t rows);

} // namespace ostrander
