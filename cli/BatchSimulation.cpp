#include "cli/BatchSimulation.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "cli/MirrorMapPicture.h"
#include "model/ExactMembrane.h"
#include "model/PullIn.h"
#include "model/pictures/FarFieldPictures.h"
#include "model/pictures/ResultPictures.h"
#include "toolkit/qt/ImageCanvas.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace ostrander {

namespace {

// Sizes of the far-field pictures in the main window.
constexpr int kFarFieldPictureSize = 335;

double LargestIntensity(const MainData& data) {
    double peak = 0.0;
    if (data.FarField.empty())
        return peak;
    const int size = data.FarFieldSize;
    for (int r = 1; r <= size; ++r)
        for (int c = 1; c <= size; ++c)
            peak = std::max(peak, FarFieldIntensity(data.FarField.data(), size, r, c));
    return peak;
}

} // namespace

BatchSimulation::BatchSimulation() = default;
BatchSimulation::~BatchSimulation() = default;

std::string BatchSimulation::DeviceName() const {
    return local_.MirrorInfo ? local_.MirrorInfo->DeviceName : std::string();
}

int BatchSimulation::ActuatorCount() const {
    return local_.MirrorInfo && local_.MirrorInfo->Model ? local_.MirrorInfo->Model->Actuators : 0;
}

double BatchSimulation::Separation() const {
    return local_.MirrorInfo && local_.MirrorInfo->Model ? local_.MirrorInfo->Model->Separation_m
                                                         : 0.0;
}

RunGeometry BatchSimulation::Geometry() const {
    RunGeometry g;
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    g.n = data_.GridSize > 0 ? data_.GridSize : DMModelMain::kGridSize;
    if (dm) {
        // The engine's grid step and pupil.
        g.dx = dm->Diameter_m / (g.n * data_.GridFill - 2);
        g.membraneRadius = dm->Diameter_m / 2;
        g.beamRadius = dm->Diameter_m * local_.BeamFraction / 2;
    }
    g.gaussianRadius = DMModelMain::kBeamRadius;
    g.wavelength = local_.Wavelength;
    g.farFieldSize = data_.FarFieldSize;
    return g;
}

const DMInfoClass* BatchSimulation::Model() const {
    return local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
}

int BatchSimulation::MembraneElectrode() const {
    const DMInfoClass* dm = Model();
    if (!dm)
        return 0;
    for (const DmActuatorInfoClass* a = dm->ActuatorList.first; a; a = a->next)
        if (a->Surface)
            return a->DisplayIndex;
    return 0;
}

std::vector<double> BatchSimulation::InfluencePerVoltSquared() const {
    const int n = data_.GridSize;
    const int count = data_.IFActuatorCount;
    const double run = data_.IFMaxVoltage;
    if (!local_.DisplaysValid || n < 1 || count < 1 || data_.IFGridSize != n ||
        static_cast<int>(data_.InfluenceFunctions.size()) < count || !(run > 0))
        return {};
    // Each function was computed with its own pad at the run voltage.
    const double scale = 1.0 / (run * run);
    const int electrode = MembraneElectrode();
    const auto plane = static_cast<std::size_t>(n) * n;
    std::vector<double> cube(plane * count, 0.0);
    for (int k = 1; k <= count; ++k) {
        if (k == electrode)
            continue;
        const Grid<double>& f = data_.InfluenceFunctions[k - 1];
        double* out = cube.data() + plane * (k - 1);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                out[static_cast<std::size_t>(i) * n + j] = f[i][j] * scale;
    }
    return cube;
}

std::string BatchSimulation::MapFile() const {
    return local_.MirrorInfo ? local_.MirrorInfo->MapFileName : std::string();
}

bool BatchSimulation::Load(const std::string& infoFile, std::string& error) {
    switch (session_.SelectMirror(0, infoFile)) {
    case MirrorSelection::Selected:
        return true;
    case MirrorSelection::NotMirrorInfo:
        error = "not a mirror info file";
        return false;
    case MirrorSelection::MirrorNotUsable:
        error = "the mirror cannot be set up from this file";
        return false;
    }
    return false;
}

std::string BatchSimulation::RunRefusal(RunStart status) {
    switch (status) {
    case RunStart::Started:
        return {};
    case RunStart::CancelRequested:
        return "an influence-function run is already going";
    case RunStart::NoMirror:
        return "no mirror selected";
    default:
        return RunRefusalText(status);
    }
}

bool BatchSimulation::RunInfluenceFunctions(const std::function<void(int, int)>& progress,
                                            std::string& error) {
    const RunStart start = session_.StartInfluenceRun();
    if (start != RunStart::Started) {
        error = RunRefusal(start);
        return false;
    }
    // The ticks of the run timer, without its 100 ms pacing.
    const RunTick end = session_.RunToEnd(progress);
    if (end == RunTick::Cancelled) {
        error = "the influence-function run was cancelled";
        return false;
    }
    if (end != RunTick::Finished || !local_.DisplaysValid) {
        error = "the influence-function run did not finish";
        return false;
    }
    flatPeak_ = FlatMirrorPeak();
    if (!(flatPeak_ > 0.0) || !std::isfinite(flatPeak_)) {
        error = "the far field of a flat mirror has no peak";
        return false;
    }
    return true;
}

bool BatchSimulation::UseModel(const std::string& name) {
    return session_.UseMembraneModel(name);
}

double BatchSimulation::FlatMirrorPeak() {
    // A zero surface through the engine's own far field: same beam, grid and
    // transform as every simulation.
    const bool removeFocus = local_.RemoveFocus;
    local_.RemoveFocus = false;
    Engine().PrepareGrid();
    Engine().ComputeFarField();
    local_.RemoveFocus = removeFocus;
    return LargestIntensity(data_);
}

bool BatchSimulation::Simulate(const VoltageRequest& request, const DisplayOptions& options,
                               SimulationResult& result, std::string& error) {
    MirrorClass* mirror = local_.Mirror.get();
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!mirror || !dm || !local_.DisplaysValid) {
        error = "no influence functions";
        return false;
    }
    result = SimulationResult{};
    const int n = ActuatorCount();

    // The mirror as the run leaves it, then the requests in order; the
    // mirror's rules decide what each actuator holds.
    const AppliedVoltages applied = session_.ApplyVoltages(request);
    result.requested = applied.requested;
    result.changedByRules = applied.changedByRules;
    for (const AppliedVoltages::Change& c : applied.changes)
        result.changes.push_back({c.actuator, c.requested, c.applied});
    local_.RemoveFocus = options.removeFocus;
    local_.FocusAdjust = options.focusAdjust;
    local_.FarFieldZoom = options.zoom;
    local_.Wavelength = options.wavelength;

    // The idle pass: the 0.1 V floor when no actuator is above it, then
    // synthesis and the far field (which corrects the surface in place and
    // draws its two pictures); the pictures of the corrected surface follow.
    const int farFieldSide = options.pictures ? kFarFieldPictureSize : 1;
    ImageCanvas farFieldImage(farFieldSide, farFieldSide);
    ImageCanvas farFieldPlot(farFieldSide, farFieldSide);
    host_.drawFarField = [&] {
        if (!options.pictures)
            return;
        DrawFarFieldImage(farFieldImage, Engine(), kFarFieldTitle);
        DrawFarFieldPlot(farFieldPlot, Engine());
    };
    // Every simulation computes afresh, even with the voltages of the last.
    session_.MarkResultsStale();
    const IdlePassResult idle = session_.IdlePass();
    host_.drawFarField = nullptr;
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
    if (data_.Surface.empty() || data_.FarField.empty()) {
        error = "the engine produced no surface";
        return false;
    }

    // The exact model's own verdict, for the summary and the pictures' label.
    std::optional<PullInResult> solved;
    double linearPeak = 0.0;
    local_.SnapDownVerdict.reset();
    if (const std::optional<PullInInputs> inputs = session_.PullInInputsNow()) {
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
        local_.SnapDownVerdict = solved->SnapDown();
        for (const double w : inputs->membrane->LinearSurface(inputs->volts))
            linearPeak = std::max(linearPeak, std::fabs(w));
    }

    const int width = options.pictures ? options.width : 1;
    const int height = options.pictures ? options.height : 1;
    ImageCanvas surfaceImage(width, height);
    ImageCanvas interferogram(width, height);
    ImageCanvas threeD(width, height);
    if (options.pictures) {
        DrawSurfaceImage(surfaceImage, Engine());
        DrawInterferogram(interferogram, Engine());
        DrawThreeDImage(threeD, Engine());
    }
    const int N = data_.GridSize;
    const GridRange range = ScanGrid(data_.Surface.RowPointers().data(), N);
    if (!range.finite) {
        error = "the computed surface is not finite";
        return false;
    }

    // The figures.
    result.runVoltage = data_.IFMaxVoltage;
    result.voltagesAtFloor = local_.VoltagesAtFloor;
    for (int k = 1; k <= n; ++k)
        result.voltages.push_back(mirror->GetVoltage(k));
    result.peakVoltage = result.voltages.empty()
                             ? 0.0
                             : *std::max_element(result.voltages.begin(), result.voltages.end());
    result.meanVoltage = mirror->GetMeanVoltage(0);
    result.pv = range.max - range.min;
    result.snapDown = result.pv > dm->Separation_m / 3;
    Engine().PupilStatistics(result.pupilMin, result.pupilMax, result.pupilRms);
    result.n = N;
    result.surface.reserve(static_cast<std::size_t>(N) * N);
    for (int i = 0; i < N; ++i)
        result.surface.insert(result.surface.end(), data_.Surface[i], data_.Surface[i] + N);
    const int size = data_.FarFieldSize;
    result.farFieldSize = size;
    result.farField.reserve(static_cast<std::size_t>(size) * size);
    double peakIntensity = 0.0;
    for (int r = 1; r <= size; ++r)
        for (int c = 1; c <= size; ++c) {
            const double intensity = FarFieldIntensity(data_.FarField.data(), size, r, c);
            result.farField.push_back(intensity);
            peakIntensity = std::max(peakIntensity, intensity);
        }
    result.strehl = peakIntensity / flatPeak_;

    if (options.pictures) {
        result.surfaceImage = surfaceImage.Image();
        result.interferogram = interferogram.Image();
        result.threeD = threeD.Image();
    }
    result.model = std::string(session_.MembraneModelName());
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
        session_.Engine().SynthesizeSurface();
        const GridRange physical = ScanGrid(data_.Surface.RowPointers().data(), N);
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
