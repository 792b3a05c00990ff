#pragma once
// ostrander.Mirror: one engine session with one mirror, its influence
// functions computed at construction, and the answers of the session for
// voltages given from Python (surface, far field, summary, pull-in, fit).
// One Mirror is used by one thread at a time: a call while another call on
// the same Mirror runs (another thread's, or one a signal handler makes)
// raises RuntimeError. Separate mirrors run in
// separate threads at once (long calls release the GIL).
#include "python/PythonSupport.h"
#include "results/BatchSimulation.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace ostrander::python {

// The mirror's rules applied to a request: the volts each display number
// holds, each changed request (number, asked, held) and the warning text.
struct AppliedRules {
    py::array_t<double> volts;
    std::vector<std::tuple<int, double, double>> changes;
    std::optional<std::string> message;
};

// The engine grid: sample coordinates along x (columns) and y (rows), m,
// and the beam and membrane masks [row y][column x].
struct GridInfo {
    int n = 0;
    double dx = 0.0, beamRadius = 0.0, membraneRadius = 0.0;
    py::array_t<double> x, y;
    py::array_t<bool> beamMask, membraneMask;
};

// A far field as the result files hold it, with its angular scale.
struct FarFieldResult {
    py::array_t<double> intensity; // [row][column], the axis at (size/2, size/2)
    py::array_t<double> angle;     // rad, of each row and column from the axis
    double pixelScale = 0.0, lambdaOverD = 0.0, wavelength = 0.0, strehl = 0.0;
    int zoom = 1;
};

// A voltage fit and the surface its voltages give.
struct FitOutcome {
    py::array_t<double> volts, surface, target, predicted, residual;
    double residualRms = 0.0, residualPv = 0.0, targetRms = 0.0, pullInFactor = 0.0;
    bool converged = true;
    std::vector<double> achieved; // Noll terms 1 .., m RMS
    std::vector<int> atFloor, atCeiling;
    std::vector<std::string> warnings;
};

// Measured influence functions for model="measured" (formats/MeasuredCube.h).
struct MeasuredArgs {
    std::optional<std::string> influence, law, units, actuators, flat;
    std::optional<double> sampling;
    bool removeTilt = false;
};

// The exact model's finer grid: samples per side, none for the mirror file's.
using GridArg = std::optional<long long>;

class PyMirror {
public:
    PyMirror(const std::string& mirror, const std::string& model,
             const std::optional<std::string>& devices, const MeasuredArgs& measured = {},
             GridArg grid = std::nullopt);

    std::string Name() const;
    std::string File() const { return infoFile_; }
    std::string Model() const;
    double LimitVoltage() const;
    int ActuatorCount() const;
    int MembraneElectrode() const;
    double RunVoltage() const;
    py::list Actuators() const;
    GridInfo Grid() const;
    std::string Repr() const;

    py::array_t<double> Influence();
    AppliedRules ApplyRules(const py::handle& volts);
    py::array_t<double> Surface(const py::handle& volts, bool nonlinear, const py::handle& remove);
    double PullInFactor(const py::handle& volts);
    FarFieldResult FarField(const py::handle& volts, double wavelength, int zoom);
    py::object Analyse(const py::handle& volts, double wavelength, int zoom,
                       const py::handle& remove, bool nonlinear);
    FitOutcome Fit(const py::handle& target, std::optional<double> bias, bool freeTilt,
                   bool nonlinear);

private:
    // The voltages as the mirror's rules hold them, from the 0.1 V floor.
    AppliedVoltages Apply(const py::handle& volts);
    // The session's result under the options, without pictures.
    SimulationResult Simulate(const VoltageRequest& request, const DisplayOptions& options);
    DisplayOptions Options(double wavelength, int zoom, const py::handle& remove, bool nonlinear);

    std::unique_ptr<BatchSimulation> simulation_;
    std::string infoFile_;
    std::vector<RunWarning> mirrorWarnings_;
    // A call is running (on some thread, or further up this one's stack).
    std::atomic<bool> busy_{false};
    friend class Busy;
};

} // namespace ostrander::python
