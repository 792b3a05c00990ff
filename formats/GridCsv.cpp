#include "formats/GridCsv.h"

#include <charconv>
#include <cmath>

namespace ostrander {

std::string FormatNumber(double value) {
    if (!std::isfinite(value))
        return "null";
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("null");
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string GridCsv(const std::vector<double>& values, int n) {
    std::string text;
    text.reserve(values.size() * 24);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (c)
                text += ',';
            text += FormatNumber(values[static_cast<std::size_t>(c) * n + r]);
        }
        text += '\n';
    }
    return text;
}

std::vector<double> RowsAlongY(const std::vector<double>& values, int n) {
    std::vector<double> out(values.size());
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            out[static_cast<std::size_t>(r) * n + c] = values[static_cast<std::size_t>(c) * n + r];
    return out;
}

std::vector<double> EngineLayoutFromRows(const std::vector<double>& rowsAlongY, int n) {
    std::vector<double> grid(rowsAlongY.size(), 0.0);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            grid[static_cast<std::size_t>(c) * n + r] = rowsAlongY[static_cast<std::size_t>(r) * n + c];
    return grid;
}

} // namespace ostrander
