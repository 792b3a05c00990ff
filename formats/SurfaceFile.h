#pragma once
// A target surface read from a CSV or FITS grid laid out as ostrander-cli
// writes surface.csv and surface.fits: n lines (rows) of n values in metres,
// row r from the top at y = (r - n/2) dx, column c at x = (c - n/2) dx.
// Handed back in the engine's layout (element (i, j), i along x, at
// [i * n + j]). Empty fields, "null" and "nan" are missing samples (NaN).
#include <string>
#include <vector>

namespace ostrander {

// False with the reason for an unreadable or oversized file, a grid of
// another size, or a value that is not a number.
bool ReadSurfaceCsv(const std::string& path, int n, std::vector<double>& grid, std::string& error);

// Reads an n x n grid of metres (rows along y, as surface.csv and
// surface.fits hold it) into the engine's layout (element (i, j), i along x,
// at [i * n + j]). Empty CSV fields, "null" and "nan" are missing samples
// (NaN). False with the reason for an unreadable file, a grid of another
// size, a value that is not a number, or a FITS file that is not a 2-D image.
bool ReadSurfaceGrid(const std::string& path, int n, std::vector<double>& grid,
                     std::string& error);

} // namespace ostrander
