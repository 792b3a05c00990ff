#include "model/EngineSession.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "driver/VoltageLimits.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/ExactMembraneModel.h"
#include "model/MainData.h"
#include "model/MembraneModel.h"
#include "model/ModelHost.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace ostrander {

namespace {

// Relative comparison for values that went through an edit box and back.
bool SameValue(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

RunStart ClassicMembraneModel::CheckActuators(const DMInfoClass& model) const {
    if (model.ActuatorType_circ_rect_ring == 1) {
        for (const DmActuatorInfoClass* a = model.ActuatorList.first; a; a = a->next)
            if (a->Dcontact_m != a->DcontactY_m)
                return RunStart::RectangularPads;
    } else if (model.ActuatorType_circ_rect_ring == 2 || model.ActuatorType_circ_rect_ring == 3) {
        return RunStart::RingPads;
    }
    return RunStart::Started;
}

void ClassicMembraneModel::ComputeSurface(DMModelMain& engine) {
    engine.PrepareGrid();
    engine.ComputeAnalyticSurface();
}

SynthesisStatus ClassicMembraneModel::Synthesize(DMModelMain& engine) {
    return engine.SynthesizeSurface();
}

std::unique_ptr<MembraneModel> MakeMembraneModel(std::string_view name) {
    if (name == ClassicMembraneModel::kName)
        return std::make_unique<ClassicMembraneModel>();
    if (name == ExactMembraneModel::kName)
        return std::make_unique<ExactMembraneModel>();
    return nullptr;
}

EngineSession::EngineSession(MainData& data, DMModelLocal& local, ModelHost& host)
    : data_(data), local_(local), host_(host),
      engine_(std::make_unique<DMModelMain>(data, local, host)),
      model_(std::make_unique<ClassicMembraneModel>()) {
    engine_->SetMembraneModel(model_.get());
}

EngineSession::~EngineSession() = default;

bool EngineSession::UseMembraneModel(std::string_view name) {
    if (name == MembraneModelName())
        return true;
    std::unique_ptr<MembraneModel> model = MakeMembraneModel(name);
    if (!model)
        return false;
    model_ = std::move(model);
    engine_->SetMembraneModel(model_.get());
    // Influence functions of the other model no longer apply, nor does its
    // snap-down verdict; a run going now stops at its next tick.
    local_.DisplaysValid = false;
    local_.SnapDownVerdict.reset();
    if (IsRunning())
        data_.IFCancelRequested = true;
    return true;
}

std::string_view EngineSession::MembraneModelName() const {
    return model_->Name();
}

std::optional<PullInInputs> EngineSession::PullInInputsNow() {
    auto* exact = dynamic_cast<ExactMembraneModel*>(model_.get());
    MirrorClass* mirror = local_.Mirror.get();
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!exact || !mirror || !mirror->IsValid() || !dm)
        return std::nullopt;
    PullInInputs inputs;
    inputs.membrane = exact->Membrane(*engine_);
    if (!inputs.membrane)
        return std::nullopt;
    inputs.volts = VoltagesByModelIndex(
        *dm, [mirror](int displayIndex) { return mirror->GetVoltage(displayIndex); });
    return inputs;
}

MirrorSelection EngineSession::SelectMirror(int32_t index, const std::string& infoFile) {
    auto info = std::make_unique<MirrorInfoClass>(infoFile);
    auto mirror = std::make_unique<MirrorClass>(infoFile);
    MirrorSelection status = MirrorSelection::Selected;
    if (!info->IsValid() || !info->Model)
        status = MirrorSelection::NotMirrorInfo;
    else if (!mirror->IsValid())
        status = MirrorSelection::MirrorNotUsable;
    const int32_t actuators = status == MirrorSelection::Selected ? info->Model->Actuators : 0;
    local_.SelectMirror(index, std::move(info), std::move(mirror), actuators);
    local_.SnapDownVerdict.reset();
    // Results of an earlier mirror no longer apply; they become valid again
    // when the new run finishes. Until then the idle pass must not rebuild
    // Surface, which the run stores actuator by actuator.
    local_.DisplaysValid = false;
    return status;
}

RunStart EngineSession::StartInfluenceRun() {
    MirrorClass* mirror = local_.Mirror.get();
    if (!mirror || !mirror->IsValid() || !local_.MirrorInfo)
        return RunStart::NoMirror;
    if (IsRunning()) {
        // The running run stops on the next tick, which then starts this one;
        // actuator 1 is set then, after the old run has put its voltages back.
        data_.IFCancelRequested = true;
        runPending_ = true;
        return RunStart::CancelRequested;
    }
    runPending_ = false;
    engine_->PrepareGrid();
    mirror->SetVoltage(1, mirror->GetLimitVoltage());
    // The engine's copy holds what the mirror took (its rules may clip it).
    if (local_.ActuatorVoltageCount > 0)
        local_.ActuatorVoltages[0] = mirror->GetVoltage(1);
    const RunStart start = engine_->CalculateInfluenceFunctions();
    if (start != RunStart::Started && start != RunStart::CancelRequested)
        ClearResults();
    else
        runModel_ = std::string(MembraneModelName());
    return start;
}

void EngineSession::ClearResults() {
    MirrorClass* mirror = local_.Mirror.get();
    if (mirror && mirror->IsValid())
        mirror->SetAllChannels(kFloorVoltage);
    std::fill(local_.ActuatorVoltages.begin(), local_.ActuatorVoltages.end(), 0.0);
    data_.Surface.Fill(0.0);
    data_.SurfaceMin = data_.SurfaceMax = 0.0;
    std::fill(data_.FarField.begin(), data_.FarField.end(), 0.0f);
    local_.DisplaysValid = false;
    lastInputs_.reset();
    picturesCleared_ = true;
}

RunTick EngineSession::Tick() {
    const RunTick tick = engine_->InfluenceFunctionStep();
    // A start that asked the run to stop waits for it; a run that finished
    // anyway (its last tick does not look at the request) is followed by
    // the new one all the same.
    if ((tick == RunTick::Cancelled || tick == RunTick::Finished) && runPending_) {
        runPending_ = false;
        restarted_ = StartInfluenceRun();
    }
    return tick;
}

std::optional<RunStart> EngineSession::TakeRestartedRun() {
    std::optional<RunStart> start = restarted_;
    restarted_.reset();
    return start;
}

bool EngineSession::HasInfluenceRun(int32_t index) const {
    if (index < 0 || index != local_.MirrorIndex)
        return false;
    if (IsRunning() || runPending_)
        return true;
    return !data_.InfluenceFunctions.empty() && data_.IFMirrorInfo == local_.MirrorInfo.get() &&
           data_.IFMirrorGeneration == local_.MirrorGeneration &&
           runModel_ == MembraneModelName();
}

bool EngineSession::IsRunning() const {
    return host_.IsRunTimerEnabled();
}

RunTick EngineSession::RunToEnd(const std::function<void(int, int)>& progress) {
    // A run takes one tick per actuator and one to finish; the bound only
    // guards against a run that never stops.
    const int total = data_.IFActuatorCount;
    RunTick last = RunTick::Idle;
    for (int ticks = 0; IsRunning() && ticks <= total + 1;) {
        last = Tick();
        ++ticks;
        if (progress)
            progress(std::min(ticks, total), total);
    }
    return IsRunning() ? RunTick::Idle : last;
}

CancelRequest EngineSession::Cancel() {
    if (!IsRunning())
        return CancelRequest::NoRun;
    data_.IFCancelRequested = true;
    return CancelRequest::Requested;
}

VoltageFloor EngineSession::NoteVoltages() {
    MirrorClass* mirror = local_.Mirror.get();
    if (!mirror)
        return VoltageFloor::NoMirror;
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    const int n = dm ? dm->Actuators : 0;
    local_.PeakVoltage = 0.0;
    bool aboveFloor = false;
    for (int k = 1; k <= n; ++k) {
        const double v = mirror->GetVoltage(k);
        local_.PeakVoltage = std::max(local_.PeakVoltage, v);
        if (v > kFloorVoltage)
            aboveFloor = true;
    }
    local_.VoltagesAtFloor = !aboveFloor;
    local_.PeakVoltageFraction = local_.PeakVoltage / kCeilingVoltage;
    return aboveFloor ? VoltageFloor::AboveFloor : VoltageFloor::AtFloor;
}

VoltageFloor EngineSession::ApplyFloorRule() {
    const VoltageFloor floor = NoteVoltages();
    if (floor == VoltageFloor::AtFloor)
        local_.Mirror->SetAllChannels(kFloorVoltage);
    return floor;
}

IdlePassResult EngineSession::IdlePass() {
    IdlePassResult result;
    result.floor = ApplyFloorRule();
    ResultInputs inputs = CurrentInputs();
    if (lastInputs_ && inputs == *lastInputs_)
        return result;
    result.pictures = kMirrorMap;
    if (picturesCleared_) {
        picturesCleared_ = false;
        result.pictures |= kResultPictures | kFarFieldPictures;
    }
    if (local_.DisplaysValid) {
        result.recalculated = true;
        result.recalculation = Recalculate();
        result.pictures |= result.recalculation.pictures;
        // A synthesis clears the parameter flag: the state after it is the
        // one to compare with.
        inputs.parameterChanged = data_.MirrorParameterChanged;
    }
    lastInputs_ = std::move(inputs);
    return result;
}

void EngineSession::MarkResultsStale() {
    lastInputs_.reset();
}

EngineSession::ResultInputs EngineSession::CurrentInputs() const {
    ResultInputs inputs;
    inputs.mirrorGeneration = local_.MirrorGeneration;
    inputs.displaysValid = local_.DisplaysValid;
    inputs.parameterChanged = data_.MirrorParameterChanged;
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (dm) {
        inputs.separation = dm->Separation_m;
        inputs.stress = dm->Stress_Pa;
        if (local_.Mirror) {
            inputs.voltages.reserve(static_cast<std::size_t>(std::max(dm->Actuators, 0)));
            for (int k = 1; k <= dm->Actuators; ++k)
                inputs.voltages.push_back(local_.Mirror->GetVoltage(k));
        }
    }
    inputs.removeFocus = local_.RemoveFocus;
    inputs.focusAdjust = local_.FocusAdjust;
    inputs.farFieldZoom = local_.FarFieldZoom;
    inputs.beamFraction = local_.BeamFraction;
    inputs.model = std::string(MembraneModelName());
    return inputs;
}

RecalculationResult EngineSession::Recalculate() {
    RecalculationResult result;
    if (!local_.MirrorInfo || !local_.MirrorInfo->Model || !local_.Mirror)
        return result;
    const int n = local_.MirrorInfo->Model->Actuators;
    bool anyVoltage = false;
    for (int k = 1; k <= n && !anyVoltage; ++k)
        anyVoltage = local_.Mirror->GetVoltage(k) > 0.0;
    if (!anyVoltage) {
        result.status = Recalculation::NoVoltage;
        return result;
    }
    return ComputeResults();
}

RecalculationResult EngineSession::ComputeResults() {
    RecalculationResult result;
    if (!local_.MirrorInfo || !local_.MirrorInfo->Model)
        return result;
    // The far field removes tilt (and, on request, piston and focus) from
    // the surface in place, so the pictures after it show the corrected one.
    result.parameterChanged = model_->Synthesize(*engine_) == SynthesisStatus::DoneParameterChanged;
    const FarFieldStatus farField = engine_->ComputeFarField();
    result.status =
        farField == FarFieldStatus::NoSurface ? Recalculation::NoSurface : Recalculation::Done;
    result.pictures = kResultPictures;
    return result;
}

AppliedVoltages EngineSession::ApplyVoltages(const VoltageRequest& request) {
    AppliedVoltages result;
    MirrorClass* mirror = local_.Mirror.get();
    const DMInfoClass* dm = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!mirror || !mirror->IsValid() || !dm)
        return result;
    const int n = std::max(dm->Actuators, 0);
    std::vector<std::optional<double>> asked(static_cast<std::size_t>(n));
    mirror->SetAllChannels(kFloorVoltage);
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
        const double held = mirror->GetVoltage(k);
        if (std::fabs(held - want) > 1e-9 * std::max(1.0, std::fabs(want))) {
            ++result.changedByRules;
            result.changes.push_back({k, want, held});
        }
    }
    result.applied = true;
    return result;
}

bool EngineSession::SetSeparation(double metres) {
    DMInfoClass* model = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!model || SameValue(metres, model->Separation_m))
        return false;
    model->Separation_m = metres;
    data_.MirrorParameterChanged = true;
    local_.DisplaysValid = false;
    return true;
}

bool EngineSession::SetStress(double pascals) {
    DMInfoClass* model = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!model || SameValue(pascals, model->Stress_Pa))
        return false;
    model->Stress_Pa = pascals;
    data_.MirrorParameterChanged = true;
    local_.DisplaysValid = false;
    return true;
}

} // namespace ostrander
