// The influence-function run, tick by tick through a hand-driven run timer.
#include "driver/DriverClass.h"
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;
using testing::PadLayout;

ModelLayout ThreePads() {
    ModelLayout layout;
    layout.pads = {{0, 0, 1.5e-3}, {3e-3, 0, 1.5e-3}, {-1.5e-3, 2.6e-3, 1.5e-3}};
    return layout;
}

// The surface of one actuator alone at a voltage, from a separate engine.
std::vector<double> AloneSurface(const ModelLayout& layout, int displayIndex, double volts) {
    EngineHarness h;
    EXPECT_TRUE(h.Select(layout));
    h.local.Mirror->SetVoltage(displayIndex, volts);
    h.engine.PrepareGrid();
    h.engine.ComputeAnalyticSurface();
    std::vector<double> z;
    for (int i = 0; i < 100; ++i)
        z.insert(z.end(), h.data.Surface[i], h.data.Surface[i] + 100);
    return z;
}

void ExpectPlaneEquals(const Grid<double>& plane, const std::vector<double>& z) {
    double worst = 0, scale = 0;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            worst = std::max(worst, std::fabs(plane[i][j] - z[i * 100 + j]));
            scale = std::max(scale, std::fabs(z[i * 100 + j]));
        }
    EXPECT_GT(scale, 0.0);
    EXPECT_LE(worst, 1e-12 * scale);
}

TEST(InfluenceRun, OneActuatorTakesTwoTicks) {
    EngineHarness h;
    ModelLayout layout;
    layout.pads = {{0, 0, 1.5e-3}};
    layout.limitVoltage = 200;
    ASSERT_TRUE(h.Select(layout));
    h.local.Mirror->SetVoltage(1, 200);
    ASSERT_EQ(h.engine.CalculateInfluenceFunctions(), RunStart::Started);
    ASSERT_TRUE(h.host.IsRunTimerEnabled());
    EXPECT_EQ(h.data.IFCurrentActuator, -1);
    EXPECT_TRUE(h.data.IFStepReady);
    EXPECT_EQ(h.data.IFActuatorCount, 1);
    EXPECT_EQ(h.data.IFGridSize, 100);
    EXPECT_EQ(h.data.IFMaxVoltage, 200);
    const double dpad = 1.5e-3, d = layout.separation;
    EXPECT_NEAR(h.data.IFReferenceForce,
                8.854e-12 * M_PI * (dpad / 2) * (dpad / 2) * 200 * 200 / (2 * d * d), 1e-20);

    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Stepped); // computes actuator 1
    EXPECT_EQ(h.data.IFCurrentActuator, 0);
    EXPECT_TRUE(h.host.IsRunTimerEnabled());
    EXPECT_EQ(h.host.threeDDraws, 1);
    EXPECT_EQ(h.host.mirrorDisplayRefreshes, 1);
    EXPECT_EQ(h.local.Mirror->GetVoltage(1), 200);
    EXPECT_LT(h.data.SurfaceMin, 0.0);
    EXPECT_FALSE(h.local.DisplaysValid);

    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Finished); // stores it and finishes
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_FALSE(h.data.IFStepReady);
    EXPECT_EQ(h.data.IFCurrentActuator, 1);
    EXPECT_TRUE(h.local.DisplaysValid);
    ExpectPlaneEquals(h.data.InfluenceFunctions[0], AloneSurface(layout, 1, 200));

    // Further ticks do nothing.
    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Idle);
    EXPECT_EQ(h.data.IFCurrentActuator, 1);
}

TEST(InfluenceRun, EachTickStoresThePreviousActuatorAndEnergisesTheNext) {
    EngineHarness h;
    const ModelLayout layout = ThreePads();
    ASSERT_TRUE(h.Select(layout));
    h.local.Mirror->SetVoltage(2, 150);
    h.engine.CalculateInfluenceFunctions();
    for (int tick = 1; tick <= 3; ++tick) {
        SCOPED_TRACE(tick);
        h.engine.InfluenceFunctionStep();
        EXPECT_EQ(h.data.IFCurrentActuator, tick - 1);
        for (int k = 1; k <= 3; ++k) {
            EXPECT_EQ(h.local.Mirror->GetVoltage(k), k == tick ? 150.0 : 0.0);
            EXPECT_EQ(h.local.ActuatorVoltages[k - 1], k == tick ? 150.0 : 0.0);
        }
        if (tick > 1)
            ExpectPlaneEquals(h.data.InfluenceFunctions[tick - 2],
                              AloneSurface(layout, tick - 1, 150));
    }
    h.engine.InfluenceFunctionStep();
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_TRUE(h.local.DisplaysValid);
    for (int k = 1; k <= 3; ++k)
        ExpectPlaneEquals(h.data.InfluenceFunctions[k - 1], AloneSurface(layout, k, 150));
    EXPECT_EQ(h.host.threeDDraws, 3);
}

TEST(InfluenceRun, FinishingPutsEveryChannelAtTheFloorAndFillsTheInformationBox) {
    EngineHarness h;
    ModelLayout layout = ThreePads();
    layout.limitVoltage = 180;
    layout.stress = 50e6;
    layout.thickness = 1.5e-6;
    ASSERT_TRUE(h.Select(layout));
    h.host.AddInformationLine("Calculating Influence Functions.");
    h.local.Mirror->SetVoltage(1, 180);
    h.engine.CalculateInfluenceFunctions();
    EXPECT_EQ(h.RunToEnd(), 4);
    for (int k = 1; k <= 3; ++k)
        EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(k), 0.1);
    EXPECT_TRUE(h.local.VoltagesAtFloor);
    EXPECT_TRUE(h.local.DisplaysValid);
    EXPECT_TRUE(h.data.IFSavedVoltages.empty());
    ASSERT_EQ(h.host.information.size(), 38u);
    EXPECT_EQ(h.host.information[0], "Finished calculating Influence Functions.");
    EXPECT_EQ(h.host.information[1], "");
    EXPECT_EQ(h.host.information[2], "Max Voltage: 350.0 V");
    EXPECT_EQ(h.host.information[3], "Max Average Voltage: 180.0 V");
    EXPECT_EQ(h.host.information[5], "Wavelength: 1064 nm");
    EXPECT_EQ(h.host.information[6], "Tension: 75 MPa");
    EXPECT_EQ(h.host.information[14], "-- Right-click on an actuator to ");
    EXPECT_EQ(h.host.information[19], "-- When \"Remove Focus and Piston\" ");
    EXPECT_EQ(h.host.information[36], "     may vary.");
}

TEST(InfluenceRun, ASecondRequestCancelsTheRunningOne) {
    EngineHarness h;
    ASSERT_TRUE(h.Select(ThreePads()));
    h.local.Mirror->SetVoltage(1, 100);
    h.engine.CalculateInfluenceFunctions();
    h.engine.InfluenceFunctionStep();
    h.engine.InfluenceFunctionStep();
    // During the run a request only asks the run to stop.
    EXPECT_EQ(h.engine.CalculateInfluenceFunctions(), RunStart::CancelRequested);
    EXPECT_TRUE(h.data.IFCancelRequested);
    EXPECT_TRUE(h.host.IsRunTimerEnabled());

    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Cancelled);
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_TRUE(h.data.InfluenceFunctions.empty());
    EXPECT_FALSE(h.local.DisplaysValid);
    // The voltages stay as the run left them.
    EXPECT_EQ(h.local.Mirror->GetVoltage(2), 100);
    // No store: nothing to synthesise, and the cancel is reported once.
    EXPECT_EQ(h.engine.SynthesizeSurface(), SynthesisStatus::NoInfluenceFunctions);
    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Idle);

    // A new request starts a fresh run that completes.
    EXPECT_EQ(h.engine.CalculateInfluenceFunctions(), RunStart::Started);
    EXPECT_FALSE(h.data.IFCancelRequested);
    EXPECT_EQ(h.RunToEnd(), 4);
    EXPECT_TRUE(h.local.DisplaysValid);
}

TEST(InfluenceRun, ReplacingTheMirrorDuringARunCancelsIt) {
    EngineHarness h;
    ASSERT_TRUE(h.Select(ThreePads(), "three.ini"));
    h.local.Mirror->SetVoltage(1, 100);
    h.engine.CalculateInfluenceFunctions();
    h.engine.InfluenceFunctionStep();
    h.engine.InfluenceFunctionStep();
    h.engine.InfluenceFunctionStep(); // actuator 3 computed; the next tick would finish

    ModelLayout one;
    one.pads = {{0, 0, 1.5e-3}};
    ASSERT_TRUE(h.Select(one, "one.ini"));
    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Cancelled);
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_TRUE(h.data.InfluenceFunctions.empty());
    EXPECT_FALSE(h.local.DisplaysValid);
    EXPECT_FALSE(h.local.VoltagesAtFloor);
}

TEST(InfluenceRun, UnsupportedModelsAreRefusedWithTheirMessages) {
    struct Case {
        const char* name;
        int type;
        std::vector<std::string> extra;
        RunStart status;
    };
    const Case cases[] = {
        {"square pads",
         1,
         {"DcontactY_m=0.0015", "DcontactY_m=0.0015", "DcontactY_m=0.0015"},
         RunStart::Started},
        {"oblong pads",
         1,
         {"DcontactY_m=0.0015", "DcontactY_m=0.001", "DcontactY_m=0.0015"},
         RunStart::RectangularPads},
        {"ring", 2, {}, RunStart::RingPads},
        {"quarter ring", 3, {}, RunStart::RingPads},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        ModelLayout layout = ThreePads();
        layout.actuatorType = c.type;
        layout.extra = c.extra;
        ASSERT_TRUE(h.Select(layout));
        h.local.Mirror->SetVoltage(1, 100);
        EXPECT_EQ(h.engine.CalculateInfluenceFunctions(), c.status);
        if (c.status != RunStart::Started) {
            EXPECT_FALSE(h.host.IsRunTimerEnabled());
            EXPECT_TRUE(h.data.InfluenceFunctions.empty());
            EXPECT_EQ(h.local.Mirror->GetVoltage(1), 100); // nothing changed
        } else {
            EXPECT_EQ(h.RunToEnd(), 4);
            EXPECT_TRUE(h.local.DisplaysValid);
        }
    }
}

TEST(InfluenceRun, ZeroRunVoltageIsRefusedAndTheVoltagesPutBack) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads()));
    ASSERT_EQ(h.data.InfluenceFunctions.size(), 5u);
    const double* oldPlane = h.data.InfluenceFunctions[0].data();
    h.local.Mirror->SetAllChannels(0.0);
    h.local.ActuatorVoltages[0] = 42; // the engine's copy disagrees with the mirror
    EXPECT_EQ(h.engine.CalculateInfluenceFunctions(), RunStart::ZeroRunVoltage);
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_EQ(h.local.ActuatorVoltages[0], 0.0);
    EXPECT_EQ(h.local.Mirror->GetVoltage(1), 0.0);
    EXPECT_TRUE(h.data.IFSavedVoltages.empty());
    // The old store stays.
    ASSERT_EQ(h.data.InfluenceFunctions.size(), 5u);
    EXPECT_EQ(h.data.InfluenceFunctions[0].data(), oldPlane);
}

TEST(InfluenceRun, NegativeVoltagesOnlyGiveANegativeRunVoltage) {
    EngineHarness h;
    const ModelLayout layout = ThreePads();
    ASSERT_TRUE(h.Select(layout));
    h.local.Mirror->GetDriver()->GetInfo()->MinVoltage = -350; // a bipolar driver
    h.local.Mirror->SetVoltage(1, -120);
    h.local.Mirror->SetVoltage(2, -80);
    h.local.Mirror->SetVoltage(3, -200);
    h.engine.CalculateInfluenceFunctions();
    EXPECT_EQ(h.data.IFMaxVoltage, -80);
    EXPECT_EQ(h.RunToEnd(), 4);
    EXPECT_TRUE(h.local.DisplaysValid);
    // The force goes with the square of the voltage: each plane is the
    // actuator alone at +80 V as much as at -80 V.
    for (int k = 1; k <= 3; ++k)
        ExpectPlaneEquals(h.data.InfluenceFunctions[k - 1], AloneSurface(layout, k, 80));
}

TEST(InfluenceRun, AModelWithoutActuatorsNeverStarts) {
    EngineHarness h;
    ModelLayout layout; // no pads
    h.Select(layout);
    EXPECT_EQ(h.engine.CalculateInfluenceFunctions(), RunStart::NoActuators);
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_TRUE(h.data.InfluenceFunctions.empty());
    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Idle);
    EXPECT_FALSE(h.local.DisplaysValid);
}

TEST(InfluenceRun, NothingHappensWithoutAMirror) {
    EngineHarness h;
    EXPECT_EQ(h.engine.CalculateInfluenceFunctions(), RunStart::NoMirror);
    EXPECT_EQ(h.engine.StartInfluenceFunctions(), RunStart::NoMirror);
    EXPECT_EQ(h.engine.InfluenceFunctionStep(), RunTick::Idle);
    h.engine.StopInfluenceFunctions();
    EXPECT_FALSE(h.host.IsRunTimerEnabled());
    EXPECT_TRUE(h.data.InfluenceFunctions.empty());
}

TEST(InfluenceRun, ARepeatedRunOnTheSameMirrorEnergisesOneActuatorAtATime) {
    // After a run every channel sits at 0.1 V; a second run must still
    // compute each actuator alone.
    EngineHarness h;
    const ModelLayout layout = ThreePads();
    ASSERT_TRUE(h.LoadAndRun(layout));
    h.local.Mirror->SetVoltage(1, 300);
    h.engine.CalculateInfluenceFunctions();
    EXPECT_EQ(h.RunToEnd(), 4);
    for (int k = 1; k <= 3; ++k)
        ExpectPlaneEquals(h.data.InfluenceFunctions[k - 1], AloneSurface(layout, k, 300));
}

TEST(InfluenceRun, IdlePassesBetweenTicksDoNotDisturbASecondRun) {
    // The idle pass synthesises and corrects the surface while results are
    // valid; a new run must stop that until its store is complete.
    EngineHarness h;
    const ModelLayout layout = ThreePads();
    ASSERT_TRUE(h.LoadAndRun(layout));
    auto idlePass = [&] {
        if (h.local.DisplaysValid) {
            h.engine.SynthesizeSurface();
            h.engine.ComputeFarField();
        }
    };
    h.local.Mirror->SetAllChannels(0);
    h.local.Mirror->SetVoltage(2, 250);
    h.engine.CalculateInfluenceFunctions();
    EXPECT_FALSE(h.local.DisplaysValid);
    while (h.host.IsRunTimerEnabled()) {
        idlePass();
        h.engine.InfluenceFunctionStep();
    }
    ASSERT_TRUE(h.local.DisplaysValid);
    for (int k = 1; k <= 3; ++k)
        ExpectPlaneEquals(h.data.InfluenceFunctions[k - 1], AloneSurface(layout, k, 250));
}

} // namespace
} // namespace ostrander
