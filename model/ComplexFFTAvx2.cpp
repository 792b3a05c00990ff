#include "model/ComplexFFTDetail.h"

#define OSTRANDER_FFT_LANES 8
namespace ostrander::fft_avx2 {
#include "model/ComplexFFTKernel.h"
} // namespace ostrander::fft_avx2
