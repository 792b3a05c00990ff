#pragma once
// The simulated interferometer calibration of `calibrate`: every pad poked
// from a bias on the session's mirror, each poke's surface less the bias
// surface (or, push-pull, the push's less the pull's) divided by the change
// of the pad's force, with white measurement noise and a reference tilt of
// the interferometer as asked, NaN outside the membrane (the instrument's
// aperture). The planes are what `influence` writes: metres per volt
// squared by display number, engine layout.
#include <cstdint>
#include <string>
#include <vector>

namespace ostrander {

class BatchSimulation;

struct CalibrationOptions {
    double poke = 0.0;     // V
    double bias = 0.0;     // V, every pad between pokes
    bool pushPull = false; // push to bias + poke, pull to bias - poke
    double noiseNm = 0.0;  // RMS of each measured surface's noise, nm
    double tiltNm = 0.0;   // peak-to-valley over the membrane of each plane's reference tilt, nm
    std::uint64_t seed = 1;
};

// False with the reason when a poke is not held as asked (the mirror's rules
// changed it) or changes no force.
bool SimulateCalibration(BatchSimulation& simulation, const CalibrationOptions& options,
                         std::vector<double>& planes, std::string& error);

} // namespace ostrander
