// The turbulence study on the shipped 61-pad mirror: one screen generated,
// corrected by the bounded fit (one factorisation for all screens) and its
// Strehl ratio taken from the far field, at D/r0 = 8 about a 120 V bias; on
// the classic model (no pull-in solve) and the exact one (the pull-in margin
// of every screen's voltages checked), and the screen generation alone.
// bench/python/turbulence_peer.py does the classic model's steps with numpy
// and scipy.
#include "tests/model/ModelFixture.h"

#include "model/PhaseScreen.h"
#include "model/TurbulenceStudy.h"

#include <benchmark/benchmark.h>

namespace ostrander {
namespace {

struct Run61 {
    testing::EngineHarness h;
    bool ok = false;
    explicit Run61(const char* model) {
        SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
        ok = h.session.UseMembraneModel(model) &&
             h.Select(std::string(DeviceFolderRelative) + "Hex61S.ini") &&
             h.session.StartInfluenceRun() == RunStart::Started &&
             h.session.RunToEnd() == RunTick::Finished;
    }
};

void CorrectScreens(benchmark::State& state, const char* model) {
    Run61 m(model);
    TurbulenceSettings settings;
    settings.dOverR0 = {8.0};
    settings.screens = 1000000;
    settings.bias = 120.0;
    TurbulenceStudy study(m.h.session, settings);
    if (!m.ok || study.Prepare() != TurbulenceStudy::Status::Ready) {
        state.SkipWithError("mirror not run or study not ready");
        return;
    }
    for (auto _ : state) {
        const std::optional<ScreenCorrection> c = study.Step();
        benchmark::DoNotOptimize(c->strehl);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TurbulenceScreenHex61SClassic(benchmark::State& state) {
    CorrectScreens(state, "classic");
}
BENCHMARK(BM_TurbulenceScreenHex61SClassic)->Unit(benchmark::kMillisecond);

void BM_TurbulenceScreenHex61SExact(benchmark::State& state) {
    CorrectScreens(state, "exact");
}
BENCHMARK(BM_TurbulenceScreenHex61SExact)->Unit(benchmark::kMillisecond);

void BM_PhaseScreen100(benchmark::State& state) {
    PhaseScreenSettings settings;
    settings.n = 100;
    settings.dx = 25e-3 / (100 * 0.97 - 2);
    settings.r0 = 2.5e-3;
    PhaseScreenGenerator gen(settings, 1);
    for (auto _ : state) {
        const std::vector<double> screen = gen.Next();
        benchmark::DoNotOptimize(screen.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PhaseScreen100)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ostrander
