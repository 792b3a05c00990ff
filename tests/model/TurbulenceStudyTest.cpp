// The turbulence study on a 19-pad mirror whose influence functions the
// session computed: a wavefront the mirror can make is corrected to nothing,
// the screens carry the theory's wavefront error, the voltage bounds hold
// when the turbulence is too strong, the numbers repeat, and bad settings,
// a mirror without influence functions and cancelling are statuses.
#include "ModelFixture.h"

#include "model/SessionFit.h"
#include "model/TurbulenceStudy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
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

class TurbulenceStudyTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.session.UseMembraneModel(GetParam()));
        ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
    }
    bool Exact() const { return std::string(GetParam()) == "exact"; }

    static TurbulenceSettings Settings(std::vector<double> dr0, int screens, std::optional<double> bias) {
        TurbulenceSettings s;
        s.dOverR0 = std::move(dr0);
        s.screens = screens;
        s.seed = 3;
        s.bias = bias;
        return s;
    }

    std::vector<ScreenCorrection> RunAll(TurbulenceStudy& study) {
        EXPECT_EQ(study.Prepare(), TurbulenceStudy::Status::Ready) << study.Problem();
        std::vector<ScreenCorrection> out;
        while (std::optional<ScreenCorrection> c = study.Step())
            out.push_back(std::move(*c));
        EXPECT_EQ(study.GetStatus(), TurbulenceStudy::Status::Finished);
        return out;
    }

    EngineHarness h;
};

TEST_P(TurbulenceStudyTest, AWavefrontTheMirrorCanMakeIsCorrectedToNothing) {
    // Twice the surface change that known voltages about the bias make: the
    // mirror's half-amplitude surface takes it out entirely.
    const double bias = 90.0; // well clear of pull-in (near 160 V on every pad)
    const std::optional<FitMirror> m = FitMirrorOf(h.session);
    ASSERT_TRUE(m);
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> volts(bias - 25, bias + 25);
    std::vector<double> wavefront(m->beam.Points(), 0.0);
    for (std::size_t k = 0; k < m->response.size(); ++k) {
        if (m->response[k].empty())
            continue;
        const double v = volts(rng);
        const double w = (v - m->surfaceVolts) * (v - m->surfaceVolts) -
                         (bias - m->surfaceVolts) * (bias - m->surfaceVolts);
        for (std::size_t p = 0; p < wavefront.size(); ++p)
            wavefront[p] += 2.0 * w * m->response[k][p];
    }
    TurbulenceStudy study(h.session, Settings({1.0}, 1, bias));
    ASSERT_EQ(study.Prepare(), TurbulenceStudy::Status::Ready) << study.Problem();
    const std::optional<ScreenCorrection> c = study.CorrectWavefront(wavefront);
    ASSERT_TRUE(c);
    EXPECT_GT(c->inputRms, 50e-9);
    EXPECT_LT(c->residualRms, 1e-6 * c->inputRms);
    EXPECT_NEAR(c->strehl, 1.0, 1e-6);
    EXPECT_NEAR(c->marechal, 1.0, 1e-9);
    EXPECT_EQ(c->padsAtBounds, 0);
    EXPECT_FALSE(c->saturated);
    EXPECT_EQ(std::isnan(c->pullInFactor), !Exact());
    ASSERT_TRUE(c->kept);
    // The kept surface is half the wavefront over the beam, up to piston.
    const EngineGrid& g = m->beam;
    const std::size_t centre = g.Index(g.n / 2, g.n / 2), edge = g.Index(g.n / 2 + 20, g.n / 2 - 10);
    EXPECT_NEAR(c->kept->surface[centre] - c->kept->surface[edge],
                0.5 * (wavefront[centre] - wavefront[edge]), 1e-6 * c->inputRms);
}

TEST(TurbulenceStudyScreens, ScreensCarryTheTheorysWavefrontError) {
    // (On the classic model: the screens and their scaling do not depend on
    // the model, and the exact model's pull-in solves take long.) The mean variance of the uncorrected screens over the beam (piston
    // removed) is Noll's 1.0299 (D/r0)^(5/3) rad^2, D the beam's diameter and
    // r0 at the study's wavelength; a weak screen is well corrected, with the
    // far-field Strehl ratio close to the Marechal estimate.
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
    TurbulenceSettings s;
    s.dOverR0 = {0.5, 3.0};
    s.screens = 80;
    s.bias = 90.0;
    TurbulenceStudy study(h.session, s);
    ASSERT_EQ(study.Prepare(), TurbulenceStudy::Status::Ready);
    std::vector<ScreenCorrection> all;
    while (std::optional<ScreenCorrection> c = study.Step())
        all.push_back(std::move(*c));
    ASSERT_EQ(all.size(), 160u);
    const double k = 2 * std::numbers::pi / s.wavelength;
    const std::vector<TurbulencePoint> points = study.Points();
    ASSERT_EQ(points.size(), 2u);
    for (const TurbulencePoint& p : points) {
        SCOPED_TRACE(p.dOverR0);
        double variance = 0.0;
        for (const ScreenCorrection& c : all)
            if (c.dOverR0 == p.dOverR0)
                variance += std::pow(k * c.inputRms, 2) / p.screens;
        EXPECT_NEAR(variance / (1.0299 * std::pow(p.dOverR0, 5.0 / 3.0)), 1.0, 0.2);
        EXPECT_LT(p.residualRmsMean, p.inputRmsMean);
    }
    EXPECT_GT(points[0].strehlMean, 0.8);
    EXPECT_NEAR(points[0].strehlMean, points[0].marechalMean, 0.05);
    EXPECT_LT(points[1].strehlMean, points[0].strehlMean);
}

TEST_P(TurbulenceStudyTest, StrongTurbulenceSaturatesWithinTheBounds) {
    TurbulenceStudy study(h.session, Settings({40.0}, 6, 150.0));
    const std::vector<ScreenCorrection> all = RunAll(study);
    const std::optional<FitMirror> m = FitMirrorOf(h.session);
    ASSERT_TRUE(m);
    int saturated = 0;
    for (const ScreenCorrection& c : all) {
        ASSERT_FALSE(c.volts.empty());
        for (std::size_t k = 0; k < c.volts.size(); ++k) {
            if (m->response[k].empty())
                continue;
            EXPECT_GE(c.volts[k], m->floorVolts - 1e-9);
            EXPECT_LE(c.volts[k], m->maxVolts + 1e-9);
        }
        saturated += c.saturated;
        EXPECT_EQ(c.saturated, c.padsAtBounds > 0 || c.meanRuleActive || c.snapDown ||
                                   (Exact() && !(c.pullInFactor >= kTurbulencePullInMargin)));
    }
    EXPECT_EQ(saturated, 6);
    EXPECT_EQ(study.Points().front().saturatedFraction, 1.0);
    EXPECT_FALSE(study.FittingCoefficient()); // no unsaturated point to fit
}

TEST_P(TurbulenceStudyTest, NumbersRepeatAndEachDOverR0StandsAlone) {
    // The same settings give the same numbers; a D/r0 gives the same numbers
    // beside other values as alone; the best bias is found the same way.
    TurbulenceStudy a(h.session, Settings({2.0, 6.0}, 3, std::nullopt));
    TurbulenceStudy b(h.session, Settings({2.0, 6.0}, 3, std::nullopt));
    const auto ra = RunAll(a), rb = RunAll(b);
    ASSERT_EQ(ra.size(), 6u);
    EXPECT_TRUE(a.BiasFound());
    EXPECT_GT(a.BiasCandidates().size(), 1u);
    EXPECT_EQ(a.Bias(), b.Bias());
    const auto same = [](const ScreenCorrection& x, const ScreenCorrection& y) {
        EXPECT_EQ(x.residualRms, y.residualRms);
        EXPECT_EQ(x.inputRms, y.inputRms);
        EXPECT_EQ(x.strehl, y.strehl);
        EXPECT_EQ(x.volts, y.volts);
        EXPECT_EQ(x.padsAtBounds, y.padsAtBounds);
        EXPECT_TRUE(x.pullInFactor == y.pullInFactor || (std::isnan(x.pullInFactor) && std::isnan(y.pullInFactor)));
    };
    for (std::size_t k = 0; k < ra.size(); ++k)
        same(ra[k], rb[k]);
    // Alone, 6 would be the D/r0 whose screens choose the bias: give it the
    // bias the pair found, so that only the screens can differ.
    TurbulenceStudy given(h.session, Settings({6.0}, 3, a.Bias()));
    const auto rg = RunAll(given);
    for (std::size_t k = 0; k < 3; ++k)
        same(ra[3 + k], rg[k]);
    EXPECT_NE(ra[0].inputRms, ra[3].inputRms);
}

TEST_P(TurbulenceStudyTest, CancellingStopsTheStudy) {
    TurbulenceStudy study(h.session, Settings({4.0}, 5, 150.0));
    ASSERT_EQ(study.Prepare(), TurbulenceStudy::Status::Ready);
    ASSERT_TRUE(study.Step());
    EXPECT_FALSE(study.Step([] { return true; }));
    EXPECT_EQ(study.GetStatus(), TurbulenceStudy::Status::Cancelled);
    EXPECT_FALSE(study.Step());
    EXPECT_EQ(study.Done(), 1);
    TurbulenceStudy finding(h.session, Settings({4.0}, 5, std::nullopt));
    EXPECT_EQ(finding.Prepare([] { return true; }), TurbulenceStudy::Status::Cancelled);
}

TEST_P(TurbulenceStudyTest, WhatTakeMirrorTookOutlivesTheSessionsMirror) {
    // A window takes the mirror on its own thread and prepares elsewhere:
    // once taken, the session may let its mirror go and the study gives the
    // numbers it gives on the mirror as it was.
    TurbulenceStudy direct(h.session, Settings({3.0}, 2, std::nullopt));
    const auto expected = RunAll(direct);
    TurbulenceStudy taken(h.session, Settings({3.0}, 2, std::nullopt));
    ASSERT_EQ(taken.TakeMirror(), TurbulenceStudy::Status::NotPrepared);
    EXPECT_EQ(taken.Pads(), direct.Pads());
    EXPECT_EQ(taken.ActuatorPitch(), direct.ActuatorPitch());
    h.session.ReleaseMirror();
    const auto got = RunAll(taken);
    EXPECT_EQ(taken.Bias(), direct.Bias());
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        EXPECT_EQ(got[k].residualRms, expected[k].residualRms);
        EXPECT_EQ(got[k].volts, expected[k].volts);
    }
    // Without the mirror, the next Prepare reads the session again and says so.
    EXPECT_EQ(taken.Prepare(), TurbulenceStudy::Status::NoInfluenceFunctions);
    EXPECT_EQ(taken.TakeMirror(), TurbulenceStudy::Status::NoInfluenceFunctions);
}

INSTANTIATE_TEST_SUITE_P(Models, TurbulenceStudyTest, ::testing::Values("classic", "exact"));

TEST(TurbulenceStudyRefusals, BadSettingsAndMirrorsAreStatuses) {
    EngineHarness h;
    {
        TurbulenceSettings s;
        s.dOverR0 = {1.0};
        TurbulenceStudy study(h.session, s);
        EXPECT_EQ(study.Prepare(), TurbulenceStudy::Status::NoInfluenceFunctions);
        EXPECT_FALSE(study.Step());
    }
    ASSERT_TRUE(h.LoadAndRun(NineteenPads()));
    struct Case {
        const char* name;
        void (*change)(TurbulenceSettings&);
        TurbulenceStudy::Status status;
    };
    const Case cases[] = {
        {"no D/r0", [](TurbulenceSettings& s) { s.dOverR0.clear(); }, TurbulenceStudy::Status::BadSettings},
        {"D/r0 of 0", [](TurbulenceSettings& s) { s.dOverR0 = {1.0, 0.0}; }, TurbulenceStudy::Status::BadSettings},
        {"negative D/r0", [](TurbulenceSettings& s) { s.dOverR0 = {-2.0}; }, TurbulenceStudy::Status::BadSettings},
        {"D/r0 not a number", [](TurbulenceSettings& s) { s.dOverR0 = {std::nan("")}; }, TurbulenceStudy::Status::BadSettings},
        {"no screens", [](TurbulenceSettings& s) { s.screens = 0; }, TurbulenceStudy::Status::BadSettings},
        {"zero outer scale", [](TurbulenceSettings& s) { s.outerScale = 0; }, TurbulenceStudy::Status::BadSettings},
        {"zero wavelength", [](TurbulenceSettings& s) { s.wavelength = 0; }, TurbulenceStudy::Status::BadSettings},
        {"negative keep", [](TurbulenceSettings& s) { s.keep = -1; }, TurbulenceStudy::Status::BadSettings},
        {"bias past the limit", [](TurbulenceSettings& s) { s.bias = 1000.0; }, TurbulenceStudy::Status::NoBias},
        {"bias below the floor", [](TurbulenceSettings& s) { s.bias = -5.0; }, TurbulenceStudy::Status::NoBias},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TurbulenceSettings s;
        s.dOverR0 = {1.0};
        s.screens = 2;
        c.change(s);
        TurbulenceStudy study(h.session, s);
        EXPECT_EQ(study.Prepare(), c.status);
        EXPECT_FALSE(study.Problem().empty());
        EXPECT_FALSE(study.Step());
        EXPECT_EQ(study.Done(), 0);
    }
}

} // namespace
} // namespace ostrander
