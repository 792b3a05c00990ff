#include "model/PullIn.h"

#include "model/MembraneFiniteDifference.h"

#include <Eigen/SparseCholesky>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace ostrander {

std::optional<bool> SnapDownVerdict(const PullInResult& result) {
    if (result.status == PullInResult::Status::Invalid ||
        result.status == PullInResult::Status::NotConverged)
        return std::nullopt;
    return result.SnapDown();
}

double PullInFactorOf(const ExactMembrane& model, const std::vector<double>& volts,
                      const CancelCheck& cancelled, double tolerance) {
    PullInOptions options;
    options.wantSurface = false;
    options.tolerance = tolerance;
    const PullInResult r = SolvePullIn(model, volts, cancelled, options);
    switch (r.status) {
    case PullInResult::Status::Equilibrium:
    case PullInResult::Status::PulledIn:
    case PullInResult::Status::NoForce:
        return r.pullInFactor;
    case PullInResult::Status::Cancelled:
        return -1.0;
    default:
        return std::nan("");
    }
}

namespace {

using Vector = Eigen::VectorXd;
using Matrix = MembraneFiniteDifference::Matrix;

// One equilibrium on the branch: the voltage scale mu = lambda^2 at mean
// deflection alpha under the pads, and the branch's direction there.
struct BranchPoint {
    double alpha = 0;
    double mu = 0;
    double muSlope = 0; // d mu / d alpha; crosses 0 at the fold
    Vector u;           // deflection towards the electrodes, m
    Vector uSlope;      // d u / d alpha
    int iterations = 0;
};

struct CancelledError {};

// Whether Newton's iterate is close enough: the last correction was small,
// or (quadratic convergence: e_next ~ size^3 / previous^2) the next one will
// be. Sizes relative to the quantity solved for.
bool Settled(double size, double previous, double tolerance) {
    if (size < tolerance)
        return true;
    return std::isfinite(previous) && previous > 0 && size < previous &&
           size * size * size < 1e-3 * tolerance * previous * previous;
}

// K u = mu q / (d - u)^2 on the finite-difference nodes; K is T times the
// discrete -laplacian, q the pad drive on each node.
class MembraneBranch {
public:
    MembraneBranch(const MembraneFiniteDifference& fd, Vector load, double gap,
                   const CancelCheck& cancelled)
        : K_(fd.Stiffness()), q_(std::move(load)), d_(gap), cancelled_(cancelled) {
        J_ = K_;
        J_.makeCompressed();
        // Where each diagonal element lives in the compressed storage.
        diagonal_.resize(J_.cols());
        kDiagonal_.resize(J_.cols());
        for (int c = 0; c < J_.outerSize(); ++c)
            for (Matrix::InnerIterator it(J_, c); it; ++it)
                if (it.row() == c) {
                    diagonal_[c] = static_cast<int>(&it.valueRef() - J_.valuePtr());
                    kDiagonal_[c] = it.value();
                }
        ldlt_.analyzePattern(J_);
        weight_ = q_ / q_.sum();
    }

    int Factorisations() const { return factorisations_; }
    double Gap() const { return d_; }
    const Vector& Weight() const { return weight_; }

    Vector Pressure(const Vector& u) const {
        return (q_.array() / (d_ - u.array()).square()).matrix();
    }
    Vector Residual(const Vector& u, double mu) const { return K_ * u - mu * Pressure(u); }

    // Factors the Jacobian K - mu diag(2 q / (d - u)^3) at (u, mu).
    bool Factor(const Vector& u, double mu) {
        if (cancelled_ && cancelled_())
            throw CancelledError{};
        double* values = J_.valuePtr();
        for (int i = 0; i < J_.cols(); ++i)
            values[diagonal_[i]] = kDiagonal_[i] - mu * 2 * q_[i] / std::pow(d_ - u[i], 3);
        ldlt_.factorize(J_);
        ++factorisations_;
        return ldlt_.info() == Eigen::Success;
    }
    Vector Solve(const Vector& b) const { return ldlt_.solve(b); }
    // No negative pivot: the last factored point is a stable equilibrium.
    bool Stable() const { return ldlt_.vectorD().minCoeff() > 0; }

    // Largest step share t <= 1 that keeps every node short of the electrode.
    double StepShare(const Vector& u, const Vector& du) const {
        double t = 1;
        for (int i = 0; i < u.size(); ++i)
            if (du[i] > 0 && u[i] + du[i] > u[i] + 0.9 * (d_ - u[i]))
                t = std::min(t, 0.9 * (d_ - u[i]) / du[i]);
        return t;
    }

    // The branch's direction at the last factored point for the drive g.
    void Slope(BranchPoint& p, const Vector& z) const {
        const double lz = weight_.dot(z);
        p.muSlope = 1 / lz;
        p.uSlope = z / lz;
    }

    // Newton on (u, mu) with the mean deflection held at alpha, from a guess.
    std::optional<BranchPoint> AtDeflection(double alpha, Vector u, double mu) {
        constexpr int kMaxIterations = 8;
        Vector z;
        double lastStep = std::numeric_limits<double>::infinity();
        double lastRelative = std::numeric_limits<double>::infinity();
        for (int it = 1; it <= kMaxIterations; ++it) {
            if (!Factor(u, mu))
                return std::nullopt;
            const Vector F = Residual(u, mu);
            const Vector z1 = Solve(-F);
            z = Solve(Pressure(u));
            const double lz = weight_.dot(z);
            if (!std::isfinite(lz) || lz == 0)
                return std::nullopt;
            const double dmu = (alpha - weight_.dot(u) - weight_.dot(z1)) / lz;
            const Vector du = z1 + dmu * z;
            const double t = StepShare(u, du);
            // Newton that does not contract has lost the branch: give up early.
            const double size = du.lpNorm<Eigen::Infinity>();
            if (it > 2 && size > 0.5 * lastStep)
                return std::nullopt;
            lastStep = size;
            u += t * du;
            mu += t * dmu;
            if (!std::isfinite(mu) || !u.allFinite())
                return std::nullopt;
            const double relative =
                std::max(size / d_, std::abs(dmu) / std::max(std::abs(mu), 1e-300));
            const bool settled = t == 1 && Settled(relative, lastRelative, 1e-7);
            lastRelative = relative;
            if (settled) {
                BranchPoint p;
                p.alpha = alpha;
                p.mu = mu;
                p.u = std::move(u);
                p.iterations = it;
                Slope(p, z);
                return p;
            }
        }
        return std::nullopt;
    }

    // Newton on u at a fixed scale mu, from a guess below the solution.
    std::optional<Vector> AtScale(double mu, Vector u) {
        constexpr int kMaxIterations = 30;
        double lastRelative = std::numeric_limits<double>::infinity();
        for (int it = 1; it <= kMaxIterations; ++it) {
            if (!Factor(u, mu))
                return std::nullopt;
            const Vector du = Solve(-Residual(u, mu));
            const double t = StepShare(u, du);
            u += t * du;
            if (!u.allFinite())
                return std::nullopt;
            const double relative = du.lpNorm<Eigen::Infinity>() / d_;
            const bool settled = t == 1 && Settled(relative, lastRelative, 1e-9);
            lastRelative = t == 1 ? relative : std::numeric_limits<double>::infinity();
            if (settled)
                return Stable() ? std::optional<Vector>(std::move(u)) : std::nullopt;
        }
        return std::nullopt;
    }

private:
    const Matrix& K_;
    Vector q_;
    double d_;
    const CancelCheck& cancelled_;
    Matrix J_;
    std::vector<int> diagonal_;
    Vector kDiagonal_;
    Vector weight_;
    Eigen::SimplicialLDLT<Matrix> ldlt_;
    int factorisations_ = 0;
};

struct FoldEstimate {
    double mu = 0;    // largest voltage scale on the branch
    double alpha = 0; // where it lies
    double peak = 0;  // largest deflection there, m
};

// Cubic Hermite interpolation between two branch points at alpha.
void Interpolate(const BranchPoint& a, const BranchPoint& b, double alpha, double& mu, Vector* u) {
    const double h = b.alpha - a.alpha, t = (alpha - a.alpha) / h;
    const double h00 = (1 + 2 * t) * (1 - t) * (1 - t), h10 = t * (1 - t) * (1 - t);
    const double h01 = t * t * (3 - 2 * t), h11 = t * t * (t - 1);
    mu = h00 * a.mu + h10 * h * a.muSlope + h01 * b.mu + h11 * h * b.muSlope;
    if (u)
        *u = h00 * a.u + (h10 * h) * a.uSlope + h01 * b.u + (h11 * h) * b.uSlope;
}

// Walks the branch from its start (points[0]) to the fold, where d mu /
// d alpha = 0: steps along the tangent while the slope stays positive, and
// from the second point on aims at the zero of the slope's secant. Stops
// when the quadratic model of mu about the best point puts the fold within
// the tolerance. Every point solved is kept in `points`, ordered by alpha.
std::optional<FoldEstimate> FindFold(MembraneBranch& branch, std::vector<BranchPoint>& points,
                                     double tolerance) {
    const double d = branch.Gap();
    double step = 0.1 * d;
    const double maxStep = 0.2 * d;
    // The two latest points solved, by index into `points`.
    std::size_t lastIndex = points.size() - 1, previousIndex = 0;
    bool havePrevious = false;
    for (int attempt = 0; attempt < 80; ++attempt) {
        const BranchPoint* last = &points[lastIndex];
        const BranchPoint* previous = havePrevious ? &points[previousIndex] : nullptr;
        // Stable side (slope > 0) with the largest alpha, and the first point past the fold.
        const BranchPoint* lo = nullptr;
        const BranchPoint* hi = nullptr;
        for (const BranchPoint& p : points) {
            if (p.muSlope > 0)
                lo = &p;
            else if (!hi)
                hi = &p;
        }
        // The curvature of mu from the two latest points; the fold estimate
        // from the point nearest to it.
        if (previous && last->alpha != previous->alpha) {
            const double curvature =
                (last->muSlope - previous->muSlope) / (last->alpha - previous->alpha);
            if (curvature < 0) {
                const BranchPoint* best =
                    std::abs(last->muSlope) < std::abs(previous->muSlope) ? last : previous;
                const double gap = best->muSlope * best->muSlope / (2 * -curvature);
                if (gap <= tolerance * best->mu) {
                    FoldEstimate f;
                    f.mu = best->mu + gap;
                    f.alpha = best->alpha - best->muSlope / curvature;
                    f.peak = best->u.maxCoeff();
                    return f;
                }
            }
        }
        // Where to solve next.
        double target = lo->alpha + step;
        if (previous && last->muSlope != previous->muSlope) {
            const double secant = last->alpha - last->muSlope * (last->alpha - previous->alpha) /
                                                    (last->muSlope - previous->muSlope);
            if (std::isfinite(secant) && secant > lo->alpha && secant < lo->alpha + maxStep)
                target = hi ? secant : std::min(secant, lo->alpha + maxStep);
        }
        if (hi) {
            const double w = hi->alpha - lo->alpha;
            target = std::clamp(target, lo->alpha + 0.02 * w, hi->alpha - 0.02 * w);
        }
        // Predict along the tangent from the nearer known point.
        const BranchPoint& from = (hi && hi->alpha - target < target - lo->alpha) ? *hi : *lo;
        const double s = target - from.alpha;
        const Vector guess = from.u + s * from.uSlope;
        std::optional<BranchPoint> next;
        if (target < 0.95 * d && guess.maxCoeff() < 0.97 * d)
            next = branch.AtDeflection(target, guess, from.mu + s * from.muSlope);
        if (!next) {
            step = std::min(step, target - lo->alpha) / 2;
            if (step < 1e-6 * d)
                return std::nullopt;
            continue;
        }
        if (next->iterations <= 3)
            step = std::min(step * 1.5, maxStep);
        else if (next->iterations >= 5)
            step /= 2;
        const auto at =
            std::upper_bound(points.begin(), points.end(), next->alpha,
                             [](double a, const BranchPoint& p) { return a < p.alpha; });
        const std::size_t inserted = static_cast<std::size_t>(at - points.begin());
        points.insert(at, std::move(*next));
        previousIndex = lastIndex >= inserted ? lastIndex + 1 : lastIndex;
        havePrevious = true;
        lastIndex = inserted;
    }
    return std::nullopt;
}

// The stable equilibrium at scale 1 (mu = 1 < the fold's mu): Newton at
// fixed scale from the branch interpolated at the alpha where mu = 1.
std::optional<Vector> EquilibriumAtScaleOne(MembraneBranch& branch,
                                            const std::vector<BranchPoint>& points,
                                            const FoldEstimate& fold) {
    // The stable points on either side of mu = 1.
    std::size_t k = 0;
    while (k + 1 < points.size() && points[k + 1].alpha <= fold.alpha && points[k + 1].mu <= 1)
        ++k;
    const BranchPoint& a = points[k];
    Vector guess;
    if (k + 1 < points.size() && points[k + 1].mu >= 1) {
        const BranchPoint& b = points[k + 1];
        // mu = 1 on the cubic through a and b, by bisection (mu rises from a).
        double lo = a.alpha, hi = b.alpha, mu = 0;
        for (int it = 0; it < 50; ++it) {
            const double mid = (lo + hi) / 2;
            Interpolate(a, b, mid, mu, nullptr);
            (mu < 1 ? lo : hi) = mid;
        }
        Interpolate(a, b, (lo + hi) / 2, mu, &guess);
    } else {
        // Between a and the fold: mu ~ mu_a + slope s - slope s^2 / (2 (alpha* - alpha_a)).
        const double span = std::max(fold.alpha - a.alpha, 1e-12 * branch.Gap());
        const double c = a.muSlope / span;
        const double disc = a.muSlope * a.muSlope - 2 * c * (1 - a.mu);
        const double s = disc > 0 ? (a.muSlope - std::sqrt(disc)) / c : span;
        guess = a.u + std::clamp(s, 0.0, span) * a.uSlope;
    }
    return branch.AtScale(1, std::move(guess));
}

} // namespace

PullInResult SolvePullIn(const ExactMembrane& model, const std::vector<double>& volts,
                         const CancelCheck& cancelled, const PullInOptions& options) {
    PullInResult result;
    const MembraneFiniteDifference* fd = model.Discretisation();
    if (!model.IsValid() || !fd || fd->Unknowns() == 0) {
        result.status = PullInResult::Status::Invalid;
        return result;
    }
    const std::vector<double> load = model.NodeLoad(model.PadDrive(volts));
    Vector q = Eigen::Map<const Vector>(load.data(), static_cast<Eigen::Index>(load.size()));
    if (!(q.sum() > 0) || !std::isfinite(q.sum())) {
        result.status = PullInResult::Status::NoForce;
        if (options.wantSurface)
            result.surface.assign(model.Grid().Points(), 0.0);
        return result;
    }
    const double d = model.Geometry().separation_m;
    MembraneBranch branch(*fd, std::move(q), d, cancelled);
    const double tolerance = std::max(options.tolerance, 1e-12);

    try {
        // Start of the branch: flat, at no voltage, heading along the linear solution.
        std::vector<BranchPoint> points;
        {
            BranchPoint p0;
            p0.u = Vector::Zero(fd->Unknowns());
            if (!branch.Factor(p0.u, 0)) {
                result.status = PullInResult::Status::NotConverged;
                result.factorisations = branch.Factorisations();
                return result;
            }
            branch.Slope(p0, branch.Solve(branch.Pressure(p0.u)));
            points.push_back(std::move(p0));
        }
        const std::optional<FoldEstimate> fold = FindFold(branch, points, tolerance);
        if (!fold) {
            result.status = PullInResult::Status::NotConverged;
            result.factorisations = branch.Factorisations();
            return result;
        }
        result.pullInFactor = std::sqrt(fold->mu);
        result.pullInDeflection_m = fold->peak;
        if (fold->mu <= 1) {
            result.status = PullInResult::Status::PulledIn;
        } else {
            result.status = PullInResult::Status::Equilibrium;
            if (options.wantSurface) {
                std::optional<Vector> u = EquilibriumAtScaleOne(branch, points, *fold);
                if (!u) {
                    result.status = PullInResult::Status::NotConverged;
                } else {
                    fd->Scatter(*u, -1.0, result.surface);
                    result.peakDeflection_m = u->maxCoeff();
                }
            }
        }
    } catch (const CancelledError&) {
        result = PullInResult{};
        result.status = PullInResult::Status::Cancelled;
    }
    result.factorisations = branch.Factorisations();
    return result;
}

} // namespace ostrander
