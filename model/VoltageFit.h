#pragma once
// From a wanted shape to voltages. The membrane's surface is linear in the
// pad forces w_k = (V_k - V_surface)^2 (what both membrane models synthesise
// from the stored influence functions), so the voltages that best make a
// target over the beam are found as a bounded least-squares problem in the
// forces: each force between that of the lowest voltage and that of the
// highest, piston (and on request tilt) free. The mean-voltage rule, which
// is not a bound on single forces, is met by lowering the highest voltage
// until the mean keeps within the limit.
//
// With a bias the pads start at the bias voltage and the target is the
// change from the surface they make there: pull-only pads then give shapes
// of both signs.
//
// Grids are n x n metres in the engine's layout (sample (i, j) at
// [i * n + j], x = (i - n/2) dx, y = (j - n/2) dx); the beam is BeamGrid's disc.
#include "model/BeamAnalysis.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

// What the fit needs of a mirror, as plain values.
struct FitMirror {
    BeamGrid beam;
    // Surface per unit force (m per V^2) of each actuator, by display number
    // - 1, n x n; an empty entry has no pad (the membrane's own electrode).
    std::vector<std::vector<double>> response;
    // The membrane electrode's voltage: pads pull with (V - surfaceVolts)^2.
    double surfaceVolts = 0.0;
    double floorVolts = 0.1;   // lowest voltage of a pad
    double maxVolts = 0.0;     // highest voltage of a pad
    double meanLimit = 0.0;    // bound on |mean over all actuators of (V - surfaceVolts)|
};

struct FitRequest {
    // The target: a surface (n x n metres; samples that are not finite are
    // left out of the fit) or, when that is empty, Zernike coefficients in
    // Noll order (entry j - 1 for term j, metres RMS over the beam disc).
    std::vector<double> surface;
    std::vector<double> zernike;
    double scale = 1.0; // the target is multiplied by this
    bool freeTilt = false;
    // Every pad at this voltage is the zero of the target; none: the flat,
    // unpowered membrane.
    std::optional<double> bias;
};

struct VoltageFit {
    enum class Status {
        Fitted,
        NoTarget,  // neither a surface nor a coefficient
        BadTarget, // wrong grid size, too few finite samples in the beam, or non-finite coefficients
        NoPads,    // the mirror has no pad that moves the beam, or no influence functions
        BadBias,   // the bias is outside the pads' voltage range
        NotFinite, // the target is too large: voltages or figures came out not finite
    };
    Status status = Status::NoTarget;
    // Volts by display number - 1 (the membrane electrode keeps its own).
    std::vector<double> volts;
    // Forces (V - V_surface)^2 by display number - 1, V^2.
    std::vector<double> forces;
    // The target and the predicted change from the bias (or flat) surface,
    // less the fitted piston (and tilt), n x n metres; the target is 0
    // where it was not given.
    std::vector<double> target;
    std::vector<double> predicted;
    // Over the beam samples of the target: predicted - target.
    double residualRms = 0.0; // m
    double residualPv = 0.0;  // m
    double targetRms = 0.0;   // m, of the target less piston (and tilt)
    // Noll coefficients 1 .. kAchievedTerms of `predicted` over the beam, m RMS.
    std::vector<double> achieved;
    // The pads the fit worked with (actuators with a response).
    int pads = 0;
    // Display numbers of the pads held at the lowest and at the highest voltage.
    std::vector<int> atFloor;
    std::vector<int> atCeiling;
    // The mean rule bound: the highest voltage was lowered to `maxVoltsUsed`.
    bool meanRuleActive = false;
    double maxVoltsUsed = 0.0;
    double meanVolts = 0.0; // mean over all actuators of (V - V_surface)
    // The bounded solver met its optimality conditions (never for a refusal).
    bool converged = false;

    bool AnyBoundActive() const {
        return !atFloor.empty() || !atCeiling.empty() || meanRuleActive;
    }
};

inline constexpr int kAchievedTerms = 21;

// Short text of a status that is not Fitted.
std::string FitStatusText(VoltageFit::Status status);

VoltageFit FitVoltages(const FitMirror& mirror, const FitRequest& request);

// Many surface targets on one mirror with one bias and tilt choice: the
// influence matrix over the beam is reduced once, and each Fit is the
// bounded solve alone. Fit(surface) gives what FitVoltages gives for a
// request of that surface, bias and tilt choice, except that every beam
// sample must be finite (BadTarget otherwise) and the achieved Zernike terms
// are computed only when asked for. Copies share the reduction; Fit may run
// on several threads at once.
class VoltageFitter {
public:
    VoltageFitter(const FitMirror& mirror, std::optional<double> bias, bool freeTilt = false);
    ~VoltageFitter();
    // Fitted when ready; otherwise why every fit is refused (NoPads, BadBias).
    VoltageFit::Status Status() const;
    const FitMirror& Mirror() const;
    VoltageFit Fit(const std::vector<double>& surface, bool zernike = true) const;

private:
    struct Data;
    std::shared_ptr<const Data> data_;
};

// Noll coefficients from a text such as "4=0.5um,6=-0.2um" (units m, mm, um,
// nm, one on every value), entry j - 1 for term j. False with the reason for
// a malformed list, a value without a unit, a term outside 1 .. 36 or a
// repeated term.
bool ParseZernikeTerms(const std::string& text, std::vector<double>& coefficients,
                       std::string& error);

// The pattern name a fit suggests: "Fit Z4=0.5um Z6=-0.2um @100V", or
// "Fit <file name> @100V" for a surface file.
std::string FitPatternName(const FitRequest& request, const std::string& surfaceFile = {});

} // namespace ostrander
