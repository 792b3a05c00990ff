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

// The 2-D transform of a rows x cols array (layout as ComplexFFT's) when only
// its leading inputCols columns can be non-zero and only its leading
// outputRows rows are wanted: the first axis is transformed on those columns
// alone (the others stay zero) and the second on those rows alone (the
// others are left part-way). Every sequence goes through the kernel as in
// ComplexFFTUsing, so the wanted values are the same. False (data alone) for
// sizes that are not powers of 2, counts outside 1 .. the size, or a bad sign.
bool ComplexFFT2DPartial(FFTKernel kernel, float* data, int rows, int cols, int inputCols,
                         int outputRows, int sign);
} // namespace ostrander
