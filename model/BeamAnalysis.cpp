#include "model/BeamAnalysis.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
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

// Radial polynomial R_n^|m|(rho) = sum_k c_k rho^(n - 2k) with
// c_k = (-1)^k (n-k)! / (k! ((n+m)/2-k)! ((n-m)/2-k)!). The coefficients are
// integers made by their ratio c_{k+1} / c_k, exact in doubles for every order
// a beam analysis uses; the sum is evaluated by Horner's rule in rho^2.
double Radial(int n, int m, double rho) {
    m = std::abs(m);
    if (n < 0 || m > n || (n - m) % 2 != 0)
        return 0.0;
    const int last = (n - m) / 2;
    double c = 1.0; // c_0 = n! / (((n+m)/2)! ((n-m)/2)!), a binomial coefficient
    for (int i = 1; i <= last; ++i)
        c = std::round(c * ((n + m) / 2 + i) / i);
    const double rho2 = rho * rho;
    double sum = c;
    for (int k = 0; k < last; ++k) {
        c = std::round(-c * (static_cast<double>((n + m) / 2 - k) * ((n - m) / 2 - k)) /
                       (static_cast<double>(k + 1) * (n - k)));
        sum = sum * rho2 + c;
    }
    return sum * std::pow(rho, m);
}

// Samples of the beam, the design matrix of Noll terms over them and its
// factorisation: a beam grid never changes for a mirror, so the analysis of
// every surface reuses them.
struct ZernikeBasis {
    int n = 0;
    double dx = 0.0, beamRadius = 0.0;
    int terms = 0;
    std::vector<std::size_t> samples;
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr;
};

std::shared_ptr<const ZernikeBasis> MakeZernikeBasis(const BeamGrid& grid, int terms) {
    auto basis = std::make_shared<ZernikeBasis>();
    basis->n = grid.n;
    basis->dx = grid.dx;
    basis->beamRadius = grid.beamRadius;
    basis->terms = terms;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (InBeam(grid, i, j))
                basis->samples.push_back(static_cast<std::size_t>(i) * grid.n + j);
    if (static_cast<int>(basis->samples.size()) < terms)
        return basis;
    Eigen::MatrixXd a(basis->samples.size(), terms);
    for (std::size_t s = 0; s < basis->samples.size(); ++s) {
        const int i = static_cast<int>(basis->samples[s] / grid.n);
        const int j = static_cast<int>(basis->samples[s] % grid.n);
        const double x = (i - grid.n / 2) * grid.dx;
        const double y = (j - grid.n / 2) * grid.dx;
        const double rho = std::sqrt(x * x + y * y) / grid.beamRadius;
        const double theta = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(y, x);
        for (int t = 0; t < terms; ++t)
            a(static_cast<Eigen::Index>(s), t) = NollZernike(t + 1, rho, theta);
    }
    basis->qr.compute(a);
    return basis;
}

// The basis of a grid and term count, made once and kept among the few most
// recently used (a program works with one or two beam grids at a time).
std::shared_ptr<const ZernikeBasis> ZernikeBasisFor(const BeamGrid& grid, int terms) {
    static std::mutex mutex;
    static std::vector<std::shared_ptr<const ZernikeBasis>> kept;
    const auto same = [&](const std::shared_ptr<const ZernikeBasis>& b) {
        return b->n == grid.n && b->dx == grid.dx && b->beamRadius == grid.beamRadius &&
               b->terms == terms;
    };
    {
        const std::lock_guard lock(mutex);
        const auto it = std::find_if(kept.begin(), kept.end(), same);
        if (it != kept.end()) {
            auto found = *it;
            kept.erase(it);
            kept.push_back(found);
            return found;
        }
    }
    auto made = MakeZernikeBasis(grid, terms);
    const std::lock_guard lock(mutex);
    if (kept.size() >= 8)
        kept.erase(kept.begin());
    kept.push_back(made);
    return made;
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
    const auto basis = ZernikeBasisFor(grid, terms);
    if (static_cast<int>(basis->samples.size()) < terms)
        return {};
    Eigen::VectorXd b(basis->samples.size());
    for (std::size_t s = 0; s < basis->samples.size(); ++s) {
        const double value = surface[basis->samples[s]];
        if (!std::isfinite(value))
            return {};
        b(static_cast<Eigen::Index>(s)) = value;
    }
    const Eigen::VectorXd c = basis->qr.solve(b);
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
