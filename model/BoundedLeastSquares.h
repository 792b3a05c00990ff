#pragma once
// Bounded-variable least squares: minimise ||A x - b|| subject to
// lo <= x <= hi, each bound possibly infinite. An active-set method in the
// manner of Stark and Parker: the columns are scaled to unit norm, A is
// reduced once to its triangular factor (so every later step works on a
// cols x cols system, however many rows A has), then variables are freed
// one at a time along the steepest descent and the free set solved on R's
// free columns made triangular again (a rank-revealing QR where they are
// nearly singular), stepping back to the bounds whenever that solve leaves
// the box. Columns that vanish keep their variable at the bound nearest 0.
#include <memory>
#include <vector>

namespace ostrander {

struct BoundedLeastSquaresResult {
    // Where each variable ends: at its lower bound, free, or at its upper bound.
    enum class Bound { Lower, Free, Upper };
    std::vector<double> x;
    std::vector<Bound> state;
    double residualNorm = 0.0; // ||A x - b||
    int iterations = 0;
    bool converged = false; // the optimality conditions hold (false: gave up after the step limit)
    bool valid = false;     // false for inconsistent sizes, lo > hi or non-finite entries
};

// One matrix A, reduced once, for many right-hand sides and boxes: each
// Solve costs the active-set steps on the cols x cols factor and two passes
// over A (d = Q^T b and the residual), not a new reduction. A is rows x cols,
// row-major (element (r, c) at [r * cols + c]); invalid (every Solve then
// invalid) for inconsistent sizes or non-finite entries. Copies share the
// reduction; Solve may run on several threads at once.
class BoundedLeastSquaresFactor {
public:
    BoundedLeastSquaresFactor(const std::vector<double>& a, int rows, int cols);
    ~BoundedLeastSquaresFactor();
    bool Valid() const;
    int Rows() const;
    int Cols() const;
    BoundedLeastSquaresResult Solve(const std::vector<double>& b, const std::vector<double>& lo,
                                    const std::vector<double>& hi) const;
    // The same with two choices. residual false: residualNorm is left NaN,
    // which saves the second pass over A when the caller has no use for it.
    // start (one finite value per variable; empty: each variable at the point
    // of its box nearest 0, as above): where the active-set steps begin,
    // clamped into the box, the variables strictly inside it free. A start
    // near the answer, with few of its variables at a bound, saves most of
    // the steps; the answer is the same (up to rounding, where A has full
    // column rank). A start of another size or not finite is invalid.
    BoundedLeastSquaresResult Solve(const std::vector<double>& b, const std::vector<double>& lo,
                                    const std::vector<double>& hi, bool residual,
                                    const std::vector<double>& start) const;

private:
    struct Data;
    std::shared_ptr<const Data> data_;
};

// The same for one right-hand side.
BoundedLeastSquaresResult SolveBoundedLeastSquares(const std::vector<double>& a, int rows, int cols,
                                                   const std::vector<double>& b,
                                                   const std::vector<double>& lo,
                                                   const std::vector<double>& hi);

} // namespace ostrander
