#pragma once
// The voltage fit on the session's mirror: the stored influence functions
// (whichever membrane model computed them) give the response per unit force,
// the live mirror its voltage rules and membrane electrode. With the exact
// model the fitted voltages are checked for an equilibrium: past pull-in the
// membrane would snap down, so the fit is refused and the largest scale of
// the target whose fit still holds is found instead.
#include "model/ExactMembrane.h"
#include "model/VoltageFit.h"

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {

class EngineSession;

// The fit's view of the session's mirror; none until an influence run has
// finished for it.
std::optional<FitMirror> FitMirrorOf(EngineSession& session);

struct SessionFitOptions {
    // Exact model: refine the voltages until the nonlinear equilibrium (not
    // the linear surface) matches the target: the linear fit is repeated on
    // the target less the equilibrium's departure from the linear surface,
    // for at most maxRounds rounds while the equilibrium's residual falls.
    bool matchEquilibrium = false;
    int maxRounds = 8;
};

struct SessionFit {
    enum class Status {
        Fitted,
        NoInfluenceFunctions, // no mirror, or its influence run has not finished
        NotFitted,            // the fit itself refused (fit.status says why)
        BeyondPullIn,         // exact model: the fitted voltages have no equilibrium
        PullInFailed,         // exact model: the equilibrium could not be computed
        Cancelled,
    };
    Status status = Status::NoInfluenceFunctions;
    VoltageFit fit;
    std::string model; // the session's membrane model
    // Exact model: the largest scale of the fitted voltages that still has an
    // equilibrium; NaN with the classic model.
    double pullInFactor = std::numeric_limits<double>::quiet_NaN();
    // BeyondPullIn: the largest scale of the target (0 .. 1) whose fit has a
    // pull-in factor of at least 1, and that fit with its pull-in factor.
    double largestScale = std::numeric_limits<double>::quiet_NaN();
    VoltageFit largest;
    double largestPullInFactor = std::numeric_limits<double>::quiet_NaN();
    // Exact model: RMS over the target's beam samples of the equilibrium's
    // change from the bias (or floor) equilibrium less the target, piston
    // (and tilt when free) taken out, m; NaN with the classic model.
    double equilibriumResidualRms = std::numeric_limits<double>::quiet_NaN();
    // matchEquilibrium: the rounds of refinement spent.
    int equilibriumRounds = 0;
    // Classic model: peak-to-valley of the membrane's deflection under the
    // fitted voltages (every pad's force times its influence function, over
    // the whole grid) and whether it passes a third of the gap, where the
    // membrane snaps down; NaN and false with the exact model, whose pull-in
    // check refuses such a fit.
    double deflectionPv = std::numeric_limits<double>::quiet_NaN();
    double separation = std::numeric_limits<double>::quiet_NaN(); // the gap, m
    bool snapDown = false;
};

std::string SessionFitStatusText(const SessionFit& result);

// A fitted result whose voltages are not to be taken as they stand: the fit
// leaves the target largely uncorrected ("fit_uncorrected", residual RMS
// above kUncorrectedFraction of the target's), most pads sit at one bound
// ("fit_bounds", more than half at the floor or at the ceiling), or the
// classic model's membrane snaps down under them ("fit_snap_down"). Each
// message gives the figures, the likely reason and what to try.
struct FitWarning {
    std::string kind;
    std::string message;
    std::vector<std::pair<std::string, double>> figures; // name, value
};
inline constexpr double kUncorrectedFraction = 0.9;

// How the advice names the fit's choices: the command line's options or the
// window's check boxes.
struct FitChoiceNames {
    std::string bias = "--bias V";
    std::string freeTilt = "--free-tilt";
};

std::vector<FitWarning> SessionFitWarnings(const SessionFit& result, const FitRequest& request,
                                           const FitChoiceNames& names = {});

// Fits without changing the mirror's voltages.
SessionFit FitOnSession(EngineSession& session, const FitRequest& request,
                        const CancelCheck& cancelled = {}, const SessionFitOptions& options = {});

} // namespace ostrander
