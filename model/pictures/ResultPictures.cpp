#include "model/pictures/ResultPictures.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"
#include "model/pictures/FarFieldPictures.h"
#include "model/pictures/ThreeDImage.h"

#include <algorithm>

namespace ostrander {

namespace {

// The record's surface, or an empty grid when it is missing or was made for
// another size than the record's grid size.
SurfaceGrid SurfaceOf(const MainData& data) {
    SurfaceGrid g;
    g.fill = data.GridFill;
    if (data.Surface && data.GridSize > 0 && data.GridRows == data.GridSize) {
        g.rows = data.Surface;
        g.n = data.GridSize;
    }
    return g;
}

void StoreExtremes(MainData& data, const GridRange& range) {
    if (!range.finite)
        return;
    data.SurfaceMax = range.max;
    data.SurfaceMin = range.min;
}

// Clears the surface beyond the beam when focus and piston are removed;
// returns the selected model (null: draw nothing).
const DMInfoClass* Prepare(DMModelMain& engine) {
    if (engine.Local().RemoveFocus)
        engine.ClearBeyondPupil();
    return SelectedModel(engine.Local());
}

} // namespace

const DMInfoClass* SelectedModel(const DMModelLocal& local) {
    return local.MirrorInfo ? local.MirrorInfo->Model.get() : nullptr;
}

void DrawSurfaceImage(Canvas& canvas, DMModelMain& engine) {
    const DMInfoClass* model = Prepare(engine);
    if (!model)
        return;
    MainData& data = engine.Data();
    StoreExtremes(data, DrawSurfaceImage(canvas, SurfaceOf(data), MirrorDrawingFrom(*model)));
}

void DrawInterferogram(Canvas& canvas, DMModelMain& engine) {
    const DMInfoClass* model = Prepare(engine);
    if (!model)
        return;
    MainData& data = engine.Data();
    StoreExtremes(data, DrawInterferogram(canvas, SurfaceOf(data), MirrorDrawingFrom(*model)));
}

void DrawThreeDImage(Canvas& canvas, DMModelMain& engine) {
    const DMInfoClass* model = Prepare(engine);
    if (!model)
        return;
    MainData& data = engine.Data();
    DMModelLocal& local = engine.Local();
    ThreeDOptions options;
    options.RemoveFocus = local.RemoveFocus;
    options.VoltagesAtFloor = local.VoltagesAtFloor;
    options.PeakVoltageFraction = local.PeakVoltageFraction;
    options.Separation_m = model->Separation_m;
    const SurfaceGrid g = SurfaceOf(data);
    StoreExtremes(data, DrawThreeDImage(canvas, g.rows, g.n, options, local.ThreeDImageGrid,
                                        local.ThreeDImageGridRows));
}

void DrawFarFieldImage(Canvas& canvas, DMModelMain& engine, std::string_view title) {
    const DMInfoClass* model = SelectedModel(engine.Local());
    if (!model)
        return;
    const MainData& data = engine.Data();
    // Half the mirror in transform elements, one element per surface sample.
    const double halfSize = (data.GridSize * data.GridFill - 2.0) * 0.5;
    DrawFarFieldImage(canvas, {data.FarField, data.FarFieldSize, engine.Local().FarFieldZoom},
                      halfSize, model->Square, title);
}

void DrawFarFieldPlot(Canvas& canvas, DMModelMain& engine) {
    if (!SelectedModel(engine.Local()))
        return;
    MainData& data = engine.Data();
    DMModelLocal& local = engine.Local();
    StoreExtremes(data,
                  DrawFarFieldPlot(canvas, {data.FarField, data.FarFieldSize, local.FarFieldZoom},
                                   data.Surface != nullptr, local.FarFieldPlotGrid,
                                   local.FarFieldPlotGridRows));
}

} // namespace ostrander
