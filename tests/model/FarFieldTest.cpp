// The far field of the Gaussian beam reflected by the surface.
#include "tests/model/GridFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;

constexpr double kD = testing::kOnePadDiameter;
double GridX(int i) {
    const double dx = kD / (100 * 0.97 - 2);
    return (i - 50) * dx;
}
bool InPupil(double x, double y) {
    return std::sqrt(x * x + y * y) / (kD * 0.8 / 2) < 1;
}

class FarField : public testing::OnePadGrid {
protected:
    template <class F> void Fill(F f) {
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j)
                h.data.Surface[i][j] = f(GridX(i), GridX(j));
    }
    double Intensity(int r, int c) const {
        const float* e = h.data.FarField.data() + h.data.FarFieldIndex(r, c);
        return double(e[0]) * e[0] + double(e[1]) * e[1];
    }
    std::vector<double> Intensities() const {
        std::vector<double> out;
        for (int r = 1; r <= 256; ++r)
            for (int c = 1; c <= 256; ++c)
                out.push_back(Intensity(r, c));
        return out;
    }
};

TEST_F(FarField, AFlatMirrorGivesACentredSpot) {
    h.engine.ComputeFarField();
    ASSERT_FALSE(h.data.FarField.empty());
    EXPECT_EQ(h.data.FarFieldSize, 256);
    EXPECT_EQ(h.host.farFieldDraws, 1);
    int br = 0, bc = 0;
    double best = -1;
    for (int r = 1; r <= 256; ++r)
        for (int c = 1; c <= 256; ++c)
            if (Intensity(r, c) > best) {
                best = Intensity(r, c);
                br = r;
                bc = c;
            }
    EXPECT_EQ(br, 129);
    EXPECT_EQ(bc, 129);
    // On axis the field is the plain sum of the Gaussian amplitudes.
    double sum = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            sum += std::exp(-(GridX(i) * GridX(i) + GridX(j) * GridX(j)) / (0.003 * 0.003));
    EXPECT_NEAR(std::sqrt(best), sum, 1e-5 * sum);
}

TEST_F(FarField, RemoveFocusFlattensPistonAndFocus) {
    h.engine.ComputeFarField();
    const auto flat = Intensities();

    // Piston and focus on the membrane, 0 beyond its rim as in a synthesised
    // surface. Piston and focus are fitted one after the other, and on the
    // grid's pupil they are not quite orthogonal: about 0.6 % of the focus
    // stays, a phase of under 0.02 rad.
    const double focus = 0.2e-6;
    h.local.RemoveFocus = true;
    h.local.FocusAdjust = 0;
    Fill([&](double x, double y) {
        const double rho = std::sqrt(x * x + y * y) / (kD * 0.8 / 2);
        return std::sqrt(x * x + y * y) < kD / 2 ? 0.4e-6 + focus * (2 * rho * rho - 1) : 0.0;
    });
    h.engine.ComputeFarField();
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const double x = GridX(i), y = GridX(j);
            if (InPupil(x, y)) {
                EXPECT_NEAR(h.data.Surface[i][j], 0.0, 0.01 * focus);
            } else {
                EXPECT_EQ(h.data.Surface[i][j], 0.0); // ring cleared, beyond the rim 0
            }
        }
    const auto corrected = Intensities();
    const double peak = *std::max_element(flat.begin(), flat.end());
    double worst = 0;
    for (std::size_t q = 0; q < flat.size(); ++q)
        worst = std::max(worst, std::fabs(corrected[q] - flat[q]));
    EXPECT_LT(worst, 0.01 * peak);

    // Without the removal the same surface spreads the spot.
    h.local.RemoveFocus = false;
    Fill([&](double x, double y) {
        const double rho = std::sqrt(x * x + y * y) / (kD * 0.8 / 2);
        return std::sqrt(x * x + y * y) < kD / 2 ? 0.4e-6 + focus * (2 * rho * rho - 1) : 0.0;
    });
    h.engine.ComputeFarField();
    EXPECT_LT(Intensity(129, 129), 0.5 * flat[128 * 256 + 128]);
}

TEST_F(FarField, FocusLowersTheOnAxisIntensityAsForAGaussianBeam) {
    // z = c r^2 gives the reflected beam the phase 2 k c r^2; for a Gaussian
    // of 1/e amplitude radius w the on-axis intensity falls by
    // 1 / (1 + (4 pi c w^2 / lambda)^2). With about 19 samples per w and
    // the beam down to 1e-3 of its amplitude at the grid edge, the sum
    // matches the integral to well under 1 %.
    h.engine.ComputeFarField();
    const double flat = Intensity(129, 129);
    const double w = 0.003, lambda = 1.064e-6;
    for (double strength : {0.5, 1.0, 2.0}) {
        SCOPED_TRACE(strength);
        const double c = strength * lambda / (4 * std::numbers::pi * w * w);
        h.engine.PrepareGrid();
        Fill([&](double x, double y) { return c * (x * x + y * y); });
        h.local.FocusAdjust = 1.7; // no effect without RemoveFocus
        h.engine.ComputeFarField();
        const double expected = 1 / (1 + strength * strength);
        EXPECT_NEAR(Intensity(129, 129) / flat, expected, 0.01 * expected);
    }
}

// Tilt is fitted over the pupil and taken off the whole membrane, so the
// corrected surface runs on smoothly across the beam's edge; beyond the rim
// nothing changes. A focus term (even, so it adds no tilt) stays in place.
TEST_F(FarField, TiltFittedOverThePupilIsRemovedOverTheWholeMembrane) {
    const auto focus = [](double x, double y) { return 4e-2 * (x * x + y * y); };
    Fill([&](double x, double y) { return 2e-4 * x - 1e-4 * y + focus(x, y); });
    h.engine.ComputeFarField();
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const double x = GridX(i), y = GridX(j);
            if (std::sqrt(x * x + y * y) < kD / 2) {
                EXPECT_NEAR(h.data.Surface[i][j], focus(x, y), 1e-18) << i << "," << j;
            } else {
                EXPECT_EQ(h.data.Surface[i][j], 2e-4 * x - 1e-4 * y + focus(x, y));
            }
        }
}

TEST_F(FarField, ASecondPassOnTheCorrectedSurfaceChangesNothing) {
    // The tilt is gone after the first pass; focus and astigmatism stay.
    h.local.RemoveFocus = false;
    Fill([](double x, double y) {
        const double r2 = x * x + y * y;
        return std::sqrt(r2) < kD / 2 ? 3e-4 * x + 2e-2 * (x * x - y * y) + 1e-2 * r2 + 1e-7 : 0.0;
    });
    h.engine.ComputeFarField();
    const auto first = Intensities();
    h.engine.ComputeFarField();
    const auto second = Intensities();
    const double peak = *std::max_element(first.begin(), first.end());
    double worst = 0;
    for (std::size_t q = 0; q < first.size(); ++q)
        worst = std::max(worst, std::fabs(second[q] - first[q]));
    EXPECT_LT(worst, 1e-5 * peak);
}

TEST_F(FarField, WithoutASurfaceItAsksForOne) {
    h.data.FreeSurface();
    EXPECT_EQ(h.engine.ComputeFarField(), FarFieldStatus::NoSurface);
    EXPECT_TRUE(h.data.FarField.empty());
    EXPECT_EQ(h.host.farFieldDraws, 0);
}

TEST(FarFieldWithoutMirror, DoesNothing) {
    EngineHarness h;
    h.local.RemoveFocus = true;
    EXPECT_EQ(h.engine.ComputeFarField(), FarFieldStatus::NoMirror);
    EXPECT_TRUE(h.data.FarField.empty());
    EXPECT_EQ(h.host.farFieldDraws, 0);
}

} // namespace
} // namespace ostrander
