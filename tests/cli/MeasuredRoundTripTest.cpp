// The exact model's influence functions exported as `influence` writes them
// and read back as measured: on the same grid every surface, figure and fit
// equals the exact model's to rounding; sampled on another grid (coarser,
// finer, off-centre, NaN outside the aperture) they agree to the stated
// tolerance. The measured model refuses to run without functions.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "cli/InfluenceFiles.h"
#include "formats/FitsFile.h"
#include "formats/MeasuredCube.h"
#include "model/ExactMembrane.h"
#include "model/MembraneGeometry.h"
#include "model/SessionFit.h"
#include "results/BatchSimulation.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace ostrander {
namespace {

const std::string kDevices = std::string(OSTRANDER_SOURCE_DIR) + "/Devices/";

struct Figures {
    SimulationResult result;
    SessionFit fit;
};

// Hex37 with three pads driven, and a fit of 0.3 um RMS of focus.
Figures RunFigures(BatchSimulation& simulation) {
    Figures f;
    VoltageRequest request;
    request.single = {{1, 120.0}, {9, 160.0}, {30, 90.0}};
    DisplayOptions options;
    options.pictures = false;
    std::string error;
    EXPECT_TRUE(simulation.Simulate(request, options, f.result, error)) << error;
    FitRequest fit;
    fit.zernike = {0, 0, 0, 0.3e-6};
    f.fit = FitOnSession(simulation.Session(), fit);
    EXPECT_EQ(f.fit.status, SessionFit::Status::Fitted);
    return f;
}

class MeasuredRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        exact_ = new BatchSimulation;
        std::string error;
        ASSERT_TRUE(exact_->UseModel("exact"));
        ASSERT_TRUE(exact_->Load(kDevices + "Hex37.ini", error)) << error;
        ASSERT_TRUE(exact_->RunInfluenceFunctions({}, error)) << error;
        reference_ = new Figures(RunFigures(*exact_));
    }
    static void TearDownTestSuite() {
        delete reference_;
        delete exact_;
    }
    // A session on Hex37 computing with the cube.
    static MeasuredLoad Measured(BatchSimulation& simulation, const MeasuredCubeRequest& request) {
        std::string error;
        EXPECT_TRUE(simulation.Load(kDevices + "Hex37.ini", error)) << error;
        MeasuredLoad load = LoadMeasuredInfluence(simulation.Session(), request);
        if (load.loaded) {
            EXPECT_TRUE(simulation.RunInfluenceFunctions({}, error)) << error;
        }
        return load;
    }
    static BatchSimulation* exact_;
    static Figures* reference_;
    testing_support::TempFolder temp_{"ostrander-measured"};
};

BatchSimulation* MeasuredRoundTrip::exact_ = nullptr;
Figures* MeasuredRoundTrip::reference_ = nullptr;

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b) {
    EXPECT_EQ(a.size(), b.size());
    double worst = 0.0;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
        worst = std::max(worst, std::fabs(a[k] - b[k]));
    return worst;
}

TEST_F(MeasuredRoundTrip, TheExportedCubeGivesTheExactModelsResults) {
    InfluenceSet set;
    set.n = exact_->Geometry().n;
    set.actuators = exact_->ActuatorCount();
    set.runVoltage = exact_->Session().RunVoltage();
    set.model = "exact";
    std::string bytes, error;
    ASSERT_TRUE(FitsBytes(InfluenceFits(set, exact_->InfluencePerVoltSquared(), exact_->Geometry()),
                          bytes, error))
        << error;
    MeasuredCubeRequest request;
    request.path = temp_.Write("influence.fits", bytes);
    temp_.Write("actuators.csv", ActuatorsCsv(*exact_->Model(), set.actuators));

    BatchSimulation measured;
    const MeasuredLoad load = Measured(measured, request);
    ASSERT_TRUE(load.loaded) << load.error;
    EXPECT_TRUE(load.warnings.empty());
    EXPECT_EQ(measured.Session().MembraneModelName(), "measured");
    const Figures got = RunFigures(measured);
    const SimulationResult& a = reference_->result;
    const SimulationResult& b = got.result;
    const double peak = std::max(std::fabs(a.pupilMin), std::fabs(a.pupilMax));
    EXPECT_LE(MaxDifference(a.surface, b.surface), 1e-12 * peak);
    EXPECT_NEAR(b.pv, a.pv, 1e-12 * a.pv);
    EXPECT_NEAR(b.pupilRms, a.pupilRms, 1e-12 * a.pupilRms);
    EXPECT_NEAR(b.strehl, a.strehl, 1e-12);
    EXPECT_NEAR(b.maxDeflection, a.maxDeflection, 1e-12 * a.maxDeflection);
    EXPECT_EQ(b.model, "measured");
    EXPECT_TRUE(std::isnan(b.pullInFactor));
    EXPECT_LE(MaxDifference(got.fit.fit.volts, reference_->fit.fit.volts), 1e-6);
    EXPECT_NEAR(got.fit.fit.residualRms, reference_->fit.fit.residualRms, 1e-15);
}

// The exact model's functions per volt squared solved on another grid, as a
// measurement would sample them, with the sample crop[0] (x) and crop[1] (y)
// first so the cube is off-centre.
struct GridCase {
    const char* name;
    int n;
    double stepFactor; // of the engine's spacing
    int crop[2];
    bool nanOutside;
    // Measured: beam samples within 0.18 % of the PV, fitted volts within 0.01 V.
    double surfaceTolerance; // of the beam's peak-to-valley
    double fitTolerance;     // of the reference's fitted voltages, V
};

class MeasuredOtherGrid : public MeasuredRoundTrip, public ::testing::WithParamInterface<GridCase> {};

TEST_P(MeasuredOtherGrid, ResampledFunctionsAgreeToTheTolerance) {
    const GridCase& c = GetParam();
    const DMInfoClass& dm = *exact_->Model();
    EngineGrid grid;
    grid.n = c.n;
    grid.dx = exact_->Geometry().dx * c.stepFactor;
    const ExactMembrane membrane(MembraneGeometryFromModel(dm), grid);
    ASSERT_TRUE(membrane.IsValid()) << membrane.Problem();
    const int columns = c.n - c.crop[0], rows = c.n - c.crop[1];
    FitsImage image;
    image.columns = columns;
    image.rows = rows;
    image.planes = dm.Actuators;
    image.values.assign(static_cast<std::size_t>(columns) * rows * dm.Actuators, 0.0);
    const double rim = exact_->Geometry().membraneRadius;
    for (int k = 1; k <= dm.Actuators; ++k) {
        const std::vector<double> plane = membrane.Influence(dm.FindByDisplayIndex(k)->Index, 1.0);
        for (int r = 0; r < rows; ++r)
            for (int col = 0; col < columns; ++col) {
                const int i = col + c.crop[0], j = r + c.crop[1];
                const bool outside = std::hypot(grid.X(i), grid.X(j)) > rim;
                image.values[(static_cast<std::size_t>(k - 1) * rows + r) * columns + col] =
                    c.nanOutside && outside ? std::numeric_limits<double>::quiet_NaN()
                                            : plane[grid.Index(i, j)];
            }
    }
    image.keys = {{"BUNIT", std::string("m/V^2"), ""}};
    for (int axis = 0; axis < 2; ++axis) {
        const std::string a = std::to_string(axis + 1);
        image.keys.push_back({"CDELT" + a, grid.dx, ""});
        image.keys.push_back({"CRPIX" + a, static_cast<double>(c.n / 2 + 1 - c.crop[axis]), ""});
    }
    std::string bytes, error;
    ASSERT_TRUE(FitsBytes(image, bytes, error)) << error;
    MeasuredCubeRequest request;
    request.path = temp_.Write("cube.fits", bytes);
    BatchSimulation measured;
    const MeasuredLoad load = Measured(measured, request);
    ASSERT_TRUE(load.loaded) << load.error;
    const Figures got = RunFigures(measured);
    const SimulationResult& a = reference_->result;
    // Over the beam: beyond it an off-centre cube may end before the rim.
    const RunGeometry& g = exact_->Geometry();
    std::vector<double> beamA, beamB;
    for (int i = 0; i < a.n; ++i)
        for (int j = 0; j < a.n; ++j)
            if (std::hypot(i - a.n / 2, j - a.n / 2) * g.dx < g.beamRadius) {
                beamA.push_back(a.surface[static_cast<std::size_t>(i) * a.n + j]);
                beamB.push_back(got.result.surface[static_cast<std::size_t>(i) * a.n + j]);
            }
    EXPECT_LE(MaxDifference(beamA, beamB), c.surfaceTolerance * a.pv) << c.name;
    EXPECT_NEAR(got.result.pv, a.pv, c.surfaceTolerance * a.pv);
    EXPECT_NEAR(got.result.pupilRms, a.pupilRms, c.surfaceTolerance * a.pupilRms);
    EXPECT_LE(MaxDifference(got.fit.fit.volts, reference_->fit.fit.volts), c.fitTolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Grids, MeasuredOtherGrid,
    ::testing::Values(GridCase{"Coarser", 64, 1.6, {0, 0}, false, 0.005, 0.05},
                      GridCase{"Finer", 150, 0.7, {0, 0}, false, 0.005, 0.05},
                      GridCase{"OffCentre", 110, 0.93, {7, 3}, false, 0.005, 0.05},
                      GridCase{"NaNOutsideAperture", 80, 1.3, {0, 0}, true, 0.005, 0.05}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MeasuredModel, RunsOnlyWithFunctions) {
    BatchSimulation simulation;
    std::string error;
    ASSERT_TRUE(simulation.UseModel("measured"));
    ASSERT_TRUE(simulation.Load(kDevices + "Hex37.ini", error)) << error;
    EXPECT_FALSE(simulation.RunInfluenceFunctions({}, error));
    EXPECT_EQ(error, "Influence Functions: no measured influence functions are given "
                     "(ostrander-cli: --influence FILE)");
}

} // namespace
} // namespace ostrander
