#include "model/RowGrid.h"

namespace ostrander {

double** AllocateRowGrid(int32_t rows, int32_t columns) {
    if (rows <= 0)
        return nullptr;
    double** grid = new double*[rows];
    for (int32_t i = 0; i < rows; ++i)
        grid[i] = new double[columns > 0 ? columns : 0]();
    return grid;
}

void FreeRowGrid(double** grid, int32_t rows) {
    if (!grid)
        return;
    for (int32_t i = 0; i < rows; ++i)
        delete[] grid[i];
    delete[] grid;
}

} // namespace ostrander
