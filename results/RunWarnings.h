#pragma once
// Warnings of a run whose numbers are not to be trusted as they stand, or
// whose input was not what it seemed: each is one line on standard error and
// an entry of summary.json; the run still succeeds.
#include "model/SessionFit.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>
#include <string>
#include <vector>

namespace ostrander {

struct MapCheck;

// The term a sample pattern names and what its voltages give: the change of
// that Zernike term from the set's flat ("Flat at 70 V"), m RMS.
struct PatternTerm {
    int noll = 0;
    double named = 0.0;
    double achieved = 0.0;
    std::string flat; // the flat pattern's name
};

struct RunWarning {
    // "undersampled", "map_file", "pattern_size", "voltage_rules", "pull_in", ...
    std::string kind;
    std::string message; // one line
    QJsonObject details; // figures behind the message
};

// The reflected phase steps by more than pi between neighbouring beam
// samples (radians): the far field, Strehl and interferogram are aliased.
std::optional<RunWarning> UndersampledWarning(double largestPhaseStep);

// The actuator map file beside a mirror info file is missing or cannot be
// read, so the actuators keep the info file's numbering.
std::optional<RunWarning> MapFileWarning(const std::string& mapFile);

// A map file that was read but does not match the actuators: one warning
// (kind "map_file") per problem, naming the map and the entries.
std::vector<RunWarning> MapContentWarnings(const std::string& mapFile, const MapCheck& check);

// A pattern holding a different number of voltages than the mirror has actuators.
std::optional<RunWarning> PatternSizeWarning(const std::string& patternName, int voltages,
                                             int actuators);

// A requested voltage that the mirror's rules (floor, ceiling, mean limit)
// changed: display number, volts asked for and volts applied.
struct VoltageChange {
    int actuator = 0;
    double requested = 0.0;
    double applied = 0.0;
};
std::optional<RunWarning> VoltageRulesWarning(const std::vector<VoltageChange>& changes,
                                              int requested);

// The exact model's voltages are past pull-in (factor at or below 1): no
// equilibrium, the membrane snaps down. nonlinearAsked: the nonlinear
// surface was asked for, so the files hold the linear one in its place.
// None for a factor above 1 or NaN (a model without pull-in).
std::optional<RunWarning> PullInWarning(double pullInFactor, bool nonlinearAsked);

// A sample pattern's name ("Focus -0.25 um RMS") states the change from the
// set's flat that holds on the exact model's nonlinear surface; `term` is
// that change here. A warning when it is more than 10 % off. surface:
// "linear" or "nonlinear".
std::optional<RunWarning> PatternAmplitudeWarning(const std::string& patternName,
                                                  const PatternTerm& term, const std::string& model,
                                                  const std::string& surface);

// A figure written beside a limit it is compared with: three significant
// digits, more when fewer would round it onto or across the limit (1.196
// beside 1.2 is "1.196", never "1.2").
std::string FigureBeside(double value, double limit);

// A voltage fit's own warnings: fitted voltages close to pull-in (a pull-in
// factor below 1.2; NaN, as the classic model gives, warns nothing), a
// bounded fit that stopped before its optimality conditions held, and the
// session's verdicts on what the fit achieved (SessionFitWarnings, whose
// advice names the choices as `names` does).
std::vector<RunWarning> FitWarnings(const SessionFit& fitted, const FitRequest& request,
                                    const FitChoiceNames& names = {});

// "ostrander-cli: warning: MESSAGE" per warning on standard error.
void PrintWarnings(const std::vector<RunWarning>& warnings);
// [{"kind": ..., "message": ..., details...}, ...]
QJsonArray WarningsJson(const std::vector<RunWarning>& warnings);

// Text read from a mirror or pattern file, as UTF-8: kept when it already is
// valid UTF-8, otherwise taken as Latin-1 (as older files are written).
std::string Utf8FromFileText(const std::string& text);

} // namespace ostrander
