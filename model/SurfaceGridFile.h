#pragma once
// A target surface read from a CSV grid laid out as ostrander-cli writes
// surface.csv: n lines of n values in metres, row r from the top at
// y = (r - n/2) dx, column c at x = (c - n/2) dx. Handed back in the
// engine's layout (element (i, j), i along x, at [i * n + j]). Empty fields,
// "null" and "nan" are missing samples (NaN).
#include <string>
#include <vector>

namespace ostrander {

// False with the reason for an unreadable or oversized file, a grid of
// another size, or a value that is not a number.
bool ReadSurfaceCsv(const std::string& path, int n, std::vector<double>& grid, std::string& error);

// The same, for a grid laid out by rows along y (as read from any file),
// into the engine's layout.
std::vector<double> EngineLayoutFromRows(const std::vector<double>& rowsAlongY, int n);

} // namespace ostrander
