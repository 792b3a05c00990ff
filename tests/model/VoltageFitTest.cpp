// The voltage fit on a 19-pad mirror whose influence functions the session
// computed: targets made from known voltages come back, an interior problem
// agrees with a dense QR solve built here from the stored functions, the
// voltage rules hold where they bind, and with the exact model a request past
// pull-in is refused with the largest amplitude that is not.
#include "ModelFixture.h"

#include "model/PullIn.h"
#include "model/SessionFit.h"
#include "model/VoltageFit.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::HexPads;
using testing::ModelLayout;

ModelLayout NineteenPads() {
    ModelLayout layout;
    layout.diameter = 15e-3;
    layout.limitVoltage = 300;
    layout.pads = HexPads(2, 2.6e-3, 2.4e-3);
    return layout;
}

class VoltageFitTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.session.UseMembraneModel(GetParam()));
        ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
        const std::optional<FitMirror> m = FitMirrorOf(h.session);
        ASSERT_TRUE(m.has_value());
        mirror = *m;
    }

    // The synthesised surface for voltages by display number - 1.
    std::vector<double> Surface(const std::vector<double>& volts) {
        MirrorClass& m = *h.local.Mirror;
        for (std::size_t k = 0; k < volts.size(); ++k)
            m.SetVoltage(static_cast<int>(k) + 1, volts[k]);
        EXPECT_EQ(h.engine.SynthesizeSurface(DMModelMain::ForceLaw::Square), SynthesisStatus::Done);
        const int n = h.data.GridSize;
        std::vector<double> s(static_cast<std::size_t>(n) * n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                s[static_cast<std::size_t>(i) * n + j] = h.data.Surface[i][j];
        return s;
    }

    double BeamRmsOf(const std::vector<double>& s) { return BeamRms(s, mirror.beam); }

    EngineHarness h;
    FitMirror mirror;
};

TEST_P(VoltageFitTest, TargetFromKnownVoltagesComesBack) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> volts(40, 280);
    for (const std::optional<double> bias : {std::optional<double>(), std::optional<double>(120.0)}) {
        std::vector<double> known(19);
        for (double& v : known)
            v = volts(rng);
        std::vector<double> target = Surface(known);
        if (bias) {
            const std::vector<double> base = Surface(std::vector<double>(19, *bias));
            for (std::size_t p = 0; p < target.size(); ++p)
                target[p] -= base[p];
        }
        FitRequest request;
        request.surface = target;
        request.bias = bias;
        const VoltageFit fit = FitVoltages(mirror, request);
        ASSERT_EQ(fit.status, VoltageFit::Status::Fitted);
        EXPECT_TRUE(fit.converged);
        EXPECT_LT(fit.residualRms, 1e-8 * BeamRmsOf(target)) << (bias ? "bias" : "no bias");
        for (int k = 0; k < 19; ++k)
            EXPECT_NEAR(fit.volts[k], known[k], 1e-3) << "pad " << k + 1;
    }
}

TEST_P(VoltageFitTest, InteriorProblemAgreesWithDenseLeastSquares) {
    // Small shapes about a 150 V bias keep every force inside its bounds, so
    // the bounded fit must be the plain least-squares solution of
    // [responses, piston] forces = target + responses * bias force.
    const double bias = 150;
    const int n = mirror.beam.n;
    const double run2 = h.data.IFMaxVoltage * h.data.IFMaxVoltage;
    for (const std::vector<double>& zernike :
         {std::vector<double>{0, 0, 0, 30e-9}, std::vector<double>{0, 0, 0, -20e-9, 10e-9, 0, 8e-9}}) {
        FitRequest request;
        request.zernike = zernike;
        request.bias = bias;
        const VoltageFit fit = FitVoltages(mirror, request);
        ASSERT_EQ(fit.status, VoltageFit::Status::Fitted);
        ASSERT_FALSE(fit.AnyBoundActive());

        std::vector<std::pair<int, int>> beam;
        const double r = h.data.GridSize > 0 ? mirror.beam.beamRadius : 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const double x = (i - n / 2) * mirror.beam.dx, y = (j - n / 2) * mirror.beam.dx;
                if (x * x + y * y < r * r)
                    beam.emplace_back(i, j);
            }
        Eigen::MatrixXd a(beam.size(), 20);
        Eigen::VectorXd b(beam.size());
        for (std::size_t s = 0; s < beam.size(); ++s) {
            const auto [i, j] = beam[s];
            const double x = (i - n / 2) * mirror.beam.dx, y = (j - n / 2) * mirror.beam.dx;
            const double rho = std::hypot(x, y) / r, theta = std::atan2(y, x);
            b[s] = 0;
            for (std::size_t t = 0; t < zernike.size(); ++t)
                b[s] += zernike[t] * NollZernike(static_cast<int>(t) + 1, rho, theta);
            for (int k = 0; k < 19; ++k) {
                a(s, k) = h.data.InfluenceFunctions[k][i][j] / run2;
                b[s] += bias * bias * a(s, k);
            }
            a(s, 19) = 1;
        }
        const Eigen::VectorXd w = a.colPivHouseholderQr().solve(b);
        for (int k = 0; k < 19; ++k)
            EXPECT_NEAR(fit.forces[k], w[k], 1e-6 * w[k]) << "pad " << k + 1;
        EXPECT_NEAR(fit.residualRms, (a * w - b).norm() / std::sqrt(double(beam.size())),
                    1e-6 * fit.targetRms);
    }
}

TEST_P(VoltageFitTest, VoltageRulesHoldWhereTheyBind) {
    struct Case {
        const char* what;
        std::vector<double> zernike;
        std::optional<double> bias;
    };
    // Deeper than the pads can pull; a dome that pull-only pads cannot make
    // from flat; astigmatism beyond the bias's reach.
    const Case cases[] = {{"deep focus", {0, 0, 0, 20e-6}, {}},
                          {"dome", {0, 0, 0, -1e-6}, {}},
                          {"strong astigmatism", {0, 0, 0, 0, 6e-6}, 150.0}};
    for (const Case& c : cases) {
        FitRequest request;
        request.zernike = c.zernike;
        request.bias = c.bias;
        const VoltageFit fit = FitVoltages(mirror, request);
        ASSERT_EQ(fit.status, VoltageFit::Status::Fitted) << c.what;
        EXPECT_TRUE(fit.AnyBoundActive()) << c.what;
        for (int k = 0; k < 19; ++k) {
            EXPECT_GE(fit.volts[k], mirror.floorVolts) << c.what;
            EXPECT_LE(fit.volts[k], mirror.maxVolts) << c.what;
            EXPECT_GE(fit.forces[k], 0.0) << c.what;
        }
        for (int d : fit.atFloor)
            EXPECT_DOUBLE_EQ(fit.volts[d - 1], mirror.floorVolts) << c.what;
        for (int d : fit.atCeiling)
            EXPECT_NEAR(fit.volts[d - 1], mirror.maxVolts, 1e-9) << c.what;
        EXPECT_LE(std::fabs(fit.meanVolts), mirror.meanLimit);
    }

    // A tighter mean limit binds: the highest voltage comes down until the
    // mean sits at the limit.
    FitMirror tight = mirror;
    tight.meanLimit = 80;
    FitRequest deep;
    deep.zernike = {0, 0, 0, 20e-6};
    const VoltageFit fit = FitVoltages(tight, deep);
    ASSERT_EQ(fit.status, VoltageFit::Status::Fitted);
    EXPECT_TRUE(fit.meanRuleActive);
    EXPECT_LE(fit.meanVolts, 80.0);
    EXPECT_GT(fit.meanVolts, 79.9);
    EXPECT_LT(fit.maxVoltsUsed, tight.maxVolts);
    for (double v : fit.volts)
        EXPECT_LE(v, fit.maxVoltsUsed + 1e-9);
}

TEST_P(VoltageFitTest, FreeTiltNeverFitsWorse) {
    const std::vector<std::vector<double>> targets = {
        {0, 0, 0, 0.3e-6}, {0, 0.2e-6, 0, 0.2e-6}, {0, 0, 0, 0, 0.2e-6}, {0, 0, 0, 0, 0, 0, 0.1e-6}};
    for (const std::vector<double>& z : targets) {
        FitRequest request;
        request.zernike = z;
        request.bias = 150;
        const VoltageFit fixed = FitVoltages(mirror, request);
        request.freeTilt = true;
        const VoltageFit free = FitVoltages(mirror, request);
        ASSERT_EQ(fixed.status, VoltageFit::Status::Fitted);
        ASSERT_EQ(free.status, VoltageFit::Status::Fitted);
        EXPECT_LE(free.residualRms, fixed.residualRms * (1 + 1e-9));
    }
    // A pure tilt costs nothing when tilt is free.
    FitRequest tilt;
    tilt.zernike = {0, 1e-6};
    tilt.bias = 150;
    tilt.freeTilt = true;
    const VoltageFit fit = FitVoltages(mirror, tilt);
    EXPECT_LT(fit.residualRms, 1e-12);
}

TEST_P(VoltageFitTest, FocusAboutABiasIsRotationallySymmetric) {
    for (double focus : {0.3e-6, -0.3e-6}) {
        FitRequest request;
        request.zernike = {0, 0, 0, focus};
        request.bias = 150;
        const VoltageFit fit = FitVoltages(mirror, request);
        ASSERT_EQ(fit.status, VoltageFit::Status::Fitted);
        // Pads at the same distance from the centre get the same voltage.
        std::map<long, std::vector<double>> rings;
        const ModelLayout layout = NineteenPads();
        for (int k = 0; k < 19; ++k)
            rings[std::lround(std::hypot(layout.pads[k].x, layout.pads[k].y) * 1e5)].push_back(
                fit.volts[k]);
        for (const auto& [radius, volts] : rings) {
            const auto [low, high] = std::minmax_element(volts.begin(), volts.end());
            EXPECT_LT(*high - *low, 0.5) << "radius " << radius * 1e-5 << " focus " << focus;
        }
        // and the achieved focus has the requested sign and most of it.
        EXPECT_GT(fit.achieved[3] / focus, 0.9);
    }
}

TEST_P(VoltageFitTest, FitterWithOneReductionMatchesSingleFits) {
    // Targets from known voltages, some within reach and some pushed past the
    // voltage range, fitted by one fitter: each as FitVoltages fits it alone.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> volts(40, 280);
    int bound = 0, free = 0;
    for (const std::optional<double> bias : {std::optional<double>(), std::optional<double>(150.0)}) {
        SCOPED_TRACE(bias ? "bias" : "no bias");
        const VoltageFitter fitter(mirror, bias);
        ASSERT_EQ(fitter.Status(), VoltageFit::Status::Fitted);
        for (double scale : {1.0, 3.0, -2.0}) {
            SCOPED_TRACE(scale);
            std::vector<double> known(19);
            for (double& v : known)
                v = volts(rng);
            std::vector<double> target = Surface(known);
            for (double& t : target)
                t *= scale;
            FitRequest request;
            request.surface = target;
            request.bias = bias;
            const VoltageFit alone = FitVoltages(mirror, request);
            const VoltageFit shared = fitter.Fit(target);
            ASSERT_EQ(alone.status, VoltageFit::Status::Fitted);
            ASSERT_EQ(shared.status, VoltageFit::Status::Fitted);
            EXPECT_NEAR(shared.residualRms, alone.residualRms, 1e-9 * alone.targetRms + 1e-15);
            EXPECT_EQ(shared.atFloor, alone.atFloor);
            EXPECT_EQ(shared.atCeiling, alone.atCeiling);
            EXPECT_EQ(shared.meanRuleActive, alone.meanRuleActive);
            for (std::size_t k = 0; k < known.size(); ++k)
                EXPECT_NEAR(shared.volts[k], alone.volts[k], 1e-6);
            EXPECT_EQ(shared.achieved.size(), alone.achieved.size());
            EXPECT_TRUE(fitter.Fit(target, false).achieved.empty());
            (alone.AnyBoundActive() ? bound : free) += 1;
        }
    }
    EXPECT_GT(bound, 0);
    EXPECT_GT(free, 0);
    // A target with a hole in the beam, or of the wrong size, is refused; a
    // bias outside the pads' range refuses every fit.
    std::vector<double> holed(mirror.beam.Points(), 0.0);
    holed[mirror.beam.Index(mirror.beam.n / 2, mirror.beam.n / 2)] = std::nan("");
    const VoltageFitter fitter(mirror, 150.0);
    EXPECT_EQ(fitter.Fit(holed).status, VoltageFit::Status::BadTarget);
    EXPECT_EQ(fitter.Fit(std::vector<double>(10, 0.0)).status, VoltageFit::Status::BadTarget);
    EXPECT_EQ(VoltageFitter(mirror, 1000.0).Fit(holed).status, VoltageFit::Status::BadBias);
}

INSTANTIATE_TEST_SUITE_P(Models, VoltageFitTest, ::testing::Values("classic", "exact"));

TEST(SessionFitTest, ExactModelRefusesAFitPastPullInAndFindsTheLargestAmplitude) {
    EngineHarness h;
    ASSERT_TRUE(h.session.UseMembraneModel("exact"));
    ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
    FitRequest request;
    request.zernike = {0, 0, 0, 3e-6};
    const SessionFit far = FitOnSession(h.session, request);
    ASSERT_EQ(far.status, SessionFit::Status::BeyondPullIn) << SessionFitStatusText(far);
    EXPECT_LT(far.pullInFactor, 1.0);
    EXPECT_GT(far.largestScale, 0.0);
    EXPECT_LT(far.largestScale, 1.0);
    EXPECT_GE(far.largestPullInFactor, 1.0);
    EXPECT_LT(far.largestPullInFactor, 1.02);
    EXPECT_NE(SessionFitStatusText(far).find("pull"), std::string::npos);

    // Well inside: fitted, with the factor reported.
    request.zernike = {0, 0, 0, 0.1e-6};
    const SessionFit near = FitOnSession(h.session, request);
    ASSERT_EQ(near.status, SessionFit::Status::Fitted);
    EXPECT_GT(near.pullInFactor, 1.0);

    // The classic model has no equilibrium to check. A change of model
    // needs the influence functions run again.
    ASSERT_TRUE(h.session.UseMembraneModel("classic"));
    EXPECT_EQ(FitOnSession(h.session, request).status, SessionFit::Status::NoInfluenceFunctions);
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(h.session.RunToEnd(), RunTick::Finished);
    request.zernike = {0, 0, 0, 3e-6};
    const SessionFit classic = FitOnSession(h.session, request);
    EXPECT_EQ(classic.status, SessionFit::Status::Fitted);
    EXPECT_TRUE(std::isnan(classic.pullInFactor));
}

// With the exact model the pull stiffens as the membrane comes closer to the
// pads: the equilibrium goes deeper than the linear surface (here by 60 %).
// Matching the equilibrium brings its shape to the one asked for, as far as
// the pads can make it; checked on equilibria solved here.
TEST(SessionFitTest, MatchingTheEquilibriumGivesTheRequestedShape) {
    EngineHarness h;
    ASSERT_TRUE(h.session.UseMembraneModel("exact"));
    ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
    const std::optional<FitMirror> mirror = FitMirrorOf(h.session);
    ASSERT_TRUE(mirror.has_value());
    FitRequest request;
    request.zernike = {0, 0, 0, 0.5e-6, 0.1e-6};
    request.bias = 100;
    const std::optional<PullInInputs> inputs = h.session.PullInInputsNow();
    ASSERT_TRUE(inputs.has_value());
    const DMInfoClass& dm = *h.local.MirrorInfo->Model;
    // The equilibrium's change from every pad at the bias, in Noll terms.
    const auto achieved = [&](const std::vector<double>& volts) {
        const auto solve = [&](const std::vector<double>& v) {
            return SolvePullIn(*inputs->membrane,
                               VoltagesByModelIndex(dm, [&](int d) { return v[d - 1]; }))
                .surface;
        };
        const std::vector<double> eq = solve(volts), base = solve(std::vector<double>(19, 100.0));
        std::vector<double> change(eq.size());
        for (std::size_t p = 0; p < eq.size(); ++p)
            change[p] = eq[p] - base[p];
        return NollZernikeCoefficients(change, mirror->beam, 6);
    };

    const SessionFit plain = FitOnSession(h.session, request);
    ASSERT_EQ(plain.status, SessionFit::Status::Fitted) << SessionFitStatusText(plain);
    EXPECT_EQ(plain.equilibriumRounds, 0);
    SessionFitOptions options;
    options.matchEquilibrium = true;
    const SessionFit matched = FitOnSession(h.session, request, {}, options);
    ASSERT_EQ(matched.status, SessionFit::Status::Fitted);
    EXPECT_GT(matched.equilibriumRounds, 0);
    EXPECT_LT(matched.equilibriumResidualRms, 0.3 * plain.equilibriumResidualRms);
    // As close as the linear surface came: the pads' own limit.
    EXPECT_LT(matched.equilibriumResidualRms, 1.1 * plain.fit.residualRms);
    EXPECT_GT(matched.pullInFactor, 1.0);

    const std::vector<double> before = achieved(plain.fit.volts);
    const std::vector<double> after = achieved(matched.fit.volts);
    ASSERT_EQ(after.size(), 6u);
    EXPECT_GT(std::fabs(before[3] - 0.5e-6), 0.01e-6) << "the linear fit already matches";
    EXPECT_NEAR(after[3], 0.5e-6, 0.002e-6);
    // The astigmatism the pads can make at all (the linear fit's) is met.
    EXPECT_NEAR(after[4], plain.fit.achieved[4], 0.002e-6);
}

TEST(SessionFitTest, RefusalsAreStatuses) {
    EngineHarness h;
    FitRequest request;
    request.zernike = {0, 0, 0, 1e-7};
    EXPECT_EQ(FitOnSession(h.session, request).status, SessionFit::Status::NoInfluenceFunctions);
    ASSERT_TRUE(h.Select(NineteenPads()));
    EXPECT_EQ(FitOnSession(h.session, request).status, SessionFit::Status::NoInfluenceFunctions);
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(h.session.RunToEnd(), RunTick::Finished);

    struct Case {
        const char* what;
        FitRequest request;
        VoltageFit::Status status;
    };
    const int points = h.data.GridSize * h.data.GridSize;
    FitRequest none, wrongSize, allNaN, badBias, badCoefficient;
    wrongSize.surface.assign(points - 1, 0.0);
    allNaN.surface.assign(points, std::nan(""));
    badBias.zernike = {0, 0, 0, 1e-7};
    badBias.bias = 301;
    badCoefficient.zernike = {0, 0, 0, std::nan("")};
    const Case cases[] = {{"no target", none, VoltageFit::Status::NoTarget},
                          {"wrong size", wrongSize, VoltageFit::Status::BadTarget},
                          {"no finite sample", allNaN, VoltageFit::Status::BadTarget},
                          {"bias over the limit", badBias, VoltageFit::Status::BadBias},
                          {"NaN coefficient", badCoefficient, VoltageFit::Status::BadTarget}};
    for (const Case& c : cases) {
        const SessionFit r = FitOnSession(h.session, c.request);
        EXPECT_EQ(r.status, SessionFit::Status::NotFitted) << c.what;
        EXPECT_EQ(r.fit.status, c.status) << c.what;
        EXPECT_FALSE(SessionFitStatusText(r).empty());
    }
}

// Targets beyond what doubles carry through the fit are refused, never
// reported as a converged fit with infinite residuals; samples that are not
// finite are left out like missing ones.
TEST(VoltageFitRefusalTest, TargetsThatAreNotFiniteOrTooLarge) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
    const std::optional<FitMirror> mirror = FitMirrorOf(h.session);
    ASSERT_TRUE(mirror.has_value());
    const std::size_t points = static_cast<std::size_t>(mirror->beam.n) * mirror->beam.n;
    const double inf = std::numeric_limits<double>::infinity();

    struct Case {
        const char* what;
        FitRequest request;
        VoltageFit::Status status;
    };
    FitRequest hugeFocus, hugeSurface, hugeScale, infiniteFocus, infiniteSurface;
    hugeFocus.zernike = {0, 0, 0, 1e300};
    hugeSurface.surface.assign(points, 1e300);
    hugeScale.zernike = {0, 0, 0, 1e-6};
    hugeScale.scale = 1e300;
    infiniteFocus.zernike = {0, 0, 0, inf};
    infiniteSurface.surface.assign(points, inf);
    const Case cases[] = {{"1e300 m of focus", hugeFocus, VoltageFit::Status::NotFinite},
                          {"1e300 m everywhere", hugeSurface, VoltageFit::Status::NotFinite},
                          {"1 um focus scaled by 1e300", hugeScale, VoltageFit::Status::NotFinite},
                          {"infinite focus", infiniteFocus, VoltageFit::Status::BadTarget},
                          {"infinite everywhere", infiniteSurface, VoltageFit::Status::BadTarget}};
    for (const Case& c : cases) {
        const VoltageFit fit = FitVoltages(*mirror, c.request);
        EXPECT_EQ(fit.status, c.status) << c.what;
        EXPECT_FALSE(fit.converged) << c.what;
        EXPECT_TRUE(fit.volts.empty()) << c.what;
        EXPECT_FALSE(FitStatusText(fit.status).empty()) << c.what;
    }
    EXPECT_NE(FitStatusText(VoltageFit::Status::NotFinite).find("too large"), std::string::npos);

    // A focus with a band of infinite samples fits as the same focus with
    // those samples missing.
    FitRequest focus;
    focus.zernike = {0, 0, 0, 0.3e-6};
    focus.bias = 150;
    const VoltageFit whole = FitVoltages(*mirror, focus);
    ASSERT_EQ(whole.status, VoltageFit::Status::Fitted);
    FitRequest withInf, withNaN;
    withInf.bias = withNaN.bias = 150;
    withInf.surface = withNaN.surface = whole.target;
    const int n = mirror->beam.n;
    for (int j = 0; j < n; ++j) {
        withInf.surface[static_cast<std::size_t>(n / 2) * n + j] = (j % 2 ? inf : -inf);
        withNaN.surface[static_cast<std::size_t>(n / 2) * n + j] = std::nan("");
    }
    const VoltageFit a = FitVoltages(*mirror, withInf);
    const VoltageFit b = FitVoltages(*mirror, withNaN);
    ASSERT_EQ(a.status, VoltageFit::Status::Fitted);
    ASSERT_EQ(b.status, VoltageFit::Status::Fitted);
    EXPECT_TRUE(a.converged);
    EXPECT_TRUE(std::isfinite(a.residualRms) && std::isfinite(a.targetRms));
    EXPECT_EQ(a.volts, b.volts);
    EXPECT_EQ(a.residualRms, b.residualRms);
    for (int j = 0; j < n; ++j)
        EXPECT_EQ(a.target[static_cast<std::size_t>(n / 2) * n + j], 0.0) << "column " << j;
    for (int k = 0; k < 19; ++k)
        EXPECT_NEAR(a.volts[k], whole.volts[k], 1.0) << "pad " << k + 1;
}

// Where the fit warnings start: a residual above 90 % of the target, more
// than half the pads at one bound, a classic deflection past a third of the
// gap; a fit that was refused has nothing to warn about.
TEST(SessionFitTest, WarningsStartAtTheirThresholds) {
    struct Case {
        const char* name;
        double residual, target; // RMS, m
        int pads, floor, ceiling;
        bool snapDown;
        SessionFit::Status status;
        std::vector<std::string> kinds;
    } cases[] = {
        {"good", 0.1e-6, 1e-6, 10, 0, 0, false, SessionFit::Status::Fitted, {}},
        {"at 90 %", 0.9e-6, 1e-6, 10, 0, 0, false, SessionFit::Status::Fitted, {}},
        {"just over 90 %", 0.901e-6, 1e-6, 10, 0, 0, false, SessionFit::Status::Fitted,
         {"fit_uncorrected"}},
        {"no target", 0.0, 0.0, 10, 0, 0, false, SessionFit::Status::Fitted, {}},
        {"half at the floor", 0.1e-6, 1e-6, 10, 5, 0, false, SessionFit::Status::Fitted, {}},
        {"most at the floor", 0.1e-6, 1e-6, 10, 6, 0, false, SessionFit::Status::Fitted,
         {"fit_bounds"}},
        {"most at the ceiling", 0.1e-6, 1e-6, 9, 0, 5, false, SessionFit::Status::Fitted,
         {"fit_bounds"}},
        {"split between both", 0.1e-6, 1e-6, 10, 4, 4, false, SessionFit::Status::Fitted, {}},
        {"snap-down", 0.1e-6, 1e-6, 10, 0, 0, true, SessionFit::Status::Fitted,
         {"fit_snap_down"}},
        {"all three", 1e-6, 1e-6, 4, 4, 0, true, SessionFit::Status::Fitted,
         {"fit_uncorrected", "fit_bounds", "fit_snap_down"}},
        {"refused", 1e-6, 1e-6, 4, 4, 0, true, SessionFit::Status::BeyondPullIn, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionFit result;
        result.status = c.status;
        result.fit.residualRms = c.residual;
        result.fit.targetRms = c.target;
        result.fit.pads = c.pads;
        for (int k = 1; k <= c.floor; ++k)
            result.fit.atFloor.push_back(k);
        for (int k = 1; k <= c.ceiling; ++k)
            result.fit.atCeiling.push_back(c.pads + 1 - k);
        result.snapDown = c.snapDown;
        result.deflectionPv = 20e-6;
        result.separation = 45e-6;
        std::vector<std::string> kinds;
        for (const FitWarning& w : SessionFitWarnings(result, FitRequest{}))
            kinds.push_back(w.kind);
        EXPECT_EQ(kinds, c.kinds);
    }
}

TEST(ZernikeTermsTest, ParsesTermsWithUnitsAndRefusesTheRest) {
    std::vector<double> c;
    std::string error;
    ASSERT_TRUE(ParseZernikeTerms("4=0.5um,6=-0.2um", c, error)) << error;
    ASSERT_EQ(c.size(), 6u);
    EXPECT_DOUBLE_EQ(c[3], 0.5e-6);
    EXPECT_DOUBLE_EQ(c[5], -0.2e-6);
    EXPECT_EQ(c[0], 0.0);
    ASSERT_TRUE(ParseZernikeTerms(" 11 = 20nm , 2=1e-7m", c, error)) << error;
    EXPECT_DOUBLE_EQ(c[10], 20e-9);
    EXPECT_DOUBLE_EQ(c[1], 1e-7);
    ASSERT_TRUE(ParseZernikeTerms("5=0.001mm", c, error));
    EXPECT_DOUBLE_EQ(c[4], 1e-6);

    for (const char* bad : {"", "4", "0=1um", "37=1um", "4=1um,4=2um", "4=0,4=0", "4=abc",
                            "4=1 furlong", "x=1um", "4=1um,,5=1um", "4=nan"}) {
        error.clear();
        EXPECT_FALSE(ParseZernikeTerms(bad, c, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    // A value without a unit could be metres or microns: refused with the
    // same message as a value that is no number, which lists the units.
    for (const char* bare : {"4=0.5", "4=-2e-7", "4=0.5um,6=3", "4=um", "4=0.5 furlongs"}) {
        error.clear();
        EXPECT_FALSE(ParseZernikeTerms(bare, c, error)) << bare;
        EXPECT_NE(error.find("is not a number with a unit (m, mm, um, nm)"), std::string::npos)
            << bare << ": " << error;
    }
}

} // namespace
} // namespace ostrander
