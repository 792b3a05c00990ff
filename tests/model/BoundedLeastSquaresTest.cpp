// The bounded least-squares solver against independent answers: a dense QR
// solve when no bound binds, and an exhaustive search over every assignment
// of the variables to lower bound, free or upper bound on small problems.
#include "model/BoundedLeastSquares.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace ostrander {
namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Problem {
    int rows, cols;
    std::vector<double> a, b;
};

// Smooth, strongly correlated columns, as influence functions are.
Problem Correlated(int rows, int cols, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    Problem p{rows, cols, std::vector<double>(static_cast<std::size_t>(rows) * cols), {}};
    for (int r = 0; r < rows; ++r) {
        const double t = double(r) / rows;
        for (int c = 0; c < cols; ++c)
            p.a[static_cast<std::size_t>(r) * cols + c] =
                std::exp(-std::pow((t - double(c) / cols) * 4, 2)) + 0.01 * noise(rng);
        p.b.push_back(std::sin(7 * t) + 0.3 * noise(rng));
    }
    return p;
}

double Objective(const Problem& p, const std::vector<double>& x) {
    const Eigen::Map<const RowMatrix> A(p.a.data(), p.rows, p.cols);
    const Eigen::Map<const Eigen::VectorXd> X(x.data(), p.cols), B(p.b.data(), p.rows);
    return (A * X - B).norm();
}

TEST(BoundedLeastSquares, WithoutBoundsIsTheDenseLeastSquaresSolution) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const Problem p = Correlated(300, 12, seed);
        const BoundedLeastSquaresResult r = SolveBoundedLeastSquares(
            p.a, p.rows, p.cols, p.b, std::vector<double>(p.cols, -kInf),
            std::vector<double>(p.cols, kInf));
        ASSERT_TRUE(r.valid && r.converged);
        const Eigen::Map<const RowMatrix> A(p.a.data(), p.rows, p.cols);
        const Eigen::VectorXd x =
            A.colPivHouseholderQr().solve(Eigen::Map<const Eigen::VectorXd>(p.b.data(), p.rows));
        for (int k = 0; k < p.cols; ++k)
            EXPECT_NEAR(r.x[k], x[k], 1e-7 * (1 + std::fabs(x[k]))) << "seed " << seed << " x" << k;
        EXPECT_NEAR(r.residualNorm, (A * x - Eigen::Map<const Eigen::VectorXd>(p.b.data(), p.rows)).norm(),
                    1e-9);
    }
}

// The best point over all 3^n ways of holding variables at a bound or
// leaving them free (each free set solved by QR, kept when inside the box).
double ExhaustiveBest(const Problem& p, const std::vector<double>& lo, const std::vector<double>& hi) {
    const Eigen::Map<const RowMatrix> A(p.a.data(), p.rows, p.cols);
    const Eigen::Map<const Eigen::VectorXd> B(p.b.data(), p.rows);
    int combos = 1;
    for (int k = 0; k < p.cols; ++k)
        combos *= 3;
    double best = kInf;
    for (int code = 0; code < combos; ++code) {
        std::vector<int> state(p.cols);
        for (int k = 0, c = code; k < p.cols; ++k, c /= 3)
            state[k] = c % 3; // 0 lower, 1 free, 2 upper
        Eigen::VectorXd x(p.cols), rhs = B;
        std::vector<int> free;
        for (int k = 0; k < p.cols; ++k) {
            if (state[k] == 1) {
                free.push_back(k);
                continue;
            }
            x[k] = state[k] == 0 ? lo[k] : hi[k];
            if (std::isinf(x[k]))
                goto next;
            rhs -= A.col(k) * x[k];
        }
        if (!free.empty()) {
            Eigen::MatrixXd af(p.rows, static_cast<int>(free.size()));
            for (std::size_t f = 0; f < free.size(); ++f)
                af.col(f) = A.col(free[f]);
            const Eigen::VectorXd z = af.colPivHouseholderQr().solve(rhs);
            for (std::size_t f = 0; f < free.size(); ++f) {
                if (z[f] < lo[free[f]] - 1e-12 || z[f] > hi[free[f]] + 1e-12)
                    goto next;
                x[free[f]] = z[f];
            }
        }
        best = std::min(best, (A * x - B).norm());
    next:;
    }
    return best;
}

TEST(BoundedLeastSquares, MatchesTheExhaustiveSearchWhereBoundsBind) {
    struct Case {
        unsigned seed;
        double lo, hi;
    };
    // Non-negative only; a box; a box that excludes the unbounded optimum on
    // every side; an upper bound alone.
    const Case cases[] = {{4, 0.0, kInf}, {5, -0.5, 0.5}, {6, 0.1, 0.2}, {7, -kInf, 0.0}};
    for (const Case& c : cases) {
        const Problem p = Correlated(120, 6, c.seed);
        const std::vector<double> lo(p.cols, c.lo), hi(p.cols, c.hi);
        const BoundedLeastSquaresResult r = SolveBoundedLeastSquares(p.a, p.rows, p.cols, p.b, lo, hi);
        ASSERT_TRUE(r.valid && r.converged) << "seed " << c.seed;
        int bound = 0;
        for (int k = 0; k < p.cols; ++k) {
            EXPECT_GE(r.x[k], lo[k]);
            EXPECT_LE(r.x[k], hi[k]);
            bound += r.state[k] != BoundedLeastSquaresResult::Bound::Free;
            // A variable held at a bound is exactly there.
            if (r.state[k] == BoundedLeastSquaresResult::Bound::Lower) {
                EXPECT_EQ(r.x[k], lo[k]);
            } else if (r.state[k] == BoundedLeastSquaresResult::Bound::Upper) {
                EXPECT_EQ(r.x[k], hi[k]);
            }
        }
        EXPECT_GT(bound, 0) << "seed " << c.seed << ": no bound binds, the case tests nothing";
        EXPECT_NEAR(Objective(p, r.x), ExhaustiveBest(p, lo, hi), 1e-9) << "seed " << c.seed;
        EXPECT_NEAR(r.residualNorm, Objective(p, r.x), 1e-12);
    }
}

TEST(BoundedLeastSquares, ZeroColumnsAndFixedVariablesStayAtTheirBounds) {
    Problem p = Correlated(80, 4, 8);
    for (int r = 0; r < p.rows; ++r)
        p.a[static_cast<std::size_t>(r) * p.cols + 1] = 0.0;
    const std::vector<double> lo{0.0, 2.0, 0.3, -kInf}, hi{kInf, 5.0, 0.3, kInf};
    const BoundedLeastSquaresResult r = SolveBoundedLeastSquares(p.a, p.rows, p.cols, p.b, lo, hi);
    ASSERT_TRUE(r.valid && r.converged);
    EXPECT_EQ(r.x[1], 2.0); // no column: the bound nearest 0
    EXPECT_EQ(r.x[2], 0.3); // lo == hi
    EXPECT_NEAR(Objective(p, r.x), ExhaustiveBest(p, lo, hi), 1e-9);
}

TEST(BoundedLeastSquares, RefusesInconsistentInput) {
    const Problem p = Correlated(20, 3, 9);
    const std::vector<double> lo(3, 0.0), hi(3, 1.0);
    EXPECT_FALSE(SolveBoundedLeastSquares(p.a, p.rows, 4, p.b, lo, hi).valid);
    EXPECT_FALSE(SolveBoundedLeastSquares(p.a, p.rows, p.cols, p.b, hi, lo).valid); // lo > hi
    std::vector<double> nan = p.b;
    nan[3] = std::nan("");
    EXPECT_FALSE(SolveBoundedLeastSquares(p.a, p.rows, p.cols, nan, lo, hi).valid);
    EXPECT_FALSE(
        SolveBoundedLeastSquares(p.a, p.rows, p.cols, p.b, {0, std::nan(""), 0}, hi).valid);
}

TEST(BoundedLeastSquares, OneReductionServesManyRightHandSidesAndBoxes) {
    // Each solve with the shared reduction is the exhaustive optimum of its
    // own right-hand side and box: nothing of one solve leaks into the next.
    const Problem p = Correlated(150, 6, 21);
    const BoundedLeastSquaresFactor factor(p.a, p.rows, p.cols);
    ASSERT_TRUE(factor.Valid());
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double boxes[][2] = {{0.0, kInf}, {-0.5, 0.5}, {0.1, 0.2}, {-kInf, kInf}, {0.0, kInf}};
    for (const auto& box : boxes) {
        Problem q = p;
        for (double& v : q.b)
            v = 2.0 * noise(rng);
        const std::vector<double> lo(p.cols, box[0]), hi(p.cols, box[1]);
        const BoundedLeastSquaresResult r = factor.Solve(q.b, lo, hi);
        ASSERT_TRUE(r.valid && r.converged);
        EXPECT_NEAR(Objective(q, r.x), ExhaustiveBest(q, lo, hi), 1e-9);
        EXPECT_NEAR(r.residualNorm, Objective(q, r.x), 1e-12);
    }
    // Wrong sizes of the right-hand side or the box are refused per solve;
    // a matrix with a non-finite entry refuses every solve.
    EXPECT_FALSE(factor.Solve(std::vector<double>(p.rows - 1, 0.0), std::vector<double>(p.cols, 0.0),
                              std::vector<double>(p.cols, 1.0))
                     .valid);
    EXPECT_FALSE(factor.Solve(p.b, std::vector<double>(2, 0.0), std::vector<double>(2, 1.0)).valid);
    std::vector<double> bad = p.a;
    bad[7] = INFINITY;
    const BoundedLeastSquaresFactor broken(bad, p.rows, p.cols);
    EXPECT_FALSE(broken.Valid());
    EXPECT_FALSE(
        broken.Solve(p.b, std::vector<double>(p.cols, 0.0), std::vector<double>(p.cols, 1.0)).valid);
}

TEST(BoundedLeastSquares, AStartAnywhereReachesTheSameAnswer) {
    // Starts inside the box, on its faces and outside it (clamped) all end at
    // the answer of the start nearest 0; the residual may be left out.
    const Problem p = Correlated(150, 6, 22);
    const BoundedLeastSquaresFactor factor(p.a, p.rows, p.cols);
    const std::vector<double> lo(p.cols, -0.5), hi(p.cols, 0.5);
    const BoundedLeastSquaresResult cold = factor.Solve(p.b, lo, hi);
    ASSERT_TRUE(cold.valid && cold.converged);
    const std::vector<std::vector<double>> starts = {
        std::vector<double>(p.cols, 0.25), std::vector<double>(p.cols, -0.5),
        {0.5, -0.5, 0.1, 0.0, 0.4, -0.2}, std::vector<double>(p.cols, 7.0)};
    for (const std::vector<double>& start : starts) {
        const BoundedLeastSquaresResult r = factor.Solve(p.b, lo, hi, false, start);
        ASSERT_TRUE(r.valid && r.converged);
        EXPECT_TRUE(std::isnan(r.residualNorm));
        for (int k = 0; k < p.cols; ++k) {
            EXPECT_NEAR(r.x[k], cold.x[k], 1e-9) << "x" << k;
            EXPECT_EQ(r.state[k], cold.state[k]) << "x" << k;
        }
    }
    EXPECT_NEAR(Objective(p, cold.x), ExhaustiveBest(p, lo, hi), 1e-9);
    EXPECT_FALSE(factor.Solve(p.b, lo, hi, true, std::vector<double>(p.cols - 1, 0.0)).valid);
    EXPECT_FALSE(factor.Solve(p.b, lo, hi, true, {0, 0, NAN, 0, 0, 0}).valid);
}

} // namespace
} // namespace ostrander
