#pragma once
// The membrane's nonlinear equilibrium under the electrostatic pressure
// eps0 V^2 / (2 (d - w)^2), and its pull-in factor: the largest scale lambda
// of the present voltages (all pad voltages relative to the membrane
// electrode multiplied by lambda) at which an equilibrium still exists. Past
// it the membrane snaps down onto the electrodes.
//
// Solved by Newton's method on the engine grid's finite differences, with
// continuation along the branch of equilibria (parametrised by the mean
// deflection under the pads, which keeps growing through the fold) and the
// fold located where the voltage scale stops growing. Plain computation on a
// const model: safe to run on any thread; `cancelled` is asked between Newton
// steps.
#include "model/ExactMembrane.h"

#include <limits>
#include <optional>
#include <vector>

namespace ostrander {

struct PullInOptions {
    // Relative accuracy of the pull-in factor.
    double tolerance = 1e-6;
    // Whether to solve the equilibrium at the present voltages as well.
    bool wantSurface = true;
};

struct PullInResult {
    enum class Status {
        Equilibrium, // lambda* > 1: `surface` holds the equilibrium at the present voltages
        PulledIn,    // lambda* <= 1: no equilibrium at these voltages (snap-down)
        NoForce,     // no pad pulls: flat, lambda* infinite
        Invalid,     // the model cannot be solved (see ExactMembrane::Problem)
        Cancelled,
        NotConverged, // the continuation lost the branch (not expected)
    };
    Status status = Status::Invalid;
    // lambda*; infinite when nothing pulls.
    double pullInFactor = std::numeric_limits<double>::infinity();
    // Largest deflection at the fold, m (positive, towards the electrodes).
    double pullInDeflection_m = 0;
    // Nonlinear surface at the present voltages, m, negative towards the
    // electrodes, engine grid row-major (empty unless Equilibrium and wanted).
    std::vector<double> surface;
    // Largest deflection of `surface`, m (positive).
    double peakDeflection_m = 0;
    // Matrix factorisations spent (the cost of the solve).
    int factorisations = 0;

    // The physical verdict: the present voltages have no equilibrium.
    bool SnapDown() const { return status == Status::PulledIn; }
};

// The snap-down verdict an answer gives: whether the voltages have no
// equilibrium; none when the solve found no answer (Invalid, NotConverged).
std::optional<bool> SnapDownVerdict(const PullInResult& result);

// `volts` by model index, as for ExactMembrane::LinearSurface.
PullInResult SolvePullIn(const ExactMembrane& model, const std::vector<double>& volts,
                         const CancelCheck& cancelled = {}, const PullInOptions& options = {});

// The pull-in factor alone of `volts` by model index, to the relative
// tolerance: infinity without force, NaN when the solve found no answer,
// -1 when cancelled.
double PullInFactorOf(const ExactMembrane& model, const std::vector<double>& volts,
                      const CancelCheck& cancelled, double tolerance);

} // namespace ostrander
