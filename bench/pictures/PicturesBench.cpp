// Each result picture on its design size, drawn into an image as the window
// does on every idle pass.
#include "model/Grid.h"
#include "model/pictures/FarFieldPictures.h"
#include "model/pictures/SurfaceImages.h"
#include "model/pictures/ThreeDImage.h"
#include "tests/model/pictures/PictureRig.h"
#include "toolkit/qt/Application.h"
#include "toolkit/qt/ImageCanvas.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

using namespace ostrander;

namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "bench_pictures";
    static char* argv[] = {name, nullptr};
    static Application* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new Application(argc, argv);
    }();
    (void)app;
}

constexpr int kN = 100;

// A membrane-like surface: a few logarithmic dips inside a 15 mm mirror.
struct Surface {
    Surface() : grid(kN, kN), rows(grid.RowPointers()) {
        const double D = 0.015, dx = D / (kN * 0.97 - 2), R = D / 2;
        const double pads[3][2] = {{0.0, 0.0}, {0.003, 0.001}, {-0.002, -0.0035}};
        for (int i = 0; i < kN; ++i)
            for (int j = 0; j < kN; ++j) {
                const double x = (i - kN / 2) * dx, y = (j - kN / 2) * dx;
                if (std::hypot(x, y) > R)
                    continue;
                double z = 0;
                for (const auto& p : pads) {
                    const double G = std::max(std::hypot(x - p[0], y - p[1]), 0.0008);
                    z -= 0.4e-6 * std::log(R / G) / std::log(R / 0.0008);
                }
                grid[i][j] = z;
            }
        mirror.Diameter_m = D;
        mirror.Separation_m = 30e-6;
        const double pitch = 0.0018;
        for (int q = -3; q <= 3; ++q)
            for (int r = -3; r <= 3; ++r)
                if (std::abs(q + r) <= 3)
                    mirror.actuators.push_back({true, pitch * (q + r / 2.0),
                                                pitch * r * std::sqrt(3.0) / 2, 0, 0, 0.0016, 0});
    }
    Grid<double> grid;
    std::vector<const double*> rows;
    MirrorDrawing mirror;
};

// A centred spot in the 256 x 256 transform layout.
std::vector<float> Spot() {
    const int T = 256;
    std::vector<float> f(2 * (T + 1) * (T + 1), 0.0f);
    for (int r = 1; r <= T; ++r)
        for (int c = 1; c <= T; ++c) {
            const double d2 = (r - 129) * (r - 129) + (c - 129) * (c - 129);
            f[2 * ((r - 1) * T + c) - 1] = static_cast<float>(std::exp(-d2 / 8.0));
        }
    return f;
}

void BM_SurfaceImage(benchmark::State& state) {
    EnsureApplication();
    Surface s;
    ImageCanvas canvas(309, 335);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawSurfaceImage(canvas, {s.rows.data(), kN}, s.mirror));
}
BENCHMARK(BM_SurfaceImage)->Unit(benchmark::kMillisecond);

void BM_Interferogram(benchmark::State& state) {
    EnsureApplication();
    Surface s;
    ImageCanvas canvas(309, 335);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawInterferogram(canvas, {s.rows.data(), kN}, s.mirror));
}
BENCHMARK(BM_Interferogram)->Unit(benchmark::kMillisecond);

void BM_ThreeDImage(benchmark::State& state) {
    EnsureApplication();
    Surface s;
    ImageCanvas canvas(309, 335);
    Grid<double> view;
    ThreeDOptions options;
    options.Separation_m = 30e-6;
    options.RemoveFocus = state.range(0) != 0;
    options.PeakVoltageFraction = 0.5;
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawThreeDImage(canvas, s.rows.data(), kN, options, view));
}
BENCHMARK(BM_ThreeDImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_FarFieldImage(benchmark::State& state) {
    EnsureApplication();
    const std::vector<float> f = Spot();
    ImageCanvas canvas(335, 335);
    for (auto _ : state)
        DrawFarFieldImage(canvas, {f.data(), 256, static_cast<int>(state.range(0))}, 47.5, false,
                          "Far Field Intensity");
}
BENCHMARK(BM_FarFieldImage)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_FarFieldPlot(benchmark::State& state) {
    EnsureApplication();
    const std::vector<float> f = Spot();
    ImageCanvas canvas(335, 335);
    Grid<double> grid;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DrawFarFieldPlot(canvas, {f.data(), 256, 1}, true, grid));
}
BENCHMARK(BM_FarFieldPlot)->Unit(benchmark::kMillisecond);

// The whole redraw of an idle pass on the shipped 61-pad mirror after a
// change of the voltages: synthesis, far field, and the five pictures, at a
// device pixel ratio of RatioPercent / 100, on canvases that keep their fixed
// layers as the window's do.
void BM_RedrawChain61(benchmark::State& state) {
    EnsureApplication();
    SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
    PictureRig rig;
    if (!rig.LoadAndRun("Hex61S.ini")) {
        state.SkipWithError("the 61-pad mirror did not run");
        return;
    }
    const double R = SelectedModel(rig.local)->Diameter_m / 2;
    rig.local.RemoveFocus = state.range(0) != 0;
    rig.SetPixelRatio(state.range(1) / 100.0);
    // Two tilts in turn, so that every pass redraws other voltages, as after
    // a click; the first pass, which draws the fixed layers, is not timed.
    bool raise = true;
    auto next = [&] {
        const double tilt = raise ? 50.0 : 40.0;
        rig.SetPattern([R, tilt](double x, double) { return 100.0 + tilt * x / R; });
        raise = !raise;
    };
    next();
    rig.Redraw();
    auto recorded = [&] {
        int n = 0;
        for (const ImageCanvas* c : {&rig.threeD, &rig.surface, &rig.interferogram,
                                     &rig.farFieldImage, &rig.farFieldPlot})
            n += c->LayersRecorded();
        return n;
    };
    const int before = recorded();
    for (auto _ : state) {
        next();
        rig.Redraw();
    }
    // Layers drawn again per pass: 0 when the fixed layers are all found.
    state.counters["layers_redrawn"] =
        benchmark::Counter(recorded() - before, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RedrawChain61)
    ->ArgNames({"RemoveFocus", "RatioPercent"})
    ->ArgsProduct({{0, 1}, {100, 150, 200}})
    ->Unit(benchmark::kMillisecond);

} // namespace
