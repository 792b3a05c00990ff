#pragma once
// Figures of a computed surface over the beam, and of its far field, that
// optics tools report: the largest phase step between neighbouring beam
// samples (the sampling check), RMS, Zernike coefficients in Noll order, and
// the encircled energy of the far field. Plain C++ on plain grids.
//
// Surface grids are n x n metres with sample (i, j) at [i * n + j] lying at
// x = (i - n/2) dx, y = (j - n/2) dx, as the engine keeps them. The beam is
// the disc r < beamRadius.
#include "model/EngineGrid.h"

#include <span>
#include <vector>

namespace ostrander {

// The analysis works on the engine grid (model/EngineGrid.h).
using BeamGrid = EngineGrid;

// True when sample (i, j) lies in the beam.
bool InBeam(const BeamGrid& grid, int i, int j);

// Largest difference of the reflected phase 4 pi h / wavelength (radians)
// between two beam samples next to each other along x or y. Above pi the
// sampling cannot represent the wavefront and the far field is aliased.
// 0 for an empty beam; a non-finite sample gives infinity.
double LargestPhaseStep(std::span<const double> surface, const BeamGrid& grid,
                        double wavelength_m);

// Root mean square about the mean over the beam, metres; 0 for an empty beam.
double BeamRms(std::span<const double> surface, const BeamGrid& grid);

// Radial order n and azimuthal frequency m (negative for sine terms) of the
// Noll index j >= 1: 1 piston, 2 and 3 tilt, 4 focus, 5 and 6 astigmatism...
void NollIndex(int j, int& n, int& m);
// The Noll-normalised Zernike polynomial j at (rho, theta) on the unit disc:
// its RMS over the disc is 1, so a coefficient is the RMS of its term.
double NollZernike(int j, double rho, double theta);

// Least-squares coefficients of Noll terms 1 .. terms over the beam, with
// rho = r / beamRadius and theta measured from +x towards +y; metres RMS.
// Empty when the beam holds fewer samples than terms or a sample is not
// finite.
std::vector<double> NollZernikeCoefficients(std::span<const double> surface,
                                            const BeamGrid& grid, int terms);

// Fraction of the whole far-field intensity within a radius of r pixels of
// the zero frequency (row and column size / 2, 0-based), for r = 0 ..
// maxRadius; the intensity grid is size x size, element (r, c) at
// [r * size + c]. Empty when there is no finite, positive total.
std::vector<double> EncircledEnergy(std::span<const double> intensity, int size,
                                    int maxRadius);

// Largest far-field intensity of a flat mirror lit by the Gaussian beam
// exp(-(r / gaussianRadius)^2) sampled on the grid (all n x n samples, as the
// engine's far field takes them): the transform of a positive field is
// largest at zero frequency, where it is the sum of the samples.
double FlatMirrorPeak(const BeamGrid& grid, double gaussianRadius);

// The Strehl ratio: the largest intensity over the flat mirror's peak. 0 when
// either is not finite and positive, or the intensities are empty.
double StrehlRatio(std::span<const double> intensity, double flatPeak);

} // namespace ostrander
