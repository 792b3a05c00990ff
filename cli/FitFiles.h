#pragma once
// The inputs and files of `ostrander-cli fit`: a target surface read from a
// CSV or FITS grid laid out as `simulate` writes them, and the fitted
// voltages as a pattern-set file, a CSV table and the fit's part of the
// summary.
#include "model/SessionFit.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace ostrander {

// Reads an n x n grid of metres (rows along y, as surface.csv and
// surface.fits hold it) into the engine's layout (element (i, j), i along x,
// at [i * n + j]). Empty CSV fields, "null" and "nan" are missing samples
// (NaN). False with the reason for an unreadable file, a grid of another
// size, a value that is not a number, or a FITS file that is not a 2-D image.
bool ReadSurfaceGrid(const std::string& path, int n, std::vector<double>& grid,
                     std::string& error);

// A pattern set of one pattern, in version 2.0, as file bytes: voltages by
// display number 1 .. volts.size().
bool FitPatternBytes(const std::string& setName, const std::string& patternName,
                     const std::vector<double>& volts, std::string& bytes, std::string& error);

// actuator,volts,force_v2,bound (floor, ceiling, free or membrane); the
// membrane electrode (display number, 0 for none) is marked as such.
std::string FitVoltagesCsv(const VoltageFit& fit, int membraneElectrode);

// The fit's figures for summary.json: target, residual RMS and PV, the
// achieved Noll coefficients, the bounds that bound and the pull-in factor.
QJsonObject FitSummary(const SessionFit& result, const FitRequest& request,
                       const std::string& targetText);

} // namespace ostrander
