#include "model/ComplexFFT.h"

#include "model/ComplexFFTDetail.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace ostrander {
namespace {

bool IsPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

bool UseAvx2() {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return avx2;
#else
    return false;
#endif
}

// Scratch floats starting on a 32-byte boundary, for the 8-wide kernel: a
// vector with room to spare, entered at its first aligned float.
class AlignedFloats {
public:
    explicit AlignedFloats(std::size_t count) : storage_(count + kSpare) {
        void* start = storage_.data();
        std::size_t space = storage_.size() * sizeof(float);
        data = static_cast<float*>(std::align(kAlignment, count * sizeof(float), start, space));
    }
    float* data;

private:
    static constexpr std::size_t kAlignment = 32;
    static constexpr std::size_t kSpare = kAlignment / sizeof(float);
    std::vector<float> storage_;
};

// Transforms along one axis of length n: `outer` blocks of n x inner complex
// values (row-major), each transformed along its first index.
using KernelFunction = void (*)(float*, long, long, long, int, const float*, const float*,
                                const int*, float*);

// Twiddles, bit-reversal table and scratch for one length and direction, made
// once per thread and kept: the far field transforms the same sizes every time.
struct AxisPlan {
    int n = 0, sign = 0;
    std::vector<float> twRe, twIm;
    std::vector<int> bitrev;
    AlignedFloats scratch{0};
};

const AxisPlan& PlanFor(int n, int sign) {
    thread_local std::vector<std::unique_ptr<AxisPlan>> plans;
    for (const auto& plan : plans)
        if (plan->n == n && plan->sign == sign)
            return *plan;
    auto plan = std::make_unique<AxisPlan>();
    plan->n = n;
    plan->sign = sign;
    plan->twRe.resize(n / 2);
    plan->twIm.resize(n / 2);
    for (int j = 0; j < n / 2; ++j) {
        const double angle = sign * 2.0 * std::numbers::pi * j / n;
        plan->twRe[j] = static_cast<float>(std::cos(angle));
        plan->twIm[j] = static_cast<float>(std::sin(angle));
    }
    plan->bitrev.resize(n);
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    for (int k = 0; k < n; ++k) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((k >> b) & 1) << (bits - 1 - b);
        plan->bitrev[k] = r;
    }
    plan->scratch = AlignedFloats(static_cast<std::size_t>(2) * n * 8);
    plans.push_back(std::move(plan));
    return *plans.back();
}

void TransformAxis(KernelFunction transform, float* data, long outer, int n, long inner, int sign) {
    if (n == 1)
        return;
    const AxisPlan& plan = PlanFor(n, sign);
    const float* twRe = plan.twRe.data();
    const float* twIm = plan.twIm.data();
    const int* bitrev = plan.bitrev.data();
    float* scratch = plan.scratch.data;
    if (inner == 1) {
        // Sequences are contiguous rows; batch neighbouring rows.
        transform(data, outer, 2L * n, 2, n, twRe, twIm, bitrev, scratch);
    } else {
        // Sequences run down columns; batch neighbouring columns.
        for (long o = 0; o < outer; ++o)
            transform(data + 2 * o * n * inner, inner, 2, 2 * inner, n, twRe, twIm, bitrev,
                      scratch);
    }
}

} // namespace

bool ComplexFFT(float* data, const int* dims, int ndim, int sign) {
    return ComplexFFTUsing(FFTKernel::Automatic, data, dims, ndim, sign);
}

bool ComplexFFTUsing(FFTKernel kernel, float* data, const int* dims, int ndim, int sign) {
    if (kernel == FFTKernel::Avx2 && !UseAvx2())
        return false;
    const bool avx2 = kernel == FFTKernel::Avx2 || (kernel == FFTKernel::Automatic && UseAvx2());
    const KernelFunction transform = avx2 ? fft_avx2::Transform : fft_generic::Transform;
    if (!data || !dims || ndim < 1 || (sign != 1 && sign != -1))
        return false;
    for (int a = 0; a < ndim; ++a)
        if (!IsPowerOfTwo(dims[a]))
            return false;
    long outer = 1;
    for (int a = 0; a < ndim; ++a) {
        long inner = 1;
        for (int b = a + 1; b < ndim; ++b)
            inner *= dims[b];
        TransformAxis(transform, data + 1, outer, dims[a], inner, sign);
        outer *= dims[a];
    }
    return true;
}

bool ComplexFFT2DPartial(FFTKernel kernel, float* data, int rows, int cols, int inputCols,
                         int outputRows, int sign) {
    if (kernel == FFTKernel::Avx2 && !UseAvx2())
        return false;
    const bool avx2 = kernel == FFTKernel::Avx2 || (kernel == FFTKernel::Automatic && UseAvx2());
    const KernelFunction transform = avx2 ? fft_avx2::Transform : fft_generic::Transform;
    if (!data || !IsPowerOfTwo(rows) || !IsPowerOfTwo(cols) || inputCols < 1 || inputCols > cols ||
        outputRows < 1 || outputRows > rows || (sign != 1 && sign != -1))
        return false;
    // Down the leading columns, then along the leading rows.
    if (rows > 1) {
        const AxisPlan& plan = PlanFor(rows, sign);
        transform(data + 1, inputCols, 2, 2L * cols, rows, plan.twRe.data(), plan.twIm.data(),
                  plan.bitrev.data(), plan.scratch.data);
    }
    TransformAxis(transform, data + 1, outputRows, cols, 1, sign);
    return true;
}

} // namespace ostrander
