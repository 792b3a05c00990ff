#include "model/EngineSession.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/VoltageListClass.h"
#include "driver/VoltageLimits.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/MainData.h"
#include "model/MeasuredMembraneModel.h"
#include "model/MembraneModel.h"
#include "model/MirrorCheck.h"
#include "model/ModelHost.h"
#include "model/PullIn.h"
#include "model/PullInTracker.h"

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

// Lowest and highest value, both 0 when any is not finite or there is none.
struct Extremes {
    bool finite = false;
    double min = 0.0, max = 0.0;
};
Extremes ScanSurface(const Grid<double>& surface, int n) {
    Extremes e;
    if (n <= 0 || surface.Rows() < n || surface.Cols() < n)
        return e;
    double lo = surface[0][0], hi = surface[0][0];
    bool finite = true;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double v = surface[i][j];
            finite = finite && std::isfinite(v);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    if (finite)
        e = {true, lo, hi};
    return e;
}

} // namespace

EngineSession::EngineSession(ModelHost& host)
    : EngineSession(std::make_unique<MainData>(), std::make_unique<DMModelLocal>(), host) {}

EngineSession::EngineSession(std::unique_ptr<MainData> data, std::unique_ptr<DMModelLocal> local,
                             ModelHost& host)
    : ownData_(std::move(data)), ownLocal_(std::move(local)), data_(*ownData_),
      local_(*ownLocal_), host_(host),
      engine_(std::make_unique<DMModelMain>(data_, local_, host)),
      model_(MakeMembraneModel(MembraneModels().front().name)) {
    engine_->SetMembraneModel(model_.get());
}

EngineSession::EngineSession(MainData& data, DMModelLocal& local, ModelHost& host)
    : data_(data), local_(local), host_(host),
      engine_(std::make_unique<DMModelMain>(data, local, host)),
      model_(MakeMembraneModel(MembraneModels().front().name)) {
    engine_->SetMembraneModel(model_.get());
}

EngineSession::~EngineSession() {
    // The worker's thread ends before the records it reads go.
    pullIn_.reset();
    // The mirror drives its channels to 0 V while the engine still exists.
    if (ownLocal_)
        ownLocal_->ReleaseMirror();
}

const MirrorInfoClass* EngineSession::MirrorInfo() const {
    return local_.MirrorInfo.get();
}

const DMInfoClass* EngineSession::MirrorModel() const {
    return local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
}

MirrorClass* EngineSession::Mirror() const {
    return local_.Mirror.get();
}

bool EngineSession::HasMirror() const {
    return local_.Mirror && local_.Mirror->IsValid() && MirrorModel();
}

int32_t EngineSession::MirrorIndex() const {
    return local_.MirrorIndex;
}

void EngineSession::DetachMirrorFromList() {
    if (local_.MirrorIndex >= 0)
        local_.MirrorIndex = kMirrorOutsideList;
}

void EngineSession::ReleaseMirror() {
    local_.ReleaseMirror();
}

bool EngineSession::ResultsValid() const {
    return local_.DisplaysValid;
}

std::optional<EngineGrid> EngineSession::Grid() const {
    const DMInfoClass* dm = MirrorModel();
    if (!dm)
        return std::nullopt;
    return MakeEngineGrid(dm->Diameter_m, local_.BeamFraction, engine_->GridSizeFor(*dm),
                          data_.GridFill);
}

double EngineSession::RunVoltage() const {
    return data_.IFMaxVoltage;
}

bool EngineSession::VoltagesAtFloor() const {
    return local_.VoltagesAtFloor;
}

int EngineSession::MembraneElectrode() const {
    const DMInfoClass* dm = MirrorModel();
    if (!dm)
        return 0;
    for (const DmActuatorInfoClass* a = dm->ActuatorList.first; a; a = a->next)
        if (a->Surface)
            return a->DisplayIndex;
    return 0;
}

std::vector<double> EngineSession::InfluencePerVoltSquared() const {
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
        const ostrander::Grid<double>& f = data_.InfluenceFunctions[k - 1];
        double* out = cube.data() + plane * (k - 1);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                out[static_cast<std::size_t>(i) * n + j] = f[i][j] * scale;
    }
    return cube;
}

const std::vector<std::string>& EngineSession::HelpLines() {
    return DMModelMain::HelpLines();
}

ViewOptions EngineSession::View() const {
    return {local_.RemoveFocus, local_.FocusAdjust, local_.FarFieldZoom, local_.Wavelength};
}

void EngineSession::SetView(const ViewOptions& options) {
    local_.RemoveFocus = options.removeFocus;
    local_.FocusAdjust = options.focusAdjust;
    local_.FarFieldZoom = options.farFieldZoom;
    local_.Wavelength = options.wavelength;
}

std::optional<ResultFigures> EngineSession::Figures() const {
    return MeasureResults(data_, local_);
}

bool EngineSession::HasSurface() const {
    const int n = data_.GridSize;
    return n > 0 && data_.Surface.Rows() >= n && data_.Surface.Cols() >= n;
}

SurfaceValues EngineSession::Surface() const {
    SurfaceValues out;
    const int n = data_.GridSize;
    if (!HasSurface())
        return out;
    out.n = n;
    out.values.reserve(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i)
        out.values.insert(out.values.end(), data_.Surface[i], data_.Surface[i] + n);
    const Extremes range = ScanSurface(data_.Surface, n);
    out.min = range.min;
    out.max = range.max;
    out.finite = range.finite;
    return out;
}

int32_t EngineSession::FarFieldSize() const {
    return data_.FarFieldSize;
}

std::vector<double> EngineSession::FarField() const {
    return FarFieldIntensities(data_);
}

void EngineSession::PupilStatistics(double& min, double& max, double& rms) {
    engine_->PupilStatistics(min, max, rms);
}

SurfaceValues EngineSession::PhysicalSurface() {
    model_->Synthesize(*engine_);
    MarkResultsStale();
    return Surface();
}

SurfaceValues EngineSession::CorrectedSurface() {
    if (!ResultsValid())
        return {};
    model_->Synthesize(*engine_);
    MarkResultsStale();
    if (engine_->CorrectSurface() != FarFieldStatus::Done)
        return {};
    return Surface();
}

double EngineSession::PhysicalPeakDeflection() {
    const SurfaceValues physical = PhysicalSurface();
    return std::max(std::fabs(physical.min), std::fabs(physical.max));
}

bool EngineSession::NoteSnapDown(const PullInResult& result) {
    const std::optional<bool> verdict = SnapDownVerdict(result);
    if (verdict == local_.SnapDownVerdict)
        return false;
    local_.SnapDownVerdict = verdict;
    return true;
}

void EngineSession::ForgetSnapDown() {
    local_.SnapDownVerdict.reset();
}

bool EngineSession::UseMembraneModel(std::string_view name) {
    if (name == MembraneModelName())
        return true;
    std::unique_ptr<MembraneModel> model = MakeMembraneModel(name);
    if (!model)
        return false;
    model_ = std::move(model);
    if (auto* measured = dynamic_cast<MeasuredMembraneModel*>(model_.get()))
        measured->SetInfluence(measured_);
    engine_->SetMembraneModel(model_.get());
    DropInfluenceFunctions();
    return true;
}

// Influence functions of another model or grid no longer apply, nor does the
// snap-down verdict; a run going now stops at its next tick.
void EngineSession::DropInfluenceFunctions() {
    local_.DisplaysValid = false;
    local_.SnapDownVerdict.reset();
    if (pullIn_)
        pullIn_->Update(std::nullopt);
    if (IsRunning())
        data_.IFCancelRequested = true;
}

std::string EngineSession::SetGridSamples(int n) {
    if (n != 0)
        if (std::string problem = EngineGridSizeProblem(n); !problem.empty())
            return problem;
    const DMInfoClass* dm = MirrorModel();
    const int before = dm ? engine_->GridSizeFor(*dm) : 0;
    local_.GridSamples = n;
    if (dm && engine_->GridSizeFor(*dm) != before)
        DropInfluenceFunctions();
    return {};
}

int EngineSession::RequestedGridSamples() const {
    return local_.GridSamples;
}

std::string EngineSession::SetMeasuredInfluence(std::shared_ptr<const MeasuredInfluence> influence) {
    if (!influence)
        return "no measured influence functions";
    if (!MirrorModel())
        return "no mirror is selected to take the measured influence functions";
    MeasuredMembraneModel check;
    check.SetInfluence(influence);
    if (std::string problem = check.Problem(*engine_); !problem.empty())
        return problem;
    measured_ = std::move(influence);
    if (!UseMembraneModel(MeasuredMembraneModel::kName))
        return "no measured membrane model";
    static_cast<MeasuredMembraneModel&>(*model_).SetInfluence(measured_);
    // Functions of another cube no longer apply.
    local_.DisplaysValid = false;
    runModel_.clear();
    if (pullIn_)
        pullIn_->Update(std::nullopt);
    if (IsRunning())
        data_.IFCancelRequested = true;
    return {};
}

std::string_view EngineSession::MembraneModelName() const {
    return model_->Name();
}

bool EngineSession::ComputesPullIn() const {
    const MembraneModelInfo* info = FindMembraneModel(MembraneModelName());
    return info && info->computesPullIn;
}

SessionSnapshot EngineSession::Snapshot() const {
    SessionSnapshot snapshot;
    snapshot.mirror = local_.MirrorGeneration;
    snapshot.model = std::string(MembraneModelName());
    if (IsRunning() || runPending_) {
        if (keptVolts_ && keptVolts_->mirror == snapshot.mirror)
            snapshot.volts = keptVolts_->volts;
        return snapshot;
    }
    MirrorClass* mirror = local_.Mirror.get();
    if (!mirror || !mirror->IsValid())
        return snapshot;
    const int n = mirror->GetActuatorCount();
    snapshot.volts.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int k = 1; k <= n; ++k)
        snapshot.volts.push_back(mirror->GetVoltage(k));
    return snapshot;
}

AppliedVoltages EngineSession::ApplySnapshotVolts(const std::vector<double>& volts) {
    // From the floor the membrane electrode goes first: with it at its
    // voltage, raising the pads one by one moves the mean of the pads'
    // differences steadily to its final value, so a set the rules held
    // before is held again.
    VoltageRequest request;
    const int electrode = MembraneElectrode();
    if (electrode >= 1 && electrode <= static_cast<int>(volts.size()))
        request.single.emplace_back(electrode, volts[electrode - 1]);
    for (int k = 1; k <= static_cast<int>(volts.size()); ++k)
        if (k != electrode)
            request.single.emplace_back(k, volts[k - 1]);
    return ApplyVoltages(request);
}

SnapshotRestore EngineSession::Restore(const SessionSnapshot& snapshot) {
    SnapshotRestore result;
    if (snapshot.mirror != local_.MirrorGeneration || !FindMembraneModel(snapshot.model))
        return result;
    result.restored = true;
    const bool running = IsRunning() || runPending_;
    if (snapshot.model != MembraneModelName()) {
        UseMembraneModel(snapshot.model);
        result.modelChanged = true;
        if (HasMirror()) {
            // Kept before the run starts: a start sets actuator 1.
            keptVolts_ = snapshot;
            result.run = StartInfluenceRun();
            if (*result.run == RunStart::Started || *result.run == RunStart::CancelRequested) {
                result.voltagesAfterRun = true;
                return result;
            }
            keptVolts_.reset();
        }
    } else if (running) {
        keptVolts_ = snapshot;
        result.voltagesAfterRun = true;
        return result;
    }
    if (!snapshot.volts.empty())
        result.voltages = ApplySnapshotVolts(snapshot.volts);
    return result;
}

SnapshotRestore EngineSession::SwitchMembraneModel(std::string_view name) {
    if (!FindMembraneModel(name))
        return {};
    SessionSnapshot snapshot = Snapshot();
    snapshot.model = std::string(name);
    return Restore(snapshot);
}

std::optional<AppliedVoltages> EngineSession::TakeKeptVoltages() {
    std::optional<AppliedVoltages> applied = std::move(keptApplied_);
    keptApplied_.reset();
    return applied;
}

std::optional<PullInInputs> EngineSession::PullInInputsNow() {
    MirrorClass* mirror = local_.Mirror.get();
    const DMInfoClass* dm = MirrorModel();
    if (!ComputesPullIn() || !mirror || !mirror->IsValid() || !dm)
        return std::nullopt;
    PullInInputs inputs;
    inputs.membrane = model_->PullInMembrane(*engine_);
    if (!inputs.membrane)
        return std::nullopt;
    inputs.volts = VoltagesByModelIndex(
        *dm, [mirror](int displayIndex) { return mirror->GetVoltage(displayIndex); });
    return inputs;
}

void EngineSession::TrackPullIn(std::function<void()> answerReady) {
    pullIn_ = answerReady ? std::make_unique<PullInTracker>(std::move(answerReady)) : nullptr;
}

void EngineSession::UpdatePullIn() {
    if (!pullIn_)
        return;
    pullIn_->Update(local_.DisplaysValid ? PullInInputsNow() : std::nullopt);
}

bool EngineSession::TakePullInAnswer() {
    if (!pullIn_ || !pullIn_->Take())
        return false;
    return NoteSnapDown(*pullIn_->Answer());
}

PullInState EngineSession::PullIn() const {
    PullInState state;
    if (!pullIn_)
        return state;
    state.tracked = pullIn_->Tracking();
    state.computing = pullIn_->Computing();
    state.answer = pullIn_->Answer();
    return state;
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
    mirrorProblem_.clear();
    if (local_.MirrorInfo->Model)
        mirrorProblem_ = MirrorModelProblem(*local_.MirrorInfo->Model);
    measuredProblem_ = false;
    auto* measured = dynamic_cast<MeasuredMembraneModel*>(model_.get());
    if (mirrorProblem_.empty() && measured) {
        mirrorProblem_ = measured->Problem(*engine_);
        measuredProblem_ = !mirrorProblem_.empty();
    }
    if (!mirrorProblem_.empty()) {
        ClearResults();
        return RunStart::UnusableMirror;
    }
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

std::string EngineSession::RunRefusal(RunStart status) const {
    if (status == RunStart::UnusableMirror && measuredProblem_)
        return "Influence Functions: " + mirrorProblem_;
    std::string text = RunRefusalText(status);
    if (status == RunStart::UnusableMirror && !mirrorProblem_.empty())
        text += " " + mirrorProblem_;
    return text;
}

void EngineSession::ClearResults() {
    MirrorClass* mirror = local_.Mirror.get();
    if (mirror && mirror->IsValid())
        mirror->SetAllChannels(kFloorVoltage);
    std::fill(local_.ActuatorVoltages.begin(), local_.ActuatorVoltages.end(), 0.0);
    data_.Surface.Fill(0.0);
    data_.SurfaceMin = data_.SurfaceMax = 0.0;
    std::fill(data_.FarField.begin(), data_.FarField.end(), 0.0f);
    ++data_.FarFieldGeneration;
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
    // A run that ended (finished or cancelled, with no other one to follow)
    // puts back the voltages kept aside for it; the finished run's floor
    // is what they replace.
    if ((tick == RunTick::Cancelled || tick == RunTick::Finished) && !IsRunning() &&
        !runPending_ && keptVolts_) {
        const SessionSnapshot kept = std::move(*keptVolts_);
        keptVolts_.reset();
        if (kept.mirror == local_.MirrorGeneration && !kept.volts.empty()) {
            keptApplied_ = ApplySnapshotVolts(kept.volts);
            MarkResultsStale();
        }
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

EngineSession::RunProgress EngineSession::Progress() const {
    if (!IsRunning())
        return {};
    const int total = std::max(0, data_.IFActuatorCount);
    return {std::clamp(data_.IFCurrentActuator, 0, total), total};
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

RecalculationResult EngineSession::ComputeResultsFrom(const std::vector<double>& physical) {
    RecalculationResult result;
    if (!local_.MirrorInfo || !local_.MirrorInfo->Model)
        return result;
    const int n = data_.GridSize;
    MarkResultsStale();
    result.status = Recalculation::NoSurface;
    if (!HasSurface() || physical.size() != static_cast<std::size_t>(n) * n)
        return result;
    for (int i = 0; i < n; ++i)
        std::copy(physical.begin() + static_cast<std::ptrdiff_t>(i) * n,
                  physical.begin() + static_cast<std::ptrdiff_t>(i + 1) * n, data_.Surface[i]);
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
    // One batch: the same voltages as one SetVoltage per pair, in order.
    mirror->SetVoltages(request.single);
    for (const auto& [displayIndex, volts] : request.single)
        if (displayIndex >= 1 && displayIndex <= n)
            asked[displayIndex - 1] = volts;
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

bool EngineSession::SetModelParameter(double DMInfoClass::*parameter, double value) {
    DMInfoClass* model = local_.MirrorInfo ? local_.MirrorInfo->Model.get() : nullptr;
    if (!model || SameValue(value, model->*parameter))
        return false;
    model->*parameter = value;
    data_.MirrorParameterChanged = true;
    local_.DisplaysValid = false;
    return true;
}

bool EngineSession::SetSeparation(double metres) {
    return SetModelParameter(&DMInfoClass::Separation_m, metres);
}

bool EngineSession::SetStress(double pascals) {
    return SetModelParameter(&DMInfoClass::Stress_Pa, pascals);
}

} // namespace ostrander
