#include "results/AnalysisImages.h"

#include "results/SessionResult.h"
#include "model/pictures/AnalysisPictures.h"
#include "toolkit/qt/ImageCanvas.h"

#include <algorithm>

namespace ostrander {

namespace {

// Far-field elements per lambda/D, 0 without a scale.
double LambdaOverDPerElement(const RunGeometry& geometry) {
    return geometry.LambdaOverD() > 0 ? geometry.PixelScale() / geometry.LambdaOverD() : 0.0;
}

} // namespace

QImage LogFarFieldPicture(const SimulationResult& result, const ResultAnalysis& analysis,
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
    ImageCanvas canvas(kAnalysisPictureWidth, kAnalysisPictureHeight);
    DrawLogFarField(canvas, input);
    return canvas.Image();
}

QImage EncircledEnergyPicture(const ResultAnalysis& analysis, const RunGeometry& geometry) {
    ImageCanvas canvas(kAnalysisPictureWidth, kAnalysisPictureHeight);
    DrawEncircledEnergyPlot(canvas, analysis.encircledEnergy, LambdaOverDPerElement(geometry));
    return canvas.Image();
}

} // namespace ostrander
