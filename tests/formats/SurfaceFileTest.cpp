// Surface grids read at any size and resampled onto the engine grid: the
// same grid comes back exactly, analytic shapes sampled coarser or finer
// come back to the stated tolerance, a FITS image lands where its axes put
// it, missing samples stay missing where they count, and bad files are
// refused with a message naming what is wrong.
#include "formats/FitsFile.h"
#include "formats/GridCsv.h"
#include "formats/SurfaceFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace ostrander {
namespace {

namespace fs = std::filesystem;
using Shape = std::function<double(double x, double y)>;

// The engine grid of a 15 mm membrane, beam over 80 % of it.
EngineGrid Engine() {
    return *MakeEngineGrid(15e-3, 0.8);
}

class TempFolder {
public:
    TempFolder() {
        path_ = fs::temp_directory_path() / ("ostrander-surface-" + std::to_string(::getpid()));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }

private:
    fs::path path_;
};

// rows x columns samples of shape, rows along y, spanning the engine grid's
// square (first and last samples on the engine's first and last).
std::vector<double> Spanning(const EngineGrid& g, int rows, int columns, const Shape& shape) {
    const double lo = g.X(0), hi = g.X(g.n - 1);
    std::vector<double> v(static_cast<std::size_t>(rows) * columns);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            v[static_cast<std::size_t>(r) * columns + c] =
                shape(lo + (hi - lo) * c / (columns - 1), lo + (hi - lo) * r / (rows - 1));
    return v;
}

std::string Csv(const std::vector<double>& rowsAlongY, int rows, int columns) {
    std::string text;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            text += FormatNumber(rowsAlongY[static_cast<std::size_t>(r) * columns + c]) +
                    (c + 1 < columns ? "," : "\n");
    return text;
}

std::string Fits(const std::vector<double>& rowsAlongY, int rows, int columns,
                 std::vector<FitsKey> keys = {}) {
    FitsImage image;
    image.rows = rows;
    image.columns = columns;
    image.values = rowsAlongY;
    image.keys = std::move(keys);
    std::string bytes, error;
    EXPECT_TRUE(FitsBytes(image, bytes, error)) << error;
    return bytes;
}

// The axis cards ostrander-cli's surface.fits carries for a grid of
// spacing dx with x = y = 0 at 1-based pixel reference.
std::vector<FitsKey> Axes(double dx, double reference) {
    return {{"CDELT1", dx, ""},        {"CDELT2", dx, ""},        {"CRPIX1", reference, ""},
            {"CRPIX2", reference, ""}, {"CUNIT1", std::string("m"), ""}, {"CUNIT2", std::string("m"), ""}};
}

// Largest |resampled - shape| over the membrane disc, relative to the
// largest |shape| there; every membrane sample must be present.
double WorstOverMembrane(const std::vector<double>& engine, const EngineGrid& g, const Shape& shape) {
    double worst = 0.0, peak = 0.0;
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j) {
            if (!g.InMembrane(i, j))
                continue;
            const double want = shape(g.X(i), g.X(j));
            const double got = engine[g.Index(i, j)];
            EXPECT_TRUE(std::isfinite(got)) << i << "," << j;
            worst = std::max(worst, std::fabs(got - want));
            peak = std::max(peak, std::fabs(want));
        }
    return worst / peak;
}

TEST(SurfaceTarget, ResampledShapesMatchTheirAnalyticValues) {
    const EngineGrid g = Engine();
    const double R = g.beamRadius;
    // Noll focus, 0.3 um RMS: a quadratic, which the cubic convolution and
    // its end condition reproduce to rounding.
    const Shape focus = [R](double x, double y) {
        return 0.3e-6 * std::sqrt(3.0) * (2.0 * (x * x + y * y) / (R * R) - 1.0);
    };
    // A smooth bump that is no polynomial: resampling error of the order of
    // the file's spacing to the third power.
    const Shape bump = [R](double x, double y) {
        return 1e-6 * std::exp(-((x - 0.2 * R) * (x - 0.2 * R) + y * y) / (0.5 * R * R));
    };
    struct Case {
        int rows, columns;
        const Shape* shape;
        double tolerance; // relative to the shape's largest value on the membrane
    };
    const Case cases[] = {{50, 50, &focus, 1e-12},  {173, 173, &focus, 1e-12},
                          {64, 37, &focus, 1e-12},  {50, 50, &bump, 2e-3},
                          {173, 173, &bump, 5e-5}};
    TempFolder temp;
    for (const Case& c : cases) {
        const std::vector<double> file = Spanning(g, c.rows, c.columns, *c.shape);
        const std::string name = std::to_string(c.rows) + "x" + std::to_string(c.columns);
        for (const std::string& path : {temp.Write(name + ".csv", Csv(file, c.rows, c.columns)),
                                        temp.Write(name + ".fits", Fits(file, c.rows, c.columns))}) {
            std::vector<double> engine;
            std::string error;
            ASSERT_TRUE(ReadSurfaceTarget(path, g, engine, error)) << error;
            ASSERT_EQ(engine.size(), g.Points());
            EXPECT_LT(WorstOverMembrane(engine, g, *c.shape), c.tolerance) << path;
        }
    }
}

// A grid of the engine's own size, as surface.csv or as surface.fits with
// its axes, comes back value for value, missing samples included.
TEST(SurfaceTarget, TheEngineGridItselfComesBackExactly) {
    const EngineGrid g = Engine();
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-1e-6, 1e-6);
    std::vector<double> rows(g.Points());
    for (double& v : rows)
        v = value(random);
    rows[17 * g.n + 3] = std::numeric_limits<double>::quiet_NaN();
    TempFolder temp;
    const std::string csv = temp.Write("same.csv", Csv(rows, g.n, g.n));
    const std::string fits =
        temp.Write("same.fits", Fits(rows, g.n, g.n, Axes(g.dx, g.n / 2 + 1)));
    const std::vector<double> want = EngineLayoutFromRows(rows, g.n);
    for (const std::string& path : {csv, fits}) {
        std::vector<double> engine;
        std::string error;
        ASSERT_TRUE(ReadSurfaceTarget(path, g, engine, error)) << error;
        ASSERT_EQ(engine.size(), want.size());
        for (std::size_t k = 0; k < want.size(); ++k) {
            if (std::isnan(want[k]))
                EXPECT_TRUE(std::isnan(engine[k])) << path << " " << k;
            else
                ASSERT_EQ(engine[k], want[k]) << path << " " << k;
        }
    }
}

// A FITS image of another spacing, its zero off the centre: each engine
// sample gets the shape at its own coordinates where the image covers it,
// and is missing where the image does not reach.
TEST(SurfaceTarget, AFitsImageLandsWhereItsAxesPlaceIt) {
    const EngineGrid g = Engine();
    const Shape shape = [](double x, double y) { return 2e-5 * x - 3e-5 * y + 1e-3 * x * y + 1e-7; };
    const int rows = 40, columns = 60;
    const double step = 0.7 * g.dx;
    const double crpix1 = 12.5, crpix2 = 30.0, crval1 = -1e-3, crval2 = 0.5e-3;
    std::vector<double> file(static_cast<std::size_t>(rows) * columns);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            file[static_cast<std::size_t>(r) * columns + c] =
                shape((c + 1 - crpix1) * step + crval1, (r + 1 - crpix2) * step + crval2);
    TempFolder temp;
    const std::string path = temp.Write(
        "shifted.fits", Fits(file, rows, columns,
                             {{"CDELT1", step, ""}, {"CDELT2", step, ""}, {"CRPIX1", crpix1, ""},
                              {"CRPIX2", crpix2, ""}, {"CRVAL1", crval1, ""}, {"CRVAL2", crval2, ""}}));
    std::vector<double> engine;
    std::string error;
    ASSERT_TRUE(ReadSurfaceTarget(path, g, engine, error)) << error;
    const double xLo = (1 - crpix1) * step + crval1, xHi = (columns - crpix1) * step + crval1;
    const double yLo = (1 - crpix2) * step + crval2, yHi = (rows - crpix2) * step + crval2;
    int covered = 0;
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j) {
            const double x = g.X(i), y = g.X(j);
            const double got = engine[g.Index(i, j)];
            const bool inside = x >= xLo - 1e-12 && x <= xHi + 1e-12 && y >= yLo - 1e-12 &&
                                y <= yHi + 1e-12;
            if (!inside) {
                EXPECT_TRUE(std::isnan(got)) << i << "," << j;
                continue;
            }
            ++covered;
            EXPECT_NEAR(got, shape(x, y), 1e-18) << i << "," << j;
        }
    // 60 x 0.7 and 40 x 0.7 engine steps: about 42 x 28 engine samples.
    EXPECT_GT(covered, 41 * 27);
    EXPECT_LT(covered, 43 * 29);
}

// One missing sample of a coarser grid: the engine samples whose stencil
// reaches it are missing, the others are not.
TEST(SurfaceTarget, AMissingSampleStaysMissingOnlyWhereItCounts) {
    const EngineGrid g = Engine();
    const int m = 50;
    std::vector<double> file(static_cast<std::size_t>(m) * m, 1e-7);
    const int badRow = 20, badColumn = 31;
    file[badRow * m + badColumn] = std::numeric_limits<double>::quiet_NaN();
    TempFolder temp;
    const std::string path = temp.Write("hole.csv", Csv(file, m, m));
    std::vector<double> engine;
    std::string error;
    ASSERT_TRUE(ReadSurfaceTarget(path, g, engine, error)) << error;
    int missing = 0;
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j) {
            // File positions of the engine sample.
            const double c = static_cast<double>(i) * (m - 1) / (g.n - 1);
            const double r = static_cast<double>(j) * (m - 1) / (g.n - 1);
            const bool reaches = std::fabs(c - badColumn) < 2.0 && std::fabs(r - badRow) < 2.0;
            const double got = engine[g.Index(i, j)];
            if (reaches) {
                ++missing;
                EXPECT_TRUE(std::isnan(got)) << i << "," << j;
            } else {
                EXPECT_NEAR(got, 1e-7, 1e-20) << i << "," << j;
            }
        }
    EXPECT_GT(missing, 0);
}

TEST(SurfaceTarget, CsvTextMayStartWithAByteOrderMark) {
    SurfaceImage image;
    std::string error;
    ASSERT_TRUE(ParseSurfaceCsv("\xEF\xBB\xBF" "3e-07,1\n2,null\n", "s.csv", image, error)) << error;
    ASSERT_EQ(image.rows, 2);
    ASSERT_EQ(image.columns, 2);
    EXPECT_EQ(image.values[0], 3e-07);
    EXPECT_TRUE(std::isnan(image.values[3]));
}

// The unit a FITS target's values are in comes from BUNIT; a CSV target is
// in metres. Each case: a 4 x 4 image of 0.25 in the named unit.
TEST(SurfaceTarget, FitsValuesAreReadInTheirBunit) {
    struct Case {
        const char* name;
        std::optional<std::string> bunit; // none: no BUNIT card
        double metres;                    // per unit; 0: refused
    } cases[] = {
        {"none", std::nullopt, 1.0},     {"empty", std::string(""), 1.0},
        {"m", std::string("m"), 1.0},    {"mm", std::string("mm"), 1e-3},
        {"um", std::string("um"), 1e-6}, {"micron", std::string("micron"), 1e-6},
        {"microns", std::string("microns"), 1e-6}, {"nm", std::string("nm"), 1e-9},
        {"padded", std::string("um  "), 1e-6},
        {"upper case M is mega", std::string("M"), 0.0},
        {"not a length", std::string("relative intensity"), 0.0},
        {"per volt squared", std::string("m V-2"), 0.0},
        {"angstrom", std::string("Angstrom"), 0.0},
    };
    TempFolder temp;
    const std::vector<double> quarter(16, 0.25);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FitsKey> keys;
        if (c.bunit)
            keys.push_back({"BUNIT", *c.bunit, ""});
        const std::string path = temp.Write("unit.fits", Fits(quarter, 4, 4, keys));
        SurfaceImage image;
        std::string error;
        const bool read = ReadSurfaceImage(path, image, error);
        if (c.metres == 0.0) {
            EXPECT_FALSE(read);
            EXPECT_NE(error.find("BUNIT is \"" + *c.bunit + "\""), std::string::npos) << error;
            EXPECT_NE(error.find(path), std::string::npos) << error;
            EXPECT_NE(error.find("(m, mm, um, nm)"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(image.values.size(), 16u);
        for (double v : image.values)
            EXPECT_DOUBLE_EQ(v, 0.25 * c.metres);
    }
}

// Empty fields anywhere (the last of a line too), null and NaN in any case
// are missing samples, counted; a ragged grid is still refused, and so is one
// with nothing left.
TEST(SurfaceTarget, CsvMissingSamplesAnywhereAreCounted) {
    struct Case {
        const char* name;
        std::string text;
        int columns;       // 0: refused
        int missing;
        const char* error; // part of the message when refused
    } cases[] = {
        {"last field empty", "1,2,\n4,5,6\n", 3, 1, ""},
        {"last field empty on every line", "1,2,\n4,5,\n", 3, 2, ""},
        {"first field empty", ",2\n3,4\n", 2, 1, ""},
        {"middle field empty", "1, ,3\n4,5,6\n", 3, 1, ""},
        {"a masked row", ",,\n1,2,3\n", 3, 3, ""},
        {"null and nan in any case", "null,NULL,nan\nNaN,NAN,1\n", 3, 5, ""},
        {"ragged: one field short", "1,2,3\n4,5\n", 0, 0, "line 2 has 2 values, not 3"},
        {"ragged: one field over", "1,2\n3,4,\n", 0, 0, "line 2 has 3 values, not 2"},
        {"nothing left", ",\nnull,nan\n", 0, 0, "has no samples: all 4 are empty, null or NaN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SurfaceImage image;
        std::string error;
        const bool read = ParseSurfaceCsv(c.text, "t.csv", image, error);
        if (c.columns == 0) {
            EXPECT_FALSE(read);
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_NE(error.find("t.csv"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(image.columns, c.columns);
        EXPECT_EQ(image.rows, 2);
        EXPECT_EQ(image.missing, c.missing);
        EXPECT_EQ(std::count_if(image.values.begin(), image.values.end(),
                                [](double v) { return std::isnan(v); }),
                  c.missing);
    }
}

// A pupil-masked export (every sample outside a disc empty, so most lines
// end in a comma) is read at its full width: the disc lands where it was,
// and the count of missing samples comes back with the message that says it.
TEST(SurfaceTarget, AMaskedExportKeepsItsWidthAndSaysWhatIsMissing) {
    const EngineGrid g = Engine();
    std::vector<double> rows(g.Points(), 2e-7);
    int outside = 0;
    for (int r = 0; r < g.n; ++r)
        for (int c = 0; c < g.n; ++c)
            if (!g.InMembrane(c, r)) {
                rows[static_cast<std::size_t>(r) * g.n + c] = std::numeric_limits<double>::quiet_NaN();
                ++outside;
            }
    std::string text;
    for (int r = 0; r < g.n; ++r)
        for (int c = 0; c < g.n; ++c) {
            const double v = rows[static_cast<std::size_t>(r) * g.n + c];
            text += (std::isnan(v) ? std::string() : FormatNumber(v)) + (c + 1 < g.n ? "," : "\n");
        }
    TempFolder temp;
    const std::string path = temp.Write("masked.csv", text);
    std::vector<double> engine;
    std::string error;
    SurfaceFileCounts counts;
    ASSERT_TRUE(ReadSurfaceTarget(path, g, engine, error, &counts)) << error;
    EXPECT_EQ(counts.samples, static_cast<int>(g.Points()));
    EXPECT_EQ(counts.missing, outside);
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            if (g.InMembrane(i, j))
                ASSERT_EQ(engine[g.Index(i, j)], 2e-7) << i << "," << j;
            else
                ASSERT_TRUE(std::isnan(engine[g.Index(i, j)])) << i << "," << j;
    const std::string said = MissingSamplesText(path, counts);
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_NE(said.find(std::to_string(outside) + " of " + std::to_string(g.Points())),
              std::string::npos)
        << said;
    EXPECT_EQ(MissingSamplesText(path, SurfaceFileCounts{16, 0}), "");
}

struct BadFile {
    const char* name;
    std::string file;  // written under this name
    std::string bytes; // empty: not written at all
    const char* error; // part of the message
};

std::vector<BadFile> BadFiles() {
    const std::vector<double> square(16, 1e-7);
    std::vector<double> cube(32, 1e-7);
    FitsImage threeD;
    threeD.columns = threeD.rows = 4;
    threeD.planes = 2;
    threeD.values = cube;
    std::string cubeBytes, error;
    FitsBytes(threeD, cubeBytes, error);
    auto axes = [](FitsKey odd) {
        std::vector<FitsKey> keys = Axes(1e-4, 2);
        for (FitsKey& k : keys)
            if (k.name == odd.name)
                k = odd;
        return keys;
    };
    return {
        {"Missing", "none.csv", "", "cannot read surface"},
        {"Ragged", "ragged.csv", "1,2,3\n4,5\n6,7,8\n", "line 2 has 2 values, not 3"},
        {"NotANumber", "word.csv", "1,2\n3,x\n", "line 2 column 2: \"x\" is not a number"},
        {"NulInAField", "nul.csv", std::string("1,2\n3e-07\0""5,4\n", 13), "line 2 holds a NUL byte"},
        {"OneRow", "row.csv", "1,2,3\n", "a surface needs at least 2 x 2"},
        {"Empty", "empty.csv", "\n\n", "a surface needs at least 2 x 2"},
        {"NotFits", "text.fits", "not a FITS file at all", "cannot read FITS surface"},
        {"Cube", "cube.fits", cubeBytes, "is not a 2-D image (NAXIS = 3)"},
        {"ZeroStep", "zero.fits", Fits(square, 4, 4, axes({"CDELT2", 0.0, ""})), "CDELT2 is 0"},
        {"StepNotANumber", "word.fits", Fits(square, 4, 4, axes({"CDELT1", std::string("wide"), ""})),
         "CDELT1 = 'wide"},
        {"StepWithoutReference", "half.fits",
         Fits(square, 4, 4, {{"CDELT1", 1e-4, ""}, {"CDELT2", 1e-4, ""}, {"CRPIX1", 2.0, ""}}),
         "but not CRPIX2"},
        {"Millimetres", "mm.fits", Fits(square, 4, 4, axes({"CUNIT1", std::string("mm"), ""})),
         "CUNIT1 is \"mm\""},
    };
}

class SurfaceTargetRefuses : public ::testing::TestWithParam<BadFile> {};

TEST_P(SurfaceTargetRefuses, WithAMessageNamingTheFault) {
    TempFolder temp;
    const BadFile& bad = GetParam();
    const std::string path = bad.bytes.empty()
                                 ? (fs::temp_directory_path() / "ostrander-no-such-dir" / bad.file).string()
                                 : temp.Write(bad.file, bad.bytes);
    std::vector<double> engine;
    std::string error;
    EXPECT_FALSE(ReadSurfaceTarget(path, Engine(), engine, error));
    EXPECT_NE(error.find(bad.error), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Files, SurfaceTargetRefuses, ::testing::ValuesIn(BadFiles()),
                         [](const ::testing::TestParamInfo<BadFile>& info) { return info.param.name; });

// A placed image needs the engine's spacing; a grid without samples is no
// grid to resample onto.
TEST(SurfaceTarget, ResamplingNeedsAGrid) {
    SurfaceImage image;
    std::string error;
    ASSERT_TRUE(ParseSurfaceCsv("1,2\n3,4\n", "s.csv", image, error));
    std::vector<double> engine;
    EXPECT_FALSE(ResampleOntoEngine(image, EngineGrid{}, engine, error));
    EXPECT_TRUE(ResampleOntoEngine(image, EngineGrid{8, 0.0, 0.0, 0.0}, engine, error)) << error;
    EXPECT_EQ(engine.size(), 64u);
    image.placed = true;
    image.delta[0] = image.delta[1] = 1e-4;
    EXPECT_FALSE(ResampleOntoEngine(image, EngineGrid{8, 0.0, 0.0, 0.0}, engine, error));
    EXPECT_NE(error.find("spacing"), std::string::npos) << error;
}

} // namespace
} // namespace ostrander
