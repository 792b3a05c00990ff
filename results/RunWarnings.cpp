#include "results/RunWarnings.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/ShapeName.h"

#include <QString>
#include <QStringDecoder>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace ostrander {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

} // namespace

std::optional<RunWarning> UndersampledWarning(double largestPhaseStep) {
    if (!(largestPhaseStep > std::numbers::pi))
        return std::nullopt;
    RunWarning w;
    w.kind = "undersampled";
    w.message = "the surface is undersampled: the reflected phase steps by up to " +
                Number(largestPhaseStep) +
                " rad between neighbouring beam samples (more than pi), so the far field, "
                "Strehl and interferogram are aliased and not to be trusted";
    w.details["largest_phase_step_rad"] =
        std::isfinite(largestPhaseStep) ? QJsonValue(largestPhaseStep) : QJsonValue();
    return w;
}

std::optional<RunWarning> MapFileWarning(const std::string& mapFile) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string problem;
    if (!fs::exists(mapFile, ec))
        problem = "is missing";
    else if (!fs::is_regular_file(mapFile, ec))
        problem = "is not a file";
    else if (fs::file_size(mapFile, ec) > DMInfoClass::MaxMapFileBytes || ec)
        problem = "is too large to read";
    else if (!std::ifstream(mapFile, std::ios::binary))
        problem = "cannot be read";
    if (problem.empty())
        return std::nullopt;
    RunWarning w;
    w.kind = "map_file";
    w.message = "the actuator map file \"" + Utf8FromFileText(mapFile) + "\" " + problem +
                ": the actuators keep the info file's numbering, which may not be the "
                "mirror's";
    w.details["map_file"] = QString::fromStdString(Utf8FromFileText(mapFile));
    return w;
}

std::vector<RunWarning> MapContentWarnings(const std::string& mapFile, const MapCheck& check) {
    std::vector<RunWarning> warnings;
    const std::string name = Utf8FromFileText(mapFile);
    auto numbers = [](const std::vector<int>& list) {
        QJsonArray out;
        for (int v : list)
            out.append(v);
        return out;
    };
    for (const std::string& line : MapProblemLines(name, check)) {
        RunWarning w;
        w.kind = "map_file";
        w.message = line;
        w.details["map_file"] = QString::fromStdString(name);
        w.details["map_pairs"] = check.pairs;
        w.details["map_missing"] = numbers(check.missing);
        w.details["map_repeated"] = numbers(check.repeated);
        w.details["map_unknown"] = numbers(check.unknown);
        QJsonArray shared;
        for (const auto& [number, actuators] : check.shared) {
            QJsonObject entry;
            entry["display_number"] = number;
            entry["actuators"] = numbers(actuators);
            shared.append(entry);
        }
        w.details["map_shared"] = shared;
        warnings.push_back(std::move(w));
    }
    return warnings;
}

std::optional<RunWarning> PatternSizeWarning(const std::string& patternName, int voltages,
                                             int actuators) {
    if (voltages == actuators)
        return std::nullopt;
    RunWarning w;
    w.kind = "pattern_size";
    w.message = "pattern \"" + Utf8FromFileText(patternName) + "\" holds " +
                std::to_string(voltages) + " voltages but the mirror has " +
                std::to_string(actuators) + " actuators" +
                (voltages < actuators ? "; the others keep their voltages" : "");
    w.details["pattern"] = QString::fromStdString(Utf8FromFileText(patternName));
    w.details["pattern_voltages"] = voltages;
    w.details["actuators"] = actuators;
    return w;
}

std::optional<RunWarning> VoltageRulesWarning(const std::vector<VoltageChange>& changes,
                                              int requested) {
    if (changes.empty())
        return std::nullopt;
    RunWarning w;
    w.kind = "voltage_rules";
    w.message = "the mirror's voltage rules changed " + std::to_string(changes.size()) + " of " +
                std::to_string(requested) + " requested voltages:";
    QJsonArray list;
    constexpr std::size_t kListed = 8; // the line names the first few
    for (std::size_t k = 0; k < changes.size(); ++k) {
        const VoltageChange& c = changes[k];
        if (k < kListed)
            w.message += (k ? ", " : " ") + std::to_string(c.actuator) + ": " +
                         Number(c.requested) + " V -> " + Number(c.applied) + " V";
        QJsonObject entry;
        entry["actuator"] = c.actuator;
        entry["requested_v"] = c.requested;
        entry["applied_v"] = c.applied;
        list.append(entry);
    }
    if (changes.size() > kListed)
        w.message += ", ... (all in summary.json)";
    w.details["changes"] = list;
    return w;
}

std::string FigureBeside(double value, double limit) {
    char text[40];
    for (int digits = 3; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        const double shown = std::strtod(text, nullptr);
        if ((shown < limit) == (value < limit) && (shown > limit) == (value > limit))
            break;
    }
    return text;
}

std::optional<RunWarning> PullInWarning(double pullInFactor, bool nonlinearAsked) {
    if (!(pullInFactor <= 1.0))
        return std::nullopt;
    RunWarning w;
    w.kind = "pull_in";
    w.message = "the voltages are past pull-in (pull-in factor " + FigureBeside(pullInFactor, 1.0) +
                "): the membrane has no equilibrium and snaps down; " +
                (nonlinearAsked ? "there is no nonlinear surface, so every figure, grid and "
                                  "picture is of the linear surface (\"surface\": \"linear\"), "
                                  "a shape the membrane cannot take"
                                : "the linear surface is a shape the membrane cannot take");
    w.details["pull_in_factor"] = pullInFactor;
    w.details["nonlinear_requested"] = nonlinearAsked;
    return w;
}

std::optional<RunWarning> PatternAmplitudeWarning(const std::string& patternName,
                                                  const PatternTerm& term, const std::string& model,
                                                  const std::string& surface) {
    if (!std::isfinite(term.achieved) ||
        std::fabs(term.achieved - term.named) <= 0.1 * std::fabs(term.named))
        return std::nullopt;
    char amount[64];
    std::snprintf(amount, sizeof amount, "%+.3g um", term.achieved * 1e6);
    RunWarning w;
    w.kind = "pattern_amplitude";
    w.message = "pattern \"" + patternName + "\" names its amplitude on the exact model's "
                "nonlinear surface (--model exact --nonlinear); here (" + model + " model, " +
                surface + " surface) its " + ShapeTermLabel(term.noll) + " term changes by " +
                amount + " RMS from \"" + term.flat + "\"";
    w.details["noll"] = term.noll;
    w.details["named_m"] = term.named;
    w.details["achieved_m"] = term.achieved;
    return w;
}

std::vector<RunWarning> FitWarnings(const SessionFit& fitted, const FitRequest& request,
                                    const FitChoiceNames& names) {
    std::vector<RunWarning> warnings;
    const double pullInFactor = fitted.pullInFactor;
    // Below 1.2 a small error in the mirror's tension or gap snaps it down.
    if (pullInFactor < 1.2) {
        QJsonObject details;
        details["pull_in_factor"] = pullInFactor;
        warnings.push_back({"pull_in_margin",
                            "the fitted voltages are close to pull-in (pull-in factor " +
                                FigureBeside(pullInFactor, 1.2) + ", below 1.2)",
                            details});
    }
    if (!fitted.fit.converged)
        warnings.push_back(
            {"fit", "the bounded fit stopped before its optimality conditions held", {}});
    for (const FitWarning& w : SessionFitWarnings(fitted, request, names)) {
        QJsonObject details;
        for (const auto& [name, value] : w.figures)
            details[QString::fromStdString(name)] = value;
        warnings.push_back({w.kind, w.message, details});
    }
    return warnings;
}

void PrintWarnings(const std::vector<RunWarning>& warnings) {
    for (const RunWarning& w : warnings) {
        std::string line = w.message;
        for (char& c : line)
            if (c == '\n' || c == '\r')
                c = ' ';
        std::fprintf(stderr, "ostrander-cli: warning: %s\n", line.c_str());
    }
}

QJsonArray WarningsJson(const std::vector<RunWarning>& warnings) {
    QJsonArray list;
    for (const RunWarning& w : warnings) {
        QJsonObject entry = w.details;
        entry["kind"] = QString::fromStdString(w.kind);
        entry["message"] = QString::fromStdString(w.message);
        list.append(entry);
    }
    return list;
}

std::string Utf8FromFileText(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(text.data(), qsizetype(text.size())).toStdString();
}

} // namespace ostrander
