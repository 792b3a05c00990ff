#pragma once
// The names of the shipped sample patterns ("Focus -0.25 um RMS", "Flat at
// 70 V"): written by the sample generator, read back by it and by the result
// summaries, which set the amplitude a pattern names beside the one its
// voltages give.
#include <optional>
#include <string>

namespace ostrander {

// A sample shape: a Noll term (0 for the flat at the bias) and its
// amplitude in metres RMS over the beam.
struct SampleShape {
    int noll = 0;
    double amplitude = 0.0;
    bool operator==(const SampleShape&) const = default;
};

// "Flat at 60 V", "Focus -0.50 um RMS", "Tilt X +0.25 um RMS",
// "Astigmatism 0 deg +0.25 um RMS", "Coma Y +0.10 um RMS".
std::string SampleShapeName(const SampleShape& shape, double bias);
// The shape (and for the flat the bias) a name of SampleShapeName stands
// for; none for any other name.
std::optional<SampleShape> ParseSampleShapeName(const std::string& name, double* bias = nullptr);
// The terms of the samples in set order: focus, tilt along x and y,
// astigmatism at 0 and 45 degrees, coma along x and y.
inline constexpr int kSampleTerms[] = {4, 2, 3, 6, 5, 8, 7};
// An amplitude of hundredths of a micrometre in metres, the same double
// whether it comes from the generator's ladder or from a name read back.
double SampleAmplitude(double um);
// The term's label in a name ("Focus", "Tilt X", ...); empty for another term.
std::string ShapeTermLabel(int noll);

} // namespace ostrander
