#include "model/ComplexFFT.h"
#include "model/ComplexFFTDetail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace ostrander {
namespace {

using Complex = std::complex<double>;

// Direct DFT in double precision over a row-major array of any rank:
// F(k) = sum_j f(j) exp(sign 2 pi i sum_m j_m k_m / n_m).
std::vector<Complex> DirectDFT(const std::vector<Complex>& f, const std::vector<int>& dims,
                               int sign) {
    const std::size_t total = f.size();
    std::vector<Complex> out(total);
    auto unravel = [&](std::size_t index, std::vector<int>& idx) {
        for (int a = static_cast<int>(dims.size()) - 1; a >= 0; --a) {
            idx[a] = static_cast<int>(index % dims[a]);
            index /= dims[a];
        }
    };
    std::vector<int> k(dims.size()), j(dims.size());
    for (std::size_t ki = 0; ki < total; ++ki) {
        unravel(ki, k);
        Complex sum = 0;
        for (std::size_t ji = 0; ji < total; ++ji) {
            unravel(ji, j);
            double phase = 0;
            for (std::size_t a = 0; a < dims.size(); ++a)
                phase += static_cast<double>(j[a] * k[a] % dims[a]) / dims[a];
            sum += f[ji] * std::polar(1.0, sign * 2.0 * std::numbers::pi * phase);
        }
        out[ki] = sum;
    }
    return out;
}

// Packs into the 1-based interleaved layout (index 0 unused).
std::vector<float> Pack(const std::vector<Complex>& f) {
    std::vector<float> data(2 * f.size() + 1, 0.0f);
    for (std::size_t i = 0; i < f.size(); ++i) {
        data[2 * i + 1] = static_cast<float>(f[i].real());
        data[2 * i + 2] = static_cast<float>(f[i].imag());
    }
    return data;
}

std::vector<Complex> RandomSignal(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<Complex> f(count);
    for (auto& z : f)
        z = Complex(static_cast<float>(u(rng)), static_cast<float>(u(rng)));
    return f;
}

struct Case {
    std::vector<int> dims;
    int sign;
    // Zeros outside the middle half of the first two axes, as the far field
    // pads its aperture: whole batches of zero sequences occur.
    bool padded = false;
};

class ComplexFFTAgainstDirectDFT : public ::testing::TestWithParam<std::tuple<Case, FFTKernel>> {};

TEST_P(ComplexFFTAgainstDirectDFT, MatchesWithinSinglePrecision) {
    const auto& [c, kernel] = GetParam();
    std::size_t total = 1;
    for (int d : c.dims)
        total *= d;
    auto f = RandomSignal(total, 7u + static_cast<unsigned>(total));
    if (c.padded) {
        const std::size_t rows = c.dims[0], columns = total / rows, width = c.dims[1];
        for (std::size_t i = 0; i < total; ++i) {
            const std::size_t r = i / columns, col = (i % columns) / (columns / width);
            if (r < rows / 4 || r >= 3 * rows / 4 || col < width / 4 || col >= 3 * width / 4)
                f[i] = 0.0;
        }
    }
    const auto expected = DirectDFT(f, c.dims, c.sign);
    auto data = Pack(f);
    data[0] = 1234.5f; // must stay untouched
    if (kernel == FFTKernel::Avx2 &&
        !(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")))
        GTEST_SKIP() << "no AVX2 on this processor";
    ASSERT_TRUE(ComplexFFTUsing(kernel, data.data(), c.dims.data(), static_cast<int>(c.dims.size()),
                                c.sign));
    EXPECT_EQ(data[0], 1234.5f);
    // Single-precision rounding grows like log2(total) times sqrt(total).
    const double tolerance = 2e-6 * std::sqrt(static_cast<double>(total)) * 20;
    double worst = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const Complex got(data[2 * i + 1], data[2 * i + 2]);
        worst = std::max(worst, std::abs(got - expected[i]));
    }
    EXPECT_LT(worst, tolerance);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Case, FFTKernel>>& info) {
    const auto& [c, kernel] = info.param;
    std::string name;
    for (int d : c.dims)
        name += std::to_string(d) + "x";
    name.pop_back();
    name += c.sign > 0 ? "_plus" : "_minus";
    name += c.padded ? "_padded" : "";
    name += kernel == FFTKernel::Generic ? "_generic" : "_avx2";
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ComplexFFTAgainstDirectDFT,
    ::testing::Combine(::testing::Values(Case{{1}, 1}, Case{{2}, 1}, Case{{8}, 1}, Case{{8}, -1},
                                         Case{{256}, 1}, Case{{16, 4}, 1}, Case{{4, 16}, -1},
                                         Case{{16, 16}, 1}, Case{{8, 32}, 1}, Case{{2, 2, 8}, 1},
                                         Case{{2, 2, 8}, -1}, Case{{1, 8, 1}, 1},
                                         Case{{32, 64}, -1}, Case{{32, 32}, 1, true},
                                         Case{{64, 16}, -1, true}),
                       ::testing::Values(FFTKernel::Generic, FFTKernel::Avx2)),
    CaseName);

// A not-a-number among zeros spreads over the whole transform: a sequence is
// left out only when every value in it is zero.
TEST(ComplexFFT, ANotANumberAmongZerosReachesEveryOutput) {
    for (const FFTKernel kernel : {FFTKernel::Generic, FFTKernel::Avx2}) {
        if (kernel == FFTKernel::Avx2 &&
            !(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")))
            continue;
        const int dims[] = {32, 32};
        std::vector<float> data(2 * 32 * 32 + 1, 0.0f);
        data[2 * (5 * 32 + 20) + 1] = std::nanf("");
        ASSERT_TRUE(ComplexFFTUsing(kernel, data.data(), dims, 2, 1));
        for (std::size_t i = 1; i < data.size(); ++i)
            ASSERT_TRUE(std::isnan(data[i])) << "element " << i;
    }
}

TEST(ComplexFFT, RefusesSizesThatAreNotPowersOfTwo) {
    std::vector<float> data(2 * 12 + 1, 1.0f);
    const std::vector<float> before = data;
    const int bad[] = {12};
    const int zero[] = {0};
    const int fine[] = {4, 3};
    EXPECT_FALSE(ComplexFFT(data.data(), bad, 1, 1));
    EXPECT_FALSE(ComplexFFT(data.data(), zero, 1, 1));
    EXPECT_FALSE(ComplexFFT(data.data(), fine, 2, 1));
    EXPECT_FALSE(ComplexFFT(data.data(), fine, 0, 1));
    EXPECT_FALSE(ComplexFFT(data.data(), bad, 1, 0));
    EXPECT_EQ(data, before);
}

TEST(ComplexFFT, ConservesEnergyAt256x256AndInvertsWithTheOtherSign) {
    const int dims[] = {256, 256};
    const std::size_t total = 256 * 256;
    const auto f = RandomSignal(total, 99);
    auto data = Pack(f);
    ASSERT_TRUE(ComplexFFT(data.data(), dims, 2, 1));
    double before = 0, after = 0;
    for (const auto& z : f)
        before += std::norm(z);
    for (std::size_t i = 0; i < total; ++i)
        after +=
            double(data[2 * i + 1]) * data[2 * i + 1] + double(data[2 * i + 2]) * data[2 * i + 2];
    EXPECT_NEAR(after / (total * before), 1.0, 1e-5);

    // The transform with sign -1 brings back total x f.
    ASSERT_TRUE(ComplexFFT(data.data(), dims, 2, -1));
    double worst = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const Complex got(data[2 * i + 1] / double(total), data[2 * i + 2] / double(total));
        worst = std::max(worst, std::abs(got - f[i]));
    }
    EXPECT_LT(worst, 1e-5);
}

} // namespace
} // namespace ostrander
