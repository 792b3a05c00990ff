#pragma once
// The sample pattern sets shipped in Devices/. Each mirror gets a bias (every
// pad at one voltage, the zero of the shapes) and, about it, focus of both
// signs, the two tilts, the two astigmatisms and the two comas, each fitted
// with the voltage fit on the exact membrane model so that the equilibrium
// (not only the linear surface) has the named shape and amplitude, and each
// kept clear of pull-in. A shape the mirror cannot make well, or not at any
// amplitude of the ladder with the pull-in margin, is left out.
#include "Shared_Software/Pattern/PatternClass.h"
#include "model/ShapeName.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

class MirrorInfoClass;

// Every shipped pattern keeps at least this pull-in factor; the generator
// takes a shape only when its rounded voltages keep kPullInMargin.
inline constexpr double kSamplePullInFactor = 1.2;
inline constexpr double kPullInMargin = 1.25;

// What a mirror's set is made of: the bias and the shapes in set order.
struct SamplePlan {
    double bias = 0.0; // V
    std::vector<SampleShape> shapes;
};

// A mirror loaded on the exact membrane model with its influence functions,
// ready to fit sample shapes.
class SampleMirror {
public:
    SampleMirror();
    ~SampleMirror();
    SampleMirror(const SampleMirror&) = delete;
    SampleMirror& operator=(const SampleMirror&) = delete;

    // infoFile as the device folder names it (the program folder must be
    // set); false with the reason when the mirror cannot be fitted.
    bool Load(const std::string& infoFile, std::string& error);

    // Half of the highest common voltage the pads can hold (the limit, and
    // the voltage at which the membrane pulls in with every pad at it),
    // rounded to 10 V.
    double ChosenBias() const;

    // Volts by display number - 1, rounded to 0.1 V, for a shape about the
    // bias: the fit on the exact model, refined so that the equilibrium
    // matches the shape (and once more with the request scaled by the
    // shortfall when it falls short). None when the fit fails, a rounded
    // voltage breaks the mirror's rules, the pull-in factor is below
    // kPullInMargin, or the rounded voltages' equilibrium (against the flat
    // at the bias) misses the named amplitude by more than
    // kSampleAmplitudeTolerance or carries other terms of more than
    // kSampleResidual of it. Pads
    // that the fit does not drive (the membrane electrode) hold 0.
    std::optional<std::vector<double>> Volts(const SampleShape& shape, double bias,
                                             std::string* why = nullptr);

    // The exact membrane's pull-in factor of volts by display number - 1
    // (each held at no less than the 0.1 V floor); infinite when nothing
    // pulls or the membrane cannot be solved.
    double PullInFactor(const std::vector<double>& volts) const;

    // The equilibrium surface (engine grid, m) of volts by display number -
    // 1, each held at no less than the floor; empty past pull-in.
    std::vector<double> Equilibrium(const std::vector<double>& volts) const;

    struct Impl;

private:
    std::optional<std::vector<double>> Fit(const SampleShape& shape, double bias, std::string& why);
    // One fit of the shape's term at `request` m RMS; `achieved` the named
    // term in the equilibrium of the rounded voltages (0 when not reached).
    std::optional<std::vector<double>> Attempt(const SampleShape& shape, double request,
                                               double bias, std::string& why, double& achieved);
    std::unique_ptr<Impl> impl_;
};

// Largest RMS over the beam of everything but the named term and piston in
// a shipped shape, as a fraction of the amplitude: at 0.6 the named term
// carries at least 70 % of the shape's variance.
inline constexpr double kSampleResidual = 0.6;
// Largest departure of the named term's coefficient in the equilibrium of
// the rounded voltages from the amplitude, as a fraction of it.
inline constexpr double kSampleAmplitudeTolerance = 0.1;

// The plan of a mirror: its chosen bias, the flat, focus at -a, -b, +b, +a
// (a and b the two largest neighbouring rungs of the ladder 1, 0.5, 0.25,
// 0.1, 0.05 um that all four fit), then tilt X and Y, astigmatism at 0 and
// 45 degrees and coma X and Y, each at the largest rung that fits (or left
// out). Progress lines on `log` when given.
SamplePlan PlanSamples(SampleMirror& mirror, std::FILE* log = nullptr);

// The voltages of a shape about a bias (SampleMirror::Volts, or those of a
// shipped set); none when it has none.
using ShapeVolts =
    std::function<std::optional<std::vector<double>>(const SampleShape& shape, double bias)>;

// The set of a plan for a mirror; null when a shape has no voltages.
std::unique_ptr<PatternClass> MakeSamplePatterns(const MirrorInfoClass& info,
                                                 const SamplePlan& plan, const ShapeVolts& voltsOf);

// The set of one mirror (info file name as the device folder names it);
// null when it cannot be made.
using SampleSetMaker = std::function<std::unique_ptr<PatternClass>(const std::string& infoFile,
                                                                   const MirrorInfoClass& info)>;

// The generator's own maker: the mirror on the exact model, its plan
// (PlanSamples), its set. Progress lines on `log` when given.
std::unique_ptr<PatternClass> FitSampleSet(const std::string& infoFile, const MirrorInfoClass& info,
                                           std::FILE* log);

// Writes the sample sets of every mirror info file in deviceFolder into
// outputFolder: "<file stem>_Patterns.pat" in version "1.0", and for the first
// mirror (by file name) also "<file stem>_Patterns_v2.pat" in version "2.0".
// Returns the names written (without folder), or nothing when a set could
// not be made or written. Sets the program folder to deviceFolder.
std::vector<std::string> WriteSamplePatterns(const std::string& deviceFolder,
                                             const std::string& outputFolder,
                                             const SampleSetMaker& make);

// The plan a shipped set was made from, read back from its pattern names;
// none when a name is not a sample shape's or the flats disagree.
std::optional<SamplePlan> PlanOfSet(const PatternClass& set);

} // namespace ostrander
