// The nonlinear equilibrium and the pull-in factor against the radial
// equation of a clamped disc under a full electrode, solved here
// independently by shooting, and against the scaling laws of the problem.
#include "model/PullIn.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/ExactMembrane.h"
#include "tests/model/MembraneFixture.h"
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace ostrander {
namespace {

constexpr double kEps0 = 8.854e-12;

// U'' + U'/r = -1 / (1 - U)^2 from the centre value U(0) = s, integrated
// with RK4 until U reaches 0. By the scaling r -> r / r0 the solution with
// U = 0 at r = 1 belongs to the normalised load Lambda = r0^2. Fills
// `profile` with U at r0 * k / (samples - 1) when given.
double ShootingLoad(double s, std::vector<double>* profile = nullptr, int samples = 0) {
    const double h = 2e-4;
    // Series start away from the coordinate singularity.
    double r = 1e-3;
    const double c = 1 / ((1 - s) * (1 - s));
    double u = s - c * r * r / 4, v = -c * r / 2;
    std::vector<double> rs{0, r}, us{s, u};
    auto f = [](double rr, double uu, double vv, double& du, double& dv) {
        du = vv;
        dv = -1 / ((1 - uu) * (1 - uu)) - vv / rr;
    };
    while (u > 0) {
        double k1u, k1v, k2u, k2v, k3u, k3v, k4u, k4v;
        f(r, u, v, k1u, k1v);
        f(r + h / 2, u + h / 2 * k1u, v + h / 2 * k1v, k2u, k2v);
        f(r + h / 2, u + h / 2 * k2u, v + h / 2 * k2v, k3u, k3v);
        f(r + h, u + h * k3u, v + h * k3v, k4u, k4v);
        u += h / 6 * (k1u + 2 * k2u + 2 * k3u + k4u);
        v += h / 6 * (k1v + 2 * k2v + 2 * k3v + k4v);
        r += h;
        rs.push_back(r);
        us.push_back(u);
    }
    // The root within the last step, by the secant.
    const std::size_t m = rs.size() - 1;
    const double r0 = rs[m - 1] + (rs[m] - rs[m - 1]) * us[m - 1] / (us[m - 1] - us[m]);
    if (profile) {
        profile->clear();
        for (int k = 0; k < samples; ++k) {
            const double at = r0 * k / (samples - 1);
            const std::size_t j = std::min<std::size_t>(
                static_cast<std::size_t>(std::upper_bound(rs.begin(), rs.end(), at) - rs.begin()),
                m);
            const double t = (at - rs[j - 1]) / (rs[j] - rs[j - 1]);
            profile->push_back(std::max(0.0, us[j - 1] + t * (us[j] - us[j - 1])));
        }
    }
    return r0 * r0;
}

// The fold of Lambda(s): the largest normalised load and its centre deflection.
void RadialFold(double& loadStar, double& centreStar) {
    double a = 0.2, b = 0.7;
    const double g = (std::sqrt(5.0) - 1) / 2;
    for (int k = 0; k < 60; ++k) {
        const double x1 = b - g * (b - a), x2 = a + g * (b - a);
        (ShootingLoad(x1) > ShootingLoad(x2) ? b : a) =
            (ShootingLoad(x1) > ShootingLoad(x2) ? x2 : x1);
    }
    centreStar = (a + b) / 2;
    loadStar = ShootingLoad(centreStar);
}

// A round 10 mm membrane at T = 100 N/m over a 40 um gap, with one electrode
// reaching past the rim and the membrane's own electrode.
MembraneGeometry FullElectrode() {
    MembraneGeometry g =
        testing::RoundMembrane({MembranePad{PadShape::Disc, 0, 0, 12e-3, 0, 0, 0}, MembranePad{}});
    g.surfaceIndex = 1;
    return g;
}

// Lambda = eps0 V^2 R^2 / (2 T d^3) of a voltage.
double NormalisedLoad(const MembraneGeometry& g, double volts) {
    const double R = g.diameter_m / 2, d = g.separation_m;
    return kEps0 * volts * volts * R * R / (2 * g.Tension() * d * d * d);
}

TEST(PullIn, FullElectrodeFollowsTheRadialEquation) {
    double loadStar = 0, centreStar = 0;
    RadialFold(loadStar, centreStar);
    ASSERT_NEAR(loadStar, 0.789, 0.001);
    ASSERT_NEAR(centreStar, 0.44, 0.01);

    const MembraneGeometry g = FullElectrode();
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    const ExactMembrane model(g, grid);
    const double volts = 100;
    const PullInResult r = SolvePullIn(model, {volts, 0});
    ASSERT_EQ(r.status, PullInResult::Status::Equilibrium);
    // lambda* scales the voltage; Lambda goes with its square.
    const double expected = std::sqrt(loadStar / NormalisedLoad(g, volts));
    EXPECT_NEAR(r.pullInFactor / expected, 1.0, 2e-3) << r.pullInFactor << " vs " << expected;
    EXPECT_NEAR(r.pullInDeflection_m / g.separation_m, centreStar, 0.01);

    // The equilibrium at 0.9 of pull-in against the radial profile on the
    // stable side of the fold (the centre value s with Lambda(s) at target).
    const double v09 = 0.9 * expected * volts;
    const double target = NormalisedLoad(g, v09);
    double lo = 0, hi = centreStar;
    for (int k = 0; k < 60; ++k) {
        const double mid = (lo + hi) / 2;
        (ShootingLoad(mid) < target ? lo : hi) = mid;
    }
    std::vector<double> profile;
    ShootingLoad((lo + hi) / 2, &profile, 2001);
    const PullInResult r09 = SolvePullIn(model, {v09, 0});
    ASSERT_EQ(r09.status, PullInResult::Status::Equilibrium);
    EXPECT_NEAR(r09.pullInFactor, 1 / 0.9, 3e-3);
    const double R = g.diameter_m / 2, d = g.separation_m;
    double worst = 0;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j) {
            const double rho = std::hypot(grid.X(i), grid.X(j)) / R;
            if (rho >= 1)
                continue;
            const double expectedW =
                -d * profile[static_cast<std::size_t>(std::lround(rho * 2000))];
            worst = std::max(
                worst, std::abs(r09.surface[static_cast<std::size_t>(i * grid.n + j)] - expectedW));
        }
    EXPECT_LT(worst, 0.005 * d);
    EXPECT_NEAR(r09.peakDeflection_m / d, profile.front(), 0.005);
    // Near pull-in the membrane goes well beyond the linear answer.
    const std::vector<double> linear = model.LinearSurface({v09, 0});
    const double ratio = r09.peakDeflection_m / -*std::min_element(linear.begin(), linear.end());
    EXPECT_GT(ratio, 1.3);
    EXPECT_LT(ratio, 2.0);
}

TEST(PullIn, VerdictFlipsAtThePullInVoltage) {
    const MembraneGeometry g = FullElectrode();
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    const PullInResult probe = SolvePullIn(model, {50, 0});
    ASSERT_EQ(probe.status, PullInResult::Status::Equilibrium);
    const double vStar = 50 * probe.pullInFactor;
    // The factor belongs to the voltages: twice the voltage, half the factor.
    EXPECT_NEAR(SolvePullIn(model, {100, 0}, {}, {1e-6, false}).pullInFactor * 2,
                probe.pullInFactor, 1e-5 * probe.pullInFactor);

    const PullInResult below = SolvePullIn(model, {vStar * 0.999, 0});
    EXPECT_EQ(below.status, PullInResult::Status::Equilibrium);
    EXPECT_FALSE(below.SnapDown());
    EXPECT_GT(below.pullInFactor, 1.0);
    const PullInResult above = SolvePullIn(model, {vStar * 1.001, 0});
    EXPECT_EQ(above.status, PullInResult::Status::PulledIn);
    EXPECT_TRUE(above.SnapDown());
    EXPECT_LT(above.pullInFactor, 1.0);
    EXPECT_TRUE(above.surface.empty());
    // The membrane electrode counts: pads at 0 V, membrane at the voltage is the same pull.
    const PullInResult membrane = SolvePullIn(model, {0, vStar * 1.001});
    EXPECT_EQ(membrane.status, PullInResult::Status::PulledIn);
    EXPECT_NEAR(membrane.pullInFactor, above.pullInFactor, 1e-6);
}

TEST(PullIn, SmallVoltagesGiveTheLinearSurface) {
    // Well below pull-in the gap hardly changes: the nonlinear surface is the
    // linear one (finite differences) to the order of w / d.
    const MembraneGeometry g = FullElectrode();
    const ExactMembrane fd(g, EngineGrid::ForDiameter(g.diameter_m),
                           ExactMembrane::Method::FiniteDifference);
    const PullInResult r = SolvePullIn(fd, {5, 0});
    ASSERT_EQ(r.status, PullInResult::Status::Equilibrium);
    const std::vector<double> linear = fd.LinearSurface({5, 0});
    const double peak = -*std::min_element(linear.begin(), linear.end());
    ASSERT_GT(peak, 0.0);
    for (std::size_t p = 0; p < linear.size(); ++p)
        ASSERT_NEAR(r.surface[p], linear[p], 4 * peak / g.separation_m * peak);
}

TEST(PullIn, NothingToSolve) {
    const MembraneGeometry g = FullElectrode();
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    // Pads at the membrane's voltage pull on nothing: flat, no pull-in.
    const PullInResult flat = SolvePullIn(model, {150, 150});
    EXPECT_EQ(flat.status, PullInResult::Status::NoForce);
    EXPECT_TRUE(std::isinf(flat.pullInFactor));
    EXPECT_FALSE(flat.SnapDown());
    ASSERT_EQ(flat.surface.size(), 10000u);
    EXPECT_EQ(*std::max_element(flat.surface.begin(), flat.surface.end()), 0.0);
    EXPECT_EQ(SolvePullIn(model, {}).status, PullInResult::Status::NoForce);

    MembraneGeometry bad = g;
    bad.stress_Pa = -1;
    const ExactMembrane invalid(bad, EngineGrid::ForDiameter(g.diameter_m));
    EXPECT_EQ(SolvePullIn(invalid, {100, 0}).status, PullInResult::Status::Invalid);

    int asked = 0;
    const PullInResult stopped = SolvePullIn(model, {100, 0}, [&] { return ++asked > 3; });
    EXPECT_EQ(stopped.status, PullInResult::Status::Cancelled);
    EXPECT_TRUE(stopped.surface.empty());
}

TEST(PullIn, AllPadsOfTheSixtyOnePadMirror) {
    // Every pad of the shipped 61-pad mirror at one voltage, the membrane
    // electrode at 0 V: pull-in below the linear model's snap-down guess and
    // a deflection of a large share of the gap at the fold.
    IniFile ini;
    ASSERT_TRUE(ini.Load(std::string(OSTRANDER_SOURCE_DIR) + "/Devices/Hex61S.ini"));
    DMInfoClass dm;
    ASSERT_TRUE(dm.Load(ini));
    const MembraneGeometry g = MembraneGeometryFromModel(dm);
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    std::vector<double> volts(62, 100.0);
    volts[61] = 0;
    const PullInResult r = SolvePullIn(model, volts);
    ASSERT_EQ(r.status, PullInResult::Status::Equilibrium);
    EXPECT_GT(r.pullInFactor, 1.0);
    EXPECT_GT(r.pullInDeflection_m, 0.3 * g.separation_m);
    EXPECT_LT(r.pullInDeflection_m, 0.6 * g.separation_m);
    // Just above and below the pull-in voltage.
    std::vector<double> above = volts, below = volts;
    for (int k = 0; k < 61; ++k) {
        above[static_cast<std::size_t>(k)] = 100 * r.pullInFactor * 1.002;
        below[static_cast<std::size_t>(k)] = 100 * r.pullInFactor * 0.998;
    }
    EXPECT_TRUE(SolvePullIn(model, above, {}, {1e-6, false}).SnapDown());
    EXPECT_FALSE(SolvePullIn(model, below, {}, {1e-6, false}).SnapDown());
}

} // namespace
} // namespace ostrander
