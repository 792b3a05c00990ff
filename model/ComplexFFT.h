#pragma once
// In-place radix-2 complex FFT of any number of dimensions on single-precision
// data in the 1-based interleaved layout: data[1], data[2] are the real and
// imaginary parts of the first element, the last index varies fastest, and
// data[0] is not touched. Computes
//   F(k1..kn) = sum over j of f(j1..jn) exp(sign 2 pi i sum(jm km / size_m))
// without normalisation. Every dimension must be a power of 2.
namespace ostrander {

// Returns false (and leaves data alone) when a dimension is not a power of 2,
// ndim < 1 or sign is not +1 or -1.
bool ComplexFFT(float* data, const int* dims, int ndim, int sign);

} // namespace ostrander
