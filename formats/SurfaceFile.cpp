#include "formats/SurfaceFile.h"

#include "formats/GridCsv.h"

#include <fitsio.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>
#include <sstream>

namespace ostrander {

namespace {

// 100 x 100 doubles as text is ~250 kB; nothing sensible is larger than this.
constexpr std::uintmax_t kMaxGridBytes = 64u << 20;

// Blanks, tabs and CRs off both ends, without copying.
std::string_view Trimmed(std::string_view text) {
    const auto a = text.find_first_not_of(" \t\r");
    if (a == std::string_view::npos)
        return {};
    return text.substr(a, text.find_last_not_of(" \t\r") - a + 1);
}

// The whole file is read at once and scanned in place: a file at the size
// limit, even of blank lines only, is read in a fraction of a second.
bool ReadCsvGrid(const std::string& path, int n, std::vector<double>& rowsAlongY,
                 std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read surface \"" + path + "\"";
        return false;
    }
    std::error_code ec;
    std::string text(static_cast<std::size_t>(std::filesystem::file_size(path, ec)), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::string number; // one field, NUL-terminated for strtod
    int row = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        // Blank lines, and the blanks a line starts with, are passed over at once.
        while (pos < text.size() &&
               (text[pos] == '\n' || text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r'))
            ++pos;
        if (pos == text.size())
            break;
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (Trimmed(line).empty())
            continue;
        if (row >= n) {
            error = "surface \"" + path + "\" has more than " + std::to_string(n) + " rows";
            return false;
        }
        int column = 0;
        for (std::size_t start = 0; start <= line.size();) {
            std::size_t comma = line.find(',', start);
            // A line ending in a comma has no empty field after it.
            if (comma == std::string_view::npos && start == line.size() && start > 0)
                break;
            if (comma == std::string_view::npos)
                comma = line.size();
            if (column >= n) {
                error = "surface \"" + path + "\" row " + std::to_string(row + 1) +
                        " has more than " + std::to_string(n) + " values";
                return false;
            }
            const std::string_view t = Trimmed(line.substr(start, comma - start));
            start = comma + 1;
            double v = std::numeric_limits<double>::quiet_NaN();
            if (!t.empty() && t != "null" && t != "nan" && t != "NaN") {
                number.assign(t);
                char* stop = nullptr;
                v = std::strtod(number.c_str(), &stop);
                if (*stop != '\0' || std::isinf(v)) {
                    error = "surface \"" + path + "\" row " + std::to_string(row + 1) +
                            " column " + std::to_string(column + 1) + ": \"" +
                            number.substr(0, 40) + "\" is not a number";
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

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size())
        return false;
    for (std::size_t k = 0; k < end.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + k])) != end[k])
            return false;
    return true;
}

bool ReadFitsGrid(const std::string& path, int n, std::vector<double>& rowsAlongY,
                  std::string& error) {
    fitsfile* f = nullptr;
    int status = 0;
    // The disk-file opener takes the name as it stands (no extended syntax).
    if (fits_open_diskfile(&f, path.c_str(), READONLY, &status) != 0) {
        char text[FLEN_STATUS] = {};
        fits_get_errstatus(status, text);
        error = "cannot read FITS surface \"" + path + "\": " + text;
        return false;
    }
    int naxis = 0;
    long axes[3] = {0, 0, 0};
    fits_get_img_dim(f, &naxis, &status);
    fits_get_img_size(f, 3, axes, &status);
    bool ok = status == 0;
    if (ok && (naxis != 2 || axes[0] != n || axes[1] != n)) {
        error = "FITS surface \"" + path + "\" is not a " + std::to_string(n) + " x " +
                std::to_string(n) + " image";
        ok = false;
    } else if (ok) {
        double nullValue = std::numeric_limits<double>::quiet_NaN();
        int anyNull = 0;
        fits_read_img(f, TDOUBLE, 1, static_cast<LONGLONG>(n) * n, &nullValue, rowsAlongY.data(),
                      &anyNull, &status);
        if (status != 0) {
            char text[FLEN_STATUS] = {};
            fits_get_errstatus(status, text);
            error = "cannot read FITS surface \"" + path + "\": " + text;
            ok = false;
        }
    } else {
        error = "FITS surface \"" + path + "\" has no readable image";
    }
    int closeStatus = 0;
    fits_close_file(f, &closeStatus);
    return ok;
}

} // namespace

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

bool ReadSurfaceGrid(const std::string& path, int n, std::vector<double>& grid,
                     std::string& error) {
    const bool fits = EndsWith(path, ".fits") || EndsWith(path, ".fit") || EndsWith(path, ".fts");
    if (!fits)
        return ReadSurfaceCsv(path, n, grid, error);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read surface \"" + path + "\": no such file";
        return false;
    }
    std::vector<double> rows(static_cast<std::size_t>(n) * n);
    if (!ReadFitsGrid(path, n, rows, error))
        return false;
    grid = EngineLayoutFromRows(rows, n);
    return true;
}

} // namespace ostrander
