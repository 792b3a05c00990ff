#include "results/SessionResult.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/EngineSession.h"
#include "model/PullIn.h"
#include "model/pictures/ResultPictures.h"
#include "results/MirrorMapPicture.h"
#include "toolkit/PictureBackend.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace ostrander {

DisplayOptions PresentDisplayOptions(const EngineSession& session) {
    const ViewOptions view = session.View();
    DisplayOptions options;
    options.removeFocus = view.removeFocus;
    options.focusAdjust = view.focusAdjust;
    options.zoom = view.farFieldZoom;
    options.wavelength = view.wavelength;
    return options;
}

RunGeometry SessionGeometry(const EngineSession& session) {
    RunGeometry g;
    g.n = kEngineGridSize;
    if (const std::optional<EngineGrid> grid = session.Grid()) {
        g.n = grid->n;
        g.dx = grid->dx;
        g.membraneRadius = grid->membraneRadius;
        g.beamRadius = grid->beamRadius;
    }
    g.gaussianRadius = kEngineBeamRadius;
    g.wavelength = session.View().wavelength;
    g.farFieldSize = session.FarFieldSize();
    return g;
}

namespace {

// The idle pass afresh under the session's view options: the 0.1 V floor
// when no actuator is above it, then synthesis and the far field (which
// corrects the surface in place). False with the reason when nothing came of
// it.
bool ComputeResultsAfresh(EngineSession& session, std::string& error) {
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
    if (!session.HasSurface() || session.FarFieldSize() <= 0) {
        error = "the engine produced no surface";
        return false;
    }
    return true;
}

// A picture of the present results, drawn by draw onto a width x height
// canvas of the picture backend.
template <class Draw>
std::shared_ptr<const Canvas> DrawnPicture(int width, int height, Draw draw, std::string& error) {
    std::unique_ptr<Canvas> canvas = NewPictureCanvas(width, height, error);
    if (canvas)
        draw(*canvas);
    return canvas;
}

// The exact model's own verdict for the present voltages, noted in the
// session for the pictures' label, and the largest linear deflection; no
// answer with a model that computes no pull-in. False with the reason when
// the equilibrium cannot be found.
bool SolveVerdict(EngineSession& session, bool nonlinear, std::optional<PullInResult>& solved,
                  double& linearPeak, std::string& error) {
    session.ForgetSnapDown();
    const std::optional<PullInInputs> inputs = session.PullInInputsNow();
    if (!inputs)
        return true;
    PullInOptions pullIn;
    pullIn.wantSurface = nonlinear;
    solved = SolvePullIn(*inputs->membrane, inputs->volts, {}, pullIn);
    if (solved->status == PullInResult::Status::Invalid ||
        solved->status == PullInResult::Status::NotConverged) {
        error = solved->status == PullInResult::Status::Invalid
                    ? "the exact model cannot solve this mirror: " + inputs->membrane->Problem()
                    : "the nonlinear equilibrium did not converge";
        return false;
    }
    session.NoteSnapDown(*solved);
    for (const double w : inputs->membrane->LinearSurface(inputs->volts))
        linearPeak = std::max(linearPeak, std::fabs(w));
    return true;
}

// The peak-to-valley over the membrane disc of an engine-layout grid.
double MembranePeakToValley(const std::vector<double>& surface, const EngineGrid& grid) {
    double lo = 0.0, hi = 0.0;
    bool first = true;
    for (int i = 0; i < grid.n; ++i)
        for (int j = 0; j < grid.n; ++j)
            if (grid.InMembrane(i, j)) {
                const double v = surface[grid.Index(i, j)];
                lo = first ? v : std::min(lo, v);
                hi = first ? v : std::max(hi, v);
                first = false;
            }
    return hi - lo;
}

// The voltages the mirror holds and the figures of the corrected surface and
// its far field, the far field scaled so that a flat mirror's peak is 1.
void CollectFigures(EngineSession& session, MirrorClass& mirror, const DMInfoClass& dm,
                    SurfaceValues& surface, SimulationResult& result) {
    result.runVoltage = session.RunVoltage();
    result.voltagesAtFloor = session.VoltagesAtFloor();
    for (int k = 1; k <= dm.Actuators; ++k)
        result.voltages.push_back(mirror.GetVoltage(k));
    result.peakVoltage = result.voltages.empty()
                             ? 0.0
                             : *std::max_element(result.voltages.begin(), result.voltages.end());
    result.meanVoltage = mirror.GetMeanVoltage(0);
    result.snapDown = surface.max - surface.min > dm.Separation_m / 3;
    session.PupilStatistics(result.pupilMin, result.pupilMax, result.pupilRms);
    result.pv = result.pupilMax - result.pupilMin;
    result.n = surface.n;
    result.surface = std::move(surface.values);
    result.farFieldSize = session.FarFieldSize();
    result.farField = session.FarField();
    // The peak over a flat mirror's with the same beam and grid, as the
    // window's status line measures it.
    const std::optional<EngineGrid> grid = session.Grid();
    if (grid && grid->n == result.n)
        result.membranePv = MembranePeakToValley(result.surface, *grid);
    result.flatMirrorPeak = grid ? FlatMirrorPeak(*grid, kEngineBeamRadius) : 0.0;
    result.strehl = StrehlRatio(result.farField, result.flatMirrorPeak);
    if (result.flatMirrorPeak > 0 && std::isfinite(result.flatMirrorPeak))
        for (double& v : result.farField)
            v /= result.flatMirrorPeak;
    result.model = std::string(session.MembraneModelName());
}

// The membrane model's verdict and deflection: the exact model's from its
// answer, the classic model's from a synthesis without the far field's
// corrections.
void CollectDeflection(EngineSession& session, const std::optional<PullInResult>& solved,
                       double linearPeak, SimulationResult& result) {
    if (!solved) {
        result.maxDeflection = session.PhysicalPeakDeflection();
        return;
    }
    result.pullInFactor = solved->pullInFactor;
    result.snapDown = solved->SnapDown();
    result.maxDeflection = result.nonlinearSurface ? solved->peakDeflection_m : linearPeak;
}

} // namespace

bool CollectSessionResult(EngineSession& session, const DisplayOptions& options,
                          SimulationResult& result, std::string& error) {
    MirrorClass* mirror = session.Mirror();
    const DMInfoClass* dm = session.MirrorModel();
    if (!mirror || !dm || !session.ResultsValid()) {
        error = "no influence functions";
        return false;
    }
    result = SimulationResult{};
    result.focusRemoved = options.removeFocus;
    session.SetView({options.removeFocus, options.focusAdjust, options.zoom, options.wavelength});
    // Every result is computed afresh, even with the voltages of the last:
    // the linear surface, then the membrane model's verdict, and with the
    // nonlinear surface asked for (and found) the far field again from it.
    // The pictures are drawn after that, so they show the result's surface.
    if (!ComputeResultsAfresh(session, error))
        return false;
    std::optional<PullInResult> solved;
    double linearPeak = 0.0;
    if (!SolveVerdict(session, options.nonlinear, solved, linearPeak, error))
        return false;
    if (options.nonlinear && solved) {
        if (solved->status == PullInResult::Status::Equilibrium &&
            session.ComputeResultsFrom(solved->surface).status == Recalculation::Done)
            result.nonlinearSurface = true;
        else if (solved->status == PullInResult::Status::PulledIn)
            result.pulledIn = true;
        // NoForce: the flat membrane is the equilibrium and the linear
        // surface (flat) is the same.
        else if (solved->status == PullInResult::Status::NoForce)
            result.nonlinearSurface = true;
    }

    const bool pictures = options.pictures;
    if (pictures) {
        const int side = kFarFieldPictureSize;
        const int w = options.width, h = options.height;
        result.farFieldImage = DrawnPicture(side, side, [&](Canvas& c) {
            DrawFarFieldImage(c, session, kFarFieldTitle);
        }, error);
        result.farFieldPlot =
            DrawnPicture(side, side, [&](Canvas& c) { DrawFarFieldPlot(c, session); }, error);
        result.surfaceImage =
            DrawnPicture(w, h, [&](Canvas& c) { DrawSurfaceImage(c, session); }, error);
        result.interferogram =
            DrawnPicture(w, h, [&](Canvas& c) { DrawInterferogram(c, session); }, error);
        result.threeD = DrawnPicture(w, h, [&](Canvas& c) { DrawThreeDImage(c, session); }, error);
        if (!result.threeD)
            return false;
    }
    SurfaceValues surface = session.Surface();
    if (!surface.finite) {
        error = "the computed surface is not finite";
        return false;
    }
    CollectFigures(session, *mirror, *dm, surface, result);
    CollectDeflection(session, solved, linearPeak, result);
    if (pictures)
        result.mirrorMap = DrawMirrorMapPicture(*mirror);
    return true;
}

} // namespace ostrander
