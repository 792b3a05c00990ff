// The exact membrane model on the shipped mirrors: a whole influence run
// without pacing (making the model, with its factorisation when a pad needs
// finite differences, and every actuator's influence function), and the
// nonlinear equilibrium with the pull-in factor.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/ExactMembrane.h"
#include "model/PullIn.h"
#include "toolkit/IniFile.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace ostrander {
namespace {

MembraneGeometry Shipped(const char* file) {
    IniFile ini;
    DMInfoClass dm;
    if (!ini.Load(std::string(OSTRANDER_SOURCE_DIR) + "/Devices/" + file) || !dm.Load(ini))
        return {};
    return MembraneGeometryFromModel(dm);
}

void InfluenceRun(benchmark::State& state, const char* file, ExactMembrane::Method method) {
    const MembraneGeometry g = Shipped(file);
    const EngineGrid grid = EngineGrid::ForDiameter(g.diameter_m);
    for (auto _ : state) {
        const ExactMembrane model(g, grid, method);
        std::vector<std::vector<double>> influence;
        if (!model.IsValid() || !model.InfluenceFunctions(200, influence)) {
            state.SkipWithError("model not valid");
            return;
        }
        benchmark::DoNotOptimize(influence.back().data());
    }
}
BENCHMARK_CAPTURE(InfluenceRun, Hex61S, "Hex61S.ini", ExactMembrane::Method::Automatic)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(InfluenceRun, Hex61S_AllFiniteDifference, "Hex61S.ini",
                  ExactMembrane::Method::FiniteDifference)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(InfluenceRun, QuarterRing16, "QuarterRing16.ini",
                  ExactMembrane::Method::Automatic)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(InfluenceRun, Square36, "Square36.ini", ExactMembrane::Method::Automatic)
    ->Unit(benchmark::kMillisecond);

// One tick of a paced run on the quarter-ring mirror: one finite-difference
// solve with the factorisation made at the start of the run.
void BM_InfluenceTickQuarterRing16(benchmark::State& state) {
    const MembraneGeometry g = Shipped("QuarterRing16.ini");
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    int k = 0;
    for (auto _ : state) {
        const std::vector<double> z = model.Influence(k, 160);
        benchmark::DoNotOptimize(z.data());
        k = (k + 1) % model.PadCount();
    }
}
BENCHMARK(BM_InfluenceTickQuarterRing16)->Unit(benchmark::kMillisecond);

// Every pad of the 61-pad mirror at 0.9 of its pull-in voltage, the membrane
// electrode at 0 V: the pull-in factor (about 1.11) and the equilibrium.
void BM_PullInHex61SAtNinetyPercent(benchmark::State& state) {
    const MembraneGeometry g = Shipped("Hex61S.ini");
    const ExactMembrane model(g, EngineGrid::ForDiameter(g.diameter_m));
    std::vector<double> volts(g.pads.size(), 100.0);
    volts[static_cast<std::size_t>(g.surfaceIndex)] = 0;
    const PullInResult probe = SolvePullIn(model, volts, {}, {1e-6, false});
    for (std::size_t k = 0; k < volts.size(); ++k)
        if (static_cast<int>(k) != g.surfaceIndex)
            volts[k] = 100.0 * probe.pullInFactor * 0.9;
    int factorisations = 0;
    for (auto _ : state) {
        const PullInResult r = SolvePullIn(model, volts);
        if (r.status != PullInResult::Status::Equilibrium) {
            state.SkipWithError("no equilibrium");
            return;
        }
        factorisations = r.factorisations;
        benchmark::DoNotOptimize(r.surface.data());
    }
    state.counters["factorisations"] = factorisations;
}
BENCHMARK(BM_PullInHex61SAtNinetyPercent)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ostrander
