// The engine's hot paths on the shipped 61-pad membrane (62 channels, the
// last one the membrane's own electrode): one actuator's analytic surface, a
// whole influence run without the timer's pacing, the synthesis, the
// session's corrected surface alone, the voltages under the mirror's rules and
// the two together (the Python module's Mirror.surface), the session's
// recalculation (synthesis, corrections, far field) and the figures
// the status line shows.
#include "model/ResultFigures.h"
#include "tests/model/ModelFixture.h"

#include <benchmark/benchmark.h>

namespace ostrander {
namespace {

// The engine on the shipped device, with the program folder pointing at the
// repository so that ..\Devices\ is the shipped folder.
struct ShippedEngine : testing::EngineHarness {
    bool Select61() {
        SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
        return Select(std::string(DeviceFolderRelative) + "Hex61S.ini");
    }
};
using EngineHarness = ShippedEngine;

void BM_ComputeAnalyticSurfaceOneActuator(benchmark::State& state) {
    EngineHarness h;
    if (!h.Select61()) {
        state.SkipWithError("mirror not valid");
        return;
    }
    h.local.Mirror->SetVoltage(20, 150.0);
    h.engine.PrepareGrid();
    for (auto _ : state) {
        h.engine.ComputeAnalyticSurface();
        benchmark::DoNotOptimize(h.data.Surface[50][50]);
    }
}
BENCHMARK(BM_ComputeAnalyticSurfaceOneActuator)->Unit(benchmark::kMillisecond);

void BM_InfluenceRunUnpaced(benchmark::State& state) {
    EngineHarness h;
    if (!h.Select61()) {
        state.SkipWithError("mirror not valid");
        return;
    }
    for (auto _ : state) {
        h.session.StartInfluenceRun();
        const int ticks = h.RunToEnd();
        benchmark::DoNotOptimize(ticks);
    }
}
BENCHMARK(BM_InfluenceRunUnpaced)->Unit(benchmark::kMillisecond);

// A mirror after its run, with a telling voltage pattern.
struct RunMirror {
    EngineHarness h;
    bool ok = false;
    RunMirror() {
        if (!h.Select61() || h.session.StartInfluenceRun() != RunStart::Started)
            return;
        ok = h.session.RunToEnd() == RunTick::Finished;
        for (int k = 1; k <= 61; ++k)
            h.local.Mirror->SetVoltage(k, 40.0 + 1.5 * k);
    }
    // The same voltages as a request, as the Python module makes one.
    static VoltageRequest Request() {
        VoltageRequest request;
        for (int k = 1; k <= 61; ++k)
            request.single.emplace_back(k, 40.0 + 1.5 * k);
        return request;
    }
    // False, with the benchmark skipped, when the run did not finish.
    bool Ready(benchmark::State& state) const {
        if (!ok)
            state.SkipWithError("run did not finish");
        return ok;
    }
};

void BM_SynthesizeSurface(benchmark::State& state) {
    RunMirror m;
    if (!m.Ready(state))
        return;
    for (auto _ : state) {
        m.h.engine.SynthesizeSurface();
        benchmark::DoNotOptimize(m.h.data.Surface[50][50]);
    }
}
BENCHMARK(BM_SynthesizeSurface)->Unit(benchmark::kMillisecond);

// The session's surface without the far field (synthesis and the tilt
// correction), as the Python module's Mirror.surface asks for it.
void BM_SessionCorrectedSurface(benchmark::State& state) {
    RunMirror m;
    if (!m.Ready(state))
        return;
    for (auto _ : state) {
        const SurfaceValues surface = m.h.session.CorrectedSurface();
        benchmark::DoNotOptimize(surface.values.data());
    }
}
BENCHMARK(BM_SessionCorrectedSurface)->Unit(benchmark::kMillisecond);

// The 61 voltages put on the mirror under its rules, from the floor on every
// channel, as each of the Python module's calls does first.
void BM_SessionApplyVoltages(benchmark::State& state) {
    RunMirror m;
    if (!m.Ready(state))
        return;
    const VoltageRequest request = RunMirror::Request();
    for (auto _ : state) {
        const AppliedVoltages applied = m.h.session.ApplyVoltages(request);
        benchmark::DoNotOptimize(applied.requested);
    }
}
BENCHMARK(BM_SessionApplyVoltages)->Unit(benchmark::kMillisecond);

// Mirror.surface's whole way in C++: the voltages under the rules, the floor
// rule and the corrected surface.
void BM_SessionSurfaceFromVolts(benchmark::State& state) {
    RunMirror m;
    if (!m.Ready(state))
        return;
    const VoltageRequest request = RunMirror::Request();
    for (auto _ : state) {
        m.h.session.ApplyVoltages(request);
        m.h.session.ApplyFloorRule();
        const SurfaceValues surface = m.h.session.CorrectedSurface();
        benchmark::DoNotOptimize(surface.values.data());
    }
}
BENCHMARK(BM_SessionSurfaceFromVolts)->Unit(benchmark::kMillisecond);

void BM_EnginePass(benchmark::State& state) {
    RunMirror m;
    if (!m.Ready(state))
        return;
    m.h.local.RemoveFocus = state.range(0) != 0;
    m.h.local.FocusAdjust = 0.5;
    for (auto _ : state) {
        m.h.session.Recalculate();
        benchmark::DoNotOptimize(m.h.data.FarField[1]);
    }
}
BENCHMARK(BM_EnginePass)->ArgName("RemoveFocus")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The main window's status line after each redraw: RMS over the beam,
// Strehl ratio and the sampling check of the present results.
void BM_MeasureResults(benchmark::State& state) {
    RunMirror m;
    if (!m.ok || m.h.session.Recalculate().status != Recalculation::Done) {
        state.SkipWithError("no results");
        return;
    }
    for (auto _ : state) {
        const std::optional<ResultFigures> figures = MeasureResults(m.h.data, m.h.local);
        benchmark::DoNotOptimize(figures);
    }
}
BENCHMARK(BM_MeasureResults)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ostrander
