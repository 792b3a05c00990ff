#pragma once
// The two builds of the ComplexFFT kernel (baseline and AVX2/FMA).
namespace ostrander {
namespace fft_generic {
void Transform(float* data, long count, long laneStride, long pointStride, int n, const float* twRe,
               const float* twIm, const int* bitrev, float* scratch);
}
namespace fft_avx2 {
void Transform(float* data, long count, long laneStride, long pointStride, int n, const float* twRe,
               const float* twIm, const int* bitrev, float* scratch);
}

// The transform with a chosen kernel build (tests and benchmarks compare
// them). Avx2 returns false when the processor lacks AVX2 or FMA.
enum class FFTKernel { Automatic, Generic, Avx2 };
bool ComplexFFTUsing(FFTKernel kernel, float* data, const int* dims, int ndim, int sign);
} // namespace ostrander
