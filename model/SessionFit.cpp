#include "model/SessionFit.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "driver/VoltageLimits.h"
#include "model/DMModelLocal.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/PullIn.h"
#include "model/SessionAccess.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ostrander {

std::optional<FitMirror> FitMirrorOf(EngineSession& session) {
    const MainData& data = SessionAccess::Data(session);
    const DMModelLocal& local = SessionAccess::Local(session);
    MirrorClass* mirror = local.Mirror.get();
    const DMInfoClass* dm = local.MirrorInfo ? local.MirrorInfo->Model.get() : nullptr;
    if (!mirror || !mirror->IsValid() || !dm || !local.DisplaysValid || session.IsRunning() ||
        data.InfluenceFunctions.empty() || data.IFActuatorCount != dm->Actuators ||
        data.GridSize != data.IFGridSize || data.GridSize <= 0 || !(data.IFMaxVoltage > 0.0))
        return std::nullopt;

    const std::optional<EngineGrid> grid = session.Grid();
    if (!grid)
        return std::nullopt;
    FitMirror fit;
    const int n = data.GridSize;
    fit.beam = *grid;
    int surface = 0;
    for (const DmActuatorInfoClass* a = dm->ActuatorList.first; a; a = a->next)
        if (a->Surface)
            surface = a->DisplayIndex;
    fit.surfaceVolts = surface > 0 ? mirror->GetVoltage(surface) : 0.0;
    const double runSquared = data.IFMaxVoltage * data.IFMaxVoltage;
    fit.response.resize(data.IFActuatorCount);
    for (int k = 1; k <= data.IFActuatorCount; ++k) {
        if (k == surface || static_cast<std::size_t>(k - 1) >= data.InfluenceFunctions.size())
            continue;
        const Grid<double>& plane = data.InfluenceFunctions[k - 1];
        if (plane.Rows() < n || plane.Cols() < n)
            return std::nullopt;
        std::vector<double>& r = fit.response[k - 1];
        r.resize(static_cast<std::size_t>(n) * n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                r[static_cast<std::size_t>(i) * n + j] = plane[i][j] / runSquared;
    }
    const DriverClass* driver = mirror->GetDriver();
    fit.floorVolts = std::max(kFloorVoltage, driver ? double(driver->GetMinVoltage()) : 0.0);
    fit.maxVolts = std::min(mirror->GetLimitVoltage(), mirror->GetMaxVoltage());
    fit.meanLimit = std::max(0.0, mirror->GetLimitVoltage());
    return fit;
}

std::string SessionFitStatusText(const SessionFit& result) {
    char text[256];
    switch (result.status) {
    case SessionFit::Status::Fitted:
        return "fitted";
    case SessionFit::Status::NoInfluenceFunctions:
        return "the mirror has no influence functions yet";
    case SessionFit::Status::NotFitted:
        return FitStatusText(result.fit.status);
    case SessionFit::Status::BeyondPullIn:
        std::snprintf(text, sizeof text,
                      "the fitted voltages pull the membrane in (pull-in factor %.3g); at most "
                      "%.3g of the requested amplitude is reachable",
                      result.pullInFactor, result.largestScale);
        return text;
    case SessionFit::Status::PullInFailed:
        return "the membrane's equilibrium could not be computed for the fitted voltages";
    case SessionFit::Status::Cancelled:
        return "cancelled";
    }
    return "unknown";
}

namespace {

// The pull-in factor of voltages by display number - 1; NaN when it cannot
// be computed, -1 when cancelled.
double PullInFactor(const ExactMembrane& membrane, const DMInfoClass& dm,
                    const std::vector<double>& volts, const CancelCheck& cancelled) {
    const std::vector<double> byIndex = VoltagesByModelIndex(dm, [&](int d) {
        return d >= 1 && d <= static_cast<int>(volts.size()) ? volts[d - 1] : 0.0;
    });
    return PullInFactorOf(membrane, byIndex, cancelled, 1e-4);
}

// The equilibrium surface for voltages by display number - 1; empty when
// there is none (pulled in, cancelled or not converged).
std::vector<double> Equilibrium(const ExactMembrane& membrane, const DMInfoClass& dm,
                                const std::vector<double>& volts, const CancelCheck& cancelled) {
    const std::vector<double> byIndex = VoltagesByModelIndex(dm, [&](int d) {
        return d >= 1 && d <= static_cast<int>(volts.size()) ? volts[d - 1] : 0.0;
    });
    PullInResult r = SolvePullIn(membrane, byIndex, cancelled, {1e-4, true});
    if (r.status == PullInResult::Status::NoForce)
        return std::vector<double>(membrane.Grid().Points(), 0.0);
    if (r.status != PullInResult::Status::Equilibrium)
        return {};
    return std::move(r.surface);
}

// The target on the engine grid, NaN where it is not given (outside the
// beam, or a missing sample of a target surface).
std::vector<double> TargetGrid(const FitMirror& mirror, const FitRequest& request) {
    const BeamGrid& beam = mirror.beam;
    const int n = beam.n;
    std::vector<double> t(static_cast<std::size_t>(n) * n, std::nan(""));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (!InBeam(beam, i, j))
                continue;
            const std::size_t p = static_cast<std::size_t>(i) * n + j;
            if (!request.surface.empty()) {
                t[p] = request.surface[p] * request.scale;
                continue;
            }
            const double x = (i - n / 2) * beam.dx, y = (j - n / 2) * beam.dx;
            const double rho = std::sqrt(x * x + y * y) / beam.beamRadius;
            const double theta = (x == 0.0 && y == 0.0) ? 0.0 : std::atan2(y, x);
            double v = 0.0;
            for (std::size_t c = 0; c < request.zernike.size(); ++c)
                if (request.zernike[c] != 0.0)
                    v += request.zernike[c] * NollZernike(static_cast<int>(c) + 1, rho, theta);
            t[p] = v * request.scale;
        }
    return t;
}

// RMS of surface - target over the target's samples, after the least-squares
// piston (and tilt) of the difference.
double ResidualRms(const std::vector<double>& surface, const std::vector<double>& target,
                   const BeamGrid& beam, bool freeTilt) {
    const int n = beam.n;
    std::vector<std::size_t> at;
    for (std::size_t p = 0; p < target.size(); ++p)
        if (std::isfinite(target[p]))
            at.push_back(p);
    const int terms = freeTilt ? 3 : 1;
    if (static_cast<int>(at.size()) <= terms)
        return std::nan("");
    Eigen::MatrixXd a(at.size(), terms);
    Eigen::VectorXd b(at.size());
    for (std::size_t s = 0; s < at.size(); ++s) {
        const int i = static_cast<int>(at[s]) / n, j = static_cast<int>(at[s]) % n;
        a(s, 0) = 1.0;
        if (freeTilt) {
            a(s, 1) = (i - n / 2) * beam.dx;
            a(s, 2) = (j - n / 2) * beam.dx;
        }
        b[s] = surface[at[s]] - target[at[s]];
    }
    const Eigen::VectorXd c = a.colPivHouseholderQr().solve(b);
    return (b - a * c).norm() / std::sqrt(static_cast<double>(at.size()));
}

// Refines `result` until the equilibrium matches the target (see
// SessionFitOptions); false when cancelled.
bool MatchEquilibrium(const FitMirror& mirror, const FitRequest& request,
                      const ExactMembrane& membrane, const DMInfoClass& dm,
                      const SessionFitOptions& options, const CancelCheck& cancelled,
                      SessionFit& result) {
    const std::size_t points = static_cast<std::size_t>(mirror.beam.n) * mirror.beam.n;
    const std::vector<double> target = TargetGrid(mirror, request);
    // The zero of the target: every pad at the bias, or at its lowest voltage.
    std::vector<double> start(mirror.response.size(), mirror.surfaceVolts);
    for (std::size_t k = 0; k < start.size(); ++k)
        if (!mirror.response[k].empty())
            start[k] = request.bias ? *request.bias : std::max(mirror.floorVolts, mirror.surfaceVolts);
    const std::vector<double> base = Equilibrium(membrane, dm, start, cancelled);
    if (base.size() != points)
        return !(cancelled && cancelled());

    FitRequest adjusted = request;
    adjusted.zernike.clear();
    adjusted.scale = 1.0;
    VoltageFit current = result.fit;
    double best = HUGE_VAL;
    std::vector<double> previousChange, previousLinear;
    for (int round = 0; round <= options.maxRounds; ++round) {
        if (cancelled && cancelled())
            return false;
        const std::vector<double> eq = Equilibrium(membrane, dm, current.volts, cancelled);
        if (eq.size() != points)
            break; // past pull-in or not solved: keep the best so far
        std::vector<double> change(points);
        for (std::size_t p = 0; p < points; ++p)
            change[p] = eq[p] - base[p];
        const double rms = ResidualRms(change, target, mirror.beam, request.freeTilt);
        if (!(rms < best))
            break;
        best = rms;
        result.fit = current;
        result.equilibriumResidualRms = rms;
        result.equilibriumRounds = round;
        if (round == options.maxRounds || rms <= 1e-4 * result.fit.targetRms)
            break;
        // The linear surface of these forces. The equilibrium answers a
        // change of the linear surface with about `gain` times that change
        // (the pull stiffens as the gap closes), so the next linear target
        // is this linear surface plus the shortfall over the gain: a
        // Newton step with the gain for the slope, measured between rounds
        // (at first, the equilibrium over the linear surface itself).
        std::vector<double> linear(points, 0.0);
        for (std::size_t k = 0; k < mirror.response.size(); ++k) {
            if (mirror.response[k].empty())
                continue;
            const double w = current.forces[k] - (start[k] - mirror.surfaceVolts) *
                                                     (start[k] - mirror.surfaceVolts);
            for (std::size_t p = 0; p < points; ++p)
                linear[p] += w * mirror.response[k][p];
        }
        const auto gainOf = [&](const std::vector<double>& c, const std::vector<double>& l) {
            double cl = 0.0, ll = 0.0, cm = 0.0, lm = 0.0;
            int count = 0;
            for (std::size_t p = 0; p < points; ++p)
                if (std::isfinite(target[p])) {
                    cm += c[p];
                    lm += l[p];
                    ++count;
                }
            if (count == 0)
                return 1.0;
            cm /= count;
            lm /= count;
            for (std::size_t p = 0; p < points; ++p)
                if (std::isfinite(target[p])) {
                    cl += (c[p] - cm) * (l[p] - lm);
                    ll += (l[p] - lm) * (l[p] - lm);
                }
            return ll > 0.0 ? std::clamp(cl / ll, 0.5, 10.0) : 1.0;
        };
        double gain = gainOf(change, linear);
        if (!previousChange.empty()) {
            std::vector<double> dc(points), dl(points);
            for (std::size_t p = 0; p < points; ++p) {
                dc[p] = change[p] - previousChange[p];
                dl[p] = linear[p] - previousLinear[p];
            }
            gain = gainOf(dc, dl);
        }
        previousChange = change;
        previousLinear = linear;
        adjusted.surface.assign(points, std::nan(""));
        for (std::size_t p = 0; p < points; ++p)
            if (std::isfinite(target[p]))
                adjusted.surface[p] = linear[p] + (target[p] - change[p]) / gain;
        VoltageFit next = FitVoltages(mirror, adjusted);
        if (next.status != VoltageFit::Status::Fitted)
            break;
        // The figures of the original target stay with the fit.
        next.target = result.fit.target;
        next.targetRms = result.fit.targetRms;
        current = std::move(next);
    }
    return true;
}

// The classic model's snap-down verdict for the fitted forces.
void NoteClassicSnapDown(const FitMirror& mirror, const VoltageFit& fit, double separation,
                         SessionFit& result) {
    const std::size_t points = static_cast<std::size_t>(mirror.beam.n) * mirror.beam.n;
    std::vector<double> surface(points, 0.0);
    for (std::size_t k = 0; k < mirror.response.size() && k < fit.forces.size(); ++k) {
        if (mirror.response[k].size() != points || fit.forces[k] == 0.0)
            continue;
        for (std::size_t p = 0; p < points; ++p)
            surface[p] += fit.forces[k] * mirror.response[k][p];
    }
    if (surface.empty())
        return;
    const auto [low, high] = std::minmax_element(surface.begin(), surface.end());
    result.deflectionPv = *high - *low;
    result.separation = separation;
    result.snapDown = separation > 0.0 && result.deflectionPv > separation / 3.0;
}

std::string Figure(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A length in micrometres, "0.298 um".
std::string Microns(double metres) {
    return Figure("%.3g um", metres * 1e6);
}

} // namespace

std::vector<FitWarning> SessionFitWarnings(const SessionFit& result, const FitRequest& request,
                                           const FitChoiceNames& names) {
    std::vector<FitWarning> warnings;
    if (result.status != SessionFit::Status::Fitted)
        return warnings;
    const VoltageFit& fit = result.fit;
    const int floor = static_cast<int>(fit.atFloor.size());
    const int ceiling = static_cast<int>(fit.atCeiling.size());
    const bool mostAtFloor = fit.pads > 0 && 2 * floor > fit.pads;
    const bool mostAtCeiling = fit.pads > 0 && 2 * ceiling > fit.pads;

    if (fit.targetRms > 0.0 && fit.residualRms > kUncorrectedFraction * fit.targetRms) {
        FitWarning w{"fit_uncorrected", "", {}};
        w.message = "the fit leaves the target largely uncorrected: residual RMS " +
                    Microns(fit.residualRms) + " of the target's " + Microns(fit.targetRms) +
                    " (" + Figure("%.0f", 100.0 * fit.residualRms / fit.targetRms) + " %)";
        if (mostAtFloor && !request.bias)
            w.message += "; " + std::to_string(floor) + " of " + std::to_string(fit.pads) +
                         " pads sit at the floor: the pads only pull, so this shape needs the "
                         "membrane pulled in first; try " + names.bias +
                         " (the pads start at V and the target is the change from there)";
        else if (mostAtCeiling)
            w.message += "; " + std::to_string(ceiling) + " of " + std::to_string(fit.pads) +
                         " pads sit at the ceiling: the target is deeper than the pads can pull; "
                         "try a smaller amplitude";
        else {
            std::string tries;
            if (!request.bias)
                tries = names.bias + " (shapes of both signs)";
            if (!request.freeTilt)
                tries += (tries.empty() ? "" : " or ") + names.freeTilt +
                         " (tilt left to the optics)";
            w.message += tries.empty()
                             ? "; the pads cannot make this shape: try a smaller amplitude or "
                               "fewer, lower-order terms"
                             : "; the pads cannot make this shape as asked: try " + tries;
        }
        w.figures = {{"residual_rms_m", fit.residualRms},
                     {"target_rms_m", fit.targetRms},
                     {"residual_fraction", fit.residualRms / fit.targetRms}};
        warnings.push_back(std::move(w));
    }
    if (mostAtFloor || mostAtCeiling) {
        FitWarning w{"fit_bounds", "", {}};
        if (mostAtFloor)
            w.message = std::to_string(floor) + " of " + std::to_string(fit.pads) +
                        " pads are held at the floor (lowest voltage)" +
                        (request.bias ? ": the bias leaves them too little room down; try a "
                                        "higher " + names.bias
                                      : ": the target asks them to push; try " + names.bias);
        else
            w.message = std::to_string(ceiling) + " of " + std::to_string(fit.pads) +
                        " pads are held at the ceiling (highest voltage): the target asks for "
                        "more pull than they give; try a smaller amplitude" +
                        (request.bias ? " or a lower " + names.bias : std::string());
        w.message += "; the fitted shape is what the bounds allow, not the target";
        w.figures = {{"pads", static_cast<double>(fit.pads)},
                     {"at_floor", static_cast<double>(floor)},
                     {"at_ceiling", static_cast<double>(ceiling)}};
        warnings.push_back(std::move(w));
    }
    if (result.snapDown) {
        FitWarning w{"fit_snap_down", "", {}};
        w.message = "the fitted voltages snap the membrane down in the classic model: its "
                    "deflection PV " + Microns(result.deflectionPv) + " passes a third of the gap (" +
                    Microns(result.separation / 3.0) +
                    "), so the mirror cannot take this shape; try a smaller amplitude" +
                    (request.bias ? " or a lower " + names.bias : std::string()) +
                    ", or the exact model, which finds the largest amplitude that holds";
        w.figures = {{"deflection_pv_m", result.deflectionPv},
                     {"separation_m", result.separation}};
        warnings.push_back(std::move(w));
    }
    return warnings;
}

SessionFit FitOnSession(EngineSession& session, const FitRequest& request,
                        const CancelCheck& cancelled, const SessionFitOptions& options) {
    SessionFit result;
    result.model = std::string(session.MembraneModelName());
    const std::optional<FitMirror> mirror = FitMirrorOf(session);
    if (!mirror)
        return result;
    result.fit = FitVoltages(*mirror, request);
    if (result.fit.status != VoltageFit::Status::Fitted) {
        result.status = SessionFit::Status::NotFitted;
        return result;
    }
    result.status = SessionFit::Status::Fitted;
    const std::optional<PullInInputs> inputs = session.PullInInputsNow();
    if (!inputs) {
        // The classic model has no equilibrium to check: its verdict is the
        // deflection against a third of the gap.
        if (const DMInfoClass* dm = session.MirrorModel())
            NoteClassicSnapDown(*mirror, result.fit, dm->Separation_m, result);
        return result;
    }
    const DMInfoClass& dm = *session.MirrorModel();
    const double factor = PullInFactor(*inputs->membrane, dm, result.fit.volts, cancelled);
    if (factor < 0) {
        result.status = SessionFit::Status::Cancelled;
        return result;
    }
    if (std::isnan(factor)) {
        result.status = SessionFit::Status::PullInFailed;
        return result;
    }
    result.pullInFactor = factor;
    if (factor > 1.0) {
        // The equilibrium's residual is reported for every exact fit; the
        // refinement runs only when asked for.
        SessionFitOptions measure = options;
        if (!options.matchEquilibrium)
            measure.maxRounds = 0;
        if (!MatchEquilibrium(*mirror, request, *inputs->membrane, dm, measure, cancelled,
                              result)) {
            result.status = SessionFit::Status::Cancelled;
            return result;
        }
        if (result.equilibriumRounds > 0) {
            const double refined = PullInFactor(*inputs->membrane, dm, result.fit.volts, cancelled);
            if (refined < 0) {
                result.status = SessionFit::Status::Cancelled;
                return result;
            }
            result.pullInFactor = refined;
        }
        return result;
    }

    // Past pull-in: bisect on the target's scale for the largest fit that
    // still has an equilibrium. Without bias and active bounds the forces
    // scale with the target and the factor with its inverse square root, so
    // factor^2 is the first guess.
    result.status = SessionFit::Status::BeyondPullIn;
    double low = 0.0, high = 1.0;
    double guess = std::clamp(factor * factor, 0.05, 0.95);
    for (int round = 0; round < 14 && high - low > 2e-3 * high; ++round) {
        FitRequest scaled = request;
        scaled.scale = request.scale * guess;
        VoltageFit f = FitVoltages(*mirror, scaled);
        const double lambda = f.status == VoltageFit::Status::Fitted
                                  ? PullInFactor(*inputs->membrane, dm, f.volts, cancelled)
                                  : std::nan("");
        if (lambda < 0) {
            result.status = SessionFit::Status::Cancelled;
            return result;
        }
        if (lambda > 1.0) {
            low = guess;
            result.largest = std::move(f);
            result.largestPullInFactor = lambda;
        } else {
            high = guess;
        }
        guess = 0.5 * (low + high);
    }
    result.largestScale = low;
    return result;
}

} // namespace ostrander
