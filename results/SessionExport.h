#pragma once
// The main window's "Export Pictures and Data": the result of the session's
// present state (the voltages its mirror holds, the membrane model, the
// display choices) written into an output folder as `ostrander-cli simulate`
// writes it for those voltages, under the same folder rules: the folder
// appears whole or not at all, and only an earlier output of the program,
// holding nothing else, is ever replaced.
#include "results/RunWarnings.h"
#include "results/SessionResult.h"

#include <string>
#include <vector>

namespace ostrander {

class EngineSession;

struct ExportRequest {
    std::string folder;
    bool replace = false; // an earlier output of the program there may be replaced
    std::string program;  // the writer the summary and FITS files name
    std::string version;
};

struct ExportOutcome {
    std::string folder;               // where the files are, absolute
    std::string device;               // the mirror's name
    std::string note;                 // an earlier output that could not be removed
    std::vector<RunWarning> warnings; // as the summary lists them
};

// Writes the files. False with the reason (and nothing written) when there is
// no mirror with influence functions, a run is going, the folder is refused
// or a file cannot be written. The engine's results are computed afresh on
// the way: the caller redraws from them afterwards.
bool ExportSessionResult(EngineSession& session, const ExportRequest& request,
                         ExportOutcome& outcome, std::string& error);

// A word as a POSIX shell reads it back: kept as it is when it holds nothing
// the shell treats specially, else in single quotes.
std::string ShellQuoted(const std::string& word);

// The ostrander-cli command that writes the same files as an export of these
// voltages (volts by display number - 1), model and options into out.
std::string SimulateCommandLine(const std::string& mirrorFile, const std::string& model,
                                const std::vector<double>& voltages,
                                const DisplayOptions& options, const std::string& out);

} // namespace ostrander
