// The figures of the engine's present results, against closed forms for the
// surfaces they are given.
#include "model/ResultFigures.h"

#include "tests/model/GridFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;

constexpr double kD = testing::kOnePadDiameter;
constexpr double kLambda = 1.064e-6;
constexpr double kW = 0.003; // Gaussian 1/e amplitude radius
const double kDx = kD / (100 * 0.97 - 2);
const double kBeamRadius = kD * 0.8 / 2;

class ResultFiguresTest : public testing::OnePadGrid {
protected:
    // A surface c r^2 through the engine's far field.
    void Focus(double c) {
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j) {
                const double x = (i - 50) * kDx, y = (j - 50) * kDx;
                h.data.Surface[i][j] = c * (x * x + y * y);
            }
        ASSERT_EQ(h.engine.ComputeFarField(), FarFieldStatus::Done);
    }
};

TEST_F(ResultFiguresTest, TheEnginesGridAndBeam) {
    const std::optional<BeamGrid> grid = EngineBeamGrid(h.data, h.local);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->n, 100);
    EXPECT_DOUBLE_EQ(grid->dx, kDx);
    EXPECT_DOUBLE_EQ(grid->beamRadius, kBeamRadius);
}

TEST_F(ResultFiguresTest, AFlatMirrorHasStrehlOneAndNoRms) {
    Focus(0.0);
    const std::optional<ResultFigures> figures = MeasureResults(h.data, h.local);
    ASSERT_TRUE(figures);
    EXPECT_NEAR(figures->strehl, 1.0, 1e-5);
    EXPECT_EQ(figures->beamRms, 0.0);
    EXPECT_EQ(figures->largestPhaseStep, 0.0);
    EXPECT_FALSE(figures->undersampled);
}

TEST_F(ResultFiguresTest, FocusGivesTheGaussianBeamsStrehlAndTheDiscsRms) {
    // z = c r^2: on axis the Gaussian beam keeps 1 / (1 + s^2) of its
    // intensity, s = 4 pi c w^2 / lambda, and the spot stays centred; over a
    // disc of radius R the RMS of c r^2 about its mean is c R^2 / sqrt(12).
    // The beam's samples match the disc's integrals to about 1 %.
    for (const double s : {0.3, 1.0, 2.0}) {
        SCOPED_TRACE(s);
        const double c = s * kLambda / (4 * std::numbers::pi * kW * kW);
        Focus(c);
        const std::optional<ResultFigures> figures = MeasureResults(h.data, h.local);
        ASSERT_TRUE(figures);
        EXPECT_NEAR(figures->strehl, 1 / (1 + s * s), 0.01 / (1 + s * s));
        const double rms = c * kBeamRadius * kBeamRadius / std::sqrt(12.0);
        EXPECT_NEAR(figures->beamRms, rms, 0.02 * rms);
    }
}

TEST_F(ResultFiguresTest, ASurfaceTooSteepForTheGridIsFlagged) {
    // Neighbours at the beam's edge differ by about c (2 R dx) in height, so
    // 4 pi c 2 R dx / lambda of reflected phase.
    const auto edgeStep = [](double c) { return 4 * std::numbers::pi * c * 2 * kBeamRadius * kDx / kLambda; };
    for (const double target : {0.5, 2.5, 4.0, 12.0}) {
        SCOPED_TRACE(target);
        const double c = target / edgeStep(1.0);
        Focus(c);
        const std::optional<ResultFigures> figures = MeasureResults(h.data, h.local);
        ASSERT_TRUE(figures);
        EXPECT_NEAR(figures->largestPhaseStep, target, 0.05 * target);
        EXPECT_EQ(figures->undersampled, target > std::numbers::pi);
    }
}

TEST_F(ResultFiguresTest, NothingToMeasureWithoutAFarFieldOrAMirror) {
    EXPECT_FALSE(MeasureResults(h.data, h.local)); // surface, no far field yet
    Focus(0.0);
    h.data.FreeSurface();
    EXPECT_FALSE(MeasureResults(h.data, h.local));

    EngineHarness none;
    EXPECT_FALSE(EngineBeamGrid(none.data, none.local));
    EXPECT_FALSE(MeasureResults(none.data, none.local));
}

} // namespace
} // namespace ostrander
