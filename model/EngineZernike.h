#pragma once
// The engine's own Zernike terms, as its pupil tools fit and remove them
// (tilt, focus): term t has radial order n and azimuthal frequency m counted
// as the original program counts them, unnormalised, m < 0 for sine terms.
// The Noll-normalised terms of the analysis are in model/BeamAnalysis.h.

namespace ostrander {

void EngineZernikeIndex(int term, int& n, int& m);
double EngineZernikeValue(int n, int m, double rho, double theta);

} // namespace ostrander
