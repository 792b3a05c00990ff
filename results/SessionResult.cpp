#include "results/SessionResult.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/EngineSession.h"
#include "model/MainData.h"
#include "model/PullIn.h"
#include "model/ResultFigures.h"
#include "model/pictures/ResultPictures.h"
#include "results/MirrorMapPicture.h"
#include "toolkit/qt/ImageCanvas.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace ostrander {

namespace {

// Sizes of the far-field pictures in the main window.
constexpr int kFarFieldPictureSize = 335;

} // namespace

DisplayOptions PresentDisplayOptions(const DMModelLocal& local) {
    DisplayOptions options;
    options.removeFocus = local.RemoveFocus;
    options.focusAdjust = local.FocusAdjust;
    options.zoom = local.FarFieldZoom;
    options.wavelength = local.Wavelength;
    return options;
}

RunGeometry SessionGeometry(const MainData& data, const DMModelLocal& local) {
    RunGeometry g;
    const DMInfoClass* dm = local.MirrorInfo ? local.MirrorInfo->Model.get() : nullptr;
    g.n = data.GridSize > 0 ? data.GridSize : DMModelMain::kGridSize;
    if (dm) {
        // The engine's grid step and pupil.
        g.dx = dm->Diameter_m / (g.n * data.GridFill - 2);
        g.membraneRadius = dm->Diameter_m / 2;
        g.beamRadius = dm->Diameter_m * local.BeamFraction / 2;
    }
    g.gaussianRadius = DMModelMain::kBeamRadius;
    g.wavelength = local.Wavelength;
    g.farFieldSize = data.FarFieldSize;
    return g;
}

bool CollectSessionResult(EngineSession& session, const DisplayOptions& options,
                          SimulationResult& result, std::string& error) {
    MainData& data = session.Data();
    DMModelLocal& local = session.Local();
    DMModelMain& engine = session.Engine();
    MirrorClass* mirror = local.Mirror.get();
    const DMInfoClass* dm = local.MirrorInfo ? local.MirrorInfo->Model.get() : nullptr;
    if (!mirror || !dm || !local.DisplaysValid) {
        error = "no influence functions";
        return false;
    }
    result = SimulationResult{};
    const int n = dm->Actuators;

    local.RemoveFocus = options.removeFocus;
    local.FocusAdjust = options.focusAdjust;
    local.FarFieldZoom = options.zoom;
    local.Wavelength = options.wavelength;

    // The idle pass: the 0.1 V floor when no actuator is above it, then
    // synthesis and the far field (which corrects the surface in place); the
    // pictures of the far field and of the corrected surface follow.
    // Every result is computed afresh, even with the voltages of the last.
    session.MarkResultsStale();
    const IdlePassResult idle = session.IdlePass();
    switch (idle.recalculation.status) {
    case Recalculation::Done:
        break;
    case Recalculation::NoVoltage:
        error = "no actuator voltage is above 0 V, so there is nothing to compute";
        return false;
    case Recalculation::NoMirror:
    case Recalculation::NoSurface:
        error = "the engine produced no surface";
        return false;
    }
    if (idle.recalculation.parameterChanged) {
        error = "a mirror parameter changed after the influence functions were computed";
        return false;
    }
    if (data.Surface.empty() || data.FarField.empty()) {
        error = "the engine produced no surface";
        return false;
    }
    const int farFieldSide = options.pictures ? kFarFieldPictureSize : 1;
    ImageCanvas farFieldImage(farFieldSide, farFieldSide);
    ImageCanvas farFieldPlot(farFieldSide, farFieldSide);
    if (options.pictures) {
        DrawFarFieldImage(farFieldImage, engine, kFarFieldTitle);
        DrawFarFieldPlot(farFieldPlot, engine);
    }

    // The exact model's own verdict, for the summary and the pictures' label.
    std::optional<PullInResult> solved;
    double linearPeak = 0.0;
    local.SnapDownVerdict.reset();
    if (const std::optional<PullInInputs> inputs = session.PullInInputsNow()) {
        PullInOptions pullIn;
        pullIn.wantSurface = options.nonlinear;
        solved = SolvePullIn(*inputs->membrane, inputs->volts, {}, pullIn);
        if (solved->status == PullInResult::Status::Invalid ||
            solved->status == PullInResult::Status::NotConverged) {
            error = solved->status == PullInResult::Status::Invalid
                        ? "the exact model cannot solve this mirror: " + inputs->membrane->Problem()
                        : "the nonlinear equilibrium did not converge";
            return false;
        }
        local.SnapDownVerdict = solved->SnapDown();
        for (const double w : inputs->membrane->LinearSurface(inputs->volts))
            linearPeak = std::max(linearPeak, std::fabs(w));
    }

    const int width = options.pictures ? options.width : 1;
    const int height = options.pictures ? options.height : 1;
    ImageCanvas surfaceImage(width, height);
    ImageCanvas interferogram(width, height);
    ImageCanvas threeD(width, height);
    if (options.pictures) {
        DrawSurfaceImage(surfaceImage, engine);
        DrawInterferogram(interferogram, engine);
        DrawThreeDImage(threeD, engine);
    }
    const int N = data.GridSize;
    const GridRange range = ScanGrid(data.Surface.RowPointers().data(), N);
    if (!range.finite) {
        error = "the computed surface is not finite";
        return false;
    }

    // The figures.
    result.runVoltage = data.IFMaxVoltage;
    result.voltagesAtFloor = local.VoltagesAtFloor;
    for (int k = 1; k <= n; ++k)
        result.voltages.push_back(mirror->GetVoltage(k));
    result.peakVoltage = result.voltages.empty()
                             ? 0.0
                             : *std::max_element(result.voltages.begin(), result.voltages.end());
    result.meanVoltage = mirror->GetMeanVoltage(0);
    result.pv = range.max - range.min;
    result.snapDown = result.pv > dm->Separation_m / 3;
    engine.PupilStatistics(result.pupilMin, result.pupilMax, result.pupilRms);
    result.n = N;
    result.surface.reserve(static_cast<std::size_t>(N) * N);
    for (int i = 0; i < N; ++i)
        result.surface.insert(result.surface.end(), data.Surface[i], data.Surface[i] + N);
    const int size = data.FarFieldSize;
    result.farFieldSize = size;
    result.farField = FarFieldIntensities(data);
    // The peak over a flat mirror's with the same beam and grid, as the
    // window's status line measures it.
    const std::optional<BeamGrid> grid = EngineBeamGrid(data, local);
    result.strehl =
        grid ? StrehlRatio(result.farField, FlatMirrorPeak(*grid, DMModelMain::kBeamRadius)) : 0.0;

    if (options.pictures) {
        result.surfaceImage = surfaceImage.Image();
        result.interferogram = interferogram.Image();
        result.threeD = threeD.Image();
    }
    result.model = std::string(session.MembraneModelName());
    if (solved) {
        result.pullInFactor = solved->pullInFactor;
        result.snapDown = solved->SnapDown();
        if (options.nonlinear && solved->status == PullInResult::Status::Equilibrium &&
            solved->surface.size() == result.surface.size()) {
            result.surface = solved->surface;
            result.nonlinearSurface = true;
            result.maxDeflection = solved->peakDeflection_m;
        } else {
            result.maxDeflection = linearPeak;
        }
    } else {
        // The synthesis again, without the far field's corrections.
        engine.SynthesizeSurface();
        const GridRange physical = ScanGrid(data.Surface.RowPointers().data(), N);
        result.maxDeflection = std::max(std::fabs(physical.min), std::fabs(physical.max));
    }

    if (options.pictures) {
        result.farFieldImage = farFieldImage.Image();
        result.farFieldPlot = farFieldPlot.Image();
        result.mirrorMap = DrawMirrorMapPicture(*mirror);
    }
    return true;
}

} // namespace ostrander
