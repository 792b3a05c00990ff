// The voltage fit on the shipped 61-pad mirror (62 channels, the last the
// membrane's own electrode): a focus of 0.5 um RMS about a 120 V bias, from
// the stored influence functions (the fit alone), and on the session with the
// exact model (the fit, the mirror's view of it and the pull-in check); and
// the first fit on a mirror, which reduces the design matrix.
#include "tests/model/ModelFixture.h"

#include "model/SessionFit.h"
#include "model/VoltageFit.h"

#include <benchmark/benchmark.h>

namespace ostrander {
namespace {

struct Fitted61 {
    testing::EngineHarness h;
    bool ok = false;
    explicit Fitted61(const char* model) {
        SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
        ok = h.session.UseMembraneModel(model) &&
             h.Select(std::string(DeviceFolderRelative) + "Hex61S.ini") &&
             h.session.StartInfluenceRun() == RunStart::Started &&
             h.session.RunToEnd() == RunTick::Finished;
    }
};

FitRequest Focus() {
    FitRequest request;
    request.zernike = {0, 0, 0, 0.5e-6};
    request.bias = 120;
    return request;
}

void BM_FitFocusHex61S(benchmark::State& state) {
    Fitted61 m("classic");
    const std::optional<FitMirror> mirror = m.ok ? FitMirrorOf(m.h.session) : std::nullopt;
    if (!mirror) {
        state.SkipWithError("mirror not run");
        return;
    }
    const FitRequest request = Focus();
    for (auto _ : state) {
        const VoltageFit fit = FitVoltages(*mirror, request);
        benchmark::DoNotOptimize(fit.residualRms);
    }
}
BENCHMARK(BM_FitFocusHex61S)->Unit(benchmark::kMillisecond);

// The first fit on a mirror: its design matrix reduced anew (a fitter made
// per fit), which later fits on the same mirror and bias are spared.
void BM_FirstFitFocusHex61S(benchmark::State& state) {
    Fitted61 m("classic");
    const std::optional<FitMirror> mirror = m.ok ? FitMirrorOf(m.h.session) : std::nullopt;
    if (!mirror) {
        state.SkipWithError("mirror not run");
        return;
    }
    const std::vector<double> target = FitVoltages(*mirror, Focus()).target;
    for (auto _ : state) {
        const VoltageFitter fitter(*mirror, Focus().bias);
        const VoltageFit fit = fitter.Fit(target);
        benchmark::DoNotOptimize(fit.residualRms);
    }
}
BENCHMARK(BM_FirstFitFocusHex61S)->Unit(benchmark::kMillisecond);

void BM_SessionFitFocusHex61SExact(benchmark::State& state) {
    Fitted61 m("exact");
    if (!m.ok) {
        state.SkipWithError("mirror not run");
        return;
    }
    const FitRequest request = Focus();
    for (auto _ : state) {
        const SessionFit fit = FitOnSession(m.h.session, request);
        if (fit.status != SessionFit::Status::Fitted) {
            state.SkipWithError(SessionFitStatusText(fit).c_str());
            return;
        }
        benchmark::DoNotOptimize(fit.pullInFactor);
    }
}
BENCHMARK(BM_SessionFitFocusHex61SExact)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ostrander
