// Figures of a surface over the beam and of a far field, against closed forms.
#include "model/BeamAnalysis.h"
#include "model/ComplexFFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ostrander {
namespace {

constexpr double kWavelength = 1.064e-6;
const BeamGrid kGrid{100, 15e-3 / (100 * 0.97 - 2), 15e-3 * 0.8 / 2};

template <class F> std::vector<double> Surface(const BeamGrid& g, F f) {
    std::vector<double> s(static_cast<std::size_t>(g.n) * g.n);
    for (int i = 0; i < g.n; ++i)
        for (int j = 0; j < g.n; ++j)
            s[static_cast<std::size_t>(i) * g.n + j] = f((i - g.n / 2) * g.dx, (j - g.n / 2) * g.dx);
    return s;
}

TEST(PhaseStep, TiltGivesItsStepAndFlagsOnlyTheSteepOne) {
    // A tilt h = a x (or a y) steps the reflected phase by 4 pi a dx / lambda
    // between any two neighbours.
    struct Case {
        const char* name;
        double stepRadians;
        bool alongY;
    };
    for (const Case& c : {Case{"gentle x", 0.4, false}, Case{"just under pi", 3.0, true},
                          Case{"steep x", 3.7, false}, Case{"steep y", 14.6, true}}) {
        SCOPED_TRACE(c.name);
        const double a = c.stepRadians * kWavelength / (4 * std::numbers::pi * kGrid.dx);
        const auto s = Surface(kGrid, [&](double x, double y) { return a * (c.alongY ? y : x); });
        const double step = LargestPhaseStep(s, kGrid, kWavelength);
        EXPECT_NEAR(step, c.stepRadians, 1e-9 * c.stepRadians);
        EXPECT_EQ(step > std::numbers::pi, c.stepRadians > std::numbers::pi);
    }
}

TEST(PhaseStep, OnlyBeamSamplesCountAndBadInputIsHandled) {
    // A cliff just outside the beam is not seen; one inside is.
    const double r = kGrid.beamRadius;
    const auto outside = Surface(kGrid, [&](double x, double) { return x > r ? 1e-3 : 0.0; });
    EXPECT_EQ(LargestPhaseStep(outside, kGrid, kWavelength), 0.0);
    const auto inside = Surface(kGrid, [&](double x, double) { return x > 0 ? 1e-7 : 0.0; });
    EXPECT_NEAR(LargestPhaseStep(inside, kGrid, kWavelength),
                4 * std::numbers::pi * 1e-7 / kWavelength, 1e-9);
    auto bad = inside;
    bad[50 * 100 + 50] = std::nan("");
    EXPECT_TRUE(std::isinf(LargestPhaseStep(bad, kGrid, kWavelength)));
    EXPECT_EQ(LargestPhaseStep({}, kGrid, kWavelength), 0.0);
    EXPECT_EQ(LargestPhaseStep(inside, kGrid, 0.0), 0.0);
}

TEST(ZernikeFit, NollOrderingOfTheFirstTerms) {
    const int expected[][2] = {{0, 0},  {1, 1}, {1, -1}, {2, 0},  {2, -2}, {2, 2},  {3, -1}, {3, 1},
                               {3, -3}, {3, 3}, {4, 0},  {4, 2},  {4, -2}, {4, 4},  {4, -4}, {5, 1},
                               {5, -1}, {5, 3}, {5, -3}, {5, 5},  {5, -5}, {6, 0}};
    for (int j = 1; j <= 22; ++j) {
        int n = 0, m = 0;
        NollIndex(j, n, m);
        EXPECT_EQ(n, expected[j - 1][0]) << "j = " << j;
        EXPECT_EQ(m, expected[j - 1][1]) << "j = " << j;
    }
    // Closed forms of a few terms.
    const double rho = 0.7, theta = 0.3;
    EXPECT_NEAR(NollZernike(4, rho, theta), std::sqrt(3.0) * (2 * rho * rho - 1), 1e-12);
    EXPECT_NEAR(NollZernike(7, rho, theta), std::sqrt(8.0) * (3 * std::pow(rho, 3) - 2 * rho) *
                                                std::sin(theta), 1e-12);
    EXPECT_NEAR(NollZernike(11, rho, theta),
                std::sqrt(5.0) * (6 * std::pow(rho, 4) - 6 * rho * rho + 1), 1e-12);
    EXPECT_NEAR(NollZernike(14, rho, theta), std::sqrt(10.0) * std::pow(rho, 4) * std::cos(4 * theta),
                1e-12);
}

// The Noll terms are orthonormal over the unit disc: (1/pi) integral of
// Z_j Z_k = delta_jk, here by the midpoint rule in rho and an equal-step sum in
// theta (exact for these trigonometric degrees), up to radial order 10.
TEST(ZernikeBasis, TermsAreOrthonormalOverTheDisc) {
    constexpr int kTerms = 66, kRings = 1500, kAngles = 64;
    std::vector<double> gram(kTerms * kTerms, 0.0), z(kTerms);
    for (int r = 0; r < kRings; ++r) {
        const double rho = (r + 0.5) / kRings;
        for (int a = 0; a < kAngles; ++a) {
            const double theta = 2.0 * std::numbers::pi * a / kAngles;
            for (int j = 0; j < kTerms; ++j)
                z[j] = NollZernike(j + 1, rho, theta);
            const double weight = rho / kRings * 2.0 / kAngles;
            for (int j = 0; j < kTerms; ++j)
                for (int k = 0; k <= j; ++k)
                    gram[j * kTerms + k] += weight * z[j] * z[k];
        }
    }
    for (int j = 0; j < kTerms; ++j)
        for (int k = 0; k <= j; ++k)
            EXPECT_NEAR(gram[j * kTerms + k], j == k ? 1.0 : 0.0, 1e-4)
                << "terms " << j + 1 << " and " << k + 1;
}

TEST(ZernikeFit, CoefficientsOfASyntheticSurfaceComeBack) {
    // Known coefficients on the first 15 terms plus a small term beyond the
    // fit, which leaks into the fitted ones only through the sampling.
    std::vector<double> known(15);
    for (int t = 0; t < 15; ++t)
        known[t] = 1e-7 * std::cos(1.3 * t + 0.2);
    const double beyond = 5e-9;
    const auto s = Surface(kGrid, [&](double x, double y) {
        const double rho = std::hypot(x, y) / kGrid.beamRadius;
        const double theta = std::atan2(y, x);
        double h = beyond * NollZernike(22, rho, theta);
        for (int t = 0; t < 15; ++t)
            h += known[t] * NollZernike(t + 1, rho, theta);
        return h;
    });
    const auto c = NollZernikeCoefficients(s, kGrid, 15);
    ASSERT_EQ(c.size(), 15u);
    for (int t = 0; t < 15; ++t)
        EXPECT_NEAR(c[t], known[t], 0.1 * beyond) << "term " << t + 1;
    // With the extra term fitted, everything comes back to rounding.
    const auto all = NollZernikeCoefficients(s, kGrid, 22);
    ASSERT_EQ(all.size(), 22u);
    EXPECT_NEAR(all[21], beyond, 1e-15);
    EXPECT_NEAR(all[3], known[3], 1e-15);
}

TEST(ZernikeFit, ACoefficientIsTheRmsOfItsTerm) {
    // Noll normalisation: one term alone has an RMS over the beam equal to its
    // coefficient, to the sampling of the disc.
    for (int j : {2, 4, 6, 11, 15}) {
        const auto s = Surface(kGrid, [&](double x, double y) {
            return 2e-7 * NollZernike(j, std::hypot(x, y) / kGrid.beamRadius, std::atan2(y, x));
        });
        EXPECT_NEAR(BeamRms(s, kGrid), 2e-7, 2e-7 * 0.03) << "term " << j;
    }
}

TEST(ZernikeFit, RefusesTooFewSamplesAndNonFiniteOnes) {
    const BeamGrid tiny{100, kGrid.dx, kGrid.dx * 1.5}; // 9 samples
    const auto flat = Surface(tiny, [](double, double) { return 0.0; });
    EXPECT_TRUE(NollZernikeCoefficients(flat, tiny, 15).empty());
    EXPECT_EQ(NollZernikeCoefficients(flat, tiny, 9).size(), 9u);
    auto bad = Surface(kGrid, [](double, double) { return 0.0; });
    bad[50 * 100 + 50] = std::nan("");
    EXPECT_TRUE(NollZernikeCoefficients(bad, kGrid, 15).empty());
}

TEST(EncircledEnergy, GaussianBeamFarFieldMatchesTheClosedForm) {
    // Amplitude exp(-r^2 / w^2) on the engine's grid, padded to 512 and
    // transformed: the intensity is a Gaussian in frequency and the energy
    // within frequency f is 1 - exp(-2 pi^2 w^2 f^2), f = k / (size dx).
    const double w = 3e-3;
    const int n = kGrid.n, size = 512, off = (size - n) / 2;
    std::vector<float> field(2 * static_cast<std::size_t>(size + 1) * (size + 1), 0.0f);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double x = (i - n / 2) * kGrid.dx, y = (j - n / 2) * kGrid.dx;
            const auto k = 2 * (static_cast<std::size_t>(off + i - 1) * size + off + j) - 1;
            field[k] = static_cast<float>(std::exp(-(x * x + y * y) / (w * w)));
        }
    const int dims[] = {size, size};
    ASSERT_TRUE(ComplexFFT(field.data(), dims, 2, 1));
    // Centred intensity: zero frequency moved to (size / 2, size / 2).
    std::vector<double> intensity(static_cast<std::size_t>(size) * size);
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const int rr = (r + size / 2) % size, cc = (c + size / 2) % size;
            const auto k = 2 * (static_cast<std::size_t>(rr) * size + cc + 1) - 1;
            intensity[static_cast<std::size_t>(r) * size + c] =
                double(field[k]) * field[k] + double(field[k + 1]) * field[k + 1];
        }
    const auto ee = EncircledEnergy(intensity, size, 40);
    ASSERT_EQ(ee.size(), 41u);
    for (int k = 2; k <= 40; ++k) {
        const double f = k / (size * kGrid.dx);
        const double expected = 1 - std::exp(-2 * std::pow(std::numbers::pi * w * f, 2));
        EXPECT_NEAR(ee[k], expected, 0.02) << "radius " << k;
    }
    EXPECT_NEAR(ee[40], 1.0, 1e-6);
    for (int k = 1; k <= 40; ++k)
        EXPECT_GE(ee[k], ee[k - 1]);
    EXPECT_TRUE(EncircledEnergy(std::vector<double>(16, 0.0), 4, 3).empty());
    EXPECT_TRUE(EncircledEnergy({}, 4, 3).empty());
}

TEST(Strehl, RatioOfThePeakToTheFlatMirrorsAndBadInput) {
    const std::vector<double> intensity{1.0, 4.0, 2.5};
    EXPECT_DOUBLE_EQ(StrehlRatio(intensity, 5.0), 0.8);
    EXPECT_EQ(StrehlRatio({}, 5.0), 0.0);
    EXPECT_EQ(StrehlRatio(intensity, 0.0), 0.0);
    EXPECT_EQ(StrehlRatio(intensity, std::nan("")), 0.0);
    EXPECT_EQ(StrehlRatio(std::vector<double>{1.0, std::nan("")}, 5.0), 0.0);
    EXPECT_EQ(FlatMirrorPeak(BeamGrid{0, 1e-4, 1e-3}, 3e-3), 0.0);
    EXPECT_EQ(FlatMirrorPeak(kGrid, 0.0), 0.0);
}

} // namespace
} // namespace ostrander
