#pragma once
// Writes one result into an output folder, the same files whoever asks:
// ostrander-cli's simulate, sweep and fit, and the main window's export. The
// eight pictures (unless the options leave them out), the surface and far
// field as CSV and FITS (or in the one format the options keep), the encircled energy and summary.json, plus the
// warnings of a result.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "results/ResultFiles.h"
#include "results/SessionResult.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace ostrander {

class OutputFolder;
class PatternListEntry;

// A picture as PNG bytes, encoded in memory by the picture backend: only the
// output folder writes to disk, so a full disk is reported once, in its
// words. A picture that could not be drawn (nullptr) fails with the reason.
bool WritePng(OutputFolder& out, const std::string& relative, const Canvas* picture,
              std::string& error);

// The summary of one result, with what the command adds (such as its fit).
QJsonObject ResultSummary(const SimulationResult& result, const ResultAnalysis& analysis,
                          const SummaryContext& context, const DisplayOptions& options,
                          const QJsonObject& extra = {});

// The pictures, grids and figures of one result into folder ("" for the
// output folder itself, else a subfolder made here).
bool WriteResult(OutputFolder& out, const std::string& folder, const SimulationResult& result,
                 const ResultAnalysis& analysis, const SummaryContext& context,
                 const DisplayOptions& options, std::string& error,
                 const QJsonObject& extraSummary = {});

// The warnings of the mirror itself: a missing or unreadable actuator map,
// or one whose entries do not match the actuators (check: what the map held).
std::vector<RunWarning> MirrorWarnings(const std::string& mapFile, const MapCheck& check = {});
// The warnings of one result: the pattern's size, the voltage rules, the
// sampling and pull-in, after those of the mirror.
std::vector<RunWarning> ResultWarnings(const std::vector<RunWarning>& mirrorWarnings,
                                       const PatternListEntry* pattern, int actuators,
                                       const SimulationResult& result,
                                       const ResultAnalysis& analysis);

// The mirror info file as a plain absolute path, for the summaries.
std::string AbsoluteMirrorFile(const std::string& infoFile);

} // namespace ostrander
