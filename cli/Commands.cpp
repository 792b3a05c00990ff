#include "cli/Commands.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "cli/Arguments.h"
#include "cli/Calibration.h"
#include "results/BatchSimulation.h"
#include "cli/DeviceLookup.h"
#include "cli/FitFiles.h"
#include "cli/InfluenceFiles.h"
#include "cli/Progress.h"
#include "formats/FitsFile.h"
#include "formats/InfluenceCube.h"
#include "formats/SurfaceFile.h"
#include "formats/VoltageFile.h"
#include "formats/MeasuredCube.h"
#include "model/MeasuredMembraneModel.h"
#include "model/MembraneModel.h"
#include "model/SessionFit.h"
#include "model/ShapeName.h"
#include "toolkit/OutputFolder.h"
#include "results/ResultFiles.h"
#include "results/ResultWriter.h"
#include "results/SessionExport.h"
#include "results/TurbulenceFiles.h"
#include "model/TurbulenceStudy.h"
#include "toolkit/Format.h"
#include "toolkit/Paths.h"
#include "toolkit/TerminalText.h"
#include "toolkit/Version.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>

namespace ostrander {

namespace {

std::string commandLine;

// Warnings name files, mirrors and patterns: printed terminal-safe.
void PrintSafeWarnings(std::vector<RunWarning> warnings) {
    ClearProgressLine();
    for (RunWarning& w : warnings)
        w.message = TerminalSafe(w.message);
    PrintWarnings(warnings);
}

} // namespace

std::string ProgramVersion() {
    return kVersion;
}

void SetCommandLine(int argc, const char* const* argv) {
    commandLine.clear();
    for (int k = 0; k < argc; ++k) {
        if (k)
            commandLine += ' ';
        commandLine += ShellQuoted(argv[k] ? argv[k] : "");
    }
}

int Fail(const std::string& message) {
    ClearProgressLine();
    const std::string line = "ostrander-cli: " + TerminalSafe(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return kExitFailure;
}

namespace {

volatile std::sig_atomic_t interrupted = 0;

void NoteInterrupt(int) {
    interrupted = 1;
}

constexpr const char* kInterrupted = "interrupted; nothing was written";

// Makes the output folder's contents final and tells what the folder said
// on the way (a replaced earlier result, for instance).
bool CommitOutput(OutputFolder& out, std::string& error) {
    if (!out.Commit(error))
        return false;
    if (!out.Note().empty())
        std::fprintf(stderr, "ostrander-cli: note: %s\n", TerminalSafe(out.Note()).c_str());
    return true;
}

// An interrupt lets the command stop between steps and remove its staging
// folder instead of dying with half the output in it.
void CatchInterrupts() {
    std::signal(SIGINT, NoteInterrupt);
    std::signal(SIGTERM, NoteInterrupt);
    std::signal(SIGHUP, NoteInterrupt);
}


// ---- mirrors ----

void PrintTable(const std::vector<DeviceEntry>& devices) {
    std::size_t nameWidth = 6, fileWidth = 4;
    for (const DeviceEntry& d : devices) {
        nameWidth = std::max(nameWidth, ShownName(d.deviceName, 60).size());
        fileWidth = std::max(fileWidth, ShownName(d.fileName, 60).size());
    }
    std::printf("%-*s  %-*s  %9s  %13s  %s\n", static_cast<int>(nameWidth), "DEVICE",
                static_cast<int>(fileWidth), "FILE", "ACTUATORS", "LIMIT VOLTAGE", "MODELS");
    for (const DeviceEntry& d : devices) {
        std::string models;
        for (const std::string& model : d.models)
            models += (models.empty() ? "" : ",") + model;
        std::printf("%-*s  %-*s  %9d  %11s V  %s\n", static_cast<int>(nameWidth),
                    ShownName(d.deviceName, 60).c_str(), static_cast<int>(fileWidth),
                    ShownName(d.fileName, 60).c_str(), d.actuators,
                    FormatFloat("0.0", d.limitVoltage).c_str(), models.c_str());
    }
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(Utf8FromFileText(text));
}

void PrintJson(const std::vector<DeviceEntry>& devices) {
    QJsonArray list;
    for (const DeviceEntry& d : devices) {
        QJsonObject entry;
        entry["device"] = Utf8(d.deviceName);
        entry["file"] = Utf8(d.fileName);
        entry["path"] = Utf8(d.absolutePath);
        entry["actuators"] = d.actuators;
        entry["limit_voltage"] = d.limitVoltage;
        QJsonArray models;
        for (const std::string& model : d.models)
            models.append(QString::fromStdString(model));
        entry["models"] = models;
        list.append(entry);
    }
    std::fputs(QJsonDocument(list).toJson(QJsonDocument::Indented).constData(), stdout);
}

// ---- shared by simulate and sweep ----

bool ParseSize(const std::string& text, DisplayOptions& options, std::string& error) {
    static const std::regex pattern(R"(\s*(\d{1,5})\s*[xX]\s*(\d{1,5})\s*)");
    std::smatch match;
    constexpr int kMin = 32, kMax = 4000;
    if (std::regex_match(text, match, pattern)) {
        const int w = std::stoi(match[1]), h = std::stoi(match[2]);
        if (w >= kMin && w <= kMax && h >= kMin && h <= kMax) {
            options.width = w;
            options.height = h;
            return true;
        }
    }
    error = "--size " + Quoted(text) + " is not WIDTHxHEIGHT with each side from " +
            std::to_string(kMin) + " to " + std::to_string(kMax) + " pixels";
    return false;
}

bool MakeDisplayOptions(const ResultOptions& command, DisplayOptions& options, std::string& error) {
    if (!std::isfinite(command.focusAdjust) || command.focusAdjust < -1.0 ||
        command.focusAdjust > 2.0) {
        error = "--focus-adjust must lie from -1 to 2";
        return false;
    }
    if (command.zoom < 1 || command.zoom > 100) {
        error = "--zoom must lie from 1 to 100";
        return false;
    }
    options.removeFocus = command.removeFocus;
    options.focusAdjust = command.focusAdjust;
    options.zoom = command.zoom;
    const MembraneModelInfo* model = FindMembraneModel(command.model);
    if (command.nonlinear && !(model && model->computesPullIn)) {
        error = "--nonlinear needs --model exact";
        return false;
    }
    options.nonlinear = command.nonlinear;
    options.pictures = !command.noPictures;
    if (!ParseGridFormats(command.formats, options, error))
        return false;
    if (!std::isfinite(command.wavelengthNm) || command.wavelengthNm < 100.0 ||
        command.wavelengthNm > 20000.0) {
        error = "--wavelength must lie from 100 to 20000 nm";
        return false;
    }
    options.wavelength = command.wavelengthNm * 1e-9;
    return ParseSize(command.size, options, error);
}

// A pattern set read from a file, refused when it is not one.
std::unique_ptr<PatternClass> ReadPatternSet(const std::string& named, std::string& error) {
    // A bare file name that is not in the working folder is looked up in the
    // device folder, where the shipped sets lie beside their mirrors.
    std::string file = named;
    std::error_code ec;
    if (file.find('/') == std::string::npos && file.find('\\') == std::string::npos &&
        !std::filesystem::exists(file, ec) && std::filesystem::exists(DeviceFolder() + file, ec))
        file = DeviceFolder() + file;
    if (std::string problem = FileReadProblem(file, IniFile::MaxFileBytes, "pattern set");
        !problem.empty()) {
        error = problem;
        return nullptr;
    }
    auto set = std::make_unique<PatternClass>(file);
    if (!set->IsValid() || set->GetPatternCount() < 1) {
        error = Quoted(file) + " is not a valid pattern-set file" +
                (set->ReadError().empty() ? "" : ": " + set->ReadError());
        return nullptr;
    }
    return set;
}

// What the pattern reader passed over, printed once the command will run.
void PrintPatternSetWarnings(const PatternClass* set, const std::string& file) {
    ClearProgressLine();
    if (set != nullptr)
        for (const std::string& warning : set->ReadWarnings())
            std::fprintf(stderr, "ostrander-cli: warning: pattern set %s: %s\n",
                         Quoted(file).c_str(), TerminalSafe(warning).c_str());
}

// Every voltage of the pattern must belong to one of the mirror's actuators.
bool CheckPattern(const PatternListEntry& pattern, int actuators, std::string& error) {
    for (const VoltageListEntry* e = pattern.Voltages.First(); e; e = e->next)
        if (e->Actuator < 1 || e->Actuator > actuators) {
            error = "pattern " + Quoted(pattern.PatternName) + " sets actuator " +
                    std::to_string(e->Actuator) + ", but the mirror has actuators 1 to " +
                    std::to_string(actuators);
            return false;
        }
    for (const VoltageListEntry* e = pattern.Voltages.First(); e; e = e->next)
        if (!std::isfinite(e->Voltage)) {
            error = "pattern " + Quoted(pattern.PatternName) +
                    " has no usable voltage for actuator " + std::to_string(e->Actuator);
            return false;
        }
    return true;
}

// Selects the mirror and runs its influence functions, with a progress bar.
bool PrepareMirror(BatchSimulation& simulation, const ResultOptions& command,
                   std::string& mirrorFile, std::string& error) {
    const std::string& mirror = command.mirror;
    std::string reason;
    if (!simulation.UseModel(command.model)) {
        error = "no membrane model " + Quoted(command.model) + " (" + MembraneModelNames() + ")";
        return false;
    }
    if (command.grid != 0) {
        const MembraneModelInfo* model = FindMembraneModel(command.model);
        if (!model || !model->takesFinerGrid) {
            error = "--grid needs --model exact: the other models keep the 100 x 100 grid";
            return false;
        }
        if (const std::string problem = simulation.Session().SetGridSamples(command.grid);
            !problem.empty()) {
            error = "--grid: " + problem;
            return false;
        }
    }
    const bool measured = command.model == MeasuredMembraneModel::kName;
    if (!measured && !command.influence.empty()) {
        error = "--influence needs --model measured";
        return false;
    }
    if (!command.flat.empty() && command.influence.empty()) {
        error = "--flat needs --model measured --influence FILE";
        return false;
    }
    if (!LocateMirrorFile(mirror, mirrorFile, error))
        return false;
    if (!simulation.Load(mirrorFile, reason)) {
        mirrorFile.clear();
        error = "cannot use mirror " + Quoted(mirror) + ": " + reason;
        return false;
    }
    // A map that leaves two actuators on one display number (or one outside
    // the range) would drive and report the wrong pads: no run.
    if (const std::string problem =
            MapNumberingError(Utf8FromFileText(simulation.MapFile()), simulation.MapReport());
        !problem.empty()) {
        mirrorFile.clear();
        error = "cannot use mirror " + Quoted(mirror) + ": " + problem;
        return false;
    }
    // Without --model (or with --model measured and no --influence), a cube
    // the mirror's description names selects the measured model.
    MeasuredCubeRequest request;
    bool described = false;
    if ((!command.modelGiven || measured) && command.influence.empty()) {
        std::string problem;
        described = MeasuredRequestOfMirror(mirrorFile, request, problem);
        if (!problem.empty()) {
            error = "cannot use mirror " + Quoted(mirror) + ": " + problem;
            return false;
        }
    }
    if (measured && !described && command.influence.empty()) {
        error = "--model measured needs --influence FILE (or a [Measured Influence] File in "
                "the mirror's description)";
        return false;
    }
    if (measured && !described) {
        request.path = command.influence;
        if (!command.law.empty())
            request.law = ParseResponseLaw(command.law);
        if (command.sampling != 0.0)
            request.sampling = command.sampling;
        request.units = command.units;
        request.actuators = command.actuatorsTable;
        request.removePistonTilt = command.removeTilt;
        request.flat = command.flat;
    }
    if (measured || described) {
        const MeasuredLoad load = LoadMeasuredInfluence(simulation.Session(), request);
        if (!load.loaded) {
            error = load.error;
            return false;
        }
        ClearProgressLine();
        for (const std::string& warning : load.warnings)
            std::fprintf(stderr, "ostrander-cli: warning: %s\n", TerminalSafe(warning).c_str());
    }
    Progress progress("Influence functions", simulation.ActuatorCount());
    if (!simulation.RunInfluenceFunctions([&progress](int done, int) { progress.Update(done); },
                                          reason)) {
        error = "cannot simulate " + Quoted(simulation.DeviceName()) + ": " + reason;
        return false;
    }
    progress.Finish();
    return true;
}

// What every command that writes a folder of results holds: the output
// folder, checked before any work, and the mirror with its influence
// functions computed.
struct MirrorRun {
    OutputFolder out;
    BatchSimulation simulation;
    std::string mirrorFile;
};

// Checks the output folder, then loads the mirror and runs its influence
// functions; false with the reason.
bool StartRun(const ResultOptions& command, MirrorRun& run, std::string& error) {
    return run.out.Check(command.out, command.force, error) &&
           PrepareMirror(run.simulation, command, run.mirrorFile, error);
}

// Writes the output folder whole or not at all: write(out, error) between
// its start and its commit. Nothing is written after Ctrl-C.
template <class Write> bool WriteRun(MirrorRun& run, std::string& error, Write write) {
    if (interrupted) {
        error = kInterrupted;
        return false;
    }
    return run.out.Begin(error) && write(run.out, error) && CommitOutput(run.out, error);
}

// --nonlinear past pull-in without --linear-past-pull-in: there is no
// equilibrium to write, and a linear surface is not written in its place.
int FailPastPullIn(const SimulationResult& result, const std::string& what) {
    const std::string line =
        "ostrander-cli: " + TerminalSafe(what) + "the voltages are past pull-in (pull-in factor " +
        FigureBeside(result.pullInFactor, 1.0) +
        "): the membrane has no nonlinear equilibrium; nothing was written "
        "(--linear-past-pull-in writes the linear surface, named so, instead)\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return kExitPastPullIn;
}

// A JSON document on standard output, for --json.
void PrintJsonDocument(const QJsonDocument& document) {
    const QByteArray text = document.toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
}

// A folder name for a pattern: its index, then its name with anything but
// letters, digits, '-', '_' and '.' turned into '_'.
std::string PatternFolder(int index, const std::string& name) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", index);
    std::string folder = std::string(number) + "-";
    for (const char c : name.substr(0, 60)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        folder += plain ? c : '_';
    }
    return folder;
}

// The run's description shared by every result of one command.
SummaryContext BaseContext(const BatchSimulation& simulation, const std::string& mirrorFile) {
    SummaryContext context;
    context.device = simulation.DeviceName();
    context.mirrorFile = AbsoluteMirrorFile(mirrorFile);
    context.version = ProgramVersion();
    context.commandLine = commandLine;
    context.utcTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    context.geometry = simulation.Geometry();
    return context;
}

// A sample pattern's named term against the change its voltages give from
// the set's flat, on the same model and surface; none for another pattern,
// a set without a flat, tilt (taken off every result) or focus when it is
// taken off. flatZernike caches the flat's terms over a sweep.
std::optional<PatternTerm> MeasurePatternTerm(BatchSimulation& simulation, const PatternClass& set,
                                              const PatternListEntry& pattern,
                                              DisplayOptions options,
                                              const ResultAnalysis& analysis,
                                              std::vector<double>& flatZernike) {
    const std::optional<SampleShape> shape = ParseSampleShapeName(pattern.PatternName);
    if (!shape || shape->noll == 0 || shape->noll == 2 || shape->noll == 3 ||
        (shape->noll == 4 && options.removeFocus))
        return std::nullopt;
    const PatternListEntry* flat = set.first;
    for (; flat; flat = flat->next)
        if (const std::optional<SampleShape> f = ParseSampleShapeName(flat->PatternName);
            f && f->noll == 0)
            break;
    if (!flat)
        return std::nullopt;
    if (flatZernike.empty()) {
        VoltageRequest request;
        request.pattern = &flat->Voltages;
        options.pictures = false;
        SimulationResult flatResult;
        std::string error;
        if (!simulation.Simulate(request, options, flatResult, error))
            return std::nullopt;
        flatZernike = AnalyseResult(flatResult, simulation.Geometry()).zernike;
    }
    const auto k = static_cast<std::size_t>(shape->noll - 1);
    if (k >= flatZernike.size() || k >= analysis.zernike.size())
        return std::nullopt;
    return PatternTerm{shape->noll, shape->amplitude, analysis.zernike[k] - flatZernike[k],
                       flat->PatternName};
}

// The measured term in the summary and, when it is far from the named
// amplitude, a warning.
void AddPatternTerm(std::optional<PatternTerm> term, const std::string& patternName,
                    const SimulationResult& result, SummaryContext& context) {
    context.patternTerm = std::move(term);
    if (context.patternTerm)
        if (auto w = PatternAmplitudeWarning(patternName, *context.patternTerm, result.model,
                                             result.nonlinearSurface ? "nonlinear" : "linear"))
            context.warnings.push_back(*w);
}

} // namespace

int RunMirrors(const MirrorsCommand& command) {
    const DeviceFolderChoice folder = DeviceFolderInUse();
    if (!folder.Found())
        return Fail(folder.Describe());
    const std::vector<DeviceEntry> devices = ListDevices();
    // The folder line goes where it does not spoil the JSON on standard output.
    std::fprintf(command.json ? stderr : stdout, "%s\n", folder.Describe().c_str());
    if (command.json)
        PrintJson(devices);
    else
        PrintTable(devices);
    // Files that look like mirrors but cannot be read: on standard error
    // beside the JSON, below the table otherwise.
    for (const UnreadableDevice& file : UnreadableDevices())
        std::fprintf(command.json ? stderr : stdout, "not listed: %s: %s\n",
                     ShownName(file.fileName, 60).c_str(), TerminalSafe(file.reason).c_str());
    return kExitOk;
}

int RunSimulate(const SimulateCommand& command) {
    CatchInterrupts();
    std::string error;
    DisplayOptions options;
    if (!MakeDisplayOptions(command, options, error))
        return Fail(error);

    VoltageRequest request;
    std::optional<double> all;
    if (!ParseVoltageRequests(command, all, request.single, error))
        return Fail(error);
    if (all)
        request.all = *all;
    // The file's voltages apply before the --set pairs.
    std::vector<VoltageLine> fileVoltages;
    if (!command.voltages.empty()) {
        std::string text;
        if (!ReadVoltageFile(command.voltages, text, error) ||
            !ParseVoltageLines(text, command.voltages, fileVoltages, error))
            return Fail(error);
        std::vector<std::pair<int, double>> single;
        for (const VoltageLine& v : fileVoltages)
            single.emplace_back(v.number, v.volts);
        single.insert(single.end(), request.single.begin(), request.single.end());
        request.single = std::move(single);
    }

    std::unique_ptr<PatternClass> set;
    const PatternListEntry* pattern = nullptr;
    if (!command.pattern.empty()) {
        if (!command.hasPatternIndex && !command.hasPatternName)
            return Fail("--pattern needs --pattern-index K or --pattern-name NAME");
        set = ReadPatternSet(command.pattern, error);
        if (!set)
            return Fail(error);
        if (command.hasPatternName) {
            for (const PatternListEntry* p = set->first; p && !pattern; p = p->next)
                if (p->PatternName == command.patternName)
                    pattern = p;
            if (!pattern)
                return Fail("pattern set " + Quoted(command.pattern) + " has no pattern named " +
                            Quoted(command.patternName));
        } else {
            pattern = set->FindPattern(command.patternIndex);
            if (!pattern)
                return Fail("pattern set " + Quoted(command.pattern) + " has no pattern " +
                            std::to_string(command.patternIndex) + " (it has 0 to " +
                            std::to_string(set->GetPatternCount() - 1) + ")");
        }
        request.pattern = &pattern->Voltages;
    }

    MirrorRun run;
    if (!StartRun(command, run, error))
        return Fail(error);
    BatchSimulation& simulation = run.simulation;
    const int actuators = simulation.ActuatorCount();
    for (const VoltageLine& v : fileVoltages)
        if (v.number < 1 || v.number > actuators)
            return Fail("--voltages " + Quoted(command.voltages) + " line " +
                        std::to_string(v.line) + " sets actuator " + std::to_string(v.number) +
                        ", but the mirror has actuators 1 to " + std::to_string(actuators));
    for (const auto& [number, volts] : request.single)
        if (number < 1 || number > actuators)
            return Fail("--set " + std::to_string(number) + "=...: the mirror has actuators 1 to " +
                        std::to_string(actuators));
    if (pattern && !CheckPattern(*pattern, actuators, error))
        return Fail(error);

    SimulationResult result;
    if (!simulation.Simulate(request, options, result, error))
        return Fail("cannot simulate " + Quoted(simulation.DeviceName()) + ": " + error);
    if (result.pulledIn && !command.linearPastPullIn)
        return FailPastPullIn(result, "");
    SummaryContext context = BaseContext(simulation, run.mirrorFile);
    context.pattern = pattern ? pattern->PatternName : std::string();
    context.patternSet = set ? set->GetPatternSetName() : std::string();
    const ResultAnalysis analysis = AnalyseResult(result, context.geometry);
    context.warnings =
        ResultWarnings(MirrorWarnings(simulation.MapFile(), simulation.MapReport()), pattern, actuators, result, analysis);
    if (pattern) {
        std::vector<double> flatZernike;
        AddPatternTerm(MeasurePatternTerm(simulation, *set, *pattern, options, analysis, flatZernike),
                       pattern->PatternName, result, context);
    }
    PrintPatternSetWarnings(set.get(), command.pattern);
    PrintSafeWarnings(context.warnings);
    if (!WriteRun(run, error, [&](OutputFolder& out, std::string& e) {
            return WriteResult(out, "", result, analysis, context, options, e);
        }))
        return Fail(error);
    if (command.json)
        PrintJsonDocument(QJsonDocument(SummaryObject(result, analysis, context, options)));
    else
        std::printf("%s: %s surface, beam PV %.4g m%s, beam RMS %.4g m, Strehl %.4f\n",
                    TerminalSafe(simulation.DeviceName()).c_str(), SurfaceKind(result), result.pv,
                    result.snapDown ? " (snap-down)" : "", result.pupilRms, result.strehl);
    if (!command.json && result.model == MeasuredMembraneModel::kName)
        std::printf("%s\n", kMeasuredPullIn);
    return kExitOk;
}

int RunSweep(const SweepCommand& command) {
    CatchInterrupts();
    std::string error;
    DisplayOptions options;
    if (!MakeDisplayOptions(command, options, error))
        return Fail(error);
    std::unique_ptr<PatternClass> set = ReadPatternSet(command.pattern, error);
    if (!set)
        return Fail(error);
    MirrorRun run;
    if (!StartRun(command, run, error))
        return Fail(error);
    BatchSimulation& simulation = run.simulation;
    OutputFolder& out = run.out;
    for (const PatternListEntry* p = set->first; p; p = p->next)
        if (!CheckPattern(*p, simulation.ActuatorCount(), error))
            return Fail(error);

    const std::vector<RunWarning> mirrorWarnings = MirrorWarnings(simulation.MapFile(), simulation.MapReport());
    PrintPatternSetWarnings(set.get(), command.pattern);
    PrintSafeWarnings(mirrorWarnings);
    if (!out.Begin(error))
        return Fail(error);
    std::vector<SweepRow> rows;
    std::vector<double> flatZernike; // the set's flat, simulated once
    Progress progress("Patterns", set->GetPatternCount());
    int done = 0;
    for (const PatternListEntry* p = set->first; p; p = p->next) {
        if (interrupted)
            return Fail(kInterrupted);
        VoltageRequest request;
        request.pattern = &p->Voltages;
        SimulationResult result;
        if (!simulation.Simulate(request, options, result, error))
            return Fail("pattern " + Quoted(p->PatternName) + ": " + error);
        if (result.pulledIn && !command.linearPastPullIn)
            return FailPastPullIn(result, "pattern " + Quoted(p->PatternName) + ": ");
        const std::string folder = PatternFolder(p->index, p->PatternName);
        SummaryContext context = BaseContext(simulation, run.mirrorFile);
        context.pattern = p->PatternName;
        context.patternSet = set->GetPatternSetName();
        const ResultAnalysis analysis = AnalyseResult(result, context.geometry);
        context.warnings = ResultWarnings(mirrorWarnings, p, simulation.ActuatorCount(), result,
                                          analysis);
        AddPatternTerm(MeasurePatternTerm(simulation, *set, *p, options, analysis, flatZernike),
                       p->PatternName, result, context);
        // The mirror's warnings were printed once; the pattern's name leads its own.
        std::vector<RunWarning> own(context.warnings.begin() +
                                        static_cast<std::ptrdiff_t>(mirrorWarnings.size()),
                                    context.warnings.end());
        const std::string lead = "pattern \"" + Utf8FromFileText(p->PatternName) + "\"";
        for (RunWarning& w : own)
            if (w.message.rfind(lead, 0) != 0) // unless it names the pattern already
                w.message = lead + ": " + w.message;
        PrintSafeWarnings(own);
        if (!WriteResult(out, folder, result, analysis, context, options, error))
            return Fail(error);
        rows.push_back({p->index, p->PatternName, folder,
                        SummaryObject(result, analysis, context, options)});
        progress.Update(++done);
    }
    progress.Finish();
    if (interrupted)
        return Fail(kInterrupted);
    if (!out.WriteFile("summary.csv", SweepCsv(rows), error) || !CommitOutput(out, error))
        return Fail(error);
    if (command.json) {
        QJsonArray summaries;
        for (const SweepRow& row : rows) {
            QJsonObject summary = row.summary;
            summary["folder"] = QString::fromStdString(row.folder);
            summaries.append(summary);
        }
        PrintJsonDocument(QJsonDocument(summaries));
    } else {
        std::printf("%s: %d patterns of %s\n", TerminalSafe(simulation.DeviceName()).c_str(), done,
                    TerminalSafe(set->GetPatternSetName()).c_str());
    }
    return kExitOk;
}

// The sizes and membrane electrode of an exported cube of the run's mirror.
InfluenceSet InfluenceSetOf(BatchSimulation& simulation, double runVoltage, std::string model) {
    InfluenceSet set;
    set.n = simulation.Geometry().n;
    set.actuators = simulation.ActuatorCount();
    set.runVoltage = runVoltage;
    set.electrode = simulation.MembraneElectrode();
    set.model = std::move(model);
    return set;
}

// The run's summary context, its mirror's warnings printed.
SummaryContext ExportContext(BatchSimulation& simulation, const MirrorRun& run) {
    SummaryContext context = BaseContext(simulation, run.mirrorFile);
    context.warnings = MirrorWarnings(simulation.MapFile(), simulation.MapReport());
    PrintSafeWarnings(context.warnings);
    return context;
}

// influence.fits, actuators.csv and summary.json, written whole or not at all.
// The cube goes to the file plane by plane from the engine-layout stack, so
// that it is never held a second time.
bool WriteInfluenceFolder(MirrorRun& run, const FitsImage& cube, const std::vector<double>& stack,
                          const InfluenceSet& set, const std::string& summary,
                          std::string& error) {
    if (stack.size() != static_cast<std::size_t>(set.n) * set.n * set.actuators) {
        error = "FITS: the image sizes do not match its values";
        return false;
    }
    const FitsPlane plane = [&](int p, std::vector<double>& values) {
        InfluenceCubePlane(stack, set.n, p, values);
    };
    return WriteRun(run, error, [&](OutputFolder& out, std::string& e) {
        return out.WriteFileInPieces("influence.fits",
                                     [&](const OutputFolder::ByteSink& sink, std::string& why) {
                                         return FitsInPieces(cube, plane, sink, why);
                                     },
                                     e) &&
               out.WriteFile("actuators.csv", ActuatorsCsv(*run.simulation.Model(), set.actuators),
                             e) &&
               out.WriteFile("summary.json", summary, e);
    });
}

int RunInfluence(const InfluenceCommand& command) {
    CatchInterrupts();
    std::string error;
    MirrorRun run;
    if (!StartRun(command, run, error))
        return Fail(error);
    BatchSimulation& simulation = run.simulation;

    const InfluenceSet set = InfluenceSetOf(simulation, simulation.Session().RunVoltage(),
                                            std::string(simulation.Session().MembraneModelName()));
    std::vector<double> planes = simulation.InfluencePerVoltSquared();
    if (planes.size() != static_cast<std::size_t>(set.n) * set.n * set.actuators ||
        !simulation.Model())
        return Fail("cannot export " + Quoted(simulation.DeviceName()) +
                    ": no influence functions");
    const SummaryContext context = ExportContext(simulation, run);

    const FitsImage cube = InfluenceFitsHeader(set, simulation.Geometry());
    const std::string summary = InfluenceSummaryJson(set, context);
    if (!WriteInfluenceFolder(run, cube, planes, set, summary, error))
        return Fail(error);
    if (command.json)
        std::fputs(summary.c_str(), stdout);
    else
        std::printf("%s: %d influence functions of %d x %d samples (%s model)\n",
                    TerminalSafe(simulation.DeviceName()).c_str(), set.actuators, set.n, set.n,
                    set.model.c_str());
    return kExitOk;
}

int RunCalibrate(const CalibrateCommand& command) {
    CatchInterrupts();
    std::string error;
    MirrorRun run;
    if (!StartRun(command, run, error))
        return Fail(error);
    BatchSimulation& simulation = run.simulation;
    CalibrationOptions options;
    options.poke = command.poke;
    options.pushPull = command.pushPull;
    options.bias = command.pushPull && command.bias == 0.0 ? command.poke : command.bias;
    options.noiseNm = command.noiseNm;
    options.tiltNm = command.tiltNm;
    options.seed = command.seed;
    std::vector<double> planes;
    if (!SimulateCalibration(simulation, options, planes, error))
        return Fail("cannot calibrate " + Quoted(simulation.DeviceName()) + ": " + error);

    const InfluenceSet set = InfluenceSetOf(
        simulation, options.bias + options.poke,
        "calibration of the " + std::string(simulation.Session().MembraneModelName()) + " model");
    const SummaryContext context = ExportContext(simulation, run);
    FitsImage image = InfluenceFitsHeader(set, simulation.Geometry());
    image.keys.push_back({"POKE", options.poke, "[V] poke of each pad"});
    image.keys.push_back({"BIAS", options.bias, "[V] every pad between pokes"});
    image.keys.push_back({"PUSHPULL", options.pushPull, "push less pull"});
    image.keys.push_back({"NOISE", options.noiseNm, "[nm] RMS noise of each measurement"});
    image.keys.push_back({"REFTILT", options.tiltNm, "[nm] PV of each reference tilt"});
    image.keys.push_back({"SEED", static_cast<long long>(options.seed), "noise seed"});
    image.comments.push_back("Simulated calibration: NaN outside the membrane (the aperture).");
    QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(InfluenceSummaryJson(set, context)))
            .object();
    QJsonObject calibration;
    calibration["poke_v"] = options.poke;
    calibration["bias_v"] = options.bias;
    calibration["push_pull"] = options.pushPull;
    calibration["noise_nm"] = options.noiseNm;
    calibration["reference_tilt_nm"] = options.tiltNm;
    calibration["seed"] = QString::number(options.seed);
    calibration["aperture"] = "NaN outside the membrane";
    summary["calibration"] = calibration;
    const std::string json = QJsonDocument(summary).toJson(QJsonDocument::Indented).toStdString();
    if (!WriteInfluenceFolder(run, image, planes, set, json, error))
        return Fail(error);
    if (command.json)
        std::fputs(json.c_str(), stdout);
    else
        std::printf("%s: calibration of %d pads poked by %g V from %g V%s, noise %g nm\n",
                    TerminalSafe(simulation.DeviceName()).c_str(), set.actuators, options.poke,
                    options.bias, options.pushPull ? " (push-pull)" : "", options.noiseNm);
    return kExitOk;
}

int RunFit(const FitCommand& command) {
    CatchInterrupts();
    std::string error;
    DisplayOptions options;
    if (!MakeDisplayOptions(command, options, error))
        return Fail(error);
    if (command.zernike.empty() == command.surface.empty())
        return Fail("fit needs one target: --zernike TERMS or --surface FILE");
    FitRequest request;
    request.freeTilt = command.freeTilt;
    if (command.hasBias) {
        const std::optional<double> bias = ParseDecimalVolts(command.bias);
        if (!bias)
            return Fail("--bias " + Quoted(command.bias) + " is not a voltage in decimal, such as 120");
        request.bias = *bias;
    }
    if (!command.zernike.empty() && !ParseZernikeTerms(command.zernike, request.zernike, error))
        return Fail("--zernike: " + error);

    MirrorRun run;
    if (!StartRun(command, run, error))
        return Fail(error);
    BatchSimulation& simulation = run.simulation;
    const RunGeometry g = simulation.Geometry();
    SurfaceFileCounts targetCounts;
    if (!command.surface.empty() &&
        !ReadSurfaceTarget(command.surface, EngineGrid{g.n, g.dx, g.beamRadius, g.membraneRadius},
                           request.surface, error, &targetCounts))
        return Fail(error);

    // With --nonlinear the equilibrium, which the files then show, is what
    // matches the target.
    SessionFitOptions fitOptions;
    fitOptions.matchEquilibrium = command.nonlinear;
    const SessionFit fitted = FitOnSession(
        simulation.Session(), request, [] { return interrupted != 0; }, fitOptions);
    if (fitted.status == SessionFit::Status::Cancelled)
        return Fail(kInterrupted);
    if (fitted.status != SessionFit::Status::Fitted)
        return Fail("cannot fit " + Quoted(simulation.DeviceName()) + ": " +
                    SessionFitStatusText(fitted));
    const VoltageFit& fit = fitted.fit;

    // The fitted voltages on every pad; the membrane electrode stays where it is.
    const int membrane = simulation.MembraneElectrode();
    VoltageRequest voltages;
    for (std::size_t k = 0; k < fit.volts.size(); ++k)
        if (static_cast<int>(k) + 1 != membrane)
            voltages.single.emplace_back(static_cast<int>(k) + 1, fit.volts[k]);
    SimulationResult result;
    if (!simulation.Simulate(voltages, options, result, error))
        return Fail("cannot simulate " + Quoted(simulation.DeviceName()) + ": " + error);
    if (result.pulledIn && !command.linearPastPullIn)
        return FailPastPullIn(result, "the fitted voltages: ");

    const std::string patternName = FitPatternName(request, command.surface);
    SummaryContext context = BaseContext(simulation, run.mirrorFile);
    context.pattern = patternName;
    const ResultAnalysis analysis = AnalyseResult(result, context.geometry);
    context.warnings = ResultWarnings(MirrorWarnings(simulation.MapFile(), simulation.MapReport()), nullptr,
                                      simulation.ActuatorCount(), result, analysis);
    if (const std::string missing = MissingSamplesText(command.surface, targetCounts);
        !missing.empty()) {
        QJsonObject details;
        details["samples"] = targetCounts.samples;
        details["missing_samples"] = targetCounts.missing;
        context.warnings.push_back({"target_samples", missing, details});
    }
    for (RunWarning& w : FitWarnings(fitted, request))
        context.warnings.push_back(std::move(w));
    PrintSafeWarnings(context.warnings);
    std::string pattern;
    if (!FitPatternBytes(simulation.DeviceName() + " fit", patternName, result.voltages, pattern,
                         error))
        return Fail(error);
    QJsonObject extra;
    extra["fit"] = FitSummary(fitted, request,
                              command.surface.empty() ? command.zernike : command.surface);
    if (!WriteRun(run, error, [&](OutputFolder& out, std::string& e) {
            return WriteResult(out, "", result, analysis, context, options, e, extra) &&
                   out.WriteFile("fit.pat", pattern, e) &&
                   out.WriteFile("voltages.csv", FitVoltagesCsv(fit, membrane), e);
        }))
        return Fail(error);
    if (command.json) {
        PrintJsonDocument(QJsonDocument(ResultSummary(result, analysis, context, options, extra)));
        return kExitOk;
    }
    std::string bounds = "no bound active";
    if (fit.AnyBoundActive())
        bounds = std::to_string(fit.atFloor.size()) + " pads at the floor, " +
                 std::to_string(fit.atCeiling.size()) + " at the ceiling" +
                 (fit.meanRuleActive ? ", mean limit binding" : "");
    std::printf("%s: fit residual RMS %.4g m of target RMS %.4g m, residual PV %.4g m, %s",
                TerminalSafe(simulation.DeviceName()).c_str(), fit.residualRms, fit.targetRms, fit.residualPv,
                bounds.c_str());
    if (!std::isnan(fitted.pullInFactor))
        std::printf(", pull-in factor %.4g", fitted.pullInFactor);
    if (!std::isnan(fitted.equilibriumResidualRms))
        std::printf(", equilibrium residual RMS %.4g m", fitted.equilibriumResidualRms);
    std::printf("\n");
    if (command.model == MeasuredMembraneModel::kName)
        std::printf("%s\n", kMeasuredPullIn);
    return kExitOk;
}

namespace {

// "1,2,4.5": every entry a decimal number; false with the reason.
bool ParseNumberList(const std::string& text, std::vector<double>& values, std::string& error) {
    values.clear();
    std::string item;
    std::istringstream list(text);
    while (std::getline(list, item, ',')) {
        const auto first = item.find_first_not_of(" \t");
        const auto last = item.find_last_not_of(" \t");
        const std::string trimmed =
            first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        char* end = nullptr;
        const double v = trimmed.empty() ? 0.0 : std::strtod(trimmed.c_str(), &end);
        if (trimmed.empty() || *end != '\0' || !std::isfinite(v)) {
            error = "--dr0 " + Quoted(text) + ": " + Quoted(trimmed) +
                    " is not a number (give D/r0 values separated by commas, such as 1,2,4)";
            return false;
        }
        values.push_back(v);
    }
    if (values.empty() || (!text.empty() && text.back() == ',')) {
        error = "--dr0 " + Quoted(text) + " is not a list of D/r0 values, such as 1,2,4";
        return false;
    }
    return true;
}

// The settings of `correct` from its options; false with the reason.
bool CorrectSettings(const CorrectCommand& command, TurbulenceSettings& settings, std::string& error) {
    if (!ParseNumberList(command.dOverR0, settings.dOverR0, error))
        return false;
    for (double v : settings.dOverR0)
        if (!(v > 0)) {
            error = "--dr0: every D/r0 must be above 0 (" + FigureBeside(v, 1.0) + " is not)";
            return false;
        }
    if (command.screens < 1) {
        error = "--screens must be at least 1";
        return false;
    }
    settings.screens = command.screens;
    {
        const std::string& t = command.seed;
        char* end = nullptr;
        errno = 0;
        const unsigned long long seed = std::strtoull(t.c_str(), &end, 10);
        if (t.empty() || t[0] == '-' || t[0] == '+' || *end != '\0' || errno == ERANGE) {
            error = "--seed " + Quoted(t) + " is not a whole number from 0 to 2^64 - 1";
            return false;
        }
        settings.seed = seed;
    }
    if (!command.outerScale.empty()) {
        char* end = nullptr;
        const double l0 = std::strtod(command.outerScale.c_str(), &end);
        if (*end != '\0' || !(l0 > 0) || !std::isfinite(l0)) {
            error = "--outer-scale " + Quoted(command.outerScale) +
                    " is not a length in metres above 0 (leave it out for Kolmogorov turbulence)";
            return false;
        }
        settings.outerScale = l0;
    }
    settings.wavelength = command.wavelengthNm * 1e-9;
    if (!command.bias.empty()) {
        const std::optional<double> bias = ParseDecimalVolts(command.bias);
        if (!bias) {
            error = "--bias " + Quoted(command.bias) + " is not a voltage in decimal, such as 120";
            return false;
        }
        settings.bias = *bias;
    }
    if (command.keep < 0 || command.keep > command.screens) {
        error = "--keep must lie from 0 to the number of screens";
        return false;
    }
    settings.keep = command.keep;
    error = TurbulenceSettingsProblem(settings);
    return error.empty();
}

// One mirror of `correct`: its session, with influence functions, and its study.
struct CorrectedMirror {
    BatchSimulation simulation;
    std::string mirrorFile;
    std::unique_ptr<TurbulenceStudy> study;
};

} // namespace

int RunCorrect(const CorrectCommand& command) {
    CatchInterrupts();
    std::string error;
    TurbulenceSettings settings;
    if (!CorrectSettings(command, settings, error))
        return Fail(error);
    OutputFolder out;
    if (!out.Check(command.out, command.force, error))
        return Fail(error);
    const auto cancelled = [] { return interrupted != 0; };

    // Every mirror is loaded, its influence functions computed and its study
    // prepared (the bias found) before any screen: a mirror that cannot run
    // stops the command before the long part.
    std::vector<std::unique_ptr<CorrectedMirror>> mirrors;
    for (const std::string& name : command.mirrors) {
        auto m = std::make_unique<CorrectedMirror>();
        ResultOptions options;
        options.mirror = name;
        options.model = command.model;
        if (!PrepareMirror(m->simulation, options, m->mirrorFile, error))
            return Fail(error);
        PrintSafeWarnings(MirrorWarnings(m->simulation.MapFile(), m->simulation.MapReport()));
        if (interrupted)
            return Fail(kInterrupted);
        m->study = std::make_unique<TurbulenceStudy>(m->simulation.Session(), settings);
        const TurbulenceStudy::Status status = m->study->Prepare(cancelled);
        if (status == TurbulenceStudy::Status::Cancelled)
            return Fail(kInterrupted);
        if (status != TurbulenceStudy::Status::Ready)
            return Fail("cannot correct with " + Quoted(m->simulation.DeviceName()) + ": " +
                        m->study->Problem());
        mirrors.push_back(std::move(m));
    }

    CorrectionRun run;
    run.settings = settings;
    run.version = ProgramVersion();
    run.commandLine = commandLine;
    run.utcTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    for (const auto& m : mirrors) {
        TurbulenceStudy& study = *m->study;
        Progress progress(m->simulation.DeviceName() + ": screens", study.TotalScreens());
        MirrorCorrection result;
        while (study.GetStatus() == TurbulenceStudy::Status::Ready) {
            std::optional<ScreenCorrection> c = study.Step(cancelled);
            if (!c)
                break;
            if (c->kept)
                result.kept.push_back(std::move(*c));
            progress.Update(study.Done());
        }
        if (study.GetStatus() != TurbulenceStudy::Status::Finished)
            return Fail(kInterrupted);
        progress.Finish();
        result.device = m->simulation.DeviceName();
        result.mirrorFile = m->mirrorFile;
        result.model = study.ModelName();
        result.bias = study.Bias();
        result.biasFound = study.BiasFound();
        result.biasCandidates = study.BiasCandidates();
        result.pads = study.Pads();
        result.pitch = study.ActuatorPitch();
        result.diameter = study.BeamDiameter();
        const RunGeometry g = m->simulation.Geometry();
        result.grid = EngineGrid{g.n, g.dx, g.beamRadius, g.membraneRadius};
        result.points = study.Points();
        result.fittingCoefficient = study.FittingCoefficient();
        run.mirrors.push_back(std::move(result));
    }
    if (interrupted)
        return Fail(kInterrupted);

    const bool written = out.Begin(error) &&
                         out.WriteFile("correction.csv", CorrectionCsv(run), error) &&
                         out.WriteFile("summary.json", CorrectionSummaryJson(run), error) &&
                         WritePng(out, "correction.png", CorrectionPlot(run).get(), error);
    if (!written)
        return Fail(error);
    if (settings.keep > 0) {
        if (!out.MakeFolder("screens", error))
            return Fail(error);
        for (std::size_t k = 0; k < run.mirrors.size(); ++k)
            for (std::size_t p = 0; p < settings.dOverR0.size(); ++p)
                for (const char* kind : {"wavefront", "surface", "residual"}) {
                    std::string bytes;
                    const int mirror = static_cast<int>(k), point = static_cast<int>(p);
                    if (!KeptScreensFits(run, mirror, point, kind, bytes, error) ||
                        !out.WriteFile(KeptScreensFileName(run, mirror, point, kind), bytes, error))
                        return Fail(error);
                }
    }
    if (interrupted)
        return Fail(kInterrupted);
    if (!CommitOutput(out, error))
        return Fail(error);
    for (const MirrorCorrection& m : run.mirrors) {
        std::string figures;
        for (const TurbulencePoint& p : m.points)
            figures += FormatC(", D/r0 %g", p.dOverR0) + FormatC(": Strehl %.3f", p.strehlMean);
        std::printf("%s (%s model, bias %g V): a_F %s%s\n", TerminalSafe(m.device).c_str(),
                    m.model.c_str(), m.bias,
                    m.fittingCoefficient ? FormatC("%.3g", *m.fittingCoefficient).c_str() : "none",
                    figures.c_str());
    }
    return kExitOk;
}

} // namespace ostrander
