// The exact membrane model chosen in a session: the influence run, the
// synthesis by the force law, the membrane's own electrode in both models,
// and the inputs of the pull-in computation.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/ExactMembrane.h"
#include "model/MembraneGeometry.h"
#include "model/PullIn.h"
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;
using testing::PadLayout;

constexpr double kEps0 = 8.854e-12;

// The largest |value| of the engine's Surface.
double PeakOf(const MainData& data) {
    double peak = 0;
    for (int i = 0; i < data.GridSize; ++i)
        for (int j = 0; j < data.GridSize; ++j)
            peak = std::max(peak, std::fabs(data.Surface[i][j]));
    return peak;
}

// Runs the influence functions with the given model, then sets the voltages
// by display number and synthesises.
bool RunWith(EngineHarness& h, const char* model, const ModelLayout& layout) {
    return h.session.UseMembraneModel(model) && h.LoadAndRun(layout);
}
void SynthesizeOnly(EngineHarness& h, const std::vector<double>& volts) {
    for (std::size_t k = 0; k < volts.size(); ++k)
        h.local.Mirror->SetVoltage(static_cast<int>(k + 1), volts[k]);
    h.engine.SynthesizeSurface(h.session.MembraneModelName() == "exact"
                                   ? DMModelMain::ForceLaw::Square
                                   : DMModelMain::ForceLaw::SignedSquare);
}

TEST(ExactModelSession, ACentredPadRunsToTheUniformlyLoadedDisc) {
    // Closed form of a clamped disc of radius R under pressure p on r < a:
    // w(r) = p/(4T) (a^2 - r^2) + p a^2/(2T) ln(R/a) inside, p a^2/(2T) ln(R/r)
    // outside; negative towards the electrode.
    ModelLayout layout;
    layout.limitVoltage = 150;
    layout.pads = {{0, 0, 4e-3}};
    EngineHarness h;
    ASSERT_TRUE(RunWith(h, "exact", layout));
    const double R = layout.diameter / 2, a = 2e-3, T = layout.stress * layout.thickness;
    const double p = kEps0 * 150.0 * 150.0 / (2 * layout.separation * layout.separation);
    const int n = h.data.GridSize;
    const double dx = layout.diameter / (n * h.data.GridFill - 2);
    const Grid<double>& f = h.data.InfluenceFunctions[0];
    for (int i : {n / 2, n / 2 + 5, n / 2 + 20, n / 2 + 40}) {
        const double r = (i - n / 2) * dx;
        const double w = r < a ? p / (4 * T) * (a * a - r * r) + p * a * a / (2 * T) * std::log(R / a)
                               : p * a * a / (2 * T) * std::log(R / r);
        EXPECT_NEAR(f[i][n / 2], -w, 1e-9 * w + 1e-15) << "r = " << r;
    }
}

// A finer grid (asked for, or from the mirror file) samples the same closed
// form as the standard one; the classic model keeps the standard grid.
TEST(ExactModelSession, AFinerGridRunsToTheSameClosedForm) {
    struct Case {
        const char* model;
        int asked;      // SetGridSamples, 0 for none
        int fileKey;    // GridSamples in the mirror file, 0 for none
        int expected;   // samples per side of the run
    };
    const Case cases[] = {
        {"exact", 0, 0, 100},   {"exact", 200, 0, 200},   {"exact", 0, 150, 150},
        {"exact", 128, 150, 128}, {"classic", 200, 0, 100}, {"classic", 0, 150, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " asked " + std::to_string(c.asked) + " file " +
                     std::to_string(c.fileKey));
        ModelLayout layout;
        layout.limitVoltage = 150;
        layout.pads = {{0, 0, 4e-3}};
        layout.gridSamples = c.fileKey;
        EngineHarness h;
        ASSERT_TRUE(h.session.UseMembraneModel(c.model));
        ASSERT_EQ(h.session.SetGridSamples(c.asked), "");
        ASSERT_TRUE(h.LoadAndRun(layout));
        const int n = h.data.GridSize;
        ASSERT_EQ(n, c.expected);
        ASSERT_EQ(h.session.Grid()->n, n);
        ASSERT_EQ(h.data.InfluenceFunctions[0].Rows(), n + 1);
        if (std::string(c.model) != "exact")
            continue;
        const double R = layout.diameter / 2, a = 2e-3, T = layout.stress * layout.thickness;
        const double p = kEps0 * 150.0 * 150.0 / (2 * layout.separation * layout.separation);
        const double dx = layout.diameter / (n * h.data.GridFill - 2);
        const Grid<double>& f = h.data.InfluenceFunctions[0];
        for (const double r : {0.0, 1e-3, 3e-3, 6e-3}) {
            const int i = n / 2 + static_cast<int>(std::lround(r / dx));
            const double at = (i - n / 2) * dx;
            const double w = at < a ? p / (4 * T) * (a * a - at * at) +
                                          p * a * a / (2 * T) * std::log(R / a)
                                    : p * a * a / (2 * T) * std::log(R / at);
            EXPECT_NEAR(f[i][n / 2], -w, 1e-9 * w + 1e-15) << "r = " << at;
        }
    }
}

TEST(ExactModelSession, AGridOutsideTheRangeIsRefusedAndChangesNothing) {
    EngineHarness h;
    ASSERT_TRUE(h.session.UseMembraneModel("exact"));
    ASSERT_EQ(h.session.SetGridSamples(200), "");
    for (const int n : {-1, 99, 401, 1 << 30})
        EXPECT_EQ(h.session.SetGridSamples(n),
                  "the grid must have 100 to 400 samples a side, not " + std::to_string(n));
    EXPECT_EQ(h.session.RequestedGridSamples(), 200);
}

TEST(ExactModelSession, SynthesisIsTheDirectSolveForAnyVoltages) {
    // The stored functions scaled by the force, (V/Vrun)^2, equal the linear
    // surface solved directly for those voltages: superposition of pad loads.
    ModelLayout layout;
    layout.limitVoltage = 200;
    layout.pads = testing::HexPads(1, 4e-3, 3.5e-3);
    EngineHarness h;
    ASSERT_TRUE(RunWith(h, "exact", layout));
    const std::vector<double> volts{120, 0.1, 80, 200, 35, 0.1, 150};
    SynthesizeOnly(h, volts);
    const DMInfoClass& dm = *h.local.MirrorInfo->Model;
    const int n = h.data.GridSize;
    const ExactMembrane direct(MembraneGeometryFromModel(dm),
                               EngineGrid{n, layout.diameter / (n * h.data.GridFill - 2)});
    const std::vector<double> expected = direct.LinearSurface(
        VoltagesByModelIndex(dm, [&](int d) { return volts[static_cast<std::size_t>(d - 1)]; }));
    const double peak = PeakOf(h.data);
    ASSERT_GT(peak, 1e-7);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            ASSERT_NEAR(h.data.Surface[i][j], expected[static_cast<std::size_t>(i * n + j)],
                        1e-9 * peak);
}

TEST(ExactModelSession, EveryPadShapeRunsWithTheExactModelOnly) {
    struct Case {
        const char* name;
        int type;
        std::vector<std::string> extra;
        RunStart classic;
    };
    const Case cases[] = {
        {"oblong rectangles",
         1,
         {"Shape=1\nDpadY_m=0.0015",
          "Shape=1\nDpadY_m=0.0015"},
         RunStart::RectangularPads},
        {"rings",
         2,
         {"Shape=2\nRinner=0\nRouter=0.002", "Shape=2\nRinner=0.002\nRouter=0.005"},
         RunStart::RingPads},
        {"quarter rings",
         3,
         {"Shape=3\nRinner=0.002\nRouter=0.005", "Shape=3\nRinner=0.002\nRouter=0.005"},
         RunStart::RingPads},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelLayout layout;
        layout.actuatorType = c.type;
        layout.limitVoltage = 150;
        layout.pads = {{1e-3, 1e-3, 3e-3}, {-3e-3, -1e-3, 3e-3}};
        layout.extra = c.extra;
        EngineHarness classic;
        ASSERT_TRUE(classic.Select(layout));
        EXPECT_EQ(classic.session.StartInfluenceRun(), c.classic);

        EngineHarness h;
        ASSERT_TRUE(RunWith(h, "exact", layout));
        SynthesizeOnly(h, {150, 150});
        EXPECT_GT(PeakOf(h.data), 1e-7);
        EXPECT_LT(PeakOf(h.data), layout.separation);
    }
}

TEST(ExactModelSession, TheMembraneElectrodeCountsAgainstEveryPadInBothModels) {
    // Three pads and the membrane's own electrode as channel 4.
    ModelLayout layout;
    layout.limitVoltage = 200;
    layout.pads = {{0, 0, 3e-3}, {4e-3, 0, 3e-3}, {-2e-3, 3.5e-3, 3e-3}, {0, 0, 0, 0, true}};
    for (const char* model : {"classic", "exact"}) {
        SCOPED_TRACE(model);
        EngineHarness h;
        ASSERT_TRUE(RunWith(h, model, layout));
        // The electrode alone pulls on nothing.
        for (int i = 0; i < h.data.GridSize; ++i)
            for (int j = 0; j < h.data.GridSize; ++j)
                ASSERT_EQ(h.data.InfluenceFunctions[3][i][j], 0.0);

        // Every channel at one voltage: no field anywhere, a flat mirror.
        SynthesizeOnly(h, {180, 180, 180, 180});
        EXPECT_EQ(PeakOf(h.data), 0.0);

        // Pads at V with the membrane at Vs pull as pads at V - Vs.
        SynthesizeOnly(h, {190, 60, 110, 50});
        std::vector<double> shifted(static_cast<std::size_t>(h.data.GridSize * h.data.GridSize));
        for (int i = 0; i < h.data.GridSize; ++i)
            for (int j = 0; j < h.data.GridSize; ++j)
                shifted[static_cast<std::size_t>(i * h.data.GridSize + j)] = h.data.Surface[i][j];
        SynthesizeOnly(h, {140, 10, 60, 0});
        const double peak = PeakOf(h.data);
        ASSERT_GT(peak, 1e-8);
        for (int i = 0; i < h.data.GridSize; ++i)
            for (int j = 0; j < h.data.GridSize; ++j)
                ASSERT_NEAR(h.data.Surface[i][j],
                            shifted[static_cast<std::size_t>(i * h.data.GridSize + j)],
                            1e-12 * peak);
    }

    // The analytic surface itself, not only synthesis: all equal is flat.
    EngineHarness h;
    ASSERT_TRUE(h.Select(layout));
    h.engine.PrepareGrid();
    h.local.Mirror->SetAllChannels(150);
    h.engine.ComputeAnalyticSurface();
    EXPECT_EQ(PeakOf(h.data), 0.0);
}

TEST(ExactModelSession, PullInInputsOnlyForTheExactModel) {
    ModelLayout layout;
    layout.limitVoltage = 200;
    layout.pads = testing::HexPads(1, 4e-3, 3.5e-3);
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(layout));
    EXPECT_FALSE(h.session.PullInInputsNow().has_value()); // classic

    EngineHarness e;
    ASSERT_TRUE(RunWith(e, "exact", layout));
    e.local.Mirror->SetAllChannels(100);
    const std::optional<PullInInputs> inputs = e.session.PullInInputsNow();
    ASSERT_TRUE(inputs.has_value());
    ASSERT_EQ(inputs->volts.size(), 7u);
    EXPECT_EQ(inputs->volts[3], 100.0);
    // The same solver as the run's, unless the geometry changed.
    EXPECT_EQ(e.session.PullInInputsNow()->membrane, inputs->membrane);
    const PullInResult result = SolvePullIn(*inputs->membrane, inputs->volts);
    EXPECT_EQ(result.status, PullInResult::Status::Equilibrium);
    EXPECT_GT(result.pullInFactor, 1.0);
    // A scale just past the fold has no equilibrium.
    std::vector<double> past = inputs->volts;
    for (double& v : past)
        v *= result.pullInFactor * 1.01;
    EXPECT_TRUE(SolvePullIn(*inputs->membrane, past, {}, {1e-6, false}).SnapDown());
    e.session.SetSeparation(30e-6);
    EXPECT_NE(e.session.PullInInputsNow()->membrane, inputs->membrane);
}

} // namespace
} // namespace ostrander
