#include "formats/MeasuredCube.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "formats/SurfaceFile.h"
#include "model/EngineSession.h"
#include "toolkit/IniFile.h"

#include "formats/Cfitsio.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace ostrander {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string Trimmed(std::string text) {
    const auto a = text.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return text.substr(a, text.find_last_not_of(" \t\r\n") - a + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Number(double value) {
    std::ostringstream out;
    out.precision(4);
    out << value;
    return out.str();
}

std::string FitsStatus(int status) {
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    return text;
}

// The power of the volt a unit is per: 0 (per unit of command), 1 or 2.
struct ValueUnit {
    double metres = 1.0;
    int voltPower = 0;
};

// "m V-2", "nm/V^2", "um/V**2", "m.V**-2", "m V-1", "m/V", "m": false for
// anything else.
bool ParseValueUnit(const std::string& text, ValueUnit& unit) {
    std::string s;
    for (char c : Lower(text))
        if (c != ' ' && c != '\t')
            s += c;
    static const std::pair<const char*, double> kLengths[] = {
        {"microns", 1e-6}, {"micron", 1e-6}, {"meters", 1.0}, {"metres", 1.0}, {"meter", 1.0},
        {"metre", 1.0},    {"um", 1e-6},     {"nm", 1e-9},    {"mm", 1e-3},    {"m", 1.0}};
    for (const auto& [name, factor] : kLengths) {
        const std::string prefix = name;
        if (s.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = s.substr(prefix.size());
        static const std::pair<const char*, int> kPer[] = {
            {"", 0},       {"v-2", 2},     {"/v^2", 2},  {"/v**2", 2}, {"/v2", 2},
            {"v**-2", 2},  {".v**-2", 2},  {".v-2", 2},  {"v^-2", 2},  {"/(v^2)", 2},
            {"v-1", 1},    {"/v", 1},      {"v**-1", 1}, {".v**-1", 1}, {".v-1", 1},
            {"v^-1", 1}};
        for (const auto& [per, power] : kPer)
            if (rest == per) {
                unit = {factor, power};
                return true;
            }
        return false;
    }
    return false;
}

// One header card: absent (false, no error), a finite number, or an error.
bool ReadNumber(fitsfile* f, const char* key, std::optional<double>& value,
                const std::string& what, std::string& error) {
    int status = 0;
    char text[FLEN_VALUE] = {};
    value.reset();
    if (fits_read_keyword(f, key, text, nullptr, &status) != 0)
        return true;
    status = 0;
    double v = 0.0;
    if (fits_read_key(f, TDOUBLE, key, &v, nullptr, &status) != 0 || !std::isfinite(v)) {
        error = what + ": " + key + " = " + Trimmed(text) + " is not a finite number";
        return false;
    }
    value = v;
    return true;
}

std::optional<std::string> ReadText(fitsfile* f, const char* key) {
    char text[FLEN_VALUE] = {};
    int status = 0;
    if (fits_read_key(f, TSTRING, key, text, nullptr, &status) != 0)
        return std::nullopt;
    return Trimmed(text);
}

// The sampling and placement of the two image axes.
bool ReadAxes(fitsfile* f, const MeasuredCubeRequest& request, MeasuredCube& cube,
              const std::string& what, std::string& error) {
    for (int axis = 0; axis < 2; ++axis) {
        const std::string n = std::to_string(axis + 1);
        const std::string cdelt = "CDELT" + n, crpix = "CRPIX" + n, crval = "CRVAL" + n,
                          cunit = "CUNIT" + n;
        std::optional<double> delta, reference, origin;
        if (!ReadNumber(f, cdelt.c_str(), delta, what, error) ||
            !ReadNumber(f, crpix.c_str(), reference, what, error) ||
            !ReadNumber(f, crval.c_str(), origin, what, error))
            return false;
        double metres = 1.0;
        if (const auto unit = ReadText(f, cunit.c_str()); unit && !unit->empty()) {
            const std::string u = Lower(*unit);
            if (u == "m" || u == "meter" || u == "metre")
                metres = 1.0;
            else if (u == "mm")
                metres = 1e-3;
            else if (u == "um" || u == "micron")
                metres = 1e-6;
            else {
                error = what + ": " + cunit + " is " + Quoted(*unit) +
                        ", not a length (m, mm, um)";
                return false;
            }
        }
        const int samples = axis == 0 ? cube.columns : cube.rows;
        if (request.sampling) {
            cube.delta[axis] = *request.sampling;
            metres = 1.0;
        } else if (!delta) {
            error = what + " has no " + cdelt + " (the sampling): give it with the sampling "
                    "option (--sampling M)";
            return false;
        } else {
            cube.delta[axis] = *delta * metres;
        }
        if (!(cube.delta[axis] > 0.0) || !std::isfinite(cube.delta[axis])) {
            error = what + ": " + (request.sampling ? std::string("the sampling") : cdelt) +
                    " is " + Number(cube.delta[axis]) + "; the sampling must be a positive length";
            return false;
        }
        if (!reference && !request.sampling) {
            error = what + " has " + cdelt + " but no " + crpix +
                    " (the sample at the membrane's centre)";
            return false;
        }
        cube.reference[axis] = reference ? *reference : (samples + 1) / 2.0;
        cube.origin[axis] = origin ? *origin * metres : 0.0;
    }
    return true;
}

bool ReadUnitAndLaw(fitsfile* f, const MeasuredCubeRequest& request, double& metres,
                    MeasuredCube& cube, const std::string& what, std::string& error) {
    const std::optional<std::string> bunit = ReadText(f, "BUNIT");
    const bool given = !request.units.empty();
    const std::string text = given ? request.units : bunit.value_or("");
    const std::string source = given ? "the unit given (--units)" : "BUNIT";
    if (text.empty()) {
        error = what + " has no BUNIT: give the unit of its values (--units, e.g. \"m V-2\" or "
                "\"nm\")";
        return false;
    }
    ValueUnit unit;
    if (!ParseValueUnit(text, unit)) {
        error = what + ": " + source + " " + Quoted(text.substr(0, 40)) +
                " is not a unit read here (a length m, mm, um or nm, alone or per V or V^2)";
        return false;
    }
    metres = unit.metres;
    if (unit.voltPower == 2 && request.law == ResponseLaw::Linear) {
        error = what + ": " + source + " " + Quoted(text) +
                " is per volt squared, but the law given is linear";
        return false;
    }
    if (unit.voltPower == 1 && request.law == ResponseLaw::Quadratic) {
        error = what + ": " + source + " " + Quoted(text) +
                " is per volt, but the law given is quadratic";
        return false;
    }
    if (unit.voltPower == 0 && !request.law) {
        error = what + ": " + source + " " + Quoted(text) +
                " does not say how the deflection follows the command: give the law "
                "(--law quadratic or --law linear)";
        return false;
    }
    cube.law = unit.voltPower == 2   ? ResponseLaw::Quadratic
               : unit.voltPower == 1 ? ResponseLaw::Linear
                                     : *request.law;
    return true;
}

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ','))
        fields.push_back(Trimmed(field));
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

bool ParseInteger(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stoi(text);
    return true;
}

bool ParseLength(const std::string& text, double& value) {
    if (text.empty()) {
        value = kMissing;
        return true;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

// The actuators table: display number, plane and pad centre of each plane.
bool ReadActuatorsTable(const std::string& path, MeasuredCube& cube, std::string& error) {
    const std::string what = "actuators table " + Quoted(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read " + what + ": no such file";
        return false;
    }
    if (std::filesystem::file_size(path, ec) > (std::size_t{1} << 20)) {
        error = what + " is over 1 MiB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::vector<std::string> header;
    while (header.empty() && std::getline(in, line))
        if (!Trimmed(line).empty())
            header = SplitCsv(Trimmed(line));
    if (!header.empty() && header[0].rfind("\xEF\xBB\xBF", 0) == 0)
        header[0] = header[0].substr(3);
    auto column = [&](const char* name) {
        const auto it = std::find(header.begin(), header.end(), name);
        return it == header.end() ? -1 : static_cast<int>(it - header.begin());
    };
    const int number = column("display_number"), plane = column("plane"), x = column("x_m"),
              y = column("y_m");
    if (number < 0) {
        error = what + " has no display_number column in its header line";
        return false;
    }
    std::vector<int> numbers(static_cast<std::size_t>(cube.planes), 0);
    std::vector<double> padX(numbers.size(), kMissing), padY(numbers.size(), kMissing);
    std::vector<bool> named(numbers.size(), false);
    std::map<int, int> seen;
    int rows = 0, lineNo = 1;
    while (std::getline(in, line)) {
        ++lineNo;
        if (Trimmed(line).empty())
            continue;
        const std::vector<std::string> fields = SplitCsv(Trimmed(line));
        const std::string where = what + " line " + std::to_string(lineNo);
        auto field = [&](int k) { return k >= 0 && k < static_cast<int>(fields.size()) ? fields[k] : std::string(); };
        int k = 0, p = rows;
        if (!ParseInteger(field(number), k) || k < 1) {
            error = where + ": display_number " + Quoted(field(number)) +
                    " is not a whole number from 1";
            return false;
        }
        if (plane >= 0 && !ParseInteger(field(plane), p)) {
            error = where + ": plane " + Quoted(field(plane)) + " is not a whole number from 0";
            return false;
        }
        if (p < 0 || p >= cube.planes) {
            error = where + ": plane " + std::to_string(p) + " is not one of the cube's " +
                    std::to_string(cube.planes) + " planes (NAXIS3 of " + cube.source + ")";
            return false;
        }
        if (named[p] || seen.count(k)) {
            error = where + ": " +
                    (named[p] ? "plane " + std::to_string(p) : "display number " + std::to_string(k)) +
                    " is named twice";
            return false;
        }
        double px = kMissing, py = kMissing;
        if ((x >= 0 && !ParseLength(field(x), px)) || (y >= 0 && !ParseLength(field(y), py))) {
            error = where + ": x_m, y_m must be numbers (metres) or empty";
            return false;
        }
        named[p] = true;
        seen[k] = p;
        numbers[p] = k;
        padX[p] = px;
        padY[p] = py;
        ++rows;
    }
    if (rows != cube.planes) {
        error = what + " lists " + std::to_string(rows) + " actuators, " + cube.source +
                " has " + std::to_string(cube.planes) + " planes (NAXIS3)";
        return false;
    }
    cube.table = true;
    cube.displayNumbers = std::move(numbers);
    cube.padX = std::move(padX);
    cube.padY = std::move(padY);
    return true;
}

} // namespace

std::optional<ResponseLaw> ParseResponseLaw(const std::string& word) {
    if (word == "quadratic")
        return ResponseLaw::Quadratic;
    if (word == "linear")
        return ResponseLaw::Linear;
    return std::nullopt;
}

bool ReadMeasuredCube(const MeasuredCubeRequest& request, MeasuredCube& result,
                      std::string& error) {
    MeasuredCube cube;
    cube.source = "influence cube " + Quoted(request.path);
    const std::string& what = cube.source;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(request.path, ec)) {
        error = "cannot read " + what + ": " +
                (std::filesystem::exists(request.path, ec) ? "it is not a file" : "no such file");
        return false;
    }
    if (request.sampling && !(*request.sampling > 0.0 && std::isfinite(*request.sampling))) {
        error = what + ": the sampling given is " + Number(*request.sampling) +
                "; it must be a positive length (m)";
        return false;
    }
    fitsfile* f = nullptr;
    int status = 0;
    // The disk-file opener takes the name as it stands (no extended syntax).
    if (fits_open_diskfile(&f, request.path.c_str(), READONLY, &status) != 0) {
        error = "cannot read " + what + ": " + FitsStatus(status);
        return false;
    }
    bool ok = false;
    int naxis = 0;
    long axes[3] = {0, 0, 0};
    fits_get_img_dim(f, &naxis, &status);
    if (status == 0 && naxis >= 0 && naxis <= 3)
        fits_get_img_size(f, 3, axes, &status);
    std::string origin;
    double metres = 1.0;
    if (status != 0) {
        error = what + " has no readable primary image: " + FitsStatus(status);
    } else if (naxis != 3) {
        error = what + " is not a cube (NAXIS = " + std::to_string(naxis) +
                "): influence functions are [actuators, rows, columns], NAXIS = 3";
    } else if (axes[0] < 2 || axes[1] < 2 || axes[2] < 1 || axes[2] > kMaxMeasuredPlanes ||
               static_cast<double>(axes[0]) * axes[1] * axes[2] > kMaxMeasuredValues) {
        error = what + " has " + std::to_string(axes[2]) + " planes of " +
                std::to_string(axes[1]) + " x " + std::to_string(axes[0]) +
                " samples (NAXIS3, NAXIS2, NAXIS1): from 1 to " +
                std::to_string(kMaxMeasuredPlanes) + " planes of at least 2 x 2, at most " +
                std::to_string(kMaxMeasuredValues) + " samples in all";
    } else {
        cube.columns = static_cast<int>(axes[0]);
        cube.rows = static_cast<int>(axes[1]);
        cube.planes = static_cast<int>(axes[2]);
        origin = ReadText(f, "ORIGIN").value_or("");
        ok = ReadUnitAndLaw(f, request, metres, cube, what, error) &&
             ReadAxes(f, request, cube, what, error);
        if (ok) {
            cube.values.assign(static_cast<std::size_t>(cube.columns) * cube.rows * cube.planes,
                               kMissing);
            double nullValue = kMissing;
            int anyNull = 0;
            fits_read_img(f, TDOUBLE, 1, static_cast<LONGLONG>(cube.values.size()), &nullValue,
                          cube.values.data(), &anyNull, &status);
            if (status != 0) {
                error = "cannot read " + what + ": " + FitsStatus(status);
                ok = false;
            }
        }
    }
    int closeStatus = 0;
    fits_close_file(f, &closeStatus);
    if (!ok)
        return false;
    for (double& v : cube.values)
        if (std::isinf(v))
            v = kMissing;
    if (metres != 1.0)
        for (double& v : cube.values)
            v *= metres;
    // The table: the one named, or ours beside a cube ostrander-cli wrote.
    std::string table = request.actuators;
    if (table.empty() && origin == "ostrander-cli") {
        const auto beside = std::filesystem::path(request.path).parent_path() / "actuators.csv";
        if (std::filesystem::is_regular_file(beside, ec))
            table = beside.string();
    }
    if (!table.empty()) {
        if (!ReadActuatorsTable(table, cube, error))
            return false;
    } else {
        cube.displayNumbers.resize(static_cast<std::size_t>(cube.planes));
        for (int p = 0; p < cube.planes; ++p)
            cube.displayNumbers[p] = p + 1;
        cube.padX.assign(cube.displayNumbers.size(), kMissing);
        cube.padY.assign(cube.displayNumbers.size(), kMissing);
    }
    result = std::move(cube);
    return true;
}

namespace {

// Piston and tilt, a + b x + c y fitted over the beam, off every membrane
// sample of the plane.
void RemovePistonTilt(const EngineGrid& grid, double* plane) {
    double m[3][3] = {}, v[3] = {};
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j) {
            if (!grid.InBeam(i, j))
                continue;
            const double basis[3] = {1.0, grid.X(i), grid.X(j)};
            for (int a = 0; a < 3; ++a) {
                v[a] += basis[a] * plane[grid.Index(i, j)];
                for (int b = 0; b < 3; ++b)
                    m[a][b] += basis[a] * basis[b];
            }
        }
    auto det = [](const double (&q)[3][3]) {
        return q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1]) -
               q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0]) +
               q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
    };
    const double d = det(m);
    if (!(std::fabs(d) > 0.0))
        return;
    double c[3];
    for (int k = 0; k < 3; ++k) {
        double q[3][3];
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                q[a][b] = b == k ? v[a] : m[a][b];
        c[k] = det(q) / d;
    }
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (grid.InMembrane(i, j))
                plane[grid.Index(i, j)] -= c[0] + c[1] * grid.X(i) + c[2] * grid.X(j);
}

} // namespace

bool ResampleMeasuredCube(const MeasuredCube& cube, const DMInfoClass& mirror,
                          const EngineGrid& grid, bool removePistonTilt, MeasuredInfluence& out,
                          std::vector<std::string>& warnings, std::string& error) {
    const std::string& what = cube.source;
    const int actuators = mirror.Actuators;
    if (grid.n < 2 || !(grid.dx > 0.0) || actuators < 1) {
        error = "no engine grid to resample " + what + " onto (select a mirror first)";
        return false;
    }
    int electrode = 0;
    for (const DmActuatorInfoClass* a = mirror.ActuatorList.first; a; a = a->next)
        if (a->Surface)
            electrode = a->DisplayIndex;
    // Display number of each plane: the table's, or in order (skipping the
    // membrane electrode when the cube has a plane for each pad only).
    std::vector<int> numbers = cube.displayNumbers;
    if (!cube.table) {
        const bool padsOnly = electrode > 0 && cube.planes == actuators - 1;
        if (cube.planes != actuators && !padsOnly) {
            error = what + " has " + std::to_string(cube.planes) +
                    " planes (NAXIS3), the mirror " + std::to_string(actuators) +
                    " actuators; name each plane's actuator with an actuators table";
            return false;
        }
        for (int p = 0, k = 1; p < cube.planes; ++p, ++k) {
            if (padsOnly && k == electrode)
                ++k;
            numbers[p] = k;
        }
    }
    std::vector<int> planeOf(static_cast<std::size_t>(actuators) + 1, -1);
    for (int p = 0; p < cube.planes; ++p) {
        if (numbers[p] < 1 || numbers[p] > actuators) {
            error = what + ": plane " + std::to_string(p) + " is display number " +
                    std::to_string(numbers[p]) + ", but the mirror's actuators are 1 to " +
                    std::to_string(actuators);
            return false;
        }
        planeOf[numbers[p]] = p;
    }
    // Pads and their pitch, and the table's centres against the mirror's.
    double pitch = std::numeric_limits<double>::infinity();
    std::vector<const DmActuatorInfoClass*> pads;
    for (const DmActuatorInfoClass* a = mirror.ActuatorList.first; a; a = a->next)
        if (!a->Surface)
            pads.push_back(a);
    for (std::size_t u = 0; u < pads.size(); ++u)
        for (std::size_t w = u + 1; w < pads.size(); ++w)
            pitch = std::min(pitch, std::hypot(pads[u]->X - pads[w]->X, pads[u]->Y - pads[w]->Y));
    const double padSize = pads.empty() ? 0.0 : pads.front()->Dpad_m;
    const double tolerance =
        std::max(1e-6, 0.25 * (std::isfinite(pitch) ? pitch : padSize));
    for (const DmActuatorInfoClass* a : pads) {
        const int k = a->DisplayIndex;
        if (k < 1 || k > actuators)
            continue;
        const int p = planeOf[k];
        if (p < 0) {
            error = what + " has no plane for actuator " + std::to_string(k);
            return false;
        }
        const double px = cube.padX[p], py = cube.padY[p];
        if (std::isfinite(px) && std::isfinite(py) &&
            std::hypot(px - a->X, py - a->Y) > tolerance) {
            error = "the actuators table of " + what + " puts display number " +
                    std::to_string(k) + " at x = " + Number(px * 1e3) + " mm, y = " +
                    Number(py * 1e3) + " mm, but the mirror's pad " + std::to_string(k) +
                    " is at x = " + Number(a->X * 1e3) + " mm, y = " + Number(a->Y * 1e3) + " mm";
            return false;
        }
    }
    const double coarsest = std::max(cube.delta[0], cube.delta[1]);
    if (std::isfinite(pitch) && coarsest > pitch / 4)
        warnings.push_back(what + ": its sampling, " + Number(coarsest * 1e3) +
                           " mm, is coarser than a quarter of the pad pitch (" +
                           Number(pitch * 1e3) + " mm); the functions lose detail");

    // Where each engine sample lies in the cube.
    const int n = grid.n;
    auto position = [&](int axis, int k) {
        return (grid.X(k) - cube.origin[axis]) / cube.delta[axis] + cube.reference[axis] - 1.0;
    };
    auto inside = [](double s, int samples) { return s >= -1e-6 && s <= samples - 1 + 1e-6; };
    int uncovered = 0, beam = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (grid.InBeam(i, j)) {
                ++beam;
                if (!inside(position(0, i), cube.columns) || !inside(position(1, j), cube.rows))
                    ++uncovered;
            }
    if (uncovered > 0)
        warnings.push_back(what + ": the measured aperture does not cover the beam: " +
                           std::to_string(uncovered) + " of " + std::to_string(beam) +
                           " beam samples lie beyond it and are taken as flat");

    MeasuredInfluence f;
    f.source = what;
    f.law = cube.law;
    f.n = n;
    f.dx = grid.dx;
    f.actuators = actuators;
    const std::size_t points = grid.Points();
    const std::size_t planeSize = static_cast<std::size_t>(cube.rows) * cube.columns;
    f.planes.assign(points * actuators, 0.0);
    SurfaceImage image;
    image.rows = cube.rows;
    image.columns = cube.columns;
    image.placed = true;
    for (int axis = 0; axis < 2; ++axis) {
        image.delta[axis] = cube.delta[axis];
        image.reference[axis] = cube.reference[axis];
        image.origin[axis] = cube.origin[axis];
    }
    std::vector<double> engine;
    for (int k = 1; k <= actuators; ++k) {
        const int p = planeOf[k];
        if (p < 0 || k == electrode)
            continue; // the electrode pulls on nothing itself
        const double* source = cube.values.data() + planeSize * p;
        image.values.assign(source, source + planeSize);
        if (!ResampleOntoEngine(image, grid, engine, error))
            return false;
        double* target = f.planes.data() + points * (k - 1);
        for (int i = 0; i < n; ++i) {
            const double u = position(0, i);
            for (int j = 0; j < n; ++j) {
                const double v = position(1, j);
                double value = engine[grid.Index(i, j)];
                if (!inside(u, cube.columns) || !inside(v, cube.rows)) {
                    value = 0.0;
                } else if (std::isnan(value)) {
                    // Near the aperture's edge: the bilinear weights of the
                    // cell's finite corners.
                    const int c0 = std::clamp(static_cast<int>(std::floor(u)), 0, cube.columns - 2);
                    const int r0 = std::clamp(static_cast<int>(std::floor(v)), 0, cube.rows - 2);
                    const double fu = std::clamp(u - c0, 0.0, 1.0), fv = std::clamp(v - r0, 0.0, 1.0);
                    double sum = 0.0, weight = 0.0;
                    for (int a = 0; a < 2; ++a)
                        for (int b = 0; b < 2; ++b) {
                            const double s = source[static_cast<std::size_t>(r0 + a) * cube.columns + c0 + b];
                            const double w = (a ? fv : 1.0 - fv) * (b ? fu : 1.0 - fu);
                            if (std::isfinite(s) && w > 0.0) {
                                sum += w * s;
                                weight += w;
                            }
                        }
                    if (weight > 0.0) {
                        value = sum / weight;
                    } else if (grid.InBeam(i, j)) {
                        error = what + ": NaN inside the beam: plane " + std::to_string(p) +
                                " (actuator " + std::to_string(k) + ") has no measured value at x = " +
                                Number(grid.X(i) * 1e3) + " mm, y = " + Number(grid.X(j) * 1e3) + " mm";
                        return false;
                    } else {
                        value = 0.0;
                    }
                }
                target[grid.Index(i, j)] = value;
            }
        }
        if (removePistonTilt)
            RemovePistonTilt(grid, target);
    }
    out = std::move(f);
    return true;
}

bool MeasuredRequestOfMirror(const std::string& infoFile, MeasuredCubeRequest& request,
                             std::string& error) {
    IniFile ini;
    if (!ini.Load(infoFile) || !ini.ValueExists(kMeasuredSection, "File"))
        return false;
    const std::string what = "mirror " + Quoted(infoFile) + ", [" + kMeasuredSection + "] ";
    const std::filesystem::path folder = std::filesystem::path(infoFile).parent_path();
    auto beside = [&](const std::string& name) {
        const std::filesystem::path p(name);
        return (p.is_absolute() || name.empty() ? p : folder / p).string();
    };
    MeasuredCubeRequest r;
    r.path = beside(Trimmed(ini.ReadString(kMeasuredSection, "File", "")));
    if (Trimmed(ini.ReadString(kMeasuredSection, "File", "")).empty()) {
        error = what + "File is empty";
        return true;
    }
    if (const std::string law = Trimmed(ini.ReadString(kMeasuredSection, "Law", ""));
        !law.empty()) {
        r.law = ParseResponseLaw(Lower(law));
        if (!r.law) {
            error = what + "Law=" + law + " is not quadratic or linear";
            return true;
        }
    }
    if (const std::string sampling = Trimmed(ini.ReadString(kMeasuredSection, "Sampling_m", ""));
        !sampling.empty()) {
        double value = 0.0;
        if (!ParseLength(sampling, value) || !(value > 0.0)) {
            error = what + "Sampling_m=" + sampling + " is not a positive length in metres";
            return true;
        }
        r.sampling = value;
    }
    r.units = Trimmed(ini.ReadString(kMeasuredSection, "Units", ""));
    const std::string table = Trimmed(ini.ReadString(kMeasuredSection, "Actuators", ""));
    if (!table.empty())
        r.actuators = beside(table);
    r.removePistonTilt = ini.ReadBool(kMeasuredSection, "RemoveTilt", false);
    if (const std::string flat = Trimmed(ini.ReadString(kMeasuredSection, "Flat", ""));
        !flat.empty())
        r.flat = beside(flat);
    request = std::move(r);
    return true;
}

MeasuredLoad LoadMeasuredInfluence(EngineSession& session, const MeasuredCubeRequest& request) {
    MeasuredLoad load;
    const DMInfoClass* mirror = session.MirrorModel();
    const std::optional<EngineGrid> grid = session.Grid();
    if (!mirror || !grid) {
        load.error = "no mirror is selected to take the measured influence functions";
        return load;
    }
    MeasuredCube cube;
    auto influence = std::make_shared<MeasuredInfluence>();
    if (!ReadMeasuredCube(request, cube, load.error) ||
        !ResampleMeasuredCube(cube, *mirror, *grid, request.removePistonTilt, *influence,
                              load.warnings, load.error)) {
        load.warnings.clear();
        return load;
    }
    if (!request.flat.empty()) {
        std::vector<double> flat;
        if (!ReadSurfaceTarget(request.flat, *grid, flat, load.error)) {
            load.error = "measured flat: " + load.error;
            load.warnings.clear();
            return load;
        }
        for (int i = 0; i < grid->n; ++i)
            for (int j = 0; j < grid->n; ++j) {
                double& v = flat[grid->Index(i, j)];
                if (std::isfinite(v))
                    continue;
                if (grid->InBeam(i, j)) {
                    load.error = "measured flat " + Quoted(request.flat) +
                                 " has no value inside the beam at x = " +
                                 Number(grid->X(i) * 1e3) + " mm, y = " + Number(grid->X(j) * 1e3) +
                                 " mm";
                    load.warnings.clear();
                    return load;
                }
                v = 0.0;
            }
        influence->flat = std::move(flat);
    }
    load.error = session.SetMeasuredInfluence(std::move(influence));
    load.loaded = load.error.empty();
    if (!load.loaded)
        load.warnings.clear();
    return load;
}

} // namespace ostrander
