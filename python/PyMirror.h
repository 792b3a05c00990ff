#pragma once
// ostrander.Mirror: one engine session with one mirror, its influence
// functions computed at construction, and the answers of the session for
// voltages given from Python (surface, far field, summary, pull-in, fit).
// One Mirror is used by one thread at a time: a call while another call on
// the same Mirror runs (another thread's, or one a signal handler makes)
// raises RuntimeError. Separate mirrors run in
// separate threads at once (long calls release the GIL). The turbulence
// study's calls (correct, correct_wavefront) and phase_screen are in
// PyCorrection.cpp.
#include "python/PythonSupport.h"
#include "model/TurbulenceStudy.h"
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

// One corrected screen of a turbulence study, or a wavefront corrected alone;
// the grids only for a kept screen ([row y][column x], m).
struct ScreenOutcome {
    double dOverR0 = 0.0;
    int screen = 0;
    double inputRms = 0.0, residualRms = 0.0, strehl = 0.0, marechal = 0.0;
    int padsAtBounds = 0;
    bool meanRuleActive = false, snapDown = false, saturated = false;
    double pullInFactor = 0.0;
    double bias = 0.0;
    py::array_t<double> volts;
    std::optional<py::array_t<double>> wavefront, surface, residual;
};

// A turbulence study's answers: a dict per D/r0 with correction.csv's
// columns, a_F, the bias and how it was chosen, and the kept screens.
struct CorrectionOutcome {
    py::list points;
    std::optional<double> fittingCoefficient;
    double bias = 0.0;
    bool biasFound = false;
    std::vector<std::pair<double, double>> biasCandidates;
    std::string model;
    int pads = 0;
    double pitch = 0.0, diameter = 0.0, wavelength = 0.0, outerScale = 0.0;
    unsigned long long seed = 0;
    int screens = 0;
    std::vector<ScreenOutcome> kept;
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
    CorrectionOutcome Correct(const py::handle& dOverR0, long long screens, const py::handle& seed,
                              double outerScale, double wavelength, std::optional<double> bias,
                              long long keep);
    ScreenOutcome CorrectWavefront(const py::handle& wavefront, std::optional<double> bias,
                                   double wavelength);

private:
    // Prepares a study of the settings on this mirror's session (the
    // channels at the floor first, as ostrander-cli starts), without the GIL;
    // the errors ostrander-cli prints for a study that cannot run.
    void PrepareStudy(TurbulenceStudy& study, InterruptCheck& interrupted);
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

// Holds a Mirror for one call; another call meanwhile is refused.
class Busy {
public:
    explicit Busy(PyMirror& mirror);
    ~Busy() { busy_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    std::atomic<bool>& busy_;
};

// Phase screens of turbulence (model/PhaseScreen.h), n x n samples of dx,
// r0 given, or D/r0 with D = n dx: one [row y][column x] array in metres of
// optical path, or `count` of them as (count, n, n).
py::array_t<double> PhaseScreens(long long n, double dx, std::optional<double> dOverR0,
                                 std::optional<double> r0, double wavelength, double outerScale,
                                 const py::handle& seed, std::optional<long long> count,
                                 long long subharmonics);

// The module's rule for a wavelength in metres.
void CheckWavelength(double wavelength);

} // namespace ostrander::python
