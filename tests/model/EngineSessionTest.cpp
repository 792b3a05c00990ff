// The session's operations and the statuses they return, with no dialog
// service installed and no window: selecting, the run and its refusals,
// cancel, the idle pass with its floor rule, recalculation, applying voltages.
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "driver/VoltageLimits.h"
#include "model/MembraneModel.h"
#include "tests/model/ModelFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace ostrander {
namespace {

using testing::EngineHarness;
using testing::ModelLayout;

ModelLayout ThreePads(double limitVoltage = 200) {
    ModelLayout layout;
    layout.limitVoltage = limitVoltage;
    layout.pads = {{0, 0, 1.5e-3}, {3e-3, 0, 1.5e-3}, {-1.5e-3, 2.6e-3, 1.5e-3}};
    return layout;
}

TEST(EngineSession, SelectingReportsWhatTheFileHolds) {
    EngineHarness h;
    const std::string good = h.devices.Write("good.ini", MirrorText(ThreePads()));
    const std::string notInfo = h.devices.Write("text.ini", "just some text\n");
    const std::string missing = std::string(DeviceFolderRelative) + "none.ini";

    EXPECT_EQ(h.session.SelectMirror(4, good), MirrorSelection::Selected);
    EXPECT_EQ(h.local.MirrorIndex, 4);
    ASSERT_NE(h.local.Mirror, nullptr);
    EXPECT_EQ(h.local.ActuatorVoltageCount, 3);

    for (const std::string& file : {notInfo, missing}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(h.session.SelectMirror(5, file), MirrorSelection::NotMirrorInfo);
        // The description and mirror are kept (the windows show "no mirror").
        EXPECT_EQ(h.local.MirrorIndex, 5);
        EXPECT_EQ(h.local.ActuatorVoltageCount, 0);
        EXPECT_EQ(h.session.StartInfluenceRun(), RunStart::NoMirror);
        EXPECT_FALSE(h.session.IsRunning());
    }
}

TEST(EngineSession, SelectingInvalidatesTheResultsOfTheMirrorBefore) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads()));
    ASSERT_TRUE(h.local.DisplaysValid);
    ASSERT_TRUE(h.Select(ThreePads(), "again.ini"));
    EXPECT_FALSE(h.local.DisplaysValid);
    EXPECT_EQ(h.local.Mirror->GetVoltage(1), 0.0);
}

TEST(EngineSession, StartingPutsActuatorOneAtTheLimitAsTheRunVoltage) {
    struct Case {
        const char* name;
        double limit;   // V, from the file
        double applied; // V, what the mirror's rules let actuator 1 hold
    };
    // A limit above the 350 V ceiling is clipped to it.
    for (const Case c :
         {Case{"below the ceiling", 180, 180}, Case{"above", 400, kCeilingVoltage}}) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        ASSERT_TRUE(h.Select(ThreePads(c.limit)));
        ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
        EXPECT_TRUE(h.session.IsRunning());
        EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(1), c.applied);
        EXPECT_DOUBLE_EQ(h.local.ActuatorVoltages[0], c.applied);
        EXPECT_DOUBLE_EQ(h.data.IFMaxVoltage, c.applied);
        ASSERT_FALSE(h.data.Surface.empty()); // the grid is prepared
        EXPECT_EQ(h.data.GridSize, DMModelMain::kGridSize);
    }
}

TEST(EngineSession, RefusedRunsSayWhyAndChangeNothing) {
    struct Case {
        const char* name;
        ModelLayout layout;
        RunStart status;
    };
    ModelLayout oblong = ThreePads();
    oblong.actuatorType = 1;
    oblong.extra = {"DcontactY_m=0.0015", "DcontactY_m=0.001", "DcontactY_m=0.0015"};
    ModelLayout ring = ThreePads();
    ring.actuatorType = 2;
    ModelLayout quarterRing = ThreePads();
    quarterRing.actuatorType = 3;
    ModelLayout empty;
    ModelLayout noVolts = ThreePads(0);
    const Case cases[] = {
        {"oblong pads", oblong, RunStart::RectangularPads},
        {"ring", ring, RunStart::RingPads},
        {"quarter ring", quarterRing, RunStart::RingPads},
        {"no actuators", empty, RunStart::NoActuators},
        {"zero limit voltage", noVolts, RunStart::ZeroRunVoltage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.Select(c.layout);
        EXPECT_EQ(h.session.StartInfluenceRun(), c.status);
        EXPECT_FALSE(h.session.IsRunning());
        EXPECT_TRUE(h.data.InfluenceFunctions.empty());
        EXPECT_TRUE(h.data.IFSavedVoltages.empty());
        EXPECT_EQ(h.session.Tick(), RunTick::Idle);
        EXPECT_EQ(h.session.RunToEnd(), RunTick::Idle);
        EXPECT_FALSE(h.local.DisplaysValid);
    }
}

TEST(EngineSession, WithoutAMirrorEveryOperationSaysSo) {
    EngineHarness h;
    EXPECT_EQ(h.session.StartInfluenceRun(), RunStart::NoMirror);
    EXPECT_EQ(h.session.Tick(), RunTick::Idle);
    EXPECT_EQ(h.session.Cancel(), CancelRequest::NoRun);
    const IdlePassResult idle = h.session.IdlePass();
    EXPECT_EQ(idle.floor, VoltageFloor::NoMirror);
    EXPECT_FALSE(idle.recalculated);
    EXPECT_EQ(idle.pictures, kMirrorMap); // the empty map is still refreshed
    EXPECT_EQ(h.session.Recalculate().status, Recalculation::NoMirror);
    EXPECT_FALSE(h.session.ApplyVoltages({}).applied);
    EXPECT_FALSE(h.session.SetSeparation(1e-5));
    EXPECT_FALSE(h.session.SetStress(1e6));
}

TEST(EngineSession, RunToEndFinishesWithOneTickPerActuatorAndOneMore) {
    EngineHarness h;
    ASSERT_TRUE(h.Select(ThreePads()));
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    std::vector<std::pair<int, int>> progress;
    EXPECT_EQ(h.session.RunToEnd([&](int done, int total) { progress.emplace_back(done, total); }),
              RunTick::Finished);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}, {3, 3}}));
    EXPECT_FALSE(h.session.IsRunning());
    EXPECT_TRUE(h.local.DisplaysValid);
    EXPECT_TRUE(h.local.VoltagesAtFloor);
    for (int k = 1; k <= 3; ++k)
        EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(k), kFloorVoltage);
}

TEST(EngineSession, CancelEndsTheRunAtTheNextTick) {
    EngineHarness h;
    ASSERT_TRUE(h.Select(ThreePads()));
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    EXPECT_EQ(h.session.Tick(), RunTick::Stepped);
    EXPECT_EQ(h.session.Cancel(), CancelRequest::Requested);
    EXPECT_TRUE(h.session.IsRunning());
    EXPECT_EQ(h.session.Tick(), RunTick::Cancelled);
    EXPECT_FALSE(h.session.IsRunning());
    EXPECT_TRUE(h.data.InfluenceFunctions.empty());
    EXPECT_FALSE(h.local.DisplaysValid);
    EXPECT_EQ(h.session.Cancel(), CancelRequest::NoRun);

    // Loading during a run asks it to stop; the tick that cancels it starts
    // the new run, which then runs to the end.
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    EXPECT_EQ(h.session.Tick(), RunTick::Stepped);
    EXPECT_EQ(h.session.StartInfluenceRun(), RunStart::CancelRequested);
    EXPECT_EQ(h.session.Tick(), RunTick::Cancelled);
    EXPECT_EQ(h.session.TakeRestartedRun(), RunStart::Started);
    EXPECT_EQ(h.session.TakeRestartedRun(), std::nullopt);
    EXPECT_TRUE(h.session.IsRunning());
    EXPECT_EQ(h.session.RunToEnd(), RunTick::Finished);
    EXPECT_TRUE(h.local.DisplaysValid);
}

TEST(EngineSession, IdlePassKeepsTheFloorAndRedrawsWhileResultsAreValid) {
    EngineHarness h;
    ASSERT_TRUE(h.Select(ThreePads()));

    // Before the results are valid: the floor rule and the map only.
    h.local.Mirror->SetAllChannels(0.0);
    IdlePassResult idle = h.session.IdlePass();
    EXPECT_EQ(idle.floor, VoltageFloor::AtFloor);
    EXPECT_FALSE(idle.recalculated);
    EXPECT_EQ(idle.pictures, kMirrorMap);
    for (int k = 1; k <= 3; ++k)
        EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(k), kFloorVoltage);

    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(h.session.RunToEnd(), RunTick::Finished);

    // All at 0 V: the pass puts every channel at the floor and redraws the
    // surface of 0.1 V on every actuator.
    h.local.Mirror->SetAllChannels(0.0);
    const int farFieldDraws = h.host.farFieldDraws;
    idle = h.session.IdlePass();
    EXPECT_EQ(idle.floor, VoltageFloor::AtFloor);
    EXPECT_TRUE(h.local.VoltagesAtFloor);
    for (int k = 1; k <= 3; ++k)
        EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(k), kFloorVoltage);
    EXPECT_EQ(h.local.PeakVoltage, 0.0); // read before the floor is set
    ASSERT_TRUE(idle.recalculated);
    EXPECT_EQ(idle.recalculation.status, Recalculation::Done);
    EXPECT_EQ(idle.pictures, kMirrorMap | kResultPictures);
    EXPECT_EQ(h.host.farFieldDraws, farFieldDraws + 1);

    // One actuator above the floor: the others keep their voltages.
    h.local.Mirror->SetVoltage(2, 140);
    idle = h.session.IdlePass();
    EXPECT_EQ(idle.floor, VoltageFloor::AboveFloor);
    EXPECT_FALSE(h.local.VoltagesAtFloor);
    EXPECT_DOUBLE_EQ(h.local.PeakVoltage, 140);
    EXPECT_DOUBLE_EQ(h.local.PeakVoltageFraction, 140 / kCeilingVoltage);
    EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(1), kFloorVoltage);
    EXPECT_EQ(idle.recalculation.status, Recalculation::Done);
}

TEST(EngineSession, IdlePassesComputeAndRedrawOnlyWhenSomethingChanged) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads()));
    h.local.Mirror->SetVoltage(1, 60);
    ASSERT_TRUE(h.session.IdlePass().recalculated);

    // Nothing changed: no recalculation, no picture, no far field.
    int farFieldDraws = h.host.farFieldDraws;
    for (int pass = 0; pass < 3; ++pass) {
        const IdlePassResult idle = h.session.IdlePass();
        EXPECT_FALSE(idle.recalculated);
        EXPECT_EQ(idle.pictures, kNoPictures);
    }
    EXPECT_EQ(h.host.farFieldDraws, farFieldDraws);

    // Each thing the results are made from brings one recalculation back.
    struct Case {
        const char* name;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"a voltage", [&] { h.local.Mirror->SetVoltage(2, 80); }},
        {"another pad", [&] { h.local.Mirror->SetVoltage(3, 10); }},
        {"remove focus", [&] { h.local.RemoveFocus = true; }},
        {"the focus slider", [&] { h.local.FocusAdjust = 0.5; }},
        {"the zoom", [&] { h.local.FarFieldZoom = 4; }},
        {"the beam", [&] { h.local.BeamFraction = 0.5; }},
        {"marked stale", [&] { h.session.MarkResultsStale(); }},
        {"a voltage back to what it was", [&] { h.local.Mirror->SetVoltage(2, 0.1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        farFieldDraws = h.host.farFieldDraws;
        c.change();
        const IdlePassResult changed = h.session.IdlePass();
        EXPECT_TRUE(changed.recalculated);
        EXPECT_EQ(changed.recalculation.status, Recalculation::Done);
        EXPECT_EQ(changed.pictures, kMirrorMap | kResultPictures);
        EXPECT_EQ(h.host.farFieldDraws, farFieldDraws + 1);
        EXPECT_EQ(h.session.IdlePass().pictures, kNoPictures);
    }

    // A changed parameter invalidates the results: the map is redrawn once,
    // then the passes are quiet until a new run makes the results valid.
    ASSERT_TRUE(h.session.SetStress(h.local.MirrorInfo->Model->Stress_Pa * 2));
    EXPECT_EQ(h.session.IdlePass().pictures, kMirrorMap);
    EXPECT_EQ(h.session.IdlePass().pictures, kNoPictures);
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(h.session.RunToEnd(), RunTick::Finished);
    EXPECT_TRUE(h.session.IdlePass().recalculated);
    EXPECT_EQ(h.session.IdlePass().pictures, kNoPictures);
}

TEST(EngineSession, RecalculationNeedsAVoltageAboveZero) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads()));
    h.local.Mirror->SetAllChannels(0.0);
    const int farFieldDraws = h.host.farFieldDraws;
    const RecalculationResult none = h.session.Recalculate();
    EXPECT_EQ(none.status, Recalculation::NoVoltage);
    EXPECT_EQ(none.pictures, kNoPictures);
    EXPECT_EQ(h.host.farFieldDraws, farFieldDraws);
    // Noting the voltages alone leaves them as they are.
    EXPECT_EQ(h.session.NoteVoltages(), VoltageFloor::AtFloor);
    EXPECT_EQ(h.local.Mirror->GetVoltage(1), 0.0);
    // ComputeResults works from any voltages: all at 0 V give a flat surface.
    EXPECT_EQ(h.session.ComputeResults().status, Recalculation::Done);
    EXPECT_EQ(h.data.Surface[50][50], 0.0);
}

TEST(EngineSession, AChangedParameterInvalidatesTheResultsAndIsReportedOnce) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads()));
    const double gap = h.local.MirrorInfo->Model->Separation_m;
    // The value as it comes back through the edit box is no change.
    EXPECT_FALSE(h.session.SetSeparation(gap * (1 + 1e-12)));
    EXPECT_TRUE(h.local.DisplaysValid);

    EXPECT_TRUE(h.session.SetSeparation(gap * 2));
    EXPECT_DOUBLE_EQ(h.local.MirrorInfo->Model->Separation_m, gap * 2);
    EXPECT_FALSE(h.local.DisplaysValid);
    EXPECT_FALSE(h.session.IdlePass().recalculated);
    EXPECT_TRUE(h.session.Recalculate().parameterChanged);
    EXPECT_FALSE(h.session.Recalculate().parameterChanged);

    EXPECT_TRUE(h.session.SetStress(3e6));
    EXPECT_DOUBLE_EQ(h.local.MirrorInfo->Model->Stress_Pa, 3e6);
    EXPECT_TRUE(h.data.MirrorParameterChanged);
    // A new run matches the model again.
    ASSERT_EQ(h.session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(h.session.RunToEnd(), RunTick::Finished);
    EXPECT_FALSE(h.session.Recalculate().parameterChanged);
}

TEST(EngineSession, ApplyingVoltagesStartsFromTheFloorAndCountsWhatTheRulesChanged) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads(300)));
    h.local.Mirror->SetAllChannels(77);

    VoltageListClass pattern;
    pattern.Append(3, 60);
    VoltageRequest request;
    request.all = 50;
    request.pattern = &pattern;
    // 400 V is above the ceiling; actuator 9 does not exist.
    request.single = {{2, 400}, {9, 10}};
    const AppliedVoltages applied = h.session.ApplyVoltages(request);
    ASSERT_TRUE(applied.applied);
    EXPECT_EQ(applied.requested, 3);
    EXPECT_EQ(applied.changedByRules, 1);
    EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(1), 50);
    EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(2), kCeilingVoltage);
    EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(3), 60);

    // Nothing asked: every channel at the floor.
    const AppliedVoltages nothing = h.session.ApplyVoltages({});
    EXPECT_TRUE(nothing.applied);
    EXPECT_EQ(nothing.requested, 0);
    for (int k = 1; k <= 3; ++k)
        EXPECT_DOUBLE_EQ(h.local.Mirror->GetVoltage(k), kFloorVoltage);
}

// A model that takes every actuator, counts what the session asks of it and
// computes nothing.
class CountingModel : public MembraneModel {
public:
    std::string_view Name() const override { return "counting"; }
    RunStart CheckActuators(const DMInfoClass&) const override { return RunStart::Started; }
    void ComputeSurface(DMModelMain& engine) override {
        ++surfaces;
        engine.PrepareGrid();
    }
    SynthesisStatus Synthesize(DMModelMain&) override {
        ++syntheses;
        return SynthesisStatus::Done;
    }
    int surfaces = 0;
    int syntheses = 0;
};

TEST(EngineSession, TheMembraneModelIsAChoice) {
    EngineHarness h;
    EXPECT_EQ(h.session.MembraneModelName(), "classic");
    EXPECT_FALSE(h.session.UseMembraneModel("no such model"));
    EXPECT_EQ(h.session.MembraneModelName(), "classic");
    EXPECT_TRUE(h.session.UseMembraneModel("classic"));

    // The run computes each actuator through the model the engine is given,
    // and that model decides which actuators it can take: the ring pads the
    // analytic model refuses run here.
    CountingModel counting;
    h.engine.SetMembraneModel(&counting);
    ModelLayout ring = ThreePads();
    ring.actuatorType = 2;
    ASSERT_TRUE(h.LoadAndRun(ring));
    EXPECT_EQ(counting.surfaces, 3);
    EXPECT_EQ(h.data.InfluenceFunctions[0][50][50], 0.0);
}

std::vector<double> VoltsOf(EngineHarness& h, int n) {
    std::vector<double> v;
    for (int k = 1; k <= n; ++k)
        v.push_back(h.local.Mirror->GetVoltage(k));
    return v;
}

// A snapshot comes back exactly, also one the mean rule holds only with the
// membrane electrode at its voltage first (pads first would be cut); one of
// another mirror or an unknown model changes nothing.
TEST(EngineSession, ASnapshotComesBackUnderTheRules) {
    EngineHarness h;
    ModelLayout layout = ThreePads(100);
    layout.pads.push_back({0, -2.6e-3, 1.5e-3, 0, true});
    ASSERT_TRUE(h.Select(layout));
    ASSERT_EQ(h.session.MembraneElectrode(), 4);
    const std::vector<double> wanted{150, 150, 150, 90};
    const SessionSnapshot snapshot{h.local.MirrorGeneration, "classic", wanted};

    const SnapshotRestore restored = h.session.Restore(snapshot);
    ASSERT_TRUE(restored.restored);
    EXPECT_FALSE(restored.modelChanged);
    EXPECT_EQ(restored.voltages.changedByRules, 0);
    EXPECT_EQ(VoltsOf(h, 4), wanted);
    EXPECT_EQ(h.session.Snapshot(), snapshot);

    for (const SessionSnapshot& other :
         {SessionSnapshot{snapshot.mirror + 1, "classic", {1, 2, 3, 4}},
          SessionSnapshot{snapshot.mirror, "no such model", {1, 2, 3, 4}}}) {
        EXPECT_FALSE(h.session.Restore(other).restored);
        EXPECT_EQ(VoltsOf(h, 4), wanted);
    }
}

// Another model reruns the influence functions; the voltages come back when
// the run ends, and TakeKeptVoltages tells once what setting them did.
TEST(EngineSession, SwitchingTheModelKeepsTheVoltagesForTheEndOfItsRun) {
    EngineHarness h;
    ASSERT_TRUE(h.LoadAndRun(ThreePads()));
    const std::vector<double> held{30, 0.1, 55.5};
    ASSERT_TRUE(h.session.Restore({h.local.MirrorGeneration, "classic", held}).restored);

    const SnapshotRestore switched = h.session.SwitchMembraneModel("exact");
    ASSERT_TRUE(switched.restored);
    EXPECT_TRUE(switched.modelChanged);
    ASSERT_EQ(switched.run, std::optional<RunStart>(RunStart::Started));
    EXPECT_TRUE(switched.voltagesAfterRun);
    // While the run goes the snapshot holds the voltages to come back.
    EXPECT_EQ(h.session.Snapshot().volts, held);
    EXPECT_FALSE(h.session.TakeKeptVoltages());
    EXPECT_EQ(h.session.RunToEnd(), RunTick::Finished);
    EXPECT_EQ(h.session.MembraneModelName(), "exact");
    EXPECT_EQ(VoltsOf(h, 3), held);
    const std::optional<AppliedVoltages> kept = h.session.TakeKeptVoltages();
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->requested, 3);
    EXPECT_FALSE(h.session.TakeKeptVoltages());
    EXPECT_FALSE(h.session.SwitchMembraneModel("no such model").restored);
}

} // namespace
} // namespace ostrander
