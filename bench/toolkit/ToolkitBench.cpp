// The canvas paths the pictures lean on (cells, pixels, labels, fills) and
// the ini file on a large pattern-set file.
#include "toolkit/Format.h"
#include "toolkit/IniFile.h"
#include "toolkit/qt/Application.h"
#include "toolkit/qt/ImageCanvas.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

using namespace ostrander;

namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "bench_toolkit";
    static char* argv[] = {name, nullptr};
    static Application* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new Application(argc, argv);
    }();
    (void)app;
}

// A surface picture's worth of cells: 100 x 100 rectangles of 3 x 3 pixels.
void BM_TenThousandCells(benchmark::State& state) {
    ImageCanvas canvas(309, 335);
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i)
            for (int j = 0; j < 100; ++j) {
                canvas.SetBrushColor(RGBColor(i * 2, j * 2, 128));
                canvas.SetPenColor(canvas.BrushColor());
                canvas.Rectangle(i * 3, j * 3, i * 3 + 3, j * 3 + 3);
            }
        benchmark::DoNotOptimize(canvas.Image().constBits());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_TenThousandCells);

void BM_HundredThousandPixels(benchmark::State& state) {
    ImageCanvas canvas(309, 335);
    for (auto _ : state) {
        for (int k = 0; k < 100000; ++k)
            canvas.SetPixel(k % 309, (k / 309) % 335, RGBColor(k & 255, 0, 0));
        benchmark::DoNotOptimize(canvas.Image().constBits());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_HundredThousandPixels);

void BM_Labels(benchmark::State& state) {
    EnsureApplication();
    ImageCanvas canvas(335, 335);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.SetFontSize(8);
    for (auto _ : state)
        for (int k = 0; k < 61; ++k)
            canvas.TextOut((k * 37) % 300, (k * 53) % 320, FormatFloat("0", k * 5.5) + "V");
    state.SetItemsProcessed(state.iterations() * 61);
}
BENCHMARK(BM_Labels);

void BM_FloodFill(benchmark::State& state) {
    ImageCanvas canvas(335, 335);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.Ellipse(0, 0, 335, 335);
    canvas.SetBrushStyle(BrushStyle::Solid);
    int k = 0;
    for (auto _ : state) {
        canvas.SetBrushColor(++k & 1 ? clRed : clBlue);
        canvas.FloodFill(167, 167, clBlack);
    }
}
BENCHMARK(BM_FloodFill);

// A pattern-set file of 200 patterns of 61 voltages: parse, then rewrite every value.
void BM_IniPatternSet(benchmark::State& state) {
    std::string text = "[General]\r\nFileType=Actuator Pattern Set\r\n";
    for (int p = 0; p < 200; ++p) {
        text += "[Pattern" + FormatInt("%03d", p) + "]\r\n";
        for (int v = 0; v < 61; ++v)
            text += "Voltage" + FormatInt("%03d", v) + "=" + FloatToStr(v * 1.25) + "\r\n";
    }
    for (auto _ : state) {
        IniFile f = IniFile::FromText(text);
        for (int p = 0; p < 200; ++p)
            for (int v = 0; v < 61; ++v)
                f.WriteFloat("Pattern" + FormatInt("%03d", p), "Voltage" + FormatInt("%03d", v),
                             f.ReadFloat("Pattern" + FormatInt("%03d", p),
                                         "Voltage" + FormatInt("%03d", v), 0) +
                                 0.5);
        benchmark::DoNotOptimize(f.ToText());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
}
BENCHMARK(BM_IniPatternSet);

} // namespace
