#include "model/BoundedLeastSquares.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace ostrander {

namespace {

using Bound = BoundedLeastSquaresResult::Bound;
using RowMajorMap =
    Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>;

// Consistent sizes and finite entries of the matrix.
bool MatrixValid(const std::vector<double>& a, int rows, int cols) {
    if (rows < 0 || cols < 0 ||
        a.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols))
        return false;
    for (double v : a)
        if (!std::isfinite(v))
            return false;
    return true;
}

// A right-hand side of the matrix's rows, finite, and a non-empty box for
// every variable.
bool InputsValid(int rows, int cols, const std::vector<double>& b, const std::vector<double>& lo,
                 const std::vector<double>& hi) {
    if (b.size() != static_cast<std::size_t>(rows) || lo.size() != static_cast<std::size_t>(cols) ||
        hi.size() != static_cast<std::size_t>(cols))
        return false;
    for (double v : b)
        if (!std::isfinite(v))
            return false;
    for (int k = 0; k < cols; ++k)
        if (std::isnan(lo[k]) || std::isnan(hi[k]) || lo[k] > hi[k] || lo[k] == HUGE_VAL ||
            hi[k] == -HUGE_VAL)
            return false;
    return true;
}

// Every variable starts at the point of its box nearest 0.
void StartNearestZero(const std::vector<double>& lo, const std::vector<double>& hi,
                      BoundedLeastSquaresResult& result) {
    const std::size_t cols = lo.size();
    result.x.assign(cols, 0.0);
    result.state.assign(cols, Bound::Free);
    for (std::size_t k = 0; k < cols; ++k) {
        result.x[k] = std::clamp(0.0, lo[k], hi[k]);
        result.state[k] = result.x[k] == lo[k] ? Bound::Lower
                          : result.x[k] == hi[k] ? Bound::Upper
                                                 : Bound::Free;
    }
}

// The columns that take part (a norm above 1e-13 of the largest) and every
// column's norm.
template <class Matrix> std::vector<int> UsedColumns(const Matrix& A, Eigen::VectorXd& norms) {
    const int cols = static_cast<int>(A.cols());
    double largest = 0.0;
    norms.resize(cols);
    for (int k = 0; k < cols; ++k) {
        norms[k] = A.col(k).norm();
        largest = std::max(largest, norms[k]);
    }
    std::vector<int> used;
    for (int k = 0; k < cols; ++k)
        if (norms[k] > 1e-13 * largest && norms[k] > 0.0)
            used.push_back(k);
    return used;
}

// The problem in the scaled variables u = s x of the used columns, reduced to
// the triangular factor: ||A u - b||^2 = ||R u - d||^2 + a constant. Holds
// the active-set state: u, its box and where each variable sits; R is the
// factor's, shared by every solve.
class ReducedProblem {
public:
    ReducedProblem(const Eigen::MatrixXd& r, Eigen::VectorXd d, const std::vector<int>& used,
                   const Eigen::VectorXd& norms, const std::vector<double>& lo,
                   const std::vector<double>& hi, const BoundedLeastSquaresResult& start);

    // Frees, one at a time, the held variable along which the residual falls
    // fastest, until none does (true) or the step limit is reached (false);
    // `iterations` counts the rounds.
    bool Solve(int& iterations);

    double U(int c) const { return u_[c]; }
    Bound State(int c) const { return state_[c]; }

private:
    bool SolveFree(Eigen::VectorXd& z, std::vector<int>& free) const;
    bool Settle(int justFreed);
    void HoldAtBounds(const std::vector<int>& free, int blocking, Bound blockingBound);

    int n_ = 0; // variables
    int m_ = 0; // rows of the triangular factor
    const Eigen::MatrixXd& r_;
    Eigen::VectorXd d_;
    double tolerance_ = 0.0;
    Eigen::VectorXd u_, ulo_, uhi_;
    std::vector<Bound> state_;
};

ReducedProblem::ReducedProblem(const Eigen::MatrixXd& r, Eigen::VectorXd d,
                               const std::vector<int>& used, const Eigen::VectorXd& norms,
                               const std::vector<double>& lo, const std::vector<double>& hi,
                               const BoundedLeastSquaresResult& start)
    : n_(static_cast<int>(used.size())), m_(static_cast<int>(r.rows())), r_(r), d_(std::move(d)),
      u_(n_), ulo_(n_), uhi_(n_), state_(n_) {
    for (int c = 0; c < n_; ++c) {
        const int k = used[c];
        const double s = norms[k];
        u_[c] = s * start.x[k];
        ulo_[c] = std::isinf(lo[k]) ? lo[k] : s * lo[k];
        uhi_[c] = std::isinf(hi[k]) ? hi[k] : s * hi[k];
        state_[c] = start.state[k];
    }
    tolerance_ = 1e-11 * std::max(d_.norm(), std::numeric_limits<double>::min());
}

// Solves the free variables with the others held; false when nothing is free.
// R's free columns are upper triangular but for the steps that held columns
// leave below the diagonal, which Givens rotations take out in far fewer
// operations than a new factorisation; a free set whose triangle comes out
// (nearly) singular is solved with the rank-revealing QR instead.
bool ReducedProblem::SolveFree(Eigen::VectorXd& z, std::vector<int>& free) const {
    free.clear();
    for (int c = 0; c < n_; ++c)
        if (state_[c] == Bound::Free)
            free.push_back(c);
    if (free.empty())
        return false;
    const int f = static_cast<int>(free.size());
    Eigen::VectorXd rhs = d_;
    Eigen::MatrixXd rf(m_, f);
    for (int c = 0, k = 0; c < n_; ++c) {
        if (state_[c] == Bound::Free)
            rf.col(k++) = r_.col(c);
        else
            rhs -= r_.col(c) * u_[c];
    }
    if (f <= m_) {
        Eigen::MatrixXd t = rf;
        Eigen::VectorXd y = rhs;
        for (int j = 0; j < f; ++j)
            for (int row = std::min(free[j], m_ - 1); row > j; --row) {
                const double below = t(row, j);
                if (below == 0.0)
                    continue;
                // Columns of unit norm: no scaling against overflow needed.
                const double above = t(j, j), h = std::sqrt(above * above + below * below);
                const double c = above / h, s = below / h;
                for (int k = j; k < f; ++k) {
                    const double a = t(j, k), b = t(row, k);
                    t(j, k) = c * a + s * b;
                    t(row, k) = c * b - s * a;
                }
                const double a = y[j], b = y[row];
                y[j] = c * a + s * b;
                y[row] = c * b - s * a;
                t(row, j) = 0.0;
            }
        const Eigen::VectorXd diagonal = t.diagonal().head(f).cwiseAbs();
        if (diagonal.minCoeff() > 1e-10 * diagonal.maxCoeff()) {
            z = t.topLeftCorner(f, f).triangularView<Eigen::Upper>().solve(y.head(f));
            return true;
        }
    }
    z = rf.colPivHouseholderQr().solve(rhs);
    return true;
}

// The blocking variable, and any other that reached a bound with it, is
// held there from now on.
void ReducedProblem::HoldAtBounds(const std::vector<int>& free, int blocking,
                                  Bound blockingBound) {
    for (int c : free) {
        const double span = 1e-12 * std::max(1.0, std::fabs(u_[c]));
        if (c == blocking)
            state_[c] = blockingBound;
        else if (u_[c] - ulo_[c] <= span)
            state_[c] = Bound::Lower;
        else if (uhi_[c] - u_[c] <= span)
            state_[c] = Bound::Upper;
        if (state_[c] == Bound::Lower)
            u_[c] = ulo_[c];
        else if (state_[c] == Bound::Upper)
            u_[c] = uhi_[c];
    }
}

// Moves the free variables towards their unconstrained solution, stepping
// back to the box; returns false when the variable just freed would move
// the wrong way (it is then put back on its bound).
bool ReducedProblem::Settle(int justFreed) {
    for (int inner = 0; inner <= n_ + 1; ++inner) {
        Eigen::VectorXd z;
        std::vector<int> free;
        if (!SolveFree(z, free))
            return true;
        if (justFreed >= 0) {
            const auto it = std::find(free.begin(), free.end(), justFreed);
            const double target = z[it - free.begin()];
            const bool wrongWay = (u_[justFreed] == ulo_[justFreed] && target <= u_[justFreed]) ||
                                  (u_[justFreed] == uhi_[justFreed] && target >= u_[justFreed]);
            if (wrongWay) {
                state_[justFreed] = u_[justFreed] == ulo_[justFreed] ? Bound::Lower : Bound::Upper;
                return false;
            }
            justFreed = -1;
        }
        double alpha = 1.0;
        int blocking = -1;
        Bound blockingBound = Bound::Lower;
        for (std::size_t f = 0; f < free.size(); ++f) {
            const int c = free[f];
            const bool below = z[f] < ulo_[c], above = z[f] > uhi_[c];
            if (!below && !above)
                continue;
            const double step = ((below ? ulo_[c] : uhi_[c]) - u_[c]) / (z[f] - u_[c]);
            if (step < alpha) {
                alpha = step;
                blocking = c;
                blockingBound = below ? Bound::Lower : Bound::Upper;
            }
        }
        alpha = std::clamp(alpha, 0.0, 1.0);
        for (std::size_t f = 0; f < free.size(); ++f) {
            const int c = free[f];
            u_[c] = std::clamp(u_[c] + alpha * (z[f] - u_[c]), ulo_[c], uhi_[c]);
        }
        if (blocking < 0)
            return true;
        HoldAtBounds(free, blocking, blockingBound);
    }
    return true;
}

bool ReducedProblem::Solve(int& iterations) {
    Settle(-1);
    std::vector<bool> refused(n_, false);
    const int limit = 10 * n_ + 20;
    for (iterations = 0; iterations < limit; ++iterations) {
        const Eigen::VectorXd w = r_.transpose() * (d_ - r_ * u_);
        int best = -1;
        for (int c = 0; c < n_; ++c) {
            if (refused[c] || state_[c] == Bound::Free)
                continue;
            const bool descends = (state_[c] == Bound::Lower && w[c] > tolerance_) ||
                                  (state_[c] == Bound::Upper && w[c] < -tolerance_);
            if (descends && (best < 0 || std::fabs(w[c]) > std::fabs(w[best])))
                best = c;
        }
        if (best < 0)
            return true;
        state_[best] = Bound::Free;
        if (Settle(best))
            std::fill(refused.begin(), refused.end(), false);
        else
            refused[best] = true;
    }
    return false;
}

} // namespace

// The matrix, its column norms, the used columns scaled to unit norm reduced
// to R, and the thin Q that turns a right-hand side into d = Q^T b.
struct BoundedLeastSquaresFactor::Data {
    int rows = 0, cols = 0;
    bool valid = false;
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> a;
    Eigen::VectorXd norms;
    std::vector<int> used;
    Eigen::MatrixXd r;
    // The Householder reflections of the reduction: Q^T b is applied from
    // them, which costs what a product with an explicit Q costs, without
    // forming Q (as much work as the reduction itself).
    Eigen::HouseholderQR<Eigen::MatrixXd> qr;
    int m = 0;
};

BoundedLeastSquaresFactor::BoundedLeastSquaresFactor(const std::vector<double>& a, int rows,
                                                     int cols) {
    const auto data = std::make_shared<Data>();
    data_ = data;
    Data& d = *data;
    d.rows = rows;
    d.cols = cols;
    if (!MatrixValid(a, rows, cols))
        return;
    d.valid = true;
    d.a = RowMajorMap(a.data(), rows, cols);
    d.used = UsedColumns(d.a, d.norms);
    if (d.used.empty())
        return;
    const int n = static_cast<int>(d.used.size());
    Eigen::MatrixXd scaled(rows, n);
    for (int c = 0; c < n; ++c)
        scaled.col(c) = d.a.col(d.used[c]) / d.norms[d.used[c]];
    d.m = std::min(rows, n);
    d.qr.compute(scaled);
    d.r = d.qr.matrixQR().topRows(d.m).triangularView<Eigen::Upper>().toDenseMatrix();
}

BoundedLeastSquaresFactor::~BoundedLeastSquaresFactor() = default;

bool BoundedLeastSquaresFactor::Valid() const { return data_->valid; }
int BoundedLeastSquaresFactor::Rows() const { return data_->rows; }
int BoundedLeastSquaresFactor::Cols() const { return data_->cols; }

BoundedLeastSquaresResult BoundedLeastSquaresFactor::Solve(const std::vector<double>& b,
                                                           const std::vector<double>& lo,
                                                           const std::vector<double>& hi) const {
    return Solve(b, lo, hi, true, {});
}

BoundedLeastSquaresResult BoundedLeastSquaresFactor::Solve(const std::vector<double>& b,
                                                           const std::vector<double>& lo,
                                                           const std::vector<double>& hi,
                                                           bool residual,
                                                           const std::vector<double>& start) const {
    const Data& d = *data_;
    BoundedLeastSquaresResult result;
    if (!d.valid || !InputsValid(d.rows, d.cols, b, lo, hi))
        return result;
    if (!start.empty() &&
        (start.size() != static_cast<std::size_t>(d.cols) ||
         !std::all_of(start.begin(), start.end(), [](double v) { return std::isfinite(v); })))
        return result;
    result.valid = true;

    const Eigen::Map<const Eigen::VectorXd> B(b.data(), d.rows);
    StartNearestZero(lo, hi, result);
    for (std::size_t k = 0; k < start.size(); ++k) {
        result.x[k] = std::clamp(start[k], lo[k], hi[k]);
        result.state[k] = result.x[k] == lo[k]   ? Bound::Lower
                          : result.x[k] == hi[k] ? Bound::Upper
                                                 : Bound::Free;
    }
    if (d.used.empty()) {
        result.converged = true;
        result.residualNorm = B.norm();
        return result;
    }

    const Eigen::VectorXd qtb = (d.qr.householderQ().adjoint() * B).head(d.m);
    ReducedProblem problem(d.r, qtb, d.used, d.norms, lo, hi, result);
    result.converged = problem.Solve(result.iterations);

    // Back to the unscaled variables; those on a bound sit on it exactly.
    for (std::size_t c = 0; c < d.used.size(); ++c) {
        const int k = d.used[c];
        const Bound state = problem.State(static_cast<int>(c));
        result.state[k] = state;
        result.x[k] = state == Bound::Lower   ? lo[k]
                      : state == Bound::Upper ? hi[k]
                                              : std::clamp(problem.U(static_cast<int>(c)) / d.norms[k],
                                                           lo[k], hi[k]);
    }
    const Eigen::Map<const Eigen::VectorXd> X(result.x.data(), d.cols);
    result.residualNorm = residual ? (d.a * X - B).norm() : std::numeric_limits<double>::quiet_NaN();
    return result;
}

BoundedLeastSquaresResult SolveBoundedLeastSquares(const std::vector<double>& a, int rows, int cols,
                                                   const std::vector<double>& b,
                                                   const std::vector<double>& lo,
                                                   const std::vector<double>& hi) {
    return BoundedLeastSquaresFactor(a, rows, cols).Solve(b, lo, hi);
}

} // namespace ostrander
