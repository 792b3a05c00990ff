#include "model/SurfaceGridFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace ostrander {

namespace {

// 100 x 100 doubles as text is ~250 kB; nothing sensible is larger than this.
constexpr std::uintmax_t kMaxGridBytes = 64u << 20;

std::string Trimmed(const std::string& text) {
    const auto a = text.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return {};
    return text.substr(a, text.find_last_not_of(" \t\r") - a + 1);
}

bool ReadCsvGrid(const std::string& path, int n, std::vector<double>& rowsAlongY,
                 std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read surface \"" + path + "\"";
        return false;
    }
    std::string line;
    int row = 0;
    while (std::getline(in, line)) {
        if (Trimmed(line).empty())
            continue;
        if (row >= n) {
            error = "surface \"" + path + "\" has more than " + std::to_string(n) + " rows";
            return false;
        }
        std::stringstream fields(line);
        std::string field;
        int column = 0;
        while (std::getline(fields, field, ',')) {
            if (column >= n) {
                error = "surface \"" + path + "\" row " + std::to_string(row + 1) +
                        " has more than " + std::to_string(n) + " values";
                return false;
            }
            const std::string t = Trimmed(field);
            double v = std::numeric_limits<double>::quiet_NaN();
            if (!t.empty() && t != "null" && t != "nan" && t != "NaN") {
                char* end = nullptr;
                v = std::strtod(t.c_str(), &end);
                if (*end != '\0' || std::isinf(v)) {
                    error = "surface \"" + path + "\" row " + std::to_string(row + 1) +
                            " column " + std::to_string(column + 1) + ": \"" + t.substr(0, 40) +
                            "\" is not a number";
                    return false;
                }
            }
            rowsAlongY[static_cast<std::size_t>(row) * n + column] = v;
            ++column;
        }
        if (column != n) {
            error = "surface \"" + path + "\" row " + std::to_string(row + 1) + " has " +
                    std::to_string(column) + " values, not " + std::to_string(n);
            return false;
        }
        ++row;
    }
    if (row != n) {
        error = "surface \"" + path + "\" has " + std::to_string(row) + " rows, not " +
                std::to_string(n);
        return false;
    }
    return true;
}

} // namespace

std::vector<double> EngineLayoutFromRows(const std::vector<double>& rowsAlongY, int n) {
    std::vector<double> grid(rowsAlongY.size(), 0.0);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            grid[static_cast<std::size_t>(c) * n + r] = rowsAlongY[static_cast<std::size_t>(r) * n + c];
    return grid;
}

bool ReadSurfaceCsv(const std::string& path, int n, std::vector<double>& grid, std::string& error) {
    std::error_code ec;
    if (n <= 0 || !std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read surface \"" + path + "\": no such file";
        return false;
    }
    if (std::filesystem::file_size(path, ec) > kMaxGridBytes) {
        error = "surface \"" + path + "\" is over the limit of " + std::to_string(kMaxGridBytes) +
                " bytes";
        return false;
    }
    std::vector<double> rows(static_cast<std::size_t>(n) * n);
    if (!ReadCsvGrid(path, n, rows, error))
        return false;
    grid = EngineLayoutFromRows(rows, n);
    return true;
}

} // namespace ostrander
