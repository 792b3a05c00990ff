#include "formats/SurfaceFile.h"

#include "formats/Cfitsio.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

namespace ostrander {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
// A position this close to a whole sample is taken as that sample, so that
// axes read back from a header's decimal text still hit the samples exactly.
constexpr double kOnSample = 1e-6;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string_view Trimmed(std::string_view text) {
    const auto a = text.find_first_not_of(" \t\r");
    if (a == std::string_view::npos)
        return {};
    return text.substr(a, text.find_last_not_of(" \t\r") - a + 1);
}

// text is word in any case ("null", "NULL", "NaN").
bool SameLetters(std::string_view text, std::string_view word) {
    if (text.size() != word.size())
        return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[k])) != word[k])
            return false;
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

bool IsFitsName(const std::string& path) {
    return EndsWith(path, ".fits") || EndsWith(path, ".fit") || EndsWith(path, ".fts");
}

bool SizeAllowed(const SurfaceImage& image, const std::string& what, std::string& error) {
    if (image.rows < 2 || image.columns < 2) {
        error = what + " has " + std::to_string(image.rows) + " x " +
                std::to_string(image.columns) + " samples; a surface needs at least 2 x 2";
        return false;
    }
    if (static_cast<std::size_t>(image.rows) * static_cast<std::size_t>(image.columns) >
        kMaxSurfaceSamples) {
        error = what + " has more than " + std::to_string(kMaxSurfaceSamples) + " samples";
        return false;
    }
    return true;
}

// A grid whose every sample is missing leaves nothing to fit.
bool AnySamples(SurfaceImage& image, const std::string& what, std::string& error) {
    image.missing = static_cast<int>(
        std::count_if(image.values.begin(), image.values.end(), [](double v) { return std::isnan(v); }));
    if (!image.values.empty() && image.missing == static_cast<int>(image.values.size())) {
        error = what + " has no samples: all " + std::to_string(image.values.size()) +
                " are empty, null or NaN";
        return false;
    }
    return true;
}

std::string FitsStatus(int status) {
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    return text;
}

// One optional header card as a number: false (with the reason) when it is
// there and is not a finite number.
bool ReadOptionalKey(fitsfile* f, const char* key, bool& present, double& value,
                     const std::string& what, std::string& error) {
    int status = 0;
    char text[FLEN_VALUE] = {};
    present = false;
    if (fits_read_keyword(f, key, text, nullptr, &status) != 0)
        return true; // absent
    present = true;
    status = 0;
    double v = 0.0;
    if (fits_read_key(f, TDOUBLE, key, &v, nullptr, &status) != 0 || !std::isfinite(v)) {
        error = what + ": " + key + " = " + std::string(Trimmed(text)) + " is not a finite number";
        return false;
    }
    value = v;
    return true;
}

// The axes that place the image, when its header has them.
bool ReadPlacement(fitsfile* f, SurfaceImage& image, const std::string& what, std::string& error) {
    bool present[4] = {};
    double delta[2] = {}, reference[2] = {}, origin[2] = {0.0, 0.0};
    const char* names[4] = {"CDELT1", "CDELT2", "CRPIX1", "CRPIX2"};
    double* targets[4] = {&delta[0], &delta[1], &reference[0], &reference[1]};
    for (int k = 0; k < 4; ++k)
        if (!ReadOptionalKey(f, names[k], present[k], *targets[k], what, error))
            return false;
    const int given = present[0] + present[1] + present[2] + present[3];
    if (given == 0)
        return true;
    if (given != 4) {
        for (int k = 0; k < 4; ++k)
            if (!present[k]) {
                error = what + " has some of CDELT1, CDELT2, CRPIX1, CRPIX2 but not " +
                        names[k] + "; give all four to place it, or none";
                return false;
            }
    }
    for (int axis = 0; axis < 2; ++axis) {
        if (delta[axis] == 0.0) {
            error = what + ": CDELT" + std::to_string(axis + 1) + " is 0";
            return false;
        }
        bool present = false;
        const std::string crval = "CRVAL" + std::to_string(axis + 1);
        if (!ReadOptionalKey(f, crval.c_str(), present, origin[axis], what, error))
            return false;
        const std::string cunit = "CUNIT" + std::to_string(axis + 1);
        char unit[FLEN_VALUE] = {};
        int status = 0;
        if (fits_read_key(f, TSTRING, cunit.c_str(), unit, nullptr, &status) == 0 &&
            Trimmed(unit) != "m" && !Trimmed(unit).empty()) {
            error = what + ": " + cunit + " is \"" + std::string(Trimmed(unit)) +
                    "\"; the axes are read in metres (m)";
            return false;
        }
    }
    image.placed = true;
    for (int axis = 0; axis < 2; ++axis) {
        image.delta[axis] = delta[axis];
        image.reference[axis] = reference[axis];
        image.origin[axis] = origin[axis];
    }
    return true;
}

// Metres per unit of the image's values, from BUNIT; false (with the
// reason) for a unit that is not a length read here.
bool ReadValueUnit(fitsfile* f, double& metres, const std::string& what, std::string& error) {
    static const std::pair<const char*, double> kUnits[] = {
        {"m", 1.0},      {"mm", 1e-3},      {"um", 1e-6},
        {"micron", 1e-6}, {"microns", 1e-6}, {"nm", 1e-9}};
    metres = 1.0;
    char text[FLEN_VALUE] = {};
    int status = 0;
    if (fits_read_key(f, TSTRING, "BUNIT", text, nullptr, &status) != 0)
        return true; // absent: metres
    const std::string_view unit = Trimmed(text);
    if (unit.empty())
        return true;
    for (const auto& [name, factor] : kUnits)
        if (unit == name) {
            metres = factor;
            return true;
        }
    error = what + ": BUNIT is \"" + std::string(unit).substr(0, 40) +
            "\", not a unit of length it can read (m, mm, um, nm)";
    return false;
}

bool ReadFitsImage(const std::string& path, SurfaceImage& image, std::string& error) {
    const std::string what = "FITS surface " + Quoted(path);
    fitsfile* f = nullptr;
    int status = 0;
    // The disk-file opener takes the name as it stands (no extended syntax).
    if (fits_open_diskfile(&f, path.c_str(), READONLY, &status) != 0) {
        error = "cannot read " + what + ": " + FitsStatus(status);
        return false;
    }
    int naxis = 0;
    long axes[3] = {0, 0, 0};
    fits_get_img_dim(f, &naxis, &status);
    if (status == 0 && naxis >= 0 && naxis <= 3)
        fits_get_img_size(f, 3, axes, &status);
    bool ok = false;
    if (status != 0) {
        error = what + " has no readable image";
    } else if (naxis != 2) {
        error = what + " is not a 2-D image (NAXIS = " + std::to_string(naxis) + ")";
    } else if (axes[0] > std::numeric_limits<int>::max() ||
               axes[1] > std::numeric_limits<int>::max()) {
        error = what + " has more than " + std::to_string(kMaxSurfaceSamples) + " samples";
    } else {
        image.columns = static_cast<int>(axes[0]);
        image.rows = static_cast<int>(axes[1]);
        double metres = 1.0;
        ok = SizeAllowed(image, what, error) && ReadValueUnit(f, metres, what, error) &&
             ReadPlacement(f, image, what, error);
        if (ok) {
            image.values.assign(static_cast<std::size_t>(image.rows) * image.columns, kMissing);
            double nullValue = kMissing;
            int anyNull = 0;
            fits_read_img(f, TDOUBLE, 1, static_cast<LONGLONG>(image.values.size()), &nullValue,
                          image.values.data(), &anyNull, &status);
            if (status != 0) {
                error = "cannot read " + what + ": " + FitsStatus(status);
                ok = false;
            } else {
                if (metres != 1.0)
                    for (double& v : image.values)
                        v *= metres;
                ok = AnySamples(image, what, error);
            }
        }
    }
    int closeStatus = 0;
    fits_close_file(f, &closeStatus);
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxSurfaceFileBytes) {
        error = "surface " + Quoted(path) + " is over the limit of " +
                std::to_string(kMaxSurfaceFileBytes) + " bytes";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read surface " + Quoted(path);
        return false;
    }
    // Read at once: a file at the size limit takes a fraction of a second.
    text.resize(static_cast<std::size_t>(ec ? 0 : size));
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        error = "cannot read surface " + Quoted(path);
        return false;
    }
    return true;
}

// Keys' cubic convolution kernel, a = -0.5.
double Keys(double t) {
    constexpr double a = -0.5;
    t = std::fabs(t);
    if (t <= 1.0)
        return ((a + 2.0) * t - (a + 3.0)) * t * t + 1.0;
    if (t < 2.0)
        return ((a * t - 5.0 * a) * t + 8.0 * a) * t - 4.0 * a;
    return 0.0;
}

// The samples and weights that give the value at position s (0-based, within
// [0, m - 1]): one sample with weight 1 on a sample, four otherwise.
struct Stencil {
    int first = 0;
    int count = 0;
    double weight[4] = {};
};

Stencil StencilAt(double s) {
    Stencil out;
    const double whole = std::floor(s);
    const double f = s - whole;
    if (f == 0.0) {
        out.first = static_cast<int>(whole);
        out.count = 1;
        out.weight[0] = 1.0;
        return out;
    }
    out.first = static_cast<int>(whole) - 1;
    out.count = 4;
    out.weight[0] = Keys(1.0 + f);
    out.weight[1] = Keys(f);
    out.weight[2] = Keys(1.0 - f);
    out.weight[3] = Keys(2.0 - f);
    return out;
}

// Sample k of a line of m values (read through at), extended by one sample
// at each end with Keys' cubic end condition (linear or constant for
// shorter lines).
template <typename At>
double Extended(int k, int m, const At& at) {
    if (k >= 0 && k < m)
        return at(k);
    const int a = k < 0 ? 0 : m - 1;
    const int step = k < 0 ? 1 : -1;
    if (m >= 3)
        return 3.0 * at(a) - 3.0 * at(a + step) + at(a + 2 * step);
    if (m == 2)
        return 2.0 * at(a) - at(a + step);
    return at(a);
}

// A position on a file axis: snapped to a whole sample when within
// kOnSample of one; NaN when outside [0, m - 1].
double OnAxis(double s, int m) {
    const double nearest = std::round(s);
    if (std::fabs(s - nearest) <= kOnSample)
        s = nearest;
    return s >= 0.0 && s <= m - 1 ? s : kMissing;
}

} // namespace

bool ParseSurfaceCsv(std::string_view text, const std::string& name, SurfaceImage& image,
                     std::string& error) {
    image = SurfaceImage{};
    const std::string what = "surface " + Quoted(name);
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        const std::string where = what + " line " + std::to_string(lineNumber);
        if (line.find('\0') != std::string_view::npos) {
            error = where + " holds a NUL byte";
            return false;
        }
        if (Trimmed(line).empty())
            continue;
        int column = 0;
        std::size_t start = 0;
        for (;;) {
            // Every comma separates two fields: one at the end of a line is
            // followed by an empty (missing) last field.
            const std::size_t comma = line.find(',', start);
            const std::string_view t =
                Trimmed(line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
            double v = kMissing;
            if (!t.empty() && !SameLetters(t, "null") && !SameLetters(t, "nan")) {
                const std::string field(t);
                char* stop = nullptr;
                v = std::strtod(field.c_str(), &stop);
                if (*stop != '\0' || std::isinf(v)) {
                    error = where + " column " + std::to_string(column + 1) + ": \"" +
                            field.substr(0, 40) + "\" is not a number";
                    return false;
                }
            }
            if (image.values.size() >= kMaxSurfaceSamples) {
                error = what + " has more than " + std::to_string(kMaxSurfaceSamples) + " samples";
                return false;
            }
            image.values.push_back(v);
            ++column;
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        if (image.rows == 0) {
            image.columns = column;
        } else if (column != image.columns) {
            error = where + " has " + std::to_string(column) + " values, not " +
                    std::to_string(image.columns) + " as the first row";
            return false;
        }
        ++image.rows;
    }
    return SizeAllowed(image, what, error) && AnySamples(image, what, error);
}

bool ReadSurfaceImage(const std::string& path, SurfaceImage& image, std::string& error) {
    image = SurfaceImage{};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read surface " + Quoted(path) + ": " +
                (std::filesystem::exists(path, ec) ? "it is not a file" : "no such file");
        return false;
    }
    if (IsFitsName(path))
        return ReadFitsImage(path, image, error);
    std::string text;
    return ReadWholeFile(path, text, error) && ParseSurfaceCsv(text, path, image, error);
}

bool ResampleOntoEngine(const SurfaceImage& image, const EngineGrid& grid,
                        std::vector<double>& engineLayout, std::string& error) {
    const int n = grid.n;
    if (n <= 0) {
        error = "no engine grid to resample the surface onto";
        return false;
    }
    if (image.rows < 1 || image.columns < 1 ||
        image.values.size() != static_cast<std::size_t>(image.rows) * image.columns) {
        error = "the surface has no samples";
        return false;
    }
    if (image.placed && !(std::isfinite(grid.dx) && grid.dx > 0.0)) {
        error = "the engine grid's spacing is not known, so a surface placed by its axes "
                "cannot be resampled (load a mirror first)";
        return false;
    }
    // File positions of the engine's samples along x (columns) and y (rows).
    auto positions = [&](int axis, int m) {
        std::vector<double> s(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            if (image.placed)
                s[k] = (grid.X(k) - image.origin[axis]) / image.delta[axis] +
                       image.reference[axis] - 1.0;
            else
                s[k] = n > 1 ? static_cast<double>(k) * (m - 1) / (n - 1) : 0.0;
            s[k] = OnAxis(s[k], m);
        }
        return s;
    };
    const std::vector<double> xs = positions(0, image.columns);
    const std::vector<double> ys = positions(1, image.rows);
    const int rows = image.rows, columns = image.columns;
    auto sample = [&](int r, int c) {
        return Extended(r, rows, [&](int rr) {
            return Extended(c, columns, [&](int cc) {
                return image.values[static_cast<std::size_t>(rr) * columns + cc];
            });
        });
    };
    engineLayout.assign(grid.Points(), kMissing);
    for (int i = 0; i < n; ++i) {
        if (std::isnan(xs[i]))
            continue;
        const Stencil sx = StencilAt(xs[i]);
        for (int j = 0; j < n; ++j) {
            if (std::isnan(ys[j]))
                continue;
            const Stencil sy = StencilAt(ys[j]);
            if (sx.count == 1 && sy.count == 1) {
                engineLayout[grid.Index(i, j)] = sample(sy.first, sx.first);
                continue;
            }
            double sum = 0.0;
            for (int a = 0; a < sy.count; ++a) {
                if (sy.weight[a] == 0.0)
                    continue;
                for (int b = 0; b < sx.count; ++b)
                    if (sx.weight[b] != 0.0)
                        sum += sy.weight[a] * sx.weight[b] * sample(sy.first + a, sx.first + b);
            }
            engineLayout[grid.Index(i, j)] = sum;
        }
    }
    return true;
}

bool ReadSurfaceTarget(const std::string& path, const EngineGrid& grid,
                       std::vector<double>& engineLayout, std::string& error,
                       SurfaceFileCounts* counts) {
    SurfaceImage image;
    if (!ReadSurfaceImage(path, image, error) || !ResampleOntoEngine(image, grid, engineLayout, error))
        return false;
    if (counts) {
        counts->samples = static_cast<int>(image.values.size());
        counts->missing = image.missing;
    }
    return true;
}

std::string MissingSamplesText(const std::string& path, const SurfaceFileCounts& counts) {
    if (counts.missing <= 0)
        return {};
    return "surface " + Quoted(path) + ": " + std::to_string(counts.missing) + " of " +
           std::to_string(counts.samples) +
           " samples are empty, null or NaN and are left out of the target";
}

} // namespace ostrander
