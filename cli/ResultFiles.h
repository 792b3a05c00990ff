#pragma once
// The text files of a simulation: the corrected surface and the far-field
// intensities as CSV grids, the figures as JSON, and the rows of a sweep.
// Numbers are written in the shortest form that reads back to the same
// double, independent of the locale.
#include <string>

namespace ostrander {

struct SimulationResult;
struct DisplayOptions;

std::string FormatNumber(double value);

// n lines of n values, row i on line i + 1, metres.
std::string SurfaceCsv(const SimulationResult& result);
// size lines of size values, element (r, c) at line r, column c.
std::string FarFieldCsv(const SimulationResult& result);

struct SummaryContext {
    std::string device;
    std::string mirrorFile;
    std::string pattern; // pattern name, empty without one
};
std::string SummaryJson(const SimulationResult& result, const SummaryContext& context,
                        const DisplayOptions& options);

// The header and one row of a sweep's summary.csv.
std::string SweepCsvHeader();
std::string SweepCsvRow(int index, const std::string& name, const SimulationResult& result,
                        const std::string& folder);

// A field quoted for CSV when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// A JSON string literal.
std::string JsonString(const std::string& text);

} // namespace ostrander
