// The 256 x 256 far-field transform: our kernels against FFTW's single-
// precision in-place plans (when FFTW is installed).
#include "model/ComplexFFT.h"
#include "model/ComplexFFTDetail.h"

#include <benchmark/benchmark.h>

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

} // namespace
} // namespace ostrander
