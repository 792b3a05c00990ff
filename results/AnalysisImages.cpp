#include "results/AnalysisImages.h"

#include "results/SessionResult.h"
#include "model/pictures/AnalysisPictures.h"
#include "toolkit/PictureBackend.h"

#include <algorithm>

namespace ostrander {

namespace {

// Far-field elements per lambda/D, 0 without a scale.
double LambdaOverDPerElement(const RunGeometry& geometry) {
    return geometry.LambdaOverD() > 0 ? geometry.PixelScale() / geometry.LambdaOverD() : 0.0;
}

} // namespace

std::unique_ptr<Canvas> LogFarFieldPicture(const SimulationResult& result, const ResultAnalysis& analysis,
                          const RunGeometry& geometry) {
    LogFarFieldInput input;
    if (analysis.undersampled)
        input.note = "undersampled: aliased";
    input.intensity = &result.farField;
    input.size = result.farFieldSize;
    input.pixelScale = geometry.PixelScale();
    input.lambdaOverD = geometry.LambdaOverD();
    // The transform covers size/2 elements each side of the axis.
    const double perElement = LambdaOverDPerElement(geometry);
    if (perElement > 0)
        input.reach = std::min(input.reach, (result.farFieldSize / 2 - 1) * perElement);
    std::string error;
    std::unique_ptr<Canvas> canvas =
        NewPictureCanvas(kAnalysisPictureWidth, kAnalysisPictureHeight, error);
    if (canvas)
        DrawLogFarField(*canvas, input);
    return canvas;
}

std::unique_ptr<Canvas> EncircledEnergyPicture(const ResultAnalysis& analysis, const RunGeometry& geometry) {
    std::string error;
    std::unique_ptr<Canvas> canvas =
        NewPictureCanvas(kAnalysisPictureWidth, kAnalysisPictureHeight, error);
    if (canvas)
        DrawEncircledEnergyPlot(*canvas, analysis.encircledEnergy, LambdaOverDPerElement(geometry));
    return canvas;
}

} // namespace ostrander
