#include "model/ComplexFFTDetail.h"

#define OSTRANDER_FFT_LANES 4
namespace ostrander::fft_generic {
#include "model/ComplexFFTKernel.h"
} // namespace ostrander::fft_generic
