// Phase screens by FFT with subharmonics; see PhaseScreen.h.
#include "model/PhaseScreen.h"

#include "model/ComplexFFTDetail.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace ostrander {

namespace {

constexpr double kPi = std::numbers::pi;

// Int_0^inf (1 - J0(u)) u^(-8/3) du, the Kolmogorov structure function's
// integral: Gamma(1/6) / ((5/3) 2^(5/3) Gamma(11/6)).
double KolmogorovIntegral() {
    return std::tgamma(1.0 / 6.0) / (5.0 / 3.0 * std::pow(2.0, 5.0 / 3.0) * std::tgamma(11.0 / 6.0));
}

bool PositiveFinite(double v) { return std::isfinite(v) && v > 0; }

// The spectrum's integral over the square cell of side h centred on
// (fx, fy), by the midpoint rule on 16 x 16 points. Near the origin the
// spectrum changes by orders of magnitude across a cell, and its value at
// the centre times h^2 leaves out most of the low-order power.
template <class Spectrum> double CellIntegral(const Spectrum& spectrum, double fx, double fy, double h) {
    constexpr int kPoints = 16;
    const double step = h / kPoints;
    double sum = 0.0;
    for (int a = 0; a < kPoints; ++a)
        for (int b = 0; b < kPoints; ++b)
            sum += spectrum(fx - 0.5 * h + (a + 0.5) * step, fy - 0.5 * h + (b + 0.5) * step);
    return sum * step * step;
}

} // namespace

MersenneTwister64::MersenneTwister64(std::uint64_t seed) {
    state_[0] = seed;
    for (int k = 1; k < kWords; ++k)
        state_[k] = 6364136223846793005ULL * (state_[k - 1] ^ (state_[k - 1] >> 62)) +
                    static_cast<std::uint64_t>(k);
}

void MersenneTwister64::Twist() {
    constexpr int kShift = 156;
    constexpr std::uint64_t kUpper = ~0ULL << 31, kLower = ~kUpper;
    constexpr std::uint64_t kMatrix = 0xB5026F5AA96619E9ULL;
    const auto next = [&](std::uint64_t a, std::uint64_t b, std::uint64_t far) {
        const std::uint64_t y = (a & kUpper) | (b & kLower);
        return far ^ (y >> 1) ^ (kMatrix & (0 - (y & 1)));
    };
    int k = 0;
    for (; k < kWords - kShift; ++k)
        state_[k] = next(state_[k], state_[k + 1], state_[k + kShift]);
    for (; k < kWords - 1; ++k)
        state_[k] = next(state_[k], state_[k + 1], state_[k + kShift - kWords]);
    state_[kWords - 1] = next(state_[kWords - 1], state_[0], state_[kShift - 1]);
    index_ = 0;
}

// Marsaglia's polar form of Box-Muller: only sqrt (exact in IEEE arithmetic)
// and log, no trigonometry. Pairs of uniforms are drawn kCandidates at a time
// and those inside the unit circle kept, in order, without a branch per pair;
// a pair kept past the batch stays ready for the next.
void NormalDeviates::Refill() {
    double u[kBatch + kCandidates], v[kBatch + kCandidates], s[kBatch + kCandidates];
    int kept = 0;
    while (kept < kBatch) {
        for (int c = 0; c < kCandidates; ++c) {
            const double a = 2.0 * Uniform() - 1.0;
            const double b = 2.0 * Uniform() - 1.0;
            const double r = a * a + b * b;
            u[kept] = a;
            v[kept] = b;
            s[kept] = r;
            kept += (r < 1.0) & (r != 0.0);
        }
    }
    for (int k = 0; k < kept; ++k) {
        const double f = std::sqrt(-2.0 * std::log(s[k]) / s[k]);
        ready_[2 * k] = u[k] * f;
        ready_[2 * k + 1] = v[k] * f;
    }
    at_ = 0;
    count_ = 2 * kept;
}

void NormalDeviates::Fill(double* out, std::size_t count) {
    while (count > 0) {
        if (at_ == count_)
            Refill();
        const std::size_t take = std::min(count, static_cast<std::size_t>(count_ - at_));
        std::copy(ready_ + at_, ready_ + at_ + take, out);
        at_ += static_cast<int>(take);
        out += take;
        count -= take;
    }
}

// D(r) = 4 pi A r0^(-5/3) (2 pi r)^(5/3) I for the Kolmogorov spectrum
// A r0^(-5/3) f^(-11/3): A makes it 6.88 (r / r0)^(5/3).
double PhaseSpectrumConstant() {
    return kKolmogorovStructureConstant /
           (4.0 * kPi * std::pow(2.0 * kPi, 5.0 / 3.0) * KolmogorovIntegral());
}

double PhaseStructureFunction(double r, double r0, double outerScale) {
    if (!(r > 0) || !PositiveFinite(r0))
        return 0.0;
    if (!std::isfinite(outerScale))
        return kKolmogorovStructureConstant * std::pow(r / r0, 5.0 / 3.0);
    // D = 2 (B(0) - B(r)), B(r) the covariance of the von Karman spectrum:
    // 4 pi A (L0/r0)^(5/3) / (2^(5/6) Gamma(11/6)) [2^(-1/6) Gamma(5/6) - x^(5/6) K_5/6(x)],
    // x = 2 pi r / L0.
    const double x = 2.0 * kPi * r / outerScale;
    const double nu = 5.0 / 6.0;
    const double front = 4.0 * kPi * PhaseSpectrumConstant() * std::pow(outerScale / r0, 5.0 / 3.0) /
                         (std::pow(2.0, nu) * std::tgamma(1.0 + nu));
    const double atZero = std::pow(2.0, nu - 1.0) * std::tgamma(nu);
    return front * (atZero - std::pow(x, nu) * std::cyl_bessel_k(nu, x));
}

PhaseScreenGenerator::PhaseScreenGenerator(const PhaseScreenSettings& settings, std::uint64_t seed)
    : settings_(settings), normal_(seed) {
    valid_ = settings.n >= 2 && settings.n <= 4096 && PositiveFinite(settings.dx) && PositiveFinite(settings.r0) &&
             PositiveFinite(settings.wavelength) && settings.outerScale > 0 &&
             !std::isnan(settings.outerScale) && settings.subharmonicLevels >= 0 &&
             settings.subharmonicLevels <= 8;
    if (!valid_)
        return;
    fftSize_ = 1;
    while (fftSize_ < 2 * settings.n)
        fftSize_ *= 2;
    const int N = fftSize_;
    const double df = 1.0 / (N * settings.dx);
    const double a = PhaseSpectrumConstant() * std::pow(settings.r0, -5.0 / 3.0);
    const double f0Squared =
        std::isfinite(settings.outerScale) ? 1.0 / (settings.outerScale * settings.outerScale) : 0.0;
    const auto spectrum = [&](double fx, double fy) {
        return a * std::pow(fx * fx + fy * fy + f0Squared, -11.0 / 6.0);
    };
    amplitude_.assign(static_cast<std::size_t>(N) * N, 0.0);
    for (int p = 0; p < N; ++p)
        for (int q = 0; q < N; ++q) {
            if (p == 0 && q == 0)
                continue; // the zero frequency: the subharmonics cover its cell
            const double fx = (p < N / 2 ? p : p - N) * df;
            const double fy = (q < N / 2 ? q : q - N) * df;
            amplitude_[static_cast<std::size_t>(p) * N + q] = std::sqrt(spectrum(fx, fy)) * df;
        }
    // Level l splits the central cell of the level above into 3 x 3 cells
    // of df / 3^l, the centre left to the next level. Each subharmonic
    // carries the power of its whole cell (after Johansson and Gavel): with
    // the value at the cell's centre, three levels still miss a quarter of
    // the structure function at half the beam.
    double levelDf = df;
    for (int l = 1; l <= settings.subharmonicLevels; ++l) {
        levelDf /= 3.0;
        Level level;
        level.df = levelDf;
        for (int s = 0; s < 3; ++s)
            for (int t = 0; t < 3; ++t)
                if (s != 1 || t != 1)
                    level.amplitude[s][t] =
                        std::sqrt(CellIntegral(spectrum, (s - 1) * levelDf, (t - 1) * levelDf, levelDf));
        levels_.push_back(level);
    }
    work_.assign(2 * static_cast<std::size_t>(N) * N + 1, 0.0f);
}

// Two screens from one transform of complex noise: the real and imaginary
// parts are independent with the same statistics.
std::vector<double> PhaseScreenGenerator::MakePair() {
    const int N = fftSize_, n = settings_.n;
    const std::size_t cells = static_cast<std::size_t>(N) * N;
    // The deviates a block at a time: real and imaginary parts in turn.
    constexpr std::size_t kBlock = 512;
    double deviates[2 * kBlock];
    for (std::size_t start = 0; start < cells; start += kBlock) {
        const std::size_t count = std::min(kBlock, cells - start);
        normal_.Fill(deviates, 2 * count);
        for (std::size_t b = 0; b < count; ++b) {
            const std::size_t k = start + b;
            work_[1 + 2 * k] = static_cast<float>(deviates[2 * b] * amplitude_[k]);
            work_[2 + 2 * k] = static_cast<float>(deviates[2 * b + 1] * amplitude_[k]);
        }
    }
    // Only the screen's n rows of the transform are read.
    ComplexFFT2DPartial(FFTKernel::Generic, work_.data(), N, N, N, n, 1);

    // The subharmonics, separable in x and y: for each level and row of
    // x frequencies, g(y) = sum over y frequencies of c e^(2 pi i fy y).
    using C = std::complex<double>;
    std::vector<C> sub(static_cast<std::size_t>(n) * n, C(0.0, 0.0));
    std::vector<C> g(3 * static_cast<std::size_t>(n));
    std::vector<C> ex(3 * static_cast<std::size_t>(n));
    for (const Level& level : levels_) {
        C c[3][3];
        for (int s = 0; s < 3; ++s)
            for (int t = 0; t < 3; ++t) {
                const double re = normal_.Next(), im = normal_.Next();
                c[s][t] = C(re, im) * level.amplitude[s][t];
            }
        for (int k = 0; k < n; ++k) {
            const double phase = 2.0 * kPi * level.df * k * settings_.dx;
            const C e[3] = {std::polar(1.0, -phase), C(1.0, 0.0), std::polar(1.0, phase)};
            for (int s = 0; s < 3; ++s) {
                ex[s * n + k] = e[s];
                g[s * n + k] = c[s][0] * e[0] + c[s][1] * e[1] + c[s][2] * e[2];
            }
        }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                sub[static_cast<std::size_t>(i) * n + j] += ex[i] * g[j] + ex[n + i] * g[n + j] +
                                                            ex[2 * n + i] * g[2 * n + j];
    }

    const double toPath = settings_.wavelength / (2.0 * kPi);
    std::vector<double> first(static_cast<std::size_t>(n) * n);
    second_.assign(first.size(), 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const std::size_t at = static_cast<std::size_t>(i) * n + j;
            const std::size_t w = static_cast<std::size_t>(i) * N + j;
            first[at] = (work_[1 + 2 * w] + sub[at].real()) * toPath;
            second_[at] = (work_[2 + 2 * w] + sub[at].imag()) * toPath;
        }
    return first;
}

std::vector<double> PhaseScreenGenerator::Next() {
    if (!valid_)
        return {};
    if (haveSecond_) {
        haveSecond_ = false;
        return std::move(second_);
    }
    std::vector<double> first = MakePair();
    haveSecond_ = true;
    return first;
}

} // namespace ostrander
