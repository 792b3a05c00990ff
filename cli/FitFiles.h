#pragma once
// The files of `ostrander-cli fit`: the fitted voltages as a pattern-set
// file, a CSV table and the fit's part of the summary.
#include "model/SessionFit.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace ostrander {

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
