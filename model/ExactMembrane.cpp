#include "model/ExactMembrane.h"

#include "model/MembraneFiniteDifference.h"

#include <Eigen/SparseCholesky>

#include <cmath>

namespace ostrander {

struct ExactMembrane::Factor {
    Eigen::SimplicialLDLT<MembraneFiniteDifference::Matrix> ldlt;
};

namespace {

// Whether a pad has the closed form: a disc or a ring wholly inside a round membrane.
bool HasClosedForm(const MembraneGeometry& g, const MembranePad& pad) {
    if (g.square)
        return false;
    const double R = g.diameter_m / 2;
    const double reach = std::hypot(pad.x, pad.y);
    if (pad.shape == PadShape::Disc)
        return reach + pad.width / 2 <= R;
    if (pad.shape == PadShape::Ring)
        return reach + pad.outerRadius <= R;
    return false;
}

} // namespace

ExactMembrane::ExactMembrane(MembraneGeometry geometry, EngineGrid grid, Method method)
    : geometry_(std::move(geometry)), grid_(grid) {
    problem_ = geometry_.Problem();
    if (problem_.empty() && !(grid_.n > 2 && grid_.dx > 0 && std::isfinite(grid_.dx)))
        problem_ = "The grid must have more than two points a side and a positive spacing.";
    const std::size_t count = geometry_.pads.size();
    closedForm_.assign(count, false);
    coverage_.resize(count);
    if (!problem_.empty())
        return;
    fd_ = std::make_unique<MembraneFiniteDifference>(geometry_, grid_);
    bool needFactor = false;
    for (std::size_t k = 0; k < count; ++k) {
        const MembranePad& pad = geometry_.pads[k];
        if (pad.shape == PadShape::None)
            continue;
        coverage_[k] = fd_->PadCoverage(pad);
        if (method == Method::Automatic && HasClosedForm(geometry_, pad))
            closedForm_[k] = true;
        else
            needFactor = needFactor || !coverage_[k].empty();
    }
    if (needFactor && fd_->Unknowns() > 0) {
        factor_ = std::make_unique<Factor>();
        factor_->ldlt.compute(fd_->Stiffness());
        if (factor_->ldlt.info() != Eigen::Success) {
            problem_ = "The membrane equations could not be factored.";
            factor_.reset();
        }
    }
}

ExactMembrane::~ExactMembrane() = default;

bool ExactMembrane::InClosedForm(int index) const {
    return index >= 0 && index < PadCount() && closedForm_[static_cast<std::size_t>(index)];
}

void ExactMembrane::AddClosedForm(const MembranePad& pad, double pressure,
                                  std::vector<double>& z) const {
    // Green's function of the clamped disc integrated over a uniformly loaded
    // disc of radius a about c: the disc's own logarithmic potential plus that
    // of its image in the rim, which by the mean-value property is the image
    // of a point load. Inside the rim, with rho = |x - c| and
    // S = sqrt(|x|^2 |c|^2 - 2 R^2 x.c + R^4):
    //   T w = p a^2 / 2 ln(S / (R rho))                        for rho >= a,
    //   T w = p (a^2 - rho^2) / 4 + p a^2 / 2 ln(S / (R a))    for rho <  a.
    // A ring is the outer disc less the inner one.
    const double R = geometry_.diameter_m / 2;
    const double T = geometry_.Tension();
    const double cx = pad.x, cy = pad.y;
    const double c2 = cx * cx + cy * cy;
    struct Part {
        double a, sign;
    };
    Part parts[2] = {{pad.width / 2, 1.0}, {0.0, 0.0}};
    int partCount = 1;
    if (pad.shape == PadShape::Ring) {
        parts[0] = {pad.outerRadius, 1.0};
        if (pad.innerRadius > 0)
            parts[partCount++] = {pad.innerRadius, -1.0};
    }
    const int n = grid_.n;
    for (int i = 0; i < n; ++i) {
        const double x = grid_.X(i);
        for (int j = 0; j < n; ++j) {
            const double y = grid_.X(j);
            const double r2 = x * x + y * y;
            if (!(r2 < R * R))
                continue;
            const double S =
                std::sqrt(std::max(0.0, r2 * c2 - 2 * R * R * (x * cx + y * cy) + R * R * R * R));
            const double dxc = x - cx, dyc = y - cy;
            const double rho2 = dxc * dxc + dyc * dyc;
            double sum = 0;
            for (int p = 0; p < partCount; ++p) {
                const double a = parts[p].a;
                double w;
                if (rho2 >= a * a)
                    w = a * a / 4 * std::log(S * S / (R * R * rho2));
                else
                    w = (a * a - rho2) / 4 + a * a / 2 * std::log(S / (R * a));
                sum += parts[p].sign * w;
            }
            z[static_cast<std::size_t>(i * n + j)] += pressure / T * sum;
        }
    }
}

std::vector<double> ExactMembrane::Influence(int index, double volts) const {
    std::vector<double> z(grid_.Points(), 0.0);
    if (!IsValid() || index < 0 || index >= PadCount())
        return z;
    const MembranePad& pad = geometry_.pads[static_cast<std::size_t>(index)];
    const double d = geometry_.separation_m;
    const double pressure = kEpsilon0 * volts * volts / (2 * d * d);
    if (pad.shape == PadShape::None || pressure == 0)
        return z;
    if (closedForm_[static_cast<std::size_t>(index)]) {
        AddClosedForm(pad, pressure, z);
        for (double& v : z)
            v = v != 0 ? -v : 0.0; // (no negative zeros outside the rim)
        return z;
    }
    const auto& cover = coverage_[static_cast<std::size_t>(index)];
    if (cover.empty() || !factor_)
        return z;
    Eigen::VectorXd load = Eigen::VectorXd::Zero(fd_->Unknowns());
    for (const auto& [node, share] : cover)
        load[node] = share;
    const Eigen::VectorXd w = factor_->ldlt.solve(load);
    fd_->Scatter(w, -pressure, z);
    return z;
}

bool ExactMembrane::InfluenceFunctions(double volts, std::vector<std::vector<double>>& out,
                                       const CancelCheck& cancelled) const {
    out.clear();
    out.reserve(geometry_.pads.size());
    for (int k = 0; k < PadCount(); ++k) {
        if (cancelled && cancelled()) {
            out.clear();
            return false;
        }
        out.push_back(Influence(k, volts));
    }
    return true;
}

std::vector<double> ExactMembrane::PadDrive(const std::vector<double>& volts) const {
    auto voltage = [&](int k) {
        return k >= 0 && static_cast<std::size_t>(k) < volts.size()
                   ? volts[static_cast<std::size_t>(k)]
                   : 0.0;
    };
    const double surface = voltage(geometry_.surfaceIndex);
    std::vector<double> drive(geometry_.pads.size(), 0.0);
    for (int k = 0; k < PadCount(); ++k) {
        if (geometry_.pads[static_cast<std::size_t>(k)].shape == PadShape::None)
            continue;
        const double v = voltage(k) - surface;
        drive[static_cast<std::size_t>(k)] = std::isfinite(v) ? kEpsilon0 * v * v / 2 : 0.0;
    }
    return drive;
}

std::vector<double> ExactMembrane::NodeLoad(const std::vector<double>& drive) const {
    std::vector<double> load(fd_ ? static_cast<std::size_t>(fd_->Unknowns()) : 0u, 0.0);
    for (std::size_t k = 0; k < coverage_.size() && k < drive.size(); ++k)
        for (const auto& [node, share] : coverage_[k])
            load[static_cast<std::size_t>(node)] += share * drive[k];
    return load;
}

std::vector<double> ExactMembrane::LinearSurface(const std::vector<double>& volts) const {
    std::vector<double> z(grid_.Points(), 0.0);
    if (!IsValid())
        return z;
    const double d = geometry_.separation_m;
    const std::vector<double> drive = PadDrive(volts);
    Eigen::VectorXd load;
    bool anyLoad = false;
    for (int k = 0; k < PadCount(); ++k) {
        const std::size_t kk = static_cast<std::size_t>(k);
        const double pressure = drive[kk] / (d * d);
        if (pressure == 0)
            continue;
        if (closedForm_[kk]) {
            AddClosedForm(geometry_.pads[kk], pressure, z);
        } else if (!coverage_[kk].empty()) {
            if (!anyLoad)
                load = Eigen::VectorXd::Zero(fd_->Unknowns());
            anyLoad = true;
            for (const auto& [node, share] : coverage_[kk])
                load[node] += share * pressure;
        }
    }
    if (anyLoad && factor_) {
        const Eigen::VectorXd w = factor_->ldlt.solve(load);
        for (int node = 0; node < fd_->Unknowns(); ++node)
            z[static_cast<std::size_t>(fd_->PointOfNode()[static_cast<std::size_t>(node)])] +=
                w[node];
    }
    for (double& v : z)
        v = v != 0 ? -v : 0.0;
    return z;
}

} // namespace ostrander
