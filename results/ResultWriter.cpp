#include "results/ResultWriter.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "results/AnalysisImages.h"
#include "formats/FitsFile.h"
#include "toolkit/OutputFolder.h"

#include "toolkit/PictureBackend.h"

#include <QJsonDocument>

#include <filesystem>
#include <utility>

namespace ostrander {

bool WritePng(OutputFolder& out, const std::string& relative, const Canvas* picture,
              std::string& error) {
    const PictureBackend* backend = PictureBackendInUse();
    if (!backend) {
        error = "cannot draw \"" + relative + "\": this program has no picture drawing loaded";
        return false;
    }
    std::string bytes;
    if (!picture || !backend->encodePng(*picture, bytes)) {
        error = "cannot encode \"" + relative + "\" as PNG";
        return false;
    }
    return out.WriteFile(relative, bytes, error);
}

QJsonObject ResultSummary(const SimulationResult& result, const ResultAnalysis& analysis,
                          const SummaryContext& context, const DisplayOptions& options,
                          const QJsonObject& extra) {
    QJsonObject json = SummaryObject(result, analysis, context, options);
    for (auto it = extra.begin(); it != extra.end(); ++it)
        json[it.key()] = it.value();
    return json;
}

bool WriteResult(OutputFolder& out, const std::string& folder, const SimulationResult& result,
                 const ResultAnalysis& analysis, const SummaryContext& context,
                 const DisplayOptions& options, std::string& error,
                 const QJsonObject& extraSummary) {
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    if (!folder.empty() && !out.MakeFolder(folder, error))
        return false;
    if (options.pictures) {
        const std::pair<const char*, const Canvas*> pictures[] = {
            {"surface.png", result.surfaceImage.get()},
            {"interferogram.png", result.interferogram.get()},
            {"threed.png", result.threeD.get()},
            {"farfield.png", result.farFieldImage.get()},
            {"farfieldplot.png", result.farFieldPlot.get()},
            {"mirror.png", result.mirrorMap.get()}};
        for (const auto& [name, picture] : pictures)
            if (!WritePng(out, prefix + name, picture, error))
                return false;
        if (!WritePng(out, prefix + "farfield_log.png",
                      LogFarFieldPicture(result, analysis, context.geometry).get(), error) ||
            !WritePng(out, prefix + "encircled_energy.png",
                      EncircledEnergyPicture(analysis, context.geometry).get(), error))
            return false;
    }
    if (options.csvGrids && (!out.WriteFile(prefix + "surface.csv", SurfaceCsv(result), error) ||
                             !out.WriteFile(prefix + "farfield.csv", FarFieldCsv(result), error)))
        return false;
    if (options.fitsGrids) {
        std::string surfaceFits, farFieldFits;
        if (!FitsBytes(SurfaceFits(result, context, options), surfaceFits, error) ||
            !FitsBytes(FarFieldFits(result, context, options), farFieldFits, error) ||
            !out.WriteFile(prefix + "surface.fits", surfaceFits, error) ||
            !out.WriteFile(prefix + "farfield.fits", farFieldFits, error))
            return false;
    }
    if (!out.WriteFile(prefix + "encircled_energy.csv",
                       EncircledEnergyCsv(analysis, context.geometry), error))
        return false;
    const QJsonObject summary = ResultSummary(result, analysis, context, options, extraSummary);
    return out.WriteFile(prefix + "summary.json",
                         QJsonDocument(summary).toJson(QJsonDocument::Indented).toStdString(),
                         error);
}

std::vector<RunWarning> MirrorWarnings(const std::string& mapFile, const MapCheck& check) {
    std::vector<RunWarning> warnings;
    if (auto w = MapFileWarning(mapFile))
        warnings.push_back(*w);
    else
        warnings = MapContentWarnings(mapFile, check);
    return warnings;
}

std::vector<RunWarning> ResultWarnings(const std::vector<RunWarning>& mirrorWarnings,
                                       const PatternListEntry* pattern, int actuators,
                                       const SimulationResult& result,
                                       const ResultAnalysis& analysis) {
    std::vector<RunWarning> warnings = mirrorWarnings;
    if (pattern) {
        int count = 0;
        for (const VoltageListEntry* e = pattern->Voltages.First(); e; e = e->next)
            ++count;
        if (auto w = PatternSizeWarning(pattern->PatternName, count, actuators))
            warnings.push_back(*w);
    }
    if (auto w = VoltageRulesWarning(result.changes, result.requested))
        warnings.push_back(*w);
    if (auto w = UndersampledWarning(analysis.largestPhaseStep))
        warnings.push_back(*w);
    if (auto w = PullInWarning(result.pullInFactor, result.pulledIn))
        warnings.push_back(*w);
    return warnings;
}

std::string AbsoluteMirrorFile(const std::string& infoFile) {
    std::error_code ec;
    const auto path = std::filesystem::weakly_canonical(DevicePath(infoFile), ec);
    return ec ? DevicePath(infoFile) : path.string();
}

} // namespace ostrander
