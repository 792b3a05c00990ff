#include "model/BeamAnalysis.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ostrander {

bool InBeam(const BeamGrid& grid, int i, int j) {
    const double x = (i - grid.n / 2) * grid.dx;
    const double y = (j - grid.n / 2) * grid.dx;
    return std::sqrt(x * x + y * y) < grid.beamRadius;
}

namespace {

bool Fits(std::span<const double> surface, const BeamGrid& grid) {
    return grid.n > 0 && surface.size() >= static_cast<std::size_t>(grid.n) * grid.n;
}

double At(std::span<const double> surface, int n, int i, int j) {
    return surface[static_cast<std::size_t>(i) * n + j];
}

// Radial polynomial R_n^|m|(rho).
double Radial(int n, int m, double rho) {
    m = std::abs(m);
    double sum = 0.0;
    for (int k = 0; k <= (n - m) / 2; ++k) {
        const double sign = (k % 2) ? -1.0 : 1.0;
        const double c = sign * std::tgamma(n - k + 1) /
                         (std::tgamma(k + 1) * std::tgamma((n + m) / 2 - k + 1) *
                          std::tgamma((n - m) / 2 - k + 1));
        sum += c * std::pow(rho, n - 2 * k);
    }
    return sum;
}

} // namespace

double LargestPhaseStep(std::span<const double> surface, const BeamGrid& grid,
                        double wavelength_m) {
    if (!Fits(surface, grid) || !(wavelength_m > 0.0))
        return 0.0;
    const int n = grid.n;
    const double k = 4.0 * std::numbers::pi / wavelength_m;
    double largest = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (!InBeam(grid, i, j))
                continue;
            const double h = At(surface, n, i, j);
            if (!std::isfinite(h))
                return std::numeric_limits<double>::infinity();
            if (i + 1 < n && InBeam(grid, i + 1, j))
                largest = std::max(largest, std::fabs(k * (At(surface, n, i + 1, j) - h)));
            if (j + 1 < n && InBeam(grid, i, j + 1))
                largest = std::max(largest, std::fabs(k * (At(surface, n, i, j + 1) - h)));
        }
    return std::isfinite(largest) ? largest : std::numeric_limits<double>::infinity();
}

double BeamRms(std::span<const double> surface, const BeamGrid& grid) {
    if (!Fits(surface, grid))
        return 0.0;
    double sum = 0.0;
    long count = 0;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (InBeam(grid, i, j)) {
                sum += At(surface, grid.n, i, j);
                ++count;
            }
    if (count == 0)
        return 0.0;
    const double mean = sum / count;
    double squares = 0.0;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (InBeam(grid, i, j)) {
                const double d = At(surface, grid.n, i, j) - mean;
                squares += d * d;
            }
    return std::sqrt(squares / count);
}

void NollIndex(int j, int& n, int& m) {
    j = std::max(j, 1);
    n = 0;
    while (j > (n + 1) * (n + 2) / 2)
        ++n;
    const int k = j - n * (n + 1) / 2 - 1; // place within the radial order
    const int absM = n % 2 + 2 * ((k + (n + 1) % 2) / 2);
    m = (absM != 0 && j % 2 == 1) ? -absM : absM;
}

double NollZernike(int j, double rho, double theta) {
    int n = 0, m = 0;
    NollIndex(j, n, m);
    const double radial = Radial(n, m, rho);
    if (m == 0)
        return std::sqrt(n + 1.0) * radial;
    const double norm = std::sqrt(2.0 * (n + 1));
    return norm * radial * (m > 0 ? std::cos(m * theta) : std::sin(-m * theta));
}

std::vector<double> NollZernikeCoefficients(std::span<const double> surface,
                                            const BeamGrid& grid, int terms) {
    if (!Fits(surface, grid) || terms < 1 || !(grid.beamRadius > 0.0))
        return {};
    std::vector<std::pair<int, int>> samples;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (InBeam(grid, i, j)) {
                if (!std::isfinite(At(surface, grid.n, i, j)))
                    return {};
                samples.emplace_back(i, j);
            }
    if (static_cast<int>(samples.size()) < terms)
        return {};
    Eigen::MatrixXd a(samples.size(), terms);
    Eigen::VectorXd b(samples.size());
    for (std::size_t s = 0; s < samples.size(); ++s) {
        const auto [i, j] = samples[s];
        const double x = (i - grid.n / 2) * grid.dx;
        const double y = (j - grid.n / 2) * grid.dx;
        const double rho = std::sqrt(x * x + y * y) / grid.beamRadius;
        const double theta = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(y, x);
        for (int t = 0; t < terms; ++t)
            a(static_cast<Eigen::Index>(s), t) = NollZernike(t + 1, rho, theta);
        b(static_cast<Eigen::Index>(s)) = At(surface, grid.n, i, j);
    }
    const Eigen::VectorXd c = a.colPivHouseholderQr().solve(b);
    return std::vector<double>(c.data(), c.data() + c.size());
}

std::vector<double> EncircledEnergy(std::span<const double> intensity, int size,
                                    int maxRadius) {
    if (size <= 0 || maxRadius < 0 ||
        intensity.size() < static_cast<std::size_t>(size) * size)
        return {};
    // Intensity by the whole-pixel ring each element falls in (ring k holds
    // distances in (k - 1, k]), then summed outwards.
    std::vector<double> ring(static_cast<std::size_t>(maxRadius) + 1, 0.0);
    double total = 0.0;
    const int centre = size / 2;
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const double value = intensity[static_cast<std::size_t>(r) * size + c];
            total += value;
            const double distance = std::hypot(r - centre, c - centre);
            const auto k = static_cast<long>(std::ceil(distance - 1e-12));
            if (k <= maxRadius)
                ring[static_cast<std::size_t>(k)] += value;
        }
    if (!std::isfinite(total) || !(total > 0.0))
        return {};
    std::vector<double> fraction(ring.size());
    double sum = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        sum += ring[k];
        fraction[k] = sum / total;
    }
    return fraction;
}

double FlatMirrorPeak(const BeamGrid& grid, double gaussianRadius) {
    if (grid.n <= 0 || !(grid.dx > 0.0) || !(gaussianRadius > 0.0))
        return 0.0;
    double sum = 0.0;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j) {
            const double x = (i - grid.n / 2) * grid.dx;
            const double y = (j - grid.n / 2) * grid.dx;
            sum += std::exp(-(x * x + y * y) / (gaussianRadius * gaussianRadius));
        }
    return sum * sum;
}

double StrehlRatio(std::span<const double> intensity, double flatPeak) {
    if (intensity.empty() || !std::isfinite(flatPeak) || !(flatPeak > 0.0))
        return 0.0;
    double peak = 0.0;
    for (const double value : intensity) {
        if (!std::isfinite(value))
            return 0.0;
        peak = std::max(peak, value);
    }
    return peak / flatPeak;
}

} // namespace ostrander
