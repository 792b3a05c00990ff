#include "cli/BatchSimulation.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "cli/MirrorMapPicture.h"
#include "model/pictures/FarFieldPictures.h"
#include "model/pictures/ResultPictures.h"
#include "toolkit/qt/ImageCanvas.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace ostrander {

namespace {

// Sizes of the far-field pictures in the main window.
constexpr int kFarFieldPictureSize = 335;
// The voltage that the help text names as the maximum.
constexpr double kPeakVoltageScale = 350.0;

double LargestIntensity(const MainData& data) {
    double peak = 0.0;
    if (!data.FarField)
        return peak;
    const int size = data.FarFieldSize;
    for (int r = 1; r <= size; ++r)
        for (int c = 1; c <= size; ++c)
            peak = std::max(peak, FarFieldIntensity(data.FarField, size, r, c));
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

bool BatchSimulation::TakeEngineMessage(std::string& error) {
    if (dialogs_.messages.empty())
        return false;
    error = dialogs_.messages.front().text;
    dialogs_.messages.clear();
    return true;
}

bool BatchSimulation::Load(const std::string& infoFile, std::string& error) {
    auto info = std::make_unique<MirrorInfoClass>(infoFile);
    if (!info->IsValid() || !info->Model) {
        error = "not a mirror info file";
        return false;
    }
    auto mirror = std::make_unique<MirrorClass>(infoFile);
    if (!mirror->IsValid()) {
        error = "the mirror cannot be set up from this file";
        return false;
    }
    const int count = info->Model->Actuators;
    local_.SelectMirror(0, info.release(), mirror.release(), count);
    return true;
}

bool BatchSimulation::RunInfluenceFunctions(const std::function<void(int, int)>& progress,
                                            std::string& error) {
    MirrorClass* mirror = local_.Mirror;
    if (!mirror) {
        error = "no mirror selected";
        return false;
    }
    dialogs_.messages.clear();
    // As the mirror setup window starts the run: actuator 1 at the limit
    // voltage; the largest voltage becomes the run voltage.
    engine_.PrepareGrid();
    mirror->SetVoltage(1, mirror->GetLimitVoltage());
    if (local_.ActuatorVoltageCount > 0)
        local_.ActuatorVoltages[0] = mirror->GetVoltage(1);
    engine_.CalculateInfluenceFunctions();
    if (!host_.IsRunTimerEnabled()) {
        if (!TakeEngineMessage(error))
            error = "the influence-function run did not start";
        return false;
    }
    // The ticks of the run timer, without its 100 ms pacing. A run takes
    // one tick per actuator and one to finish.
    const auto total = static_cast<int>(data_.IFActuatorCount);
    int ticks = 0;
    while (host_.IsRunTimerEnabled() && ticks <= total + 1) {
        engine_.InfluenceFunctionStep();
        ++ticks;
        if (progress)
            progress(std::min(ticks, total), total);
    }
    if (host_.IsRunTimerEnabled() || !local_.DisplaysValid) {
        if (!TakeEngineMessage(error))
            error = "the influence-function run did not finish";
        return false;
    }
    if (TakeEngineMessage(error))
        return false;
    flatPeak_ = FlatMirrorPeak();
    if (!(flatPeak_ > 0.0) || !std::isfinite(flatPeak_)) {
        error = "the far field of a flat mirror has no peak";
        return false;
    }
    return true;
}

double BatchSimulation::FlatMirrorPeak() {
    // A zero surface through the engine's own far field: same beam, grid and
    // transform as every simulation.
    const bool removeFocus = local_.RemoveFocus;
    local_.RemoveFocus = false;
    engine_.PrepareGrid();
    engine_.ComputeFarField();
    local_.RemoveFocus = removeFocus;
    return LargestIntensity(data_);
}

bool BatchSimulation::Simulate(const VoltageRequest& request, const DisplayOptions& options,
                               SimulationResult& result, std::string& error) {
    MirrorClass* mirror = local_.Mirror;
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!mirror || !dm || !local_.DisplaysValid) {
        error = "no influence functions";
        return false;
    }
    dialogs_.messages.clear();
    result = SimulationResult{};
    const int n = ActuatorCount();

    // The mirror as the run leaves it, then the requests in order; the
    // mirror's rules decide what each actuator holds.
    mirror->SetAllChannels(DMModelMain::kFloorVoltage);
    std::vector<std::optional<double>> asked(static_cast<std::size_t>(std::max(n, 0)));
    if (request.all) {
        mirror->SetAllActuators(*request.all);
        std::fill(asked.begin(), asked.end(), *request.all);
    }
    if (request.pattern) {
        mirror->ApplyVoltageList(request.pattern, 0);
        for (const VoltageListEntry* e = request.pattern->First(); e; e = e->next)
            if (e->Actuator >= 1 && e->Actuator <= n)
                asked[e->Actuator - 1] = e->Voltage;
    }
    for (const auto& [displayIndex, volts] : request.single) {
        mirror->SetVoltage(displayIndex, volts);
        if (displayIndex >= 1 && displayIndex <= n)
            asked[displayIndex - 1] = volts;
    }
    for (int k = 1; k <= n; ++k) {
        if (!asked[k - 1])
            continue;
        ++result.requested;
        const double want = *asked[k - 1];
        if (std::fabs(mirror->GetVoltage(k) - want) > 1e-9 * std::max(1.0, std::fabs(want)))
            ++result.changedByRules;
    }

    // The idle pass: the 0.1 V floor when no actuator is above it.
    double peak = 0.0;
    bool above = false;
    for (int k = 1; k <= n; ++k) {
        const double v = mirror->GetVoltage(k);
        peak = std::max(peak, v);
        above = above || v > DMModelMain::kFloorVoltage;
    }
    if (!above) {
        mirror->SetAllChannels(DMModelMain::kFloorVoltage);
        local_.VoltagesAtFloor = true;
    } else {
        local_.VoltagesAtFloor = false;
    }
    local_.PeakVoltage = peak;
    local_.PeakVoltageFraction = peak / kPeakVoltageScale;
    local_.RemoveFocus = options.removeFocus;
    local_.FocusAdjust = options.focusAdjust;
    local_.FarFieldZoom = options.zoom;

    bool positive = false;
    for (int k = 1; k <= n; ++k)
        positive = positive || mirror->GetVoltage(k) > 0.0;
    if (!positive) {
        error = "no actuator voltage is above 0 V, so there is nothing to compute";
        return false;
    }

    // Synthesis, then the far field (which corrects the surface in place and
    // draws its two pictures), then the pictures of the corrected surface.
    engine_.SynthesizeSurface();
    ImageCanvas farFieldImage(kFarFieldPictureSize, kFarFieldPictureSize);
    ImageCanvas farFieldPlot(kFarFieldPictureSize, kFarFieldPictureSize);
    host_.drawFarField = [&] {
        DrawFarFieldImage(farFieldImage, engine_, kFarFieldTitle);
        DrawFarFieldPlot(farFieldPlot, engine_);
    };
    engine_.ComputeFarField();
    host_.drawFarField = nullptr;
    if (TakeEngineMessage(error))
        return false;
    if (!data_.Surface || !data_.FarField) {
        error = "the engine produced no surface";
        return false;
    }

    ImageCanvas surfaceImage(options.width, options.height);
    ImageCanvas interferogram(options.width, options.height);
    ImageCanvas threeD(options.width, options.height);
    DrawSurfaceImage(surfaceImage, engine_);
    DrawInterferogram(interferogram, engine_);
    DrawThreeDImage(threeD, engine_);
    const int N = data_.GridSize;
    const GridRange range = ScanGrid(data_.Surface, N);
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
    engine_.PupilStatistics(result.pupilMin, result.pupilMax, result.pupilRms);
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
            const double intensity = FarFieldIntensity(data_.FarField, size, r, c);
            result.farField.push_back(intensity);
            peakIntensity = std::max(peakIntensity, intensity);
        }
    result.strehl = peakIntensity / flatPeak_;

    result.surfaceImage = surfaceImage.Image();
    result.interferogram = interferogram.Image();
    result.threeD = threeD.Image();
    result.farFieldImage = farFieldImage.Image();
    result.farFieldPlot = farFieldPlot.Image();
    result.mirrorMap = DrawMirrorMapPicture(*mirror);
    return true;
}

} // namespace ostrander
