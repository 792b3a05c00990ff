// Measured influence cubes read and resampled onto the engine grid of a
// shipped mirror: analytic functions sampled on the engine grid itself,
// coarser, finer, shifted and with NaN outside the aperture come back to
// the stated tolerance on their own pads; an aperture that misses the beam
// and a coarse sampling are warned about; bad cubes and tables are refused
// with a message naming the file and the keyword, and leave the session as
// it was.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "formats/FitsFile.h"
#include "formats/GridCsv.h"
#include "formats/MeasuredCube.h"
#include "model/EngineSession.h"
#include "model/ModelHost.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace ostrander {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kMirror = std::string(OSTRANDER_SOURCE_DIR) + "/Devices/Hex19.ini";

// A session with Hex19 selected.
struct Hex19 {
    Hex19() { EXPECT_EQ(session.SelectMirror(0, kMirror), MirrorSelection::Selected); }
    RecordingModelHost host;
    EngineSession session{host};
    const DMInfoClass& Model() const { return *session.MirrorModel(); }
    EngineGrid Grid() const { return *session.Grid(); }
};

// A smooth dip centred on pad k, metres per volt squared.
double Bump(const DMInfoClass& dm, int k, double x, double y) {
    const DmActuatorInfoClass* a = dm.FindByDisplayIndex(k);
    const double s = 1.2e-3;
    const double r2 = (x - a->X) * (x - a->X) + (y - a->Y) * (y - a->Y);
    return -2e-9 * std::exp(-r2 / (2 * s * s));
}

// A cube of Bump on a grid of `samples` a side with this step, the sample
// CRPIX (1-based) at CRVAL; NaN beyond `aperture` (m) off the centre.
struct CubeLayout {
    int samples = 100;
    double step = 0.0;
    double crpix = 51.0;
    double crval = 0.0;
    double aperture = std::numeric_limits<double>::infinity();
    int planes = 19;
};

FitsImage BumpCube(const DMInfoClass& dm, const CubeLayout& layout) {
    FitsImage image;
    image.columns = image.rows = layout.samples;
    image.planes = layout.planes;
    for (int p = 0; p < layout.planes; ++p)
        for (int r = 0; r < layout.samples; ++r)
            for (int c = 0; c < layout.samples; ++c) {
                const double x = (c + 1 - layout.crpix) * layout.step + layout.crval;
                const double y = (r + 1 - layout.crpix) * layout.step + layout.crval;
                image.values.push_back(std::hypot(x, y) > layout.aperture
                                           ? kNaN
                                           : Bump(dm, p % 19 + 1, x, y));
            }
    image.keys = {{"BUNIT", std::string("m V-2"), ""}};
    for (const char* axis : {"1", "2"}) {
        image.keys.push_back({std::string("CDELT") + axis, layout.step, ""});
        image.keys.push_back({std::string("CRPIX") + axis, layout.crpix, ""});
        image.keys.push_back({std::string("CRVAL") + axis, layout.crval, ""});
    }
    return image;
}

MeasuredCubeRequest Request(const std::string& path) {
    MeasuredCubeRequest request;
    request.path = path;
    return request;
}

std::string Write(const testing_support::TempFolder& temp, const std::string& name,
                  const FitsImage& image) {
    std::string bytes, error;
    EXPECT_TRUE(FitsBytes(image, bytes, error)) << error;
    return temp.Write(name, bytes);
}

struct GridCase {
    const char* name;
    double stepFactor; // of the engine's spacing
    double shift;      // of the engine's spacing, off the membrane centre
    bool nanOutside;   // NaN beyond the membrane's rim
    double tolerance;  // of the peak, over the membrane
};

class MeasuredGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(MeasuredGrid, BumpsComeBackOnTheirPads) {
    const GridCase& c = GetParam();
    Hex19 h;
    const EngineGrid g = h.Grid();
    CubeLayout layout;
    layout.step = g.dx * c.stepFactor;
    layout.samples = static_cast<int>(std::ceil(g.n / c.stepFactor)) + 4;
    layout.crpix = layout.samples / 2 + 1;
    layout.crval = c.shift * g.dx;
    if (c.nanOutside)
        layout.aperture = g.membraneRadius + 2 * layout.step;
    const testing_support::TempFolder temp("ostrander-measured");
    const std::string path = Write(temp, "cube.fits", BumpCube(h.Model(), layout));

    MeasuredCube cube;
    std::string error;
    ASSERT_TRUE(ReadMeasuredCube(Request(path), cube, error)) << error;
    EXPECT_EQ(cube.law, ResponseLaw::Quadratic);
    MeasuredInfluence f;
    std::vector<std::string> warnings;
    ASSERT_TRUE(ResampleMeasuredCube(cube, h.Model(), g, false, f, warnings, error)) << error;
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    ASSERT_EQ(f.actuators, 19);
    double worst = 0.0;
    for (int k = 1; k <= 19; ++k) {
        const double* plane = f.planes.data() + g.Points() * (k - 1);
        int deepest = 0;
        for (int i = 0; i < g.n; ++i)
            for (int j = 0; j < g.n; ++j) {
                if (plane[g.Index(i, j)] < plane[deepest])
                    deepest = static_cast<int>(g.Index(i, j));
                if (g.InMembrane(i, j))
                    worst = std::max(worst,
                                     std::fabs(plane[g.Index(i, j)] - Bump(h.Model(), k, g.X(i), g.X(j))));
            }
        // The deepest sample is the pad's own.
        const DmActuatorInfoClass* a = h.Model().FindByDisplayIndex(k);
        EXPECT_LE(std::fabs(g.X(deepest / g.n) - a->X), g.dx) << "pad " << k;
        EXPECT_LE(std::fabs(g.X(deepest % g.n) - a->Y), g.dx) << "pad " << k;
    }
    EXPECT_LE(worst, c.tolerance * 2e-9) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Grids, MeasuredGrid,
    ::testing::Values(GridCase{"SameGrid", 1.0, 0.0, false, 1e-12},
                      GridCase{"Coarser", 1.7, 0.0, false, 5e-3},
                      GridCase{"Finer", 0.6, 0.0, false, 1e-3},
                      GridCase{"Shifted", 1.0, 0.37, false, 2e-3},
                      GridCase{"NaNOutsideAperture", 1.3, 0.21, true, 3e-3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MeasuredCube, ApertureShortOfTheBeamAndCoarseSamplingAreWarned) {
    Hex19 h;
    const EngineGrid g = h.Grid();
    struct Case {
        const char* name;
        double step;
        int samples;
        const char* warning;
    } cases[] = {{"small aperture", g.dx, 40, "does not cover the beam"},
                 {"coarse", 3.2e-3 / 3, 16, "coarser than a quarter of the pad pitch"}};
    const testing_support::TempFolder temp("ostrander-measured");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CubeLayout layout;
        layout.step = c.step;
        layout.samples = c.samples;
        layout.crpix = c.samples / 2 + 1;
        const MeasuredLoad load =
            LoadMeasuredInfluence(h.session, Request(Write(temp, "cube.fits", BumpCube(h.Model(), layout))));
        ASSERT_TRUE(load.loaded) << load.error;
        ASSERT_EQ(load.warnings.size(), 1u);
        EXPECT_NE(load.warnings[0].find(c.warning), std::string::npos) << load.warnings[0];
        EXPECT_NE(load.warnings[0].find("cube.fits"), std::string::npos);
    }
}

TEST(MeasuredCube, PistonAndTiltComeOffWhenAsked) {
    Hex19 h;
    const EngineGrid g = h.Grid();
    CubeLayout layout;
    layout.step = g.dx;
    FitsImage image = BumpCube(h.Model(), layout);
    // A reference tilt and piston on every plane, as an interferometer leaves them.
    for (std::size_t v = 0; v < image.values.size(); ++v) {
        const int c = static_cast<int>(v % layout.samples);
        const int r = static_cast<int>(v / layout.samples % layout.samples);
        image.values[v] += 3e-10 + 4e-8 * (c - 50) * g.dx - 2e-8 * (r - 50) * g.dx;
    }
    const testing_support::TempFolder temp("ostrander-measured");
    MeasuredCube cube;
    std::string error;
    ASSERT_TRUE(ReadMeasuredCube(Request(Write(temp, "tilted.fits", image)), cube, error)) << error;
    MeasuredInfluence kept, removed, clean;
    std::vector<std::string> warnings;
    ASSERT_TRUE(ResampleMeasuredCube(cube, h.Model(), g, false, kept, warnings, error));
    ASSERT_TRUE(ResampleMeasuredCube(cube, h.Model(), g, true, removed, warnings, error));
    ASSERT_TRUE(ReadMeasuredCube(Request(Write(temp, "clean.fits", BumpCube(h.Model(), layout))), cube, error));
    ASSERT_TRUE(ResampleMeasuredCube(cube, h.Model(), g, true, clean, warnings, error));
    // Removed from the tilted cube and from the clean one: the same functions.
    double keptOff = 0.0, removedOff = 0.0;
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            if (g.InBeam(i, j))
                for (int k = 0; k < 19; ++k) {
                    const std::size_t at = g.Points() * k + g.Index(i, j);
                    keptOff = std::max(keptOff, std::fabs(kept.planes[at] - clean.planes[at]));
                    removedOff = std::max(removedOff, std::fabs(removed.planes[at] - clean.planes[at]));
                }
    EXPECT_GT(keptOff, 1e-10);
    EXPECT_LT(removedOff, 1e-15);
}

// A bad cube or table: the message names the file and what is wrong, and a
// session keeps the functions it had.
struct BadCase {
    const char* name;
    std::function<void(FitsImage&, MeasuredCubeRequest&, const testing_support::TempFolder&)> spoil;
    std::vector<std::string> message; // each in the error
};

TEST(MeasuredCube, BadCubesAreRefusedAndNothingIsHalfLoaded) {
    auto key = [](FitsImage& image, const std::string& name) -> FitsKey& {
        for (FitsKey& k : image.keys)
            if (k.name == name)
                return k;
        image.keys.push_back({name, 0.0, ""});
        return image.keys.back();
    };
    auto drop = [](FitsImage& image, const std::string& name) {
        std::erase_if(image.keys, [&](const FitsKey& k) { return k.name == name; });
    };
    using Temp = testing_support::TempFolder;
    const std::vector<BadCase> cases = {
        {"WrongCount",
         [](FitsImage& im, MeasuredCubeRequest&, const Temp&) {
             im.planes = 18;
             im.values.resize(im.values.size() / 19 * 18);
         },
         {"bad.fits", "18 planes (NAXIS3)", "19 actuators"}},
        {"NaNInsideTheBeam",
         [](FitsImage& im, MeasuredCubeRequest&, const Temp&) {
             for (int r = 48; r < 53; ++r)
                 for (int c = 48; c < 53; ++c)
                     im.values[(4 * 100 + r) * 100 + c] = kNaN;
         },
         {"bad.fits", "NaN inside the beam", "plane 4 (actuator 5)"}},
        {"NegativeSampling",
         [&](FitsImage& im, MeasuredCubeRequest&, const Temp&) {
             key(im, "CDELT1").value = -1e-4;
         },
         {"bad.fits", "CDELT1", "positive"}},
        {"ZeroSampling",
         [&](FitsImage& im, MeasuredCubeRequest&, const Temp&) { key(im, "CDELT2").value = 0.0; },
         {"bad.fits", "CDELT2", "positive"}},
        {"NoSampling",
         [&](FitsImage& im, MeasuredCubeRequest&, const Temp&) { drop(im, "CDELT1"); },
         {"bad.fits", "no CDELT1", "--sampling"}},
        {"NegativeSamplingGiven",
         [](FitsImage&, MeasuredCubeRequest& rq, const Temp&) { rq.sampling = -2e-4; },
         {"bad.fits", "sampling", "positive"}},
        {"UnknownUnits",
         [&](FitsImage& im, MeasuredCubeRequest&, const Temp&) {
             key(im, "BUNIT").value = std::string("furlong");
         },
         {"bad.fits", "BUNIT", "\"furlong\""}},
        {"NoUnits",
         [&](FitsImage& im, MeasuredCubeRequest&, const Temp&) { drop(im, "BUNIT"); },
         {"bad.fits", "no BUNIT"}},
        {"LawAgainstUnits",
         [](FitsImage&, MeasuredCubeRequest& rq, const Temp&) { rq.law = ResponseLaw::Linear; },
         {"bad.fits", "BUNIT", "per volt squared", "linear"}},
        {"LawMissing",
         [&](FitsImage& im, MeasuredCubeRequest&, const Temp&) {
             key(im, "BUNIT").value = std::string("nm");
         },
         {"bad.fits", "BUNIT", "--law"}},
        {"TableShort",
         [](FitsImage&, MeasuredCubeRequest& rq, const Temp& t) {
             std::string text = "display_number,plane\n";
             for (int k = 1; k <= 18; ++k)
                 text += std::to_string(k) + "," + std::to_string(k - 1) + "\n";
             rq.actuators = t.Write("short.csv", text);
         },
         {"short.csv", "lists 18 actuators", "19 planes (NAXIS3)"}},
        {"TableElsewhere",
         [](FitsImage&, MeasuredCubeRequest& rq, const Temp& t) {
             std::string text = "display_number,x_m,y_m\n";
             for (int k = 1; k <= 19; ++k)
                 text += std::to_string(k) + "," + (k == 3 ? "0.004" : "") + "," +
                         (k == 3 ? "0.004" : "") + "\n";
             rq.actuators = t.Write("moved.csv", text);
         },
         {"bad.fits", "display number 3", "the mirror's pad 3"}},
        {"TableTwice",
         [](FitsImage&, MeasuredCubeRequest& rq, const Temp& t) {
             std::string text = "display_number\n";
             for (int k = 1; k <= 19; ++k)
                 text += std::to_string(k == 7 ? 6 : k) + "\n";
             rq.actuators = t.Write("twice.csv", text);
         },
         {"twice.csv", "line 8", "display number 6 is named twice"}},
        {"TwoDimensional",
         [](FitsImage& im, MeasuredCubeRequest&, const Temp&) {
             im.planes = 1;
             im.values.resize(100 * 100);
         },
         {"bad.fits", "NAXIS = 2"}},
    };
    Hex19 h;
    const EngineGrid g = h.Grid();
    CubeLayout layout;
    layout.step = g.dx;
    const Temp temp("ostrander-measured");
    const MeasuredLoad good =
        LoadMeasuredInfluence(h.session, Request(Write(temp, "good.fits", BumpCube(h.Model(), layout))));
    ASSERT_TRUE(good.loaded) << good.error;
    const auto kept = h.session.MeasuredInfluenceGiven();
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(h.session.MembraneModelName(), "measured");
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        FitsImage image = BumpCube(h.Model(), layout);
        MeasuredCubeRequest request;
        c.spoil(image, request, temp);
        request.path = Write(temp, "bad.fits", image);
        const MeasuredLoad load = LoadMeasuredInfluence(h.session, request);
        EXPECT_FALSE(load.loaded);
        EXPECT_TRUE(load.warnings.empty());
        for (const std::string& part : c.message)
            EXPECT_NE(load.error.find(part), std::string::npos) << load.error;
        EXPECT_EQ(h.session.MeasuredInfluenceGiven(), kept);
    }
    // A fresh session that takes none stays with its own model.
    Hex19 fresh;
    FitsImage image = BumpCube(fresh.Model(), layout);
    image.planes = 18;
    image.values.resize(image.values.size() / 19 * 18);
    EXPECT_FALSE(LoadMeasuredInfluence(fresh.session, Request(Write(temp, "bad.fits", image))).loaded);
    EXPECT_EQ(fresh.session.MembraneModelName(), "classic");
    EXPECT_EQ(fresh.session.MeasuredInfluenceGiven(), nullptr);
}

// A measured flat is added to every surface where it lies (x along CSV
// columns, y along lines); a flat with a hole in the beam is refused.
TEST(MeasuredCube, TheMeasuredFlatIsAddedToEverySurface) {
    Hex19 h;
    const EngineGrid g = h.Grid();
    CubeLayout layout;
    layout.step = g.dx;
    const testing_support::TempFolder temp("ostrander-measured");
    const std::string cube = Write(temp, "cube.fits", BumpCube(h.Model(), layout));
    const double R = g.membraneRadius;
    auto flat = [&](double x, double y) { return 3e-8 * (x * x - y * y) / (R * R) + 1e-8 * x / R; };
    std::string csv, holed;
    for (int j = 0; j < g.n; ++j)
        for (int i = 0; i < g.n; ++i) {
            const std::string v = FormatNumber(flat(g.X(i), g.X(j)));
            csv += v + (i + 1 < g.n ? "," : "\n");
            holed += (i == g.n / 2 && j == g.n / 2 ? std::string("nan") : v) + (i + 1 < g.n ? "," : "\n");
        }
    auto physical = [&](const std::string& flatFile) {
        MeasuredCubeRequest request = Request(cube);
        request.flat = flatFile;
        const MeasuredLoad load = LoadMeasuredInfluence(h.session, request);
        EXPECT_TRUE(load.loaded) << load.error;
        EXPECT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
        EXPECT_EQ(h.session.RunToEnd(), RunTick::Finished);
        return h.session.PhysicalSurface().values;
    };
    const std::vector<double> without = physical("");
    const std::vector<double> with = physical(temp.Write("flat.csv", csv));
    ASSERT_EQ(with.size(), g.Points());
    double worst = 0.0;
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            worst = std::max(worst, std::fabs(with[g.Index(i, j)] - without[g.Index(i, j)] -
                                              flat(g.X(i), g.X(j))));
    EXPECT_LT(worst, 1e-20);

    const auto kept = h.session.MeasuredInfluenceGiven();
    MeasuredCubeRequest request = Request(cube);
    request.flat = temp.Write("holed.csv", holed);
    const MeasuredLoad load = LoadMeasuredInfluence(h.session, request);
    EXPECT_FALSE(load.loaded);
    EXPECT_NE(load.error.find("holed.csv\" has no value inside the beam"), std::string::npos)
        << load.error;
    EXPECT_EQ(h.session.MeasuredInfluenceGiven(), kept);
}

TEST(MeasuredCube, UnitsAndLawFollowTheHeaderOrTheUser) {
    struct Case {
        const char* bunit;
        const char* givenUnits;
        std::optional<ResponseLaw> law;
        double scale; // metres per stored unit
        ResponseLaw expected;
    } cases[] = {{"m V-2", "", std::nullopt, 1.0, ResponseLaw::Quadratic},
                 {"nm/V^2", "", std::nullopt, 1e-9, ResponseLaw::Quadratic},
                 {"um V-1", "", std::nullopt, 1e-6, ResponseLaw::Linear},
                 {"nm", "", ResponseLaw::Linear, 1e-9, ResponseLaw::Linear},
                 {"micron", "", ResponseLaw::Quadratic, 1e-6, ResponseLaw::Quadratic},
                 {"furlong", "mm", ResponseLaw::Linear, 1e-3, ResponseLaw::Linear}};
    Hex19 h;
    CubeLayout layout;
    layout.step = h.Grid().dx;
    layout.samples = 8;
    layout.crpix = 5;
    const testing_support::TempFolder temp("ostrander-measured");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bunit);
        FitsImage image = BumpCube(h.Model(), layout);
        image.keys[0].value = std::string(c.bunit);
        MeasuredCubeRequest request = Request(Write(temp, "units.fits", image));
        request.units = c.givenUnits;
        request.law = c.law;
        MeasuredCube cube;
        std::string error;
        ASSERT_TRUE(ReadMeasuredCube(request, cube, error)) << error;
        EXPECT_EQ(cube.law, c.expected);
        EXPECT_DOUBLE_EQ(cube.values[9], image.values[9] * c.scale);
    }
}

} // namespace
} // namespace ostrander
