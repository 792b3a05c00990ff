// The far-field transform: our kernels against FFTW's single-precision
// in-place plans (when FFTW is installed), on a dense 256 x 256 input, and on
// the far field's own input at 128, 256 and 512 (a 100-sample aperture in the
// middle of zeros, as the engine pads it, restored before every transform).
#include "model/ComplexFFT.h"
#include "model/ComplexFFTDetail.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#ifdef OSTRANDER_HAVE_FFTW
#include <fftw3.h>
#endif

namespace ostrander {
namespace {

constexpr int kSize = 256;

std::vector<float> Input() {
    std::vector<float> data(2 * (kSize + 1) * (kSize + 1), 0.0f);
    for (int i = 0; i < kSize * kSize; ++i) {
        data[2 * i + 1] = std::cos(0.001f * i);
        data[2 * i + 2] = std::sin(0.002f * i);
    }
    return data;
}

void BM_ComplexFFT(benchmark::State& state, FFTKernel kernel) {
    const int dims[] = {kSize, kSize};
    auto data = Input();
    if (!ComplexFFTUsing(kernel, data.data(), dims, 2, 1)) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    for (auto _ : state) {
        ComplexFFTUsing(kernel, data.data(), dims, 2, 1);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_ComplexFFT, automatic_256x256, FFTKernel::Automatic)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ComplexFFT, generic_256x256, FFTKernel::Generic)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ComplexFFT, avx2_256x256, FFTKernel::Avx2)->Unit(benchmark::kMillisecond);

#ifdef OSTRANDER_HAVE_FFTW
void BM_Fftw(benchmark::State& state, unsigned flags) {
    auto* data = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * kSize * kSize));
    fftwf_plan plan = fftwf_plan_dft_2d(kSize, kSize, data, data, FFTW_BACKWARD, flags);
    const auto input = Input();
    for (int i = 0; i < kSize * kSize; ++i) {
        data[i][0] = input[2 * i + 1];
        data[i][1] = input[2 * i + 2];
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}
BENCHMARK_CAPTURE(BM_Fftw, estimate_256x256, FFTW_ESTIMATE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Fftw, measure_256x256, FFTW_MEASURE)->Unit(benchmark::kMillisecond);
#endif


// The engine's far-field input: a 100 x 100 aperture in the middle of a
// size x size grid of zeros, in the 1-based interleaved layout.
std::vector<float> Aperture(int size) {
    constexpr int kAperture = 100;
    std::vector<float> data(2 * static_cast<std::size_t>(size) * size + 1, 0.0f);
    const int off = (size - kAperture) / 2;
    for (int i = 0; i < kAperture; ++i)
        for (int j = 0; j < kAperture; ++j) {
            const std::size_t at = static_cast<std::size_t>(off + i) * size + off + j;
            data[2 * at + 1] = std::cos(0.01f * (i * i + j));
            data[2 * at + 2] = std::sin(0.01f * (i * j));
        }
    return data;
}

void BM_FarFieldTransform(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const int dims[] = {size, size};
    const auto input = Aperture(size);
    auto data = input;
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), data.begin());
        ComplexFFT(data.data(), dims, 2, 1);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FarFieldTransform)->Arg(128)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);

#ifdef OSTRANDER_HAVE_FFTW
void BM_FarFieldFftw(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const std::size_t count = static_cast<std::size_t>(size) * size;
    auto* data = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * count));
    fftwf_plan plan = fftwf_plan_dft_2d(size, size, data, data, FFTW_BACKWARD, FFTW_MEASURE);
    const auto input = Aperture(size);
    std::vector<float> interleaved(input.begin() + 1, input.end());
    for (auto _ : state) {
        std::copy(interleaved.begin(), interleaved.end(), &data[0][0]);
        fftwf_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}
BENCHMARK(BM_FarFieldFftw)->Arg(128)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);
#endif

} // namespace
} // namespace ostrander
