// Surface synthesis from the influence functions, the actuator numbering it
// relies on, and the Zernike and pupil tools.
#include "driver/DriverClass.h"
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;
using testing::PadLayout;

double GridX(int i, double D) {
    const double dx = D / (100 * 0.97 - 2);
    return (i - 50) * dx;
}

ModelLayout FourPads(double smallPad = 1.5e-3) {
    ModelLayout layout;
    layout.pads = {
        {0, 0, 1.5e-3}, {3e-3, 0, smallPad}, {-3e-3, 1e-3, 1.5e-3}, {0, -3.5e-3, 1.5e-3}};
    return layout;
}

// Checks Surface = sum over display numbers k of weight[k-1] x plane[k-1].
void ExpectSurfaceIs(EngineHarness& h, const std::vector<double>& weight) {
    double worst = 0, scale = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            double expected = 0;
            for (std::size_t k = 0; k < weight.size(); ++k)
                expected += weight[k] * h.data.InfluenceFunctions[k][i][j];
            worst = std::max(worst, std::fabs(h.data.Surface[i][j] - expected));
            scale = std::max(scale, std::fabs(h.data.InfluenceFunctions[0][i][j]));
        }
    ASSERT_GT(scale, 0.0);
    EXPECT_LE(worst, 1e-12 * scale);
}

TEST(Synthesis, WeighsEachInfluenceFunctionByItsVoltageSquared) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(FourPads()));
    const double run = h.data.IFMaxVoltage;
    ASSERT_EQ(run, 300.0);
    struct Case {
        const char* name;
        std::vector<double> volts;
        std::vector<double> weight;
    };
    const Case cases[] = {
        {"all at the run voltage but one", {run, 0, run, run}, {1, 0, 1, 1}},
        {"half the run voltage gives a quarter", {run / 2, 0, 0, 0}, {0.25, 0, 0, 0}},
        {"mixed", {run / 2, run / 4, 0, run / 3}, {0.25, 1.0 / 16, 0, 1.0 / 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int k = 1; k <= 4; ++k)
            ASSERT_TRUE(h.local.Mirror->SetVoltage(k, 0));
        for (int k = 1; k <= 4; ++k)
            h.local.Mirror->SetVoltage(k, c.volts[k - 1]);
        h.engine.SynthesizeSurface();
        ExpectSurfaceIs(h, c.weight);
    }
}

TEST(Synthesis, ANegativeVoltageGivesTheNegative) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(FourPads()));
    // A driver whose range reaches below 0 V lets negative voltages through.
    h.local.Mirror->GetDriver()->GetInfo()->MinVoltage = -350;
    h.local.Mirror->SetAllChannels(0);
    ASSERT_TRUE(h.local.Mirror->SetVoltage(3, -300));
    ASSERT_TRUE(h.local.Mirror->SetVoltage(4, -150));
    ASSERT_EQ(h.local.Mirror->GetVoltage(3), -300);
    h.engine.SynthesizeSurface();
    ExpectSurfaceIs(h, {0, 0, -1, -0.25});
}

TEST(Synthesis, EveryActuatorAtTheRunVoltageReproducesItsOwnInfluenceFunction) {
    // Pad 2 is half the size of the others: its influence function already
    // carries its smaller force, so it must not be scaled down again.
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(FourPads(0.75e-3)));
    const double run = h.data.IFMaxVoltage;
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        h.local.Mirror->SetAllChannels(0);
        h.local.Mirror->SetVoltage(k, run);
        h.engine.SynthesizeSurface();
        std::vector<double> weight(4, 0.0);
        weight[k - 1] = 1;
        ExpectSurfaceIs(h, weight);
    }
    // The small pad's influence function is a quarter as deep.
    const double big = h.data.InfluenceFunctions[0][50][50];
    const double dx = 15e-3 / 95;
    const int i2 = 50 + static_cast<int>(std::lround(3e-3 / dx));
    EXPECT_LT(std::fabs(h.data.InfluenceFunctions[1][i2][50]), 0.5 * std::fabs(big));
}

TEST(Synthesis, DoesNothingWithoutAMatchingStore) {
    EngineHarness h;
    ASSERT_TRUE(h.Select(FourPads()));
    h.engine.PrepareGrid();
    h.data.Surface[10][10] = 5.0;
    EXPECT_EQ(h.engine.SynthesizeSurface(), SynthesisStatus::NoInfluenceFunctions); // no store
    EXPECT_EQ(h.data.Surface[10][10], 5.0);
    h.data.AllocateInfluenceFunctions(3, 100); // store for another count
    EXPECT_EQ(h.engine.SynthesizeSurface(), SynthesisStatus::NoInfluenceFunctions);
    EXPECT_EQ(h.data.Surface[10][10], 5.0);
}

TEST(Synthesis, WarnsOnceAfterAMirrorParameterChanged) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(FourPads()));
    h.data.MirrorParameterChanged = true;
    EXPECT_EQ(h.engine.SynthesizeSurface(), SynthesisStatus::DoneParameterChanged);
    EXPECT_EQ(h.engine.SynthesizeSurface(), SynthesisStatus::Done);
    EXPECT_FALSE(h.data.MirrorParameterChanged);
}

TEST(Synthesis, RenumberedActuatorsMoveTheMembraneWhereTheyAre) {
    // The map file shows the actuator of section 1 (centre) as number 3, the
    // one of section 2 (right) as 1 and the one of section 3 (left) as 2.
    EngineHarness h;
    ModelLayout layout;
    layout.mapPrefix = "T3";
    layout.pads = {{0, 0, 1.5e-3}, {4e-3, 0, 1.5e-3}, {-4e-3, 0, 1.5e-3}};
    {
        std::ofstream map(std::filesystem::path(ProgramFolder()) / ".." / "Devices" /
                          "DMmap_T3.dat");
        map << "1 2\n2 0\n3 1\n";
    }
    ASSERT_TRUE(h.Select(layout));
    ASSERT_EQ(h.local.MirrorInfo->Model->FindByDisplayIndex(1)->X, 4e-3);

    const double D = layout.diameter;
    auto deepestX = [&](const Grid<double>& z) {
        int bi = 0, bj = 0;
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j)
                if (z[i][j] < z[bi][bj]) {
                    bi = i;
                    bj = j;
                }
        return GridX(bi, D);
    };
    const double expectedX[] = {4e-3, -4e-3, 0}; // display numbers 1, 2, 3
    const double dx = D / 95;

    // The analytic surface of one display number dips at that actuator.
    h.engine.PrepareGrid();
    for (int k = 1; k <= 3; ++k) {
        h.local.Mirror->SetAllChannels(0);
        h.local.Mirror->SetVoltage(k, 100);
        h.engine.ComputeAnalyticSurface();
        EXPECT_NEAR(deepestX(h.data.Surface), expectedX[k - 1], dx) << k;
    }

    // So does each stored plane, and the synthesis of that display number.
    h.local.Mirror->SetAllChannels(0);
    h.local.Mirror->SetVoltage(1, 100);
    h.engine.CalculateInfluenceFunctions();
    h.RunToEnd();
    ASSERT_TRUE(h.local.DisplaysValid);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_NEAR(deepestX(h.data.InfluenceFunctions[k - 1]), expectedX[k - 1], dx) << k;
        h.local.Mirror->SetAllChannels(0);
        h.local.Mirror->SetVoltage(k, 100);
        h.engine.SynthesizeSurface();
        EXPECT_NEAR(deepestX(h.data.Surface), expectedX[k - 1], dx) << k;
    }
}

// --- Zernike terms and the pupil ---

TEST(EngineZernikeTerms, TermsAreNumberedByOrderThenAzimuth) {
    const int expected[][2] = {{0, 0}, {1, -1}, {1, 1},  {2, -2}, {2, 0},
                               {2, 2}, {3, -3}, {3, -1}, {3, 1},  {3, 3}};
    for (int term = 0; term < 10; ++term) {
        int n = -1, m = -1;
        DMModelMain::ZernikeIndex(term, n, m);
        EXPECT_EQ(n, expected[term][0]) << term;
        EXPECT_EQ(m, expected[term][1]) << term;
    }
}

TEST(EngineZernikeTerms, ValuesMatchTheirPolynomials) {
    struct Case {
        int n, m;
        double (*f)(double rho, double theta);
    };
    const Case cases[] = {
        {0, 0, [](double, double) { return 1.0; }},
        {1, -1, [](double r, double t) { return r * std::cos(t); }},
        {1, 1, [](double r, double t) { return r * std::sin(t); }},
        {2, -2, [](double r, double t) { return r * r * std::cos(2 * t); }},
        {2, 0, [](double r, double) { return 2 * r * r - 1; }},
        {2, 2, [](double r, double t) { return r * r * std::sin(2 * t); }},
        {3, -1, [](double r, double t) { return (3 * r * r * r - 2 * r) * std::cos(t); }},
        {4, 0, [](double r, double) { return 6 * std::pow(r, 4) - 6 * r * r + 1; }},
    };
    for (const Case& c : cases)
        for (double rho : {0.0, 0.3, 0.77, 1.0})
            for (double theta : {0.0, 0.4, -2.0, 3.0})
                EXPECT_NEAR(DMModelMain::ZernikeValue(c.n, c.m, rho, theta), c.f(rho, theta), 1e-12)
                    << c.n << "," << c.m << " at " << rho << "," << theta;
}

class PupilTools : public ::testing::Test {
protected:
    void SetUp() override {
        ModelLayout layout;
        layout.pads = {{0, 0, 1.5e-3}};
        ASSERT_TRUE(h.Select(layout));
        h.engine.PrepareGrid();
    }
    // Fills Surface with f(x, y, rho, theta), rho relative to the pupil.
    template <class F> void Fill(F f) {
        const double D = 15e-3, Rp = 0.8 * D / 2;
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j) {
                const double x = GridX(i, D), y = GridX(j, D);
                const double theta = (x == 0 && y == 0) ? 0 : std::atan2(y, x);
                h.data.Surface[i][j] = f(x, y, std::hypot(x, y) / Rp, theta);
            }
    }
    // Points exactly on the pupil's rim fall either way by rounding, so
    // this takes rho as the engine forms it.
    static bool InPupil(int i, int j) {
        const double x = GridX(i, 15e-3), y = GridX(j, 15e-3);
        return std::sqrt(x * x + y * y) / (15e-3 * 0.8 / 2) < 1;
    }
    EngineHarness h;
};

TEST_F(PupilTools, FittingAndRemovingPistonWorksOnThePupilOnly) {
    Fill([](double, double, double, double) { return 2.5e-6; });
    EXPECT_NEAR(h.engine.FitZernikeTerm(0), 2.5e-6, 1e-18);
    h.engine.RemoveZernikeTerm(0, 2.5e-6);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            EXPECT_NEAR(h.data.Surface[i][j], InPupil(i, j) ? 0.0 : 2.5e-6, 1e-20);
}

TEST_F(PupilTools, FitsEachLowTermOfAPureSurface) {
    for (int term = 0; term < 6; ++term) {
        SCOPED_TRACE(term);
        int n = 0, m = 0;
        DMModelMain::ZernikeIndex(term, n, m);
        Fill([&](double, double, double rho, double theta) {
            return -0.7e-6 * DMModelMain::ZernikeValue(n, m, rho, theta);
        });
        EXPECT_NEAR(h.engine.FitZernikeTerm(term), -0.7e-6, 1e-15);
    }
    // A higher term, beyond the ones the engine keeps evaluated.
    Fill([](double, double, double rho, double theta) {
        return 0.3e-6 * DMModelMain::ZernikeValue(9, -3, rho, theta);
    });
    int n = 0, m = 0;
    DMModelMain::ZernikeIndex(48, n, m);
    ASSERT_EQ(n, 9);
    ASSERT_EQ(m, -3);
    EXPECT_NEAR(h.engine.FitZernikeTerm(48), 0.3e-6, 1e-15);
    // Focus fitted from an independent formula of the same surface.
    Fill([](double, double, double rho, double) { return 1.3e-6 * (2 * rho * rho - 1); });
    EXPECT_NEAR(h.engine.FitZernikeTerm(4), 1.3e-6, 1e-15);
}

TEST_F(PupilTools, StatisticsOverThePupil) {
    Fill([](double x, double y, double, double) { return 1e-3 * x + 3e-4 * y * y / 1e-3; });
    double lo = 0, hi = 0, sum = 0;
    int count = 0;
    bool first = true;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            if (InPupil(i, j)) {
                const double v = h.data.Surface[i][j];
                lo = first ? v : std::min(lo, v);
                hi = first ? v : std::max(hi, v);
                first = false;
                sum += v;
                ++count;
            }
    const double mean = sum / count;
    double s = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            if (InPupil(i, j))
                s += std::pow(h.data.Surface[i][j] - mean, 2);
    double mn = 0, mx = 0, rms = 0;
    h.engine.PupilStatistics(mn, mx, rms);
    EXPECT_DOUBLE_EQ(mn, lo);
    EXPECT_DOUBLE_EQ(mx, hi);
    EXPECT_NEAR(rms, std::sqrt(s / count), 1e-15);
    EXPECT_GT(count, 4000);
    EXPECT_LT(count, 4700);
}

TEST_F(PupilTools, AnEmptyPupilGivesZeroFitAndTheCentreValue) {
    h.local.BeamFraction = 0;
    Fill([](double x, double, double, double) { return 1.0 + x; });
    EXPECT_EQ(h.engine.FitZernikeTerm(0), 0.0);
    double mn = -9, mx = -9, rms = -9;
    h.engine.PupilStatistics(mn, mx, rms);
    EXPECT_EQ(mn, h.data.Surface[50][50]);
    EXPECT_EQ(mx, h.data.Surface[50][50]);
    EXPECT_EQ(rms, 0.0);
}

TEST(PupilToolsWithoutMirror, LeaveTheirOutputsAlone) {
    EngineHarness h;
    double mn = 7, mx = 8, rms = 9;
    h.engine.PupilStatistics(mn, mx, rms);
    EXPECT_EQ(mn, 7);
    EXPECT_EQ(mx, 8);
    EXPECT_EQ(rms, 9);
    EXPECT_EQ(h.engine.FitZernikeTerm(0), 0.0);
    h.engine.RemoveZernikeTerm(0, 1.0);
    h.engine.SynthesizeSurface();
    EXPECT_TRUE(h.data.Surface.empty());
}

} // namespace
} // namespace ostrander
