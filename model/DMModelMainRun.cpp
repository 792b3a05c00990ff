// The parts of the engine that read or set mirror voltages: the analytic
// surface, the influence-function run and the surface synthesis.
#include "model/DMModelMain.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "driver/VoltageLimits.h"
#include "model/ClassicMembraneModel.h"
#include "model/DMModelLocal.h"
#include "model/DeflectionKernel.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "toolkit/Format.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrander {

namespace {

// The model the engine was given, or the analytic one.
MembraneModel& SurfaceModel(MembraneModel* given) {
    static ClassicMembraneModel classic;
    return given ? *given : classic;
}

// The membrane's own electrode, or null when the mirror has none.
const DmActuatorInfoClass* SurfaceElectrode(const DMInfoClass& dm) {
    for (const DmActuatorInfoClass* a = dm.ActuatorList.first; a; a = a->next)
        if (a->Surface)
            return a;
    return nullptr;
}

} // namespace

double DMModelMain::Voltage(int32_t displayIndex) const {
    if (!local_.Mirror || !local_.Mirror->IsValid())
        return 0.0;
    return local_.Mirror->GetVoltage(displayIndex);
}

void DMModelMain::SetVoltage(int32_t displayIndex, double volts) {
    if (local_.Mirror && local_.Mirror->IsValid())
        local_.Mirror->SetVoltage(displayIndex, volts);
}

void DMModelMain::ComputeAnalyticSurface() {
    DMInfoClass* dm = RefreshModel();
    if (!dm)
        return;
    EnsureSurface();
    const int32_t n = data_.GridSize;
    Grid<double>& z = data_.Surface;
    const double D = dm->Diameter_m;
    const double R = D / 2;
    const double dx = GridStep(*dm);
    z.Fill(0.0);

    // Each pad pulls with its voltage relative to the membrane's own
    // electrode; that electrode has no pad and pulls on nothing itself.
    const DmActuatorInfoClass* surface = SurfaceElectrode(*dm);
    const double surfaceVolts = surface ? Voltage(surface->DisplayIndex) : 0.0;

    // Actuators in file order (the list holds them in reverse), each with
    // its own voltage.
    DmActuatorInfoClass* last = dm->ActuatorList.first;
    while (last && last->next)
        last = last->next;
    for (DmActuatorInfoClass* a = last; a; a = a->prev) {
        if (a->Surface)
            continue;
        const double V = Voltage(a->DisplayIndex) - surfaceVolts;
        const double Jc = a->Dcontact_m / 2;
        const double xa = a->X, ya = a->Y;
        const double rhoA = std::sqrt(xa * xa + ya * ya);
        const double thetaA = (xa == 0.0 && ya == 0.0) ? 0.0 : std::atan2(ya, xa);
        const double F = (a->Dpad_m / 2) * (a->Dpad_m / 2) * kPiEpsilon0 * V * V /
                         (dm->Separation_m * dm->Separation_m);
        const double w = -0.15915494309189535 / dm->Stress_Pa / dm->Thickness_m * F;
        const double A = std::log(D / a->Dcontact_m) * w;
        if (F == 0.0)
            continue;
        // A centre outside the membrane has no ray to the rim: no contribution.
        if (!(rhoA <= R))
            continue;
        const ActuatorDeflection terms{
            xa, ya, rhoA * std::cos(thetaA), rhoA * std::sin(thetaA), Jc, w, A, R};
        AddActuatorDeflection(z, dx, terms);
    }

    data_.SurfaceMin = data_.SurfaceMax = z[0][0];
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j) {
            if (z[i][j] < data_.SurfaceMin)
                data_.SurfaceMin = z[i][j];
            if (z[i][j] > data_.SurfaceMax)
                data_.SurfaceMax = z[i][j];
        }
}

RunStart DMModelMain::CalculateInfluenceFunctions() {
    DMInfoClass* dm = RefreshModel();
    if (!dm)
        return RunStart::NoMirror;
    const RunStart accepted = SurfaceModel(model_).CheckActuators(*dm);
    if (accepted != RunStart::Started)
        return accepted;
    return RequestInfluenceFunctions();
}

RunStart DMModelMain::RequestInfluenceFunctions() {
    if (host_.IsRunTimerEnabled()) {
        data_.IFCancelRequested = true;
        return RunStart::CancelRequested;
    }
    return StartInfluenceFunctions();
}

RunStart DMModelMain::StartInfluenceFunctions() {
    DMInfoClass* dm = RefreshModel();
    if (!dm)
        return RunStart::NoMirror;
    const int32_t count = dm->Actuators;
    if (count <= 0)
        return RunStart::NoActuators;
    // The engine's copy of the voltages must have one entry per actuator.
    if (local_.ActuatorVoltageCount != count)
        local_.ResetActuatorVoltages(count);

    data_.IFSavedVoltages.assign(static_cast<std::size_t>(count), 0.0);
    data_.IFMaxVoltage = -100000;
    const DmActuatorInfoClass* first = dm->FindByDisplayIndex(1);
    double dpadMax = first ? first->Dpad_m : 0.0;
    for (int32_t i = 0; i < count; ++i) {
        const double v = Voltage(i + 1);
        data_.IFSavedVoltages[i] = v;
        if (v > data_.IFMaxVoltage)
            data_.IFMaxVoltage = v;
        const DmActuatorInfoClass* a = dm->FindByDisplayIndex(i + 1);
        if (a && a->Dpad_m > dpadMax)
            dpadMax = a->Dpad_m;
    }

    if (data_.IFMaxVoltage == 0.0) {
        for (int32_t i = 0; i < count; ++i)
            if (local_.ActuatorVoltages[i] != data_.IFSavedVoltages[i]) {
                SetVoltage(i + 1, data_.IFSavedVoltages[i]);
                local_.ActuatorVoltages[i] = data_.IFSavedVoltages[i];
            }
        data_.FreeSavedVoltages();
        return RunStart::ZeroRunVoltage;
    }

    const double d = dm->Separation_m;
    data_.IFReferenceForce = kEpsilon0 * std::numbers::pi * (dpadMax / 2) * (dpadMax / 2) *
                             data_.IFMaxVoltage * data_.IFMaxVoltage / (2 * d * d);
    data_.AllocateInfluenceFunctions(count, data_.GridSize);

    data_.IFMirrorGeneration = local_.MirrorGeneration;
    data_.IFMirrorInfo = local_.MirrorInfo.get();
    data_.IFCurrentActuator = -1;
    data_.IFStepReady = true;
    // While the store fills, the idle pass must not synthesise: it would
    // overwrite the surface that the next tick stores as an influence function.
    local_.DisplaysValid = false;
    host_.EnableRunTimer();
    data_.IFCancelRequested = false;
    return RunStart::Started;
}

void DMModelMain::CancelRun() {
    host_.DisableRunTimer();
    data_.IFStepReady = false;
    data_.FreeInfluenceFunctions();
    data_.FreeSavedVoltages();
}

RunTick DMModelMain::InfluenceFunctionStep() {
    DMInfoClass* dm = RefreshModel();
    if (!dm)
        return RunTick::Idle;
    if (!data_.IFStepReady)
        return RunTick::Idle;
    // The run works with the actuator count it was started with; a run whose
    // store is gone or whose mirror was replaced meanwhile is cancelled.
    const int32_t count = data_.IFActuatorCount;
    if (data_.InfluenceFunctions.empty() || data_.IFMirrorGeneration != local_.MirrorGeneration ||
        data_.IFMirrorInfo != local_.MirrorInfo.get() || count <= 0 ||
        local_.ActuatorVoltageCount < count) {
        CancelRun();
        return RunTick::Cancelled;
    }
    const int32_t n = data_.GridSize;

    if (data_.IFCurrentActuator < count - 1) {
        data_.IFCurrentActuator += 1;
        data_.IFStepReady = false;
        if (data_.IFCancelRequested) {
            CancelRun();
            return RunTick::Cancelled;
        }
        const int32_t current = data_.IFCurrentActuator;
        if (current > 0 && !data_.Surface.empty() && data_.GridRows == n)
            for (int32_t i = 0; i < n; ++i)
                std::copy(data_.Surface[i], data_.Surface[i] + n,
                          data_.InfluenceFunctions[current - 1][i]);
        // Only the actuator being computed may be energised: besides the
        // voltages this run set, clear any the mirror still holds (after an
        // earlier run every channel sits at the 0.1 V floor).
        for (int32_t p = 0; p < count; ++p)
            if (local_.ActuatorVoltages[p] != 0.0 || Voltage(p + 1) != 0.0) {
                SetVoltage(p + 1, 0.0);
                local_.ActuatorVoltages[p] = 0.0;
            }
        SetVoltage(current + 1, data_.IFMaxVoltage);
        local_.ActuatorVoltages[current] = data_.IFMaxVoltage;
        // The membrane electrode alone pulls on nothing: its function is flat,
        // and synthesis counts its voltage against every pad instead.
        const DmActuatorInfoClass* surface = SurfaceElectrode(*dm);
        if (surface && surface->DisplayIndex == current + 1) {
            PrepareGrid();
            data_.SurfaceMin = data_.SurfaceMax = 0.0;
        } else {
            SurfaceModel(model_).ComputeSurface(*this);
        }
        host_.DrawThreeDImage();
        host_.RefreshMirrorDisplay();
        data_.IFStepReady = true;
        return RunTick::Stepped;
    }

    // The last actuator's surface is in Surface: store it and finish.
    data_.IFStepReady = false;
    data_.IFCurrentActuator += 1;
    if (!data_.Surface.empty() && data_.GridRows == n)
        for (int32_t i = 0; i < n; ++i)
            std::copy(data_.Surface[i], data_.Surface[i] + n,
                      data_.InfluenceFunctions[data_.IFCurrentActuator - 1][i]);
    StopInfluenceFunctions();
    if (local_.Mirror && local_.Mirror->IsValid())
        local_.Mirror->SetAllChannels(kFloorVoltage);
    local_.VoltagesAtFloor = true;
    FillFinishingLines();
    local_.DisplaysValid = true;
    return RunTick::Finished;
}

void DMModelMain::StopInfluenceFunctions() {
    if (!RefreshModel())
        return;
    data_.IFStepReady = false;
    host_.DisableRunTimer();
    if (!data_.IFSavedVoltages.empty()) {
        const int32_t count =
            std::min(static_cast<int32_t>(data_.IFSavedVoltages.size()), local_.ActuatorVoltageCount);
        for (int32_t i = 0; i < count; ++i)
            if (local_.ActuatorVoltages[i] != data_.IFSavedVoltages[i])
                SetVoltage(i + 1, data_.IFSavedVoltages[i]);
        data_.FreeSavedVoltages();
    }
    data_.MirrorParameterChanged = false;
}

void DMModelMain::FillFinishingLines() {
    const DMInfoClass* dm = data_.DmInfo;
    const double limit =
        local_.Mirror && local_.Mirror->IsValid() ? local_.Mirror->GetLimitVoltage() : 0.0;
    const double tension = dm ? dm->Stress_Pa * dm->Thickness_m : 0.0;
    host_.ClearInformation();
    const std::string lines[] = {
        "Finished calculating Influence Functions.",
        "",
        "Max Voltage: " + FormatFloat("0.0", kCeilingVoltage) + " V",
        "Max Average Voltage: " + FormatFloat("0.0", limit) + " V",
        "",
        "Wavelength: " + FormatFloat("0", 1064) + " nm",
        "Tension: " + FormatFloat("0", tension) + " MPa",
        "",
    };
    for (const std::string& line : lines)
        host_.AddInformationLine(line);
    for (const std::string& line : HelpLines())
        host_.AddInformationLine(line);
}

const std::vector<std::string>& DMModelMain::HelpLines() {
    static const std::vector<std::string> lines{
        "-- Use the mirror actuator display",
        "     (the lower-left image) to alter",
        "     the voltages on the mirror.",
        "-- Left-click on an actuator to",
        "     increase its voltage by the",
        "     voltage step size.",
        "-- Right-click on an actuator to ",
        "     decrease its voltage by the",
        "     voltage step size.",
        "-- Use the middle mouse button on",
        "     an actuator to zero its voltage",
        "-- When \"Remove Focus and Piston\" ",
        "     is on, the Focus Far Field slider",
        "     can be used to change where",
        "     the far field focuses.",
        "-- Varnex is best viewed at 1280 x 1024",
        "     screen resolution.",
        "-- Varnex assumes only 80% of the mirror",
        "     is covered by the beam.",
        "-- Snap down means the mirror is snapped",
        "     to the actuators, causing the",
        "     mirror to hold the wrong pattern.",
        "-- Snap down occurs when the overall",
        "     voltage on the mirror is too high.",
        "-- To prevent snap down, lower the",
        "     voltages on your voltage pattern.",
        "-- These mirrors are approximatios.",
        "     Actual manufactured mirror results",
        "     may vary.",
        "-- See the Brendimor web site for updates.",
    };
    return lines;
}

SynthesisStatus DMModelMain::SynthesizeSurface(ForceLaw law) {
    DMInfoClass* dm = RefreshModel();
    if (!dm)
        return SynthesisStatus::NoMirror;
    if (data_.InfluenceFunctions.empty() || dm->Actuators != data_.IFActuatorCount ||
        data_.GridSize != data_.IFGridSize)
        return SynthesisStatus::NoInfluenceFunctions;
    SynthesisStatus status = SynthesisStatus::Done;
    if (data_.MirrorParameterChanged) {
        status = SynthesisStatus::DoneParameterChanged;
        data_.MirrorParameterChanged = false;
    }
    EnsureSurface();
    const int32_t n = data_.GridSize;
    Grid<double>& z = data_.Surface;
    z.Fill(0.0);
    // Each influence function was computed with its own actuator's pad force
    // at the run voltage, so only the voltage ratio scales it: V |V| / Vrun^2
    // or V^2 / Vrun^2. With a membrane electrode V is relative to it, its own
    // function is flat, and the force (V - Vs)^2 pulls whichever is higher,
    // as the direct computation has it.
    const DmActuatorInfoClass* surface = SurfaceElectrode(*dm);
    if (surface && law != ForceLaw::Linear)
        law = ForceLaw::Square;
    const int32_t surfaceIndex = surface ? surface->DisplayIndex : 0;
    const double surfaceVolts = surface ? Voltage(surfaceIndex) : 0.0;
    const double runSquared = data_.IFMaxVoltage * data_.IFMaxVoltage;
    const int32_t count = data_.IFActuatorCount;
    for (int32_t k = 1; k <= count; ++k) {
        if (k == surfaceIndex)
            continue;
        const double V = Voltage(k) - surfaceVolts;
        if (V == 0.0)
            continue;
        const double scale = law == ForceLaw::Linear ? V / data_.IFMaxVoltage
                             : (law == ForceLaw::Square ? V * V : V * std::fabs(V)) / runSquared;
        const Grid<double>& plane = data_.InfluenceFunctions[k - 1];
        for (int32_t i = 0; i < n; ++i) {
            double* row = z[i];
            const double* source = plane[i];
            for (int32_t j = 0; j < n; ++j)
                row[j] += source[j] * scale;
        }
    }
    return status;
}

} // namespace ostrander
