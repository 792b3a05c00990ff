// The analytic membrane deflection against closed forms, superposition and
// independent ray geometry.
#include "model/DeflectionKernel.h"
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;
using testing::PadLayout;

constexpr double kPi = std::numbers::pi;
constexpr double kEps0 = 8.854e-12;

// Grid position of index i for a membrane of diameter D on the 100-point grid.
double GridX(int i, double D) {
    const double dx = D / (100 * 0.97 - 2);
    return (i - 50) * dx;
}

// Distance from the actuator centre a to the circle of radius R along the
// ray through p: the positive root of |a + t u| = R.
double RayToRim(double px, double py, double ax, double ay, double R) {
    const double len = std::hypot(px - ax, py - ay);
    const double ux = (px - ax) / len, uy = (py - ay) / len;
    const double b = ax * ux + ay * uy;
    return -b + std::sqrt(b * b - (ax * ax + ay * ay) + R * R);
}

TEST(Deflection, CentredActuatorFollowsTheClosedForm) {
    EngineHarness h;
    ModelLayout layout;
    layout.pads = {{0, 0, 1.5e-3, 1.0e-3}};
    ASSERT_TRUE(h.Select(layout));
    const double V = 120.0;
    h.local.Mirror->SetVoltage(1, V);
    h.engine.PrepareGrid();
    h.engine.ComputeAnalyticSurface();

    const double D = layout.diameter, R = D / 2, Jc = 0.5e-3;
    const double F = std::pow(1.5e-3 / 2, 2) * kPi * kEps0 * V * V / std::pow(layout.separation, 2);
    const double w = -F / (2 * kPi * layout.stress * layout.thickness);
    const double A = std::log(D / 1.0e-3) * w;
    int inside = 0, outer = 0, beyond = 0;
    double lowest = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const double x = GridX(i, D), y = GridX(j, D);
            const double G = std::hypot(x, y);
            double expected;
            if (G > R) {
                expected = 0;
                ++beyond;
                EXPECT_EQ(h.data.Surface[i][j], 0.0) << i << "," << j;
                continue;
            } else if (G < Jc) {
                expected = A + w * (Jc * Jc - G * G) / (2 * Jc * Jc);
                ++inside;
            } else {
                expected = A * std::log(R / G) / std::log(R / Jc);
                ++outer;
            }
            lowest = std::min(lowest, expected);
            EXPECT_NEAR(h.data.Surface[i][j], expected, 1e-9 * std::fabs(A)) << i << "," << j;
        }
    EXPECT_GT(inside, 20); // the contact disc spans several grid points
    EXPECT_GT(outer, 6000);
    EXPECT_GT(beyond, 2000);
    EXPECT_NEAR(h.data.SurfaceMin, lowest, 1e-9 * std::fabs(A));
    EXPECT_EQ(h.data.SurfaceMin, h.data.Surface[50][50]);
    EXPECT_EQ(h.data.SurfaceMax, 0.0);
    EXPECT_LT(A, 0.0); // pulled towards the pads
}

TEST(Deflection, ContributionsScaleWithVoltageSquaredAndAdd) {
    EngineHarness h;
    ModelLayout layout;
    layout.pads = {{2.0e-3, 1.0e-3, 1.5e-3}, {-3.0e-3, 0.5e-3, 1.2e-3}};
    ASSERT_TRUE(h.Select(layout));
    h.engine.PrepareGrid();
    auto surfaceFor = [&](double v1, double v2) {
        h.local.Mirror->SetVoltage(1, v1);
        h.local.Mirror->SetVoltage(2, v2);
        h.engine.ComputeAnalyticSurface();
        std::vector<double> z;
        for (int i = 0; i < 100; ++i)
            z.insert(z.end(), h.data.Surface[i], h.data.Surface[i] + 100);
        return z;
    };
    const auto one = surfaceFor(60, 0);
    const auto two = surfaceFor(0, 90);
    const auto doubled = surfaceFor(120, 0);
    const auto both = surfaceFor(60, 90);
    const double scale = *std::min_element(one.begin(), one.end());
    ASSERT_LT(scale, 0.0);
    for (std::size_t q = 0; q < one.size(); ++q) {
        EXPECT_NEAR(doubled[q], 4 * one[q], 1e-12 * std::fabs(scale));
        EXPECT_NEAR(both[q], one[q] + two[q], 1e-12 * std::fabs(scale));
    }
    // All voltages 0: a flat surface with both extremes 0.
    const auto none = surfaceFor(0, 0);
    for (double z : none)
        EXPECT_EQ(z, 0.0);
    EXPECT_EQ(h.data.SurfaceMin, 0.0);
    EXPECT_EQ(h.data.SurfaceMax, 0.0);
}

// Compares the surface of one actuator at (ax, ay) with the closed form along
// exact rays to the rim. Points on the vertical through the centre (grid
// column `column`) go through the steep-slope line, whose crossing carries a
// rounding error of about 1e-6 m; the wrong crossing would be off by the
// deflection itself.
void ExpectRaysToRim(double ax, double ay, int column) {
    EngineHarness h;
    ModelLayout layout;
    const double D = layout.diameter, R = D / 2;
    layout.pads = {{ax, ay, 1.0e-3}};
    ASSERT_TRUE(h.Select(layout));
    const double V = 100;
    h.local.Mirror->SetVoltage(1, V);
    h.engine.PrepareGrid();
    h.engine.ComputeAnalyticSurface();
    const double Jc = 0.5e-3;
    const double F = std::pow(0.5e-3, 2) * kPi * kEps0 * V * V / std::pow(layout.separation, 2);
    const double w = -F / (2 * kPi * layout.stress * layout.thickness);
    const double A = std::log(D / 1.0e-3) * w;
    int vertical = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const double x = GridX(i, D), y = GridX(j, D);
            const double G = std::hypot(x - ax, y - ay);
            EXPECT_LE(h.data.Surface[i][j], 0.0) << i << "," << j;
            if (std::hypot(x, y) > R || G < Jc)
                continue;
            const double Rb = RayToRim(x, y, ax, ay, R);
            const double expected = A * std::log(Rb / G) / std::log(Rb / Jc);
            const double tolerance = (i == column ? 1e-3 : 1e-9) * std::fabs(A);
            EXPECT_NEAR(h.data.Surface[i][j], expected, tolerance) << i << "," << j;
            if (i == column)
                ++vertical;
        }
    EXPECT_GT(vertical, 80);
}

TEST(Deflection, OffCentreActuatorMeetsTheRimAlongEachRay) {
    const double D = 15e-3;
    // On a grid column, exactly and a little to the side (within the 1e-6 m
    // that counts as vertical but beyond the 1e-7 m crossing tolerance).
    ExpectRaysToRim(GridX(60, D), 0.7e-3, 60);
    ExpectRaysToRim(GridX(60, D) + 5e-7, 0.7e-3, 60);
    ExpectRaysToRim(GridX(40, D) - 8e-7, -1.1e-3, 40);
}

TEST(Deflection, EdgeDistanceFindsTheCrossingBeyondThePoint) {
    struct Case {
        const char* name;
        double px, py, ax, ay;
    };
    const double R = 7.5e-3;
    const Case cases[] = {
        {"centre actuator", 1e-3, 2e-3, 0, 0},
        {"point between centre and actuator", 1e-3, 0, 3e-3, 0},
        {"point beyond the actuator", 5e-3, 0, 3e-3, 0},
        {"vertical line upwards", 2e-3, 4e-3, 2e-3, -1e-3},
        {"vertical line downwards", 2e-3, -6e-3, 2e-3, 1e-3},
        {"nearly vertical", 2e-3 + 5e-7, 4e-3, 2e-3, -1e-3},
        {"third quadrant", -4e-3, -3e-3, 1e-3, 1e-3},
        {"actuator near the rim", 6e-3, 1e-3, 7e-3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double rhoA = std::hypot(c.ax, c.ay);
        const double thetaA = (c.ax == 0 && c.ay == 0) ? 0 : std::atan2(c.ay, c.ax);
        // Lines within 1e-6 m of vertical use a steep slope whose crossing is
        // good to a few 1e-7 m; the other crossing would be millimetres off.
        const double tolerance = std::fabs(c.px - c.ax) <= 1e-6 ? 2e-6 : 1e-9;
        EXPECT_NEAR(DMModelMain::EdgeDistance(c.px, c.py, rhoA, thetaA, R),
                    RayToRim(c.px, c.py, c.ax, c.ay, R), tolerance);
    }
}

TEST(Deflection, LiesBetweenIsInclusiveWithATolerance) {
    struct Case {
        double a, b, c;
        bool expected;
    };
    const Case cases[] = {
        {0.5, 0, 1, true},        {0.5, 1, 0, true},       {0, 0, 1, true},
        {1, 0, 1, true},          {1.5, 0, 1, false},      {-0.5, 1, 0, false},
        {1 + 0.5e-7, 0, 1, true}, {1 + 2e-7, 0, 1, false}, {-0.5e-7, 1, 0, true},
        {2, 2, 2, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DMModelMain::LiesBetween(c.a, c.b, c.c), c.expected)
            << c.a << " between " << c.b << " and " << c.c;
}

TEST(Deflection, ActuatorOutsideTheMembraneContributesNothing) {
    EngineHarness h;
    ModelLayout layout;
    layout.pads = {{0.02, 0, 1.5e-3}, {0, 0.0075, 1.5e-3}};
    ASSERT_TRUE(h.Select(layout));
    h.local.Mirror->SetVoltage(1, 150);
    h.engine.PrepareGrid();
    h.engine.ComputeAnalyticSurface();
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            ASSERT_EQ(h.data.Surface[i][j], 0.0);
    // One exactly on the rim still pulls the membrane inside it.
    h.local.Mirror->SetVoltage(1, 0);
    h.local.Mirror->SetVoltage(2, 150);
    h.engine.ComputeAnalyticSurface();
    EXPECT_LT(h.data.SurfaceMin, 0.0);
    EXPECT_TRUE(std::isfinite(h.data.SurfaceMin));
}

TEST(Deflection, ZeroMaterialValuesGiveNonFiniteValuesWithoutHarm) {
    EngineHarness h;
    ModelLayout layout;
    layout.stress = 0;
    layout.pads = {{0, 0, 1.5e-3}};
    ASSERT_TRUE(h.Select(layout));
    h.local.Mirror->SetVoltage(1, 100);
    h.engine.PrepareGrid();
    h.engine.ComputeAnalyticSurface();
    EXPECT_FALSE(std::isfinite(h.data.Surface[50][50]));
    EXPECT_EQ(h.data.Surface[0][0], 0.0); // beyond the rim
}

TEST(Deflection, ClearBeyondPupilZeroesOnlyTheRing) {
    EngineHarness h;
    ModelLayout layout;
    layout.pads = {{0, 0, 1.5e-3}};
    ASSERT_TRUE(h.Select(layout));
    h.engine.PrepareGrid();
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            h.data.Surface[i][j] = 1.0;
    h.engine.ClearBeyondPupil();
    const double D = layout.diameter, Rp = 0.8 * D / 2;
    int ring = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const double r = std::hypot(GridX(i, D), GridX(j, D));
            const bool inRing = r >= Rp && r < D / 2;
            ring += inRing;
            EXPECT_EQ(h.data.Surface[i][j], inRing ? 0.0 : 1.0) << i << "," << j;
        }
    EXPECT_GT(ring, 2000);
}

TEST(Deflection, NothingHappensWithoutAMirror) {
    EngineHarness h;
    h.engine.PrepareGrid();
    h.engine.ComputeAnalyticSurface();
    h.engine.ClearBeyondPupil();
    EXPECT_TRUE(h.data.Surface.empty());
    EXPECT_EQ(h.data.DmInfo, nullptr);
    EXPECT_EQ(h.data.GridSize, 0);
}

TEST(Deflection, PrepareGridReplacesAGridOfAnotherSize) {
    EngineHarness h;
    ModelLayout layout;
    layout.pads = {{0, 0, 1.5e-3}};
    ASSERT_TRUE(h.Select(layout));
    h.data.AllocateSurface(7);
    h.data.Surface[6][6] = 3.0;
    h.engine.PrepareGrid();
    EXPECT_EQ(h.data.GridSize, 100);
    EXPECT_EQ(h.data.GridRows, 100);
    EXPECT_EQ(h.data.Surface[99][99], 0.0);
    EXPECT_EQ(h.data.Surface[6][6], 0.0);
}

} // namespace
} // namespace ostrander

namespace ostrander {
namespace {

TEST(DeflectionKernel, BothBuildsAgreeToTheLastBit) {
    if (!__builtin_cpu_supports("avx2"))
        GTEST_SKIP() << "no AVX2 on this processor";
    const double D = 15e-3, R = D / 2, dx = D / (100 * 0.97 - 2);
    struct Case {
        const char* name;
        double xa, ya, Jc;
    };
    const Case cases[] = {
        {"centre", 0, 0, 0.5e-3},
        {"on a grid column", 10 * dx, 0.7e-3, 0.4e-3},
        {"beside a grid column", 10 * dx + 5e-7, -2e-3, 0.4e-3},
        {"near the rim", -6.9e-3, 1.1e-3, 0.6e-3},
        {"no contact disc", 2e-3, 2e-3, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double rhoA = std::sqrt(c.xa * c.xa + c.ya * c.ya);
        const double thetaA = (c.xa == 0 && c.ya == 0) ? 0 : std::atan2(c.ya, c.xa);
        const ActuatorDeflection a{
            c.xa, c.ya, rhoA * std::cos(thetaA), rhoA * std::sin(thetaA), c.Jc, -3e-8, -2e-7, R};
        MainData scalar, vector;
        scalar.AllocateSurface(100);
        vector.AllocateSurface(100);
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j)
                scalar.Surface[i][j] = vector.Surface[i][j] = 1e-9 * (i - j);
        ASSERT_TRUE(AddActuatorDeflection(scalar.Surface, dx, a, DeflectionKernel::Scalar));
        ASSERT_TRUE(AddActuatorDeflection(vector.Surface, dx, a, DeflectionKernel::Avx2));
        int differing = 0;
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j) {
                const double s = scalar.Surface[i][j], v = vector.Surface[i][j];
                if (!(s == v || (std::isnan(s) && std::isnan(v))))
                    ++differing;
            }
        EXPECT_EQ(differing, 0);
    }
}

} // namespace
} // namespace ostrander
