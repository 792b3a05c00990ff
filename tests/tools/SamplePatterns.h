#pragma once
// The sample pattern sets shipped in Devices/: for each mirror, a flat, focus
// steps, the two tilts and astigmatism, computed from the actuator positions.
#include "Shared_Software/Pattern/PatternClass.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrander {

class MirrorInfoClass;

// One voltage per display number 1 .. the model's Actuators. The membrane's
// pull grows with the square of the voltage, so a wanted deflection profile
// w (0 .. 1 over the actuators) takes the voltage sqrt(w) times a peak that
// keeps the mean within the mirror's limit and the peak within the driver's.
std::unique_ptr<PatternClass> MakeSamplePatterns(const MirrorInfoClass& info);

// Writes the sample sets of every mirror info file in deviceFolder into
// outputFolder: "<file stem>_Patterns.pat" in version "1.0", and for the first
// mirror (by file name) also "<file stem>_Patterns_v2.pat" in version "2.0".
// Returns the names written (without folder), or nothing when a write failed.
// Sets the program folder to deviceFolder.
std::vector<std::string> WriteSamplePatterns(const std::string& deviceFolder,
                                             const std::string& outputFolder);

} // namespace ostrander
