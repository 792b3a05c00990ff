#pragma once
// Numbers and grids as CSV text, and the two layouts of a square grid: the
// engine's (element (i, j), i along x, at [i * n + j]) and the files' (row r
// along y, column c along x, at [r * n + c], as the pictures show it).
// Numbers are written in the shortest form that reads back to the same
// double, independent of the locale; a value that is not finite is "null".
#include <string>
#include <vector>

namespace ostrander {

std::string FormatNumber(double value);

// A field quoted for CSV when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

// n lines of n values of an engine-layout grid, rows along y.
std::string GridCsv(const std::vector<double>& values, int n);

// Engine layout to rows along y, and back; n x n either way.
std::vector<double> RowsAlongY(const std::vector<double>& values, int n);
std::vector<double> EngineLayoutFromRows(const std::vector<double>& rowsAlongY, int n);

} // namespace ostrander
