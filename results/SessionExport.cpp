#include "results/SessionExport.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/EngineSession.h"
#include "model/MembraneModel.h"
#include "toolkit/OutputFolder.h"
#include "results/ResultWriter.h"

#include <QDateTime>

namespace ostrander {

bool ExportSessionResult(EngineSession& session, const ExportRequest& request,
                         ExportOutcome& outcome, std::string& error) {
    outcome = ExportOutcome{};
    const DMInfoClass* dm = session.MirrorModel();
    const MirrorInfoClass* info = session.MirrorInfo();
    if (!session.HasMirror()) {
        error = "no mirror is loaded";
        return false;
    }
    if (session.IsRunning() || !session.ResultsValid()) {
        error = "the mirror's influence functions are not computed yet";
        return false;
    }
    OutputFolder out;
    if (!out.Check(request.folder, request.replace, error))
        return false;

    const DisplayOptions options = PresentDisplayOptions(session);
    SimulationResult result;
    if (!CollectSessionResult(session, options, result, error))
        return false;
    SummaryContext context;
    context.program = request.program;
    context.version = request.version;
    context.device = info->DeviceName;
    context.mirrorFile = AbsoluteMirrorFile(info->FileName);
    context.utcTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    context.geometry = SessionGeometry(session);
    context.commandLine = SimulateCommandLine(context.mirrorFile, result.model, result.voltages,
                                              options, out.Target().string());
    const ResultAnalysis analysis = AnalyseResult(result, context.geometry);
    context.warnings = ResultWarnings(MirrorWarnings(info->MapFileName, info->Model->MapReport), nullptr,
                                      dm->Actuators, result, analysis);
    if (!out.Begin(error) || !WriteResult(out, "", result, analysis, context, options, error) ||
        !out.Commit(error))
        return false;
    outcome.folder = out.Target().string();
    outcome.device = context.device;
    outcome.note = out.Note();
    outcome.warnings = context.warnings;
    return true;
}

std::string ShellQuoted(const std::string& word) {
    // Besides blanks, quotes and the shell's operators: a comment sign, the
    // home folder's tilde, glob brackets, braces and history's '!'.
    const bool plain = !word.empty() &&
                       word.find_first_of(" \t\n'\"\\$`*?;&|<>()#~[]{}!") == std::string::npos;
    if (plain)
        return word;
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string SimulateCommandLine(const std::string& mirrorFile, const std::string& model,
                                const std::vector<double>& voltages,
                                const DisplayOptions& options, const std::string& out) {
    std::vector<std::string> words{"ostrander-cli", "simulate", mirrorFile};
    // The default model goes without saying.
    if (model != MembraneModels().front().name)
        words.insert(words.end(), {"--model", model});
    if (options.nonlinear)
        words.push_back("--nonlinear");
    if (options.removeFocus) {
        words.push_back("--remove-focus");
        if (options.focusAdjust != 0.0)
            words.insert(words.end(), {"--focus-adjust", FormatNumber(options.focusAdjust)});
    }
    if (options.zoom != 1)
        words.insert(words.end(), {"--zoom", std::to_string(options.zoom)});
    if (options.wavelength != kEngineWavelength)
        words.insert(words.end(), {"--wavelength", FormatNumber(options.wavelength * 1e9)});
    const DisplayOptions defaults;
    if (options.width != defaults.width || options.height != defaults.height)
        words.insert(words.end(), {"--size", std::to_string(options.width) + "x" +
                                                 std::to_string(options.height)});
    if (!options.pictures)
        words.push_back("--no-pictures");
    if (!options.csvGrids || !options.fitsGrids) {
        words.push_back("--formats");
        words.push_back(options.csvGrids ? "csv" : "fits");
    }
    // Every voltage the mirror holds, in the shortest decimal that reads back
    // to the same volts.
    std::string pairs;
    for (std::size_t k = 0; k < voltages.size(); ++k)
        pairs += (k ? "," : "") + std::to_string(k + 1) + "=" + FormatNumber(voltages[k]);
    if (!pairs.empty())
        words.insert(words.end(), {"--set", pairs});
    words.insert(words.end(), {"--out", out});
    std::string line;
    for (const std::string& word : words)
        line += (line.empty() ? "" : " ") + ShellQuoted(word);
    return line;
}

} // namespace ostrander
