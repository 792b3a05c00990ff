#include "model/pictures/ResultPictures.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"
#include "model/SessionAccess.h"
#include "model/pictures/FarFieldPictures.h"
#include "model/pictures/ThreeDImage.h"

#include <algorithm>
#include <vector>

namespace ostrander {

namespace {

// The record's surface as row pointers, or an empty grid when it is missing
// or was made for another size than the record's grid size. The table of
// row pointers lives with the view.
struct SurfaceView {
    explicit SurfaceView(const MainData& data) {
        grid.fill = data.GridFill;
        if (!data.Surface.empty() && data.GridSize > 0 && data.GridRows == data.GridSize) {
            rows = data.Surface.RowPointers();
            grid.rows = rows.data();
            grid.n = data.GridSize;
        }
    }
    SurfaceView(const SurfaceView&) = delete;
    SurfaceView& operator=(const SurfaceView&) = delete;

    std::vector<const double*> rows;
    SurfaceGrid grid;
};

// The record's far field (null when there is none yet) at the chosen zoom.
FarFieldInput FarFieldOf(const MainData& data, const DMModelLocal& local) {
    return {data.FarField.empty() ? nullptr : data.FarField.data(), data.FarFieldSize,
            local.FarFieldZoom};
}

// The grey levels of the record's far field, made once per far field for
// both far-field pictures.
const FarFieldLevels& LevelsOf(const MainData& data, DMModelLocal& local) {
    FarFieldLevels& kept = local.FarFieldPictureLevels;
    if (!kept.made || kept.generation != data.FarFieldGeneration) {
        kept = MakeFarFieldLevels(FarFieldOf(data, local));
        kept.made = true;
        kept.generation = data.FarFieldGeneration;
    }
    return kept;
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

namespace {

GridRange SurfaceImage(Canvas& canvas, DMModelMain& engine) {
    const DMInfoClass* model = Prepare(engine);
    if (!model)
        return {};
    MainData& data = engine.Data();
    const SurfaceView surface(data);
    MirrorDrawing mirror = MirrorDrawingFrom(*model);
    mirror.SnapDown = engine.Local().SnapDownVerdict;
    const GridRange range = DrawSurfaceImage(canvas, surface.grid, mirror);
    StoreExtremes(data, range);
    return range;
}

} // namespace

void DrawSurfaceImage(Canvas& canvas, DMModelMain& engine) {
    SurfaceImage(canvas, engine);
}

void DrawInterferogram(Canvas& canvas, DMModelMain& engine) {
    const DMInfoClass* model = Prepare(engine);
    if (!model)
        return;
    MainData& data = engine.Data();
    SurfaceView surface(data);
    surface.grid.wavelength = engine.Local().Wavelength;
    MirrorDrawing mirror = MirrorDrawingFrom(*model);
    mirror.SnapDown = engine.Local().SnapDownVerdict;
    StoreExtremes(data, DrawInterferogram(canvas, surface.grid, mirror));
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
    options.SnapDown = local.SnapDownVerdict;
    const SurfaceView surface(data);
    StoreExtremes(data, DrawThreeDImage(canvas, surface.grid.rows, surface.grid.n, options,
                                        local.ThreeDImageGrid));
}

void DrawFarFieldImage(Canvas& canvas, DMModelMain& engine, std::string_view title) {
    const DMInfoClass* model = SelectedModel(engine.Local());
    if (!model)
        return;
    const MainData& data = engine.Data();
    // Half the mirror in transform elements, one element per surface sample.
    const double halfSize = (data.GridSize * data.GridFill - 2.0) * 0.5;
    DrawFarFieldImage(canvas, FarFieldOf(data, engine.Local()), LevelsOf(data, engine.Local()),
                      halfSize, model->Square, title);
}

void DrawFarFieldPlot(Canvas& canvas, DMModelMain& engine) {
    if (!SelectedModel(engine.Local()))
        return;
    MainData& data = engine.Data();
    DMModelLocal& local = engine.Local();
    StoreExtremes(data,
                  DrawFarFieldPlot(canvas, FarFieldOf(data, local), LevelsOf(data, local),
                                   !data.Surface.empty(), local.FarFieldPlotGrid));
}

bool SurfaceIsLevel(EngineSession& session) {
    DMModelMain& engine = SessionAccess::Engine(session);
    if (!SelectedModel(engine.Local()))
        return false;
    const SurfaceView surface(engine.Data());
    const GridRange range = ScanGrid(surface.grid.rows, surface.grid.n);
    return range.finite && range.max == range.min;
}

GridRange DrawSurfaceImage(Canvas& canvas, EngineSession& session) {
    return SurfaceImage(canvas, SessionAccess::Engine(session));
}

void DrawInterferogram(Canvas& canvas, EngineSession& session) {
    DrawInterferogram(canvas, SessionAccess::Engine(session));
}

void DrawThreeDImage(Canvas& canvas, EngineSession& session) {
    DrawThreeDImage(canvas, SessionAccess::Engine(session));
}

void DrawFarFieldImage(Canvas& canvas, EngineSession& session, std::string_view title) {
    DrawFarFieldImage(canvas, SessionAccess::Engine(session), title);
}

void DrawFarFieldPlot(Canvas& canvas, EngineSession& session) {
    DrawFarFieldPlot(canvas, SessionAccess::Engine(session));
}

} // namespace ostrander
