#pragma once
// The sample pattern sets shipped in Devices/: for each mirror, a flat, focus
// steps, the two tilts and astigmatism, computed from the actuator positions
// and kept clear of pull-in on the exact membrane model.
#include "Shared_Software/Pattern/PatternClass.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrander {

class MirrorInfoClass;

// Every shipped pattern keeps at least this pull-in factor; one that the
// voltage rules alone would put below it is made at kPullInMargin.
inline constexpr double kSamplePullInFactor = 1.2;
inline constexpr double kPullInMargin = 1.25;

// One voltage per display number 1 .. the model's Actuators. The membrane's
// pull grows with the square of the voltage, so a wanted deflection profile
// w (0 .. 1 over the actuators) takes the voltage sqrt(w) times a peak that
// keeps the mean within the mirror's limit and the peak within the driver's,
// lowered where the exact membrane would otherwise come within
// kSamplePullInFactor of pull-in.
std::unique_ptr<PatternClass> MakeSamplePatterns(const MirrorInfoClass& info);

// The exact membrane's pull-in factor of a pattern (volts by display number
// - 1, held at no less than the 0.1 V floor); infinite when nothing pulls or
// the membrane cannot be solved.
double SamplePullInFactor(const MirrorInfoClass& info, const std::vector<double>& volts);

// Writes the sample sets of every mirror info file in deviceFolder into
// outputFolder: "<file stem>_Patterns.pat" in version "1.0", and for the first
// mirror (by file name) also "<file stem>_Patterns_v2.pat" in version "2.0".
// Returns the names written (without folder), or nothing when a write failed.
// Sets the program folder to deviceFolder.
std::vector<std::string> WriteSamplePatterns(const std::string& deviceFolder,
                                             const std::string& outputFolder);

} // namespace ostrander
