#include "model/BoundedLeastSquares.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrander {

namespace {

using Bound = BoundedLeastSquaresResult::Bound;

} // namespace

BoundedLeastSquaresResult SolveBoundedLeastSquares(const std::vector<double>& a, int rows, int cols,
                                                   const std::vector<double>& b,
                                                   const std::vector<double>& lo,
                                                   const std::vector<double>& hi) {
    BoundedLeastSquaresResult result;
    if (rows < 0 || cols < 0 ||
        a.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) ||
        b.size() != static_cast<std::size_t>(rows) || lo.size() != static_cast<std::size_t>(cols) ||
        hi.size() != static_cast<std::size_t>(cols))
        return result;
    for (double v : a)
        if (!std::isfinite(v))
            return result;
    for (double v : b)
        if (!std::isfinite(v))
            return result;
    for (int k = 0; k < cols; ++k)
        if (std::isnan(lo[k]) || std::isnan(hi[k]) || lo[k] > hi[k] || lo[k] == HUGE_VAL ||
            hi[k] == -HUGE_VAL)
            return result;
    result.valid = true;

    const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>
        A(a.data(), rows, cols);
    const Eigen::Map<const Eigen::VectorXd> B(b.data(), rows);

    // Every variable starts at the point of its box nearest 0.
    result.x.assign(cols, 0.0);
    result.state.assign(cols, Bound::Free);
    for (int k = 0; k < cols; ++k) {
        result.x[k] = std::clamp(0.0, lo[k], hi[k]);
        result.state[k] = result.x[k] == lo[k] ? Bound::Lower
                          : result.x[k] == hi[k] ? Bound::Upper
                                                 : Bound::Free;
    }

    // The columns that take part, scaled to unit norm: u = s x.
    double largest = 0.0;
    Eigen::VectorXd norms(cols);
    for (int k = 0; k < cols; ++k) {
        norms[k] = A.col(k).norm();
        largest = std::max(largest, norms[k]);
    }
    std::vector<int> used;
    for (int k = 0; k < cols; ++k)
        if (norms[k] > 1e-13 * largest && norms[k] > 0.0)
            used.push_back(k);
    const int n = static_cast<int>(used.size());
    if (n == 0) {
        result.converged = true;
        result.residualNorm = B.norm();
        return result;
    }
    Eigen::MatrixXd scaled(rows, n);
    Eigen::VectorXd u(n), ulo(n), uhi(n);
    std::vector<Bound> state(n);
    for (int c = 0; c < n; ++c) {
        const int k = used[c];
        const double s = norms[k];
        scaled.col(c) = A.col(k) / s;
        u[c] = s * result.x[k];
        ulo[c] = std::isinf(lo[k]) ? lo[k] : s * lo[k];
        uhi[c] = std::isinf(hi[k]) ? hi[k] : s * hi[k];
        state[c] = result.state[k];
    }

    // The triangular factor: ||A u - b||^2 = ||R u - d||^2 + a constant.
    const int m = std::min(rows, n);
    Eigen::HouseholderQR<Eigen::MatrixXd> qr(scaled);
    const Eigen::MatrixXd R =
        qr.matrixQR().topRows(m).triangularView<Eigen::Upper>().toDenseMatrix();
    const Eigen::VectorXd d = (qr.householderQ().transpose() * B).head(m);
    const double tolerance = 1e-11 * std::max(d.norm(), std::numeric_limits<double>::min());

    // Solves the free variables with the others held; false when nothing is free.
    auto solveFree = [&](Eigen::VectorXd& z, std::vector<int>& free) {
        free.clear();
        for (int c = 0; c < n; ++c)
            if (state[c] == Bound::Free)
                free.push_back(c);
        if (free.empty())
            return false;
        Eigen::VectorXd rhs = d;
        Eigen::MatrixXd rf(m, static_cast<int>(free.size()));
        for (int c = 0, f = 0; c < n; ++c) {
            if (state[c] == Bound::Free)
                rf.col(f++) = R.col(c);
            else
                rhs -= R.col(c) * u[c];
        }
        z = rf.colPivHouseholderQr().solve(rhs);
        return true;
    };

    // Moves the free variables towards their unconstrained solution, stepping
    // back to the box; returns false when the variable just freed would move
    // the wrong way (it is then put back on its bound).
    auto settle = [&](int justFreed) {
        for (int inner = 0; inner <= n + 1; ++inner) {
            Eigen::VectorXd z;
            std::vector<int> free;
            if (!solveFree(z, free))
                return true;
            if (justFreed >= 0) {
                const auto it = std::find(free.begin(), free.end(), justFreed);
                const double target = z[it - free.begin()];
                const bool wrongWay =
                    (u[justFreed] == ulo[justFreed] && target <= u[justFreed]) ||
                    (u[justFreed] == uhi[justFreed] && target >= u[justFreed]);
                if (wrongWay) {
                    state[justFreed] = u[justFreed] == ulo[justFreed] ? Bound::Lower : Bound::Upper;
                    return false;
                }
                justFreed = -1;
            }
            double alpha = 1.0;
            int blocking = -1;
            Bound blockingBound = Bound::Lower;
            for (std::size_t f = 0; f < free.size(); ++f) {
                const int c = free[f];
                const bool below = z[f] < ulo[c], above = z[f] > uhi[c];
                if (!below && !above)
                    continue;
                const double step = ((below ? ulo[c] : uhi[c]) - u[c]) / (z[f] - u[c]);
                if (step < alpha) {
                    alpha = step;
                    blocking = c;
                    blockingBound = below ? Bound::Lower : Bound::Upper;
                }
            }
            alpha = std::clamp(alpha, 0.0, 1.0);
            for (std::size_t f = 0; f < free.size(); ++f) {
                const int c = free[f];
                u[c] = std::clamp(u[c] + alpha * (z[f] - u[c]), ulo[c], uhi[c]);
            }
            if (blocking < 0)
                return true;
            // The blocking variable, and any other that reached a bound with
            // it, is held there from now on.
            for (int c : free) {
                const double span = 1e-12 * std::max(1.0, std::fabs(u[c]));
                if (c == blocking)
                    state[c] = blockingBound;
                else if (u[c] - ulo[c] <= span)
                    state[c] = Bound::Lower;
                else if (uhi[c] - u[c] <= span)
                    state[c] = Bound::Upper;
                if (state[c] == Bound::Lower)
                    u[c] = ulo[c];
                else if (state[c] == Bound::Upper)
                    u[c] = uhi[c];
            }
        }
        return true;
    };

    settle(-1);
    std::vector<bool> refused(n, false);
    const int limit = 10 * n + 20;
    for (result.iterations = 0; result.iterations < limit; ++result.iterations) {
        const Eigen::VectorXd w = R.transpose() * (d - R * u);
        int best = -1;
        for (int c = 0; c < n; ++c) {
            if (refused[c] || state[c] == Bound::Free)
                continue;
            const bool descends = (state[c] == Bound::Lower && w[c] > tolerance) ||
                                  (state[c] == Bound::Upper && w[c] < -tolerance);
            if (descends && (best < 0 || std::fabs(w[c]) > std::fabs(w[best])))
                best = c;
        }
        if (best < 0) {
            result.converged = true;
            break;
        }
        state[best] = Bound::Free;
        if (settle(best))
            std::fill(refused.begin(), refused.end(), false);
        else
            refused[best] = true;
    }

    for (int c = 0; c < n; ++c) {
        const int k = used[c];
        result.state[k] = state[c];
        result.x[k] = state[c] == Bound::Lower   ? lo[k]
                      : state[c] == Bound::Upper ? hi[k]
                                                 : std::clamp(u[c] / norms[k], lo[k], hi[k]);
    }
    const Eigen::Map<const Eigen::VectorXd> X(result.x.data(), cols);
    result.residualNorm = (A * X - B).norm();
    return result;
}

} // namespace ostrander
