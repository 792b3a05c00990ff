#include "model/PullIn.h"

#include "model/MembraneFiniteDifference.h"

#include <Eigen/SparseCholesky>

#include <algorithm>
#include <cmath>
#include <optional>

namespace ostrander {

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
        constexpr int kMaxIterations = 12;
        Vector z;
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
            u += t * du;
            mu += t * dmu;
            if (!std::isfinite(mu) || !u.allFinite())
                return std::nullopt;
            // Newton converges quadratically: after a step this small the
            // error is far below it.
            if (t == 1 && du.lpNorm<Eigen::Infinity>() < 1e-7 * d_ &&
                std::abs(dmu) < 1e-7 * std::max(std::abs(mu), 1e-300)) {
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
        for (int it = 1; it <= kMaxIterations; ++it) {
            if (!Factor(u, mu))
                return std::nullopt;
            const Vector du = Solve(-Residual(u, mu));
            const double t = StepShare(u, du);
            u += t * du;
            if (!u.allFinite())
                return std::nullopt;
            if (t == 1 && du.lpNorm<Eigen::Infinity>() < 1e-9 * d_)
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

// Largest value of the cubic through (0, m0) and (w, m1) with slopes s0, s1,
// over [0, w]; with where it lies.
double HermiteMaximum(double w, double m0, double s0, double m1, double s1, double* at = nullptr) {
    // p(x) = m0 + s0 x + c x^2 + e x^3
    const double c = (3 * (m1 - m0) / w - 2 * s0 - s1) / w;
    const double e = (s0 + s1 - 2 * (m1 - m0) / w) / (w * w);
    double best = std::max(m0, m1), bestAt = m0 >= m1 ? 0 : w;
    // p'(x) = s0 + 2 c x + 3 e x^2 = 0
    double roots[2];
    int count = 0;
    if (std::abs(e) < 1e-300) {
        if (c != 0)
            roots[count++] = -s0 / (2 * c);
    } else {
        const double disc = c * c - 3 * e * s0;
        if (disc >= 0) {
            roots[count++] = (-c + std::sqrt(disc)) / (3 * e);
            roots[count++] = (-c - std::sqrt(disc)) / (3 * e);
        }
    }
    for (int k = 0; k < count; ++k) {
        const double x = roots[k];
        if (x > 0 && x < w) {
            const double v = m0 + x * (s0 + x * (c + x * e));
            if (v > best) {
                best = v;
                bestAt = x;
            }
        }
    }
    if (at)
        *at = bestAt;
    return best;
}

} // namespace

PullInResult SolvePullIn(const ExactMembrane& model, const std::vector<double>& volts,
                         const CancelCheck& cancelled, const PullInOptions& options) {
    PullInResult result;
    const MembraneFiniteDifference* fd = model.Discretisation();
    if (!model.Valid() || !fd || fd->Unknowns() == 0) {
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
            if (!branch.Factor(p0.u, 0))
                throw CancelledError{};
            branch.Slope(p0, branch.Solve(branch.Pressure(p0.u)));
            points.push_back(std::move(p0));
        }
        // March along the branch until d mu / d alpha turns negative.
        double step = 0.1 * d;
        while (points.back().muSlope > 0) {
            const BranchPoint& last = points.back();
            const double alpha = last.alpha + step;
            const Vector guess = last.u + step * last.uSlope;
            std::optional<BranchPoint> next;
            if (alpha < 0.95 * d && guess.maxCoeff() < 0.97 * d)
                next = branch.AtDeflection(alpha, guess, last.mu + step * last.muSlope);
            if (!next) {
                step /= 2;
                if (step < 1e-5 * d) {
                    result.status = PullInResult::Status::NotConverged;
                    result.factorisations = branch.Factorisations();
                    return result;
                }
                continue;
            }
            if (next->iterations <= 3)
                step *= 1.5;
            else if (next->iterations >= 6)
                step /= 2;
            points.push_back(std::move(*next));
        }

        // The fold lies between the last two points: narrow it down with the
        // secant on d mu / d alpha until the cubic through the ends pins the
        // largest mu to the tolerance.
        BranchPoint below = points[points.size() - 2];
        BranchPoint above = points.back();
        double muStar = 0;
        for (int round = 0;; ++round) {
            const double w = above.alpha - below.alpha;
            double at = 0;
            muStar = HermiteMaximum(w, below.mu, below.muSlope, above.mu, above.muSlope, &at);
            const double known = std::max(below.mu, above.mu);
            if (muStar - known <= tolerance * muStar || round >= 30)
                break;
            double alpha = below.alpha - below.muSlope * w / (above.muSlope - below.muSlope);
            alpha = std::clamp(alpha, below.alpha + 0.1 * w, above.alpha - 0.1 * w);
            const double s = alpha - below.alpha;
            std::optional<BranchPoint> mid =
                branch.AtDeflection(alpha, below.u + s * below.uSlope, below.mu + s * below.muSlope);
            if (!mid)
                break;
            (mid->muSlope > 0 ? below : above) = std::move(*mid);
        }
        result.pullInFactor = std::sqrt(muStar);
        result.pullInDeflection_m =
            (below.mu >= above.mu ? below.u : above.u).maxCoeff();

        if (muStar <= 1) {
            result.status = PullInResult::Status::PulledIn;
        } else {
            result.status = PullInResult::Status::Equilibrium;
            if (options.wantSurface) {
                // Start from the stable point nearest below scale 1, stepped
                // along the branch towards it.
                const BranchPoint* from = &points.front();
                for (const BranchPoint& p : points)
                    if (p.muSlope > 0 && p.mu <= 1 && p.alpha >= from->alpha)
                        from = &p;
                if (below.mu <= 1 && below.alpha > from->alpha)
                    from = &below;
                const double s = std::min((1 - from->mu) / from->muSlope, below.alpha - from->alpha);
                std::optional<Vector> u = branch.AtScale(1, from->u + std::max(s, 0.0) * from->uSlope);
                if (!u) {
                    // Close to the fold: hold the mean deflection instead and
                    // find the one whose scale is 1.
                    BranchPoint lo = *from, hi = below.mu >= 1 ? below : above;
                    for (int round = 0; round < 40 && !u; ++round) {
                        const double alpha =
                            lo.alpha + (1 - lo.mu) * (hi.alpha - lo.alpha) / (hi.mu - lo.mu);
                        const double ds = alpha - lo.alpha;
                        std::optional<BranchPoint> p =
                            branch.AtDeflection(alpha, lo.u + ds * lo.uSlope, lo.mu + ds * lo.muSlope);
                        if (!p)
                            break;
                        if (std::abs(p->mu - 1) < 1e-12)
                            u = p->u;
                        else
                            (p->mu < 1 ? lo : hi) = std::move(*p);
                    }
                }
                if (!u) {
                    result.status = PullInResult::Status::NotConverged;
                } else {
                    model.Discretisation()->Scatter(*u, -1.0, result.surface);
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
