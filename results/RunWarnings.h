#pragma once
// Warnings of a run whose numbers are not to be trusted as they stand, or
// whose input was not what it seemed: each is one line on standard error and
// an entry of summary.json; the run still succeeds.
#include <QJsonArray>
#include <QJsonObject>

#include <optional>
#include <string>
#include <vector>

namespace ostrander {

struct RunWarning {
    std::string kind;    // "undersampled", "map_file", "pattern_size", "voltage_rules"
    std::string message; // one line
    QJsonObject details; // figures behind the message
};

// The reflected phase steps by more than pi between neighbouring beam
// samples (radians): the far field, Strehl and interferogram are aliased.
std::optional<RunWarning> UndersampledWarning(double largestPhaseStep);

// The actuator map file beside a mirror info file is missing or cannot be
// read, so the actuators keep the info file's numbering.
std::optional<RunWarning> MapFileWarning(const std::string& mapFile);

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

// A voltage fit's own warnings: fitted voltages close to pull-in (a pull-in
// factor below 1.2; NaN, as the classic model gives, warns nothing) and a
// bounded fit that stopped before its optimality conditions held.
std::vector<RunWarning> FitWarnings(double pullInFactor, bool converged);

// "ostrander-cli: warning: MESSAGE" per warning on standard error.
void PrintWarnings(const std::vector<RunWarning>& warnings);
// [{"kind": ..., "message": ..., details...}, ...]
QJsonArray WarningsJson(const std::vector<RunWarning>& warnings);

// Text read from a mirror or pattern file, as UTF-8: kept when it already is
// valid UTF-8, otherwise taken as Latin-1 (as older files are written).
std::string Utf8FromFileText(const std::string& text);

} // namespace ostrander
