#pragma once
// Bounded-variable least squares: minimise ||A x - b|| subject to
// lo <= x <= hi, each bound possibly infinite. An active-set method in the
// manner of Stark and Parker: the columns are scaled to unit norm, A is
// reduced once to its triangular factor (so every later step works on a
// cols x cols system, however many rows A has), then variables are freed
// one at a time along the steepest descent and the free set solved with a
// rank-revealing QR, stepping back to the bounds whenever that solve leaves
// the box. Columns that vanish keep their variable at the bound nearest 0.
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

// A is rows x cols, row-major (element (r, c) at [r * cols + c]).
BoundedLeastSquaresResult SolveBoundedLeastSquares(const std::vector<double>& a, int rows, int cols,
                                                   const std::vector<double>& b,
                                                   const std::vector<double>& lo,
                                                   const std::vector<double>& hi);

} // namespace ostrander
