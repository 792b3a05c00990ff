#include "results/RunWarnings.h"

#include "Shared_Software/Mirror/DMInfoClass.h"

#include <QString>
#include <QStringDecoder>

#include <cmath>
#include <cstdio>
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

std::vector<RunWarning> FitWarnings(double pullInFactor, bool converged) {
    std::vector<RunWarning> warnings;
    // Below 1.2 a small error in the mirror's tension or gap snaps it down.
    if (pullInFactor < 1.2) {
        char message[160];
        std::snprintf(message, sizeof message,
                      "the fitted voltages are close to pull-in (pull-in factor %.3g, below 1.2)",
                      pullInFactor);
        QJsonObject details;
        details["pull_in_factor"] = pullInFactor;
        warnings.push_back({"pull_in_margin", message, details});
    }
    if (!converged)
        warnings.push_back(
            {"fit", "the bounded fit stopped before its optimality conditions held", {}});
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
