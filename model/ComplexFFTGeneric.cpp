#include "model/ComplexFFTDetail.h"

#define OSTRANDER_FFT_LANES 4
namespace ostrander::fft_generic {
#include "model/ComplexFFTKernel.h"

void Transform(float* data, long count, long laneStride, long pointStride, int n, const float* twRe,
               const float* twIm, const int* bitrev, float* scratch) {
    const Plan plan{n, twRe, twIm, bitrev};
    TransformBatch(data, count, laneStride, pointStride, plan, reinterpret_cast<Vec*>(scratch));
}
} // namespace ostrander::fft_generic
