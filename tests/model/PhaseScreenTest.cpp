// Phase screens against turbulence theory: the structure function of
// Kolmogorov and von Karman turbulence, Noll's residual variances after
// removing Zernike modes, the seeded generator's reproducibility and its
// random numbers against the standard twister and the polar method.
#include "model/BeamAnalysis.h"
#include "model/EngineGrid.h"
#include "model/PhaseScreen.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace ostrander {
namespace {

constexpr double kPi = std::numbers::pi;

// 4 pi A r0^(-5/3) Int_0^inf (f^2 + f0^2)^(-11/6) (1 - J0(2 pi f r)) f df by
// the trapezoid rule in log f: the structure function straight from the
// spectrum, independent of any closed form.
double StructureFromSpectrum(double r, double r0, double outerScale) {
    const double f0Squared = std::isfinite(outerScale) ? 1.0 / (outerScale * outerScale) : 0.0;
    const double a = PhaseSpectrumConstant() * std::pow(r0, -5.0 / 3.0);
    const double step = 0.002;
    double sum = 0.0;
    for (double t = std::log(1e-17 / r); t < std::log(1e5 / r); t += step) {
        const double f = std::exp(t);
        sum += std::pow(f * f + f0Squared, -11.0 / 6.0) *
               (1.0 - std::cyl_bessel_j(0.0, 2 * kPi * f * r)) * f * f * step;
    }
    return 4 * kPi * a * sum;
}

// The phase in radians at the settings's wavelength.
std::vector<double> PhaseOf(const std::vector<double>& path, double wavelength) {
    std::vector<double> phase(path.size());
    for (std::size_t k = 0; k < path.size(); ++k)
        phase[k] = path[k] * 2 * kPi / wavelength;
    return phase;
}

TEST(PhaseSpectrum, ConstantAndClosedFormsMatchTheSpectrumIntegral) {
    // The Kolmogorov constant gives 6.88 (r/r0)^(5/3), and the von Karman
    // closed form is the integral of its spectrum.
    const double r0 = 0.1;
    for (double r : {0.01, 0.05, 0.3}) {
        SCOPED_TRACE(r);
        EXPECT_NEAR(StructureFromSpectrum(r, r0, INFINITY) / (6.88 * std::pow(r / r0, 5.0 / 3.0)), 1.0,
                    2e-3);
        EXPECT_NEAR(PhaseStructureFunction(r, r0, INFINITY), 6.88 * std::pow(r / r0, 5.0 / 3.0),
                    1e-12);
        for (double outer : {0.5, 2.0, 20.0}) {
            SCOPED_TRACE(outer);
            EXPECT_NEAR(PhaseStructureFunction(r, r0, outer) / StructureFromSpectrum(r, r0, outer),
                        1.0, 3e-3);
        }
    }
    // Well inside L0 the outer scale lowers Kolmogorov's value by the factor
    // 1 - 1.485 (r/L0)^(1/3).
    for (double ratio : {1e-5, 1e-4}) {
        SCOPED_TRACE(ratio);
        EXPECT_NEAR(PhaseStructureFunction(0.001, r0, 0.001 / ratio) /
                        PhaseStructureFunction(0.001, r0, INFINITY),
                    1.0 - 1.485 * std::cbrt(ratio), 1e-3);
    }
    EXPECT_EQ(PhaseStructureFunction(0.0, r0, INFINITY), 0.0);
}

// The mean structure function of many screens, along x and y, at
// separations of `seps` samples, over the whole screen.
std::vector<double> MeanStructure(PhaseScreenGenerator& gen, int screens, const std::vector<int>& seps) {
    const int n = gen.Settings().n;
    std::vector<double> sum(seps.size(), 0.0);
    for (int s = 0; s < screens; ++s) {
        const std::vector<double> phase = PhaseOf(gen.Next(), gen.Settings().wavelength);
        for (std::size_t k = 0; k < seps.size(); ++k) {
            const int d = seps[k];
            double acc = 0.0;
            long count = 0;
            for (int i = 0; i + d < n; ++i)
                for (int j = 0; j < n; ++j) {
                    const double dxPhase = phase[(i + d) * n + j] - phase[i * n + j];
                    const double dyPhase = phase[j * n + i + d] - phase[j * n + i];
                    acc += dxPhase * dxPhase + dyPhase * dyPhase;
                    count += 2;
                }
            sum[k] += acc / count;
        }
    }
    for (double& v : sum)
        v /= screens;
    return sum;
}

TEST(PhaseScreen, MeanStructureFunctionFollowsTheory) {
    // r0 of 8 samples on a 100-sample screen (a beam of about 80 samples:
    // D/r0 = 10); separations from 2 samples to half the beam.
    struct Case {
        const char* name;
        double outerScale; // in samples
    };
    const std::vector<int> seps = {2, 4, 8, 16, 25, 40};
    for (const Case& c : {Case{"Kolmogorov", INFINITY}, Case{"von Karman L0 = 60 samples", 60.0}}) {
        SCOPED_TRACE(c.name);
        PhaseScreenSettings settings;
        settings.n = 100;
        settings.dx = 1e-3;
        settings.r0 = 8e-3;
        settings.outerScale = c.outerScale * settings.dx;
        PhaseScreenGenerator gen(settings, 7);
        ASSERT_TRUE(gen.Valid());
        const std::vector<double> measured = MeanStructure(gen, 300, seps);
        for (std::size_t k = 0; k < seps.size(); ++k) {
            SCOPED_TRACE(seps[k]);
            const double r = seps[k] * settings.dx;
            const double theory = std::isfinite(c.outerScale)
                                      ? StructureFromSpectrum(r, settings.r0, settings.outerScale)
                                      : 6.88 * std::pow(r / settings.r0, 5.0 / 3.0);
            EXPECT_NEAR(measured[k] / theory, 1.0, 0.08);
        }
    }
}

TEST(PhaseScreen, ResidualAfterZernikeRemovalFollowsNoll) {
    // Noll (1976): the mean phase variance left after removing modes 1 .. J
    // is Delta_J (D/r0)^(5/3) rad^2. The modes are fitted independently of
    // the screens: a QR of the Noll terms over the beam, so that removing the
    // first J is dropping the first J components of Q^T phase.
    const std::vector<double> noll = {1.0299, 0.582,  0.134,  0.111,  0.0880, 0.0648, 0.0587,
                                      0.0525, 0.0463, 0.0401, 0.0377, 0.0352, 0.0328, 0.0304,
                                      0.0279, 0.0267, 0.0255, 0.0243, 0.0232, 0.0220, 0.0208};
    const int terms = static_cast<int>(noll.size());
    const std::optional<EngineGrid> grid = MakeEngineGrid(15e-3, 0.8);
    ASSERT_TRUE(grid);
    const double diameter = 2 * grid->beamRadius, dr0 = 4.0;
    std::vector<std::size_t> beam;
    Eigen::MatrixXd z(0, terms);
    std::vector<Eigen::RowVectorXd> rows;
    for (int i = 0; i < grid->n; ++i)
        for (int j = 0; j < grid->n; ++j)
            if (grid->InBeam(i, j)) {
                beam.push_back(grid->Index(i, j));
                const double x = grid->X(i), y = grid->X(j);
                Eigen::RowVectorXd row(terms);
                for (int t = 0; t < terms; ++t)
                    row[t] = NollZernike(t + 1, std::hypot(x, y) / grid->beamRadius, std::atan2(y, x));
                rows.push_back(row);
            }
    z.resize(static_cast<int>(rows.size()), terms);
    for (std::size_t r = 0; r < rows.size(); ++r)
        z.row(static_cast<int>(r)) = rows[r];
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(z);
    const Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(z.rows(), terms);

    PhaseScreenSettings settings;
    settings.n = grid->n;
    settings.dx = grid->dx;
    settings.r0 = diameter / dr0;
    PhaseScreenGenerator gen(settings, 2024);
    const int screens = 600;
    std::vector<double> residual(terms, 0.0);
    for (int s = 0; s < screens; ++s) {
        const std::vector<double> phase = PhaseOf(gen.Next(), settings.wavelength);
        Eigen::VectorXd b(static_cast<int>(beam.size()));
        for (std::size_t k = 0; k < beam.size(); ++k)
            b[static_cast<int>(k)] = phase[beam[k]];
        const Eigen::VectorXd c = q.transpose() * b;
        double left = b.squaredNorm();
        for (int t = 0; t < terms; ++t) {
            left -= c[t] * c[t];
            residual[t] += left / static_cast<double>(beam.size());
        }
    }
    const double scale = std::pow(dr0, 5.0 / 3.0);
    for (int t = 0; t < terms; ++t) {
        SCOPED_TRACE(t + 1);
        EXPECT_NEAR(residual[t] / screens / scale / noll[t], 1.0, 0.10);
    }
}

TEST(PhaseScreen, SeededAndReproducible) {
    PhaseScreenSettings settings;
    settings.n = 40;
    settings.dx = 1e-3;
    settings.r0 = 5e-3;
    PhaseScreenGenerator a(settings, 11), b(settings, 11), other(settings, 12);
    EXPECT_EQ(a.FftSize(), 128);
    for (int k = 0; k < 3; ++k) { // both halves of a pair, and the next pair
        const std::vector<double> sa = a.Next(), sb = b.Next(), so = other.Next();
        ASSERT_EQ(sa.size(), 1600u);
        EXPECT_EQ(sa, sb);
        EXPECT_NE(sa, so);
    }
    // The two screens of a pair are not the same screen.
    PhaseScreenGenerator c(settings, 11);
    EXPECT_NE(c.Next(), c.Next());
}

TEST(PhaseScreen, InvalidSpecsGiveNoScreens) {
    PhaseScreenSettings good;
    good.n = 16;
    good.dx = 1e-3;
    good.r0 = 0.01;
    struct Case {
        const char* name;
        PhaseScreenSettings settings;
    };
    std::vector<Case> cases;
    auto with = [&](const char* name, auto change) {
        PhaseScreenSettings s = good;
        change(s);
        cases.push_back({name, s});
    };
    with("one sample", [](PhaseScreenSettings& s) { s.n = 1; });
    with("no spacing", [](PhaseScreenSettings& s) { s.dx = 0; });
    with("negative r0", [](PhaseScreenSettings& s) { s.r0 = -0.1; });
    with("r0 not a number", [](PhaseScreenSettings& s) { s.r0 = std::nan(""); });
    with("zero outer scale", [](PhaseScreenSettings& s) { s.outerScale = 0; });
    with("no wavelength", [](PhaseScreenSettings& s) { s.wavelength = 0; });
    with("negative subharmonics", [](PhaseScreenSettings& s) { s.subharmonicLevels = -1; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhaseScreenGenerator gen(c.settings, 1);
        EXPECT_FALSE(gen.Valid());
        EXPECT_TRUE(gen.Next().empty());
    }
    EXPECT_TRUE(PhaseScreenGenerator(good, 1).Valid());
}

TEST(NormalDeviates, MomentsOfTheNormalDistribution) {
    NormalDeviates d(5);
    const int count = 400000;
    double m1 = 0, m2 = 0, m3 = 0, m4 = 0;
    for (int k = 0; k < count; ++k) {
        const double x = d.Next();
        m1 += x;
        m2 += x * x;
        m3 += x * x * x;
        m4 += x * x * x * x;
    }
    EXPECT_NEAR(m1 / count, 0.0, 0.01);
    EXPECT_NEAR(m2 / count, 1.0, 0.01);
    EXPECT_NEAR(m3 / count, 0.0, 0.03);
    EXPECT_NEAR(m4 / count, 3.0, 0.05);
}

TEST(NormalDeviates, TheStandardTwisterAndThePolarMethodOneAtATime) {
    // Our twister is std::mt19937_64 word for word, and the batched deviates
    // are those the polar method makes one pair at a time from it, whether
    // taken one by one or in blocks of any length.
    for (std::uint64_t seed : {0ULL, 1ULL, 5489ULL, 0xFFFFFFFFFFFFFFFFULL}) {
        SCOPED_TRACE(seed);
        MersenneTwister64 ours(seed);
        std::mt19937_64 standard(seed);
        for (int k = 0; k < 2000; ++k)
            ASSERT_EQ(ours(), standard()) << "word " << k;
    }
    MersenneTwister64 check(5489);
    for (int k = 1; k < 10000; ++k)
        check();
    EXPECT_EQ(check(), 9981545732273789042ULL); // the standard's own check value

    std::mt19937_64 engine(9);
    const auto uniform = [&] { return (static_cast<double>(engine() >> 11) + 1.0) * 0x1.0p-53; };
    std::vector<double> expected;
    while (expected.size() < 5000) {
        double u, v, s;
        do {
            u = 2.0 * uniform() - 1.0;
            v = 2.0 * uniform() - 1.0;
            s = u * u + v * v;
        } while (s >= 1.0 || s == 0.0);
        const double k = std::sqrt(-2.0 * std::log(s) / s);
        expected.push_back(u * k);
        expected.push_back(v * k);
    }
    NormalDeviates d(9);
    std::vector<double> got;
    for (std::size_t block : {1u, 3u, 700u, 1u, 1024u, 0u, 3264u}) {
        std::vector<double> part(block);
        d.Fill(part.data(), block);
        got.insert(got.end(), part.begin(), part.end());
        got.push_back(d.Next());
    }
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(got, expected);
}

} // namespace
} // namespace ostrander
