// Every shipped mirror through the engine as the program drives it: select,
// run the influence functions tick by tick, set voltages, synthesise and
// compute the far field.
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrander {
namespace {

using testing::EngineHarness;

struct Shipped {
    const char* file;
    RunStart start;
};

class ShippedMirrorEngine : public ::testing::TestWithParam<Shipped> {};

TEST_P(ShippedMirrorEngine, RunsAndSynthesisesTheAnalyticSurface) {
    EngineHarness h;
    SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
    ASSERT_TRUE(h.Select(std::string(DeviceFolderRelative) + GetParam().file));
    MirrorClass& mirror = *h.local.Mirror;
    const double limit = mirror.GetLimitVoltage();
    const int count = h.local.MirrorInfo->Model->Actuators;
    ASSERT_EQ(h.session.StartInfluenceRun(), GetParam().start);
    if (GetParam().start != RunStart::Started) {
        EXPECT_FALSE(h.host.IsRunTimerEnabled());
        return;
    }
    EXPECT_EQ(h.RunToEnd(), count + 1);
    ASSERT_TRUE(h.local.DisplaysValid);
    EXPECT_EQ(h.data.IFMaxVoltage, limit);

    // A pattern of pad voltages averaging about half the limit.
    for (int k = 1; k <= count; ++k)
        mirror.SetVoltage(k, limit * (0.2 + 0.06 * ((k * 37) % 11)));
    h.engine.SynthesizeSurface();
    std::vector<double> synthesised;
    for (int i = 0; i < 100; ++i)
        synthesised.insert(synthesised.end(), h.data.Surface[i], h.data.Surface[i] + 100);

    // The deflection is quadratic in each voltage and additive, so the
    // weighted influence functions must give the direct computation.
    h.engine.ComputeAnalyticSurface();
    double worst = 0, deepest = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            worst = std::max(worst, std::fabs(h.data.Surface[i][j] - synthesised[i * 100 + j]));
            deepest = std::max(deepest, std::fabs(h.data.Surface[i][j]));
        }
    EXPECT_GT(deepest, 0.1e-6);
    EXPECT_LT(deepest, h.local.MirrorInfo->Model->Separation_m); // within the gap
    EXPECT_LE(worst, 1e-12 * deepest);

    h.engine.ComputeFarField();
    ASSERT_FALSE(h.data.FarField.empty());
    EXPECT_EQ(h.host.farFieldDraws, 1);
    EXPECT_NEAR(h.engine.FitZernikeTerm(1), 0.0, 1e-6 * deepest);
    EXPECT_NEAR(h.engine.FitZernikeTerm(2), 0.0, 1e-6 * deepest);
    double energy = 0;
    for (int q = 1; q <= 2 * 256 * 256; ++q)
        energy += double(h.data.FarField[q]) * h.data.FarField[q];
    EXPECT_TRUE(std::isfinite(energy));
    EXPECT_GT(energy, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Devices, ShippedMirrorEngine,
                         ::testing::Values(Shipped{"Hex19.ini", RunStart::Started},
                                           Shipped{"Hex37.ini", RunStart::Started},
                                           Shipped{"Hex61S.ini", RunStart::Started},
                                           Shipped{"Small9.ini", RunStart::Started},
                                           Shipped{"Square36.ini", RunStart::Started},
                                           Shipped{"Ring7.ini", RunStart::RingPads},
                                           Shipped{"QuarterRing16.ini", RunStart::RingPads}),
                         [](const ::testing::TestParamInfo<Shipped>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
} // namespace ostrander
