#pragma once
// Atmospheric phase screens over the engine grid: Kolmogorov or von Karman
// (outer scale L0) turbulence, made by FFT on a larger periodic grid with
// three levels of subharmonics for the low orders the periodic grid misses
// (Lane et al. 1992), each carrying its cell's power (Johansson and Gavel
// 1994).
//
// The phase power spectrum is Phi(f) = A r0^(-5/3) (f^2 + 1/L0^2)^(-11/6),
// f in cycles per metre, with A chosen so that the Kolmogorov structure
// function is exactly 6.88 (r / r0)^(5/3) rad^2. One complex transform of
// complex white noise shaped by sqrt(Phi) gives two independent screens (its
// real and imaginary parts), so screens come in pairs.
//
// Reproducible on every machine: the random numbers are std::mt19937_64's
// (whose output the C++ standard defines; our own twister makes them) turned
// into normal deviates by our own Box-Muller transform, and the transform is our ComplexFFT in its
// baseline build (the same arithmetic whatever the processor).
//
// A screen is an optical path difference in metres (phase x wavelength /
// 2 pi), which for Kolmogorov turbulence does not depend on the wavelength;
// r0 is given at `wavelength`. Layout as the engine's grids: sample (i, j) at
// [i * n + j], i along x.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace ostrander {

// The 64-bit Mersenne twister, word for word std::mt19937_64 (whose output
// the C++ standard defines), with a twist that does not branch on the random
// bits, which costs the library's several times over.
class MersenneTwister64 {
public:
    explicit MersenneTwister64(std::uint64_t seed);
    std::uint64_t operator()() {
        if (index_ >= kWords)
            Twist();
        std::uint64_t y = state_[index_++];
        y ^= (y >> 29) & 0x5555555555555555ULL;
        y ^= (y << 17) & 0x71D67FFFEDA60000ULL;
        y ^= (y << 37) & 0xFFF7EEE000000000ULL;
        return y ^ (y >> 43);
    }

private:
    static constexpr int kWords = 312;
    void Twist();
    std::uint64_t state_[kWords];
    int index_ = kWords;
};

// Normal deviates from the twister by Box-Muller, the same numbers on every
// platform (unlike std::normal_distribution, whose algorithm each library
// chooses). They are made a batch at a time, in the order one at a time
// would make them.
class NormalDeviates {
public:
    explicit NormalDeviates(std::uint64_t seed) : engine_(seed) {}
    double Next() {
        if (at_ == count_)
            Refill();
        return ready_[at_++];
    }
    // The next count deviates, the same as count calls of Next.
    void Fill(double* out, std::size_t count);

private:
    static constexpr int kBatch = 256; // pairs made at a time
    static constexpr int kCandidates = 16; // pairs of uniforms drawn at a time
    double Uniform() { // in (0, 1]: 53 random bits, shifted off 0
        return (static_cast<double>(engine_() >> 11) + 1.0) * 0x1.0p-53;
    }
    void Refill();
    MersenneTwister64 engine_;
    double ready_[2 * (kBatch + kCandidates)];
    int at_ = 0, count_ = 0;
};

struct PhaseScreenSettings {
    int n = 0;         // samples per side of the screen
    double dx = 0.0;   // m
    double r0 = 0.0;   // Fried's parameter at `wavelength`, m
    double wavelength = 500e-9; // m
    double outerScale = std::numeric_limits<double>::infinity(); // L0, m
    int subharmonicLevels = 3; // 0: the periodic FFT screen alone
};

// The Kolmogorov structure function constant 6.88 and the spectrum constant A
// that gives it exactly.
inline constexpr double kKolmogorovStructureConstant = 6.88;
double PhaseSpectrumConstant();

// The phase structure function D(r) in rad^2 at r0's wavelength, for
// separation r (m); von Karman when L0 is finite (closed form with the
// modified Bessel function), 6.88 (r / r0)^(5/3) when it is infinite.
double PhaseStructureFunction(double r, double r0, double outerScale);

class PhaseScreenGenerator {
public:
    // Settings with n < 2, a non-positive or non-finite dx, r0 or wavelength,
    // an outer scale that is not positive or a negative subharmonic count
    // makes an invalid generator, whose screens are empty.
    PhaseScreenGenerator(const PhaseScreenSettings& settings, std::uint64_t seed);

    bool Valid() const { return valid_; }
    const PhaseScreenSettings& Settings() const { return settings_; }
    // Samples per side of the periodic FFT grid: the least power of 2 at
    // least twice n.
    int FftSize() const { return fftSize_; }

    // The next screen (n x n, optical path in metres); empty when invalid.
    std::vector<double> Next();

private:
    // Makes two screens: returns the first and keeps the second.
    std::vector<double> MakePair();

    PhaseScreenSettings settings_;
    bool valid_ = false;
    int fftSize_ = 0;
    NormalDeviates normal_;
    std::vector<double> amplitude_; // sqrt(Phi) df on the FFT grid, rad
    struct Level {
        double df = 0.0;
        double amplitude[3][3] = {}; // sqrt(Phi) df at (a - 1, b - 1) df
    };
    std::vector<Level> levels_;
    std::vector<float> work_;
    std::vector<double> second_; // the imaginary part's screen, waiting
    bool haveSecond_ = false;
};

} // namespace ostrander
