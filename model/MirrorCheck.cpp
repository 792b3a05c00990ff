#include "model/MirrorCheck.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/EngineGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ostrander {

namespace {

// A length or stress that the membrane formulas can use: finite, above a
// floor below which their squares and quotients leave the double range.
bool Usable(double value, double lowest) {
    return std::isfinite(value) && value >= lowest;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The pad lies at least partly on the membrane.
bool OnMembrane(const DmActuatorInfoClass& pad, const DMInfoClass& model) {
    const double rx = model.Diameter_m / 2;
    const double ry = (model.Y_Distance_m > 0 ? model.Y_Distance_m : model.Diameter_m) / 2;
    if (pad.Shape == ActuatorShape::Ring || pad.Shape == ActuatorShape::QuarterRing)
        return pad.Rinner < rx;
    const double half = std::max(pad.Dpad_m, pad.DpadY_m) / 2;
    if (model.Square)
        return std::fabs(pad.X) - half < rx && std::fabs(pad.Y) - half < ry;
    return std::hypot(pad.X, pad.Y) - half < rx;
}

} // namespace

std::string MirrorModelProblem(const DMInfoClass& model) {
    // A nanometre is far below any real membrane's thickness or gap and far
    // above the lengths whose powers underflow.
    constexpr double kShortest = 1e-9;
    if (!Usable(model.Diameter_m, kShortest))
        return "Diameter_m is " + Number(model.Diameter_m) +
               "; the membrane diameter must be a positive length in metres.";
    // A square membrane without a usable Y extent takes the diameter.
    if (model.Square && !std::isfinite(model.Y_Distance_m))
        return "Y_Distance_m is " + Number(model.Y_Distance_m) +
               "; the membrane's extent along Y must be a length in metres.";
    if (!Usable(model.Thickness_m, kShortest))
        return "Thickness_m is " + Number(model.Thickness_m) +
               "; the membrane thickness must be a positive length in metres.";
    if (!Usable(model.Separation_m, kShortest))
        return "Separation_m is " + Number(model.Separation_m) +
               "; the electrode gap must be a positive length in metres (1 nm at least).";
    if (!std::isfinite(model.Stress_Pa) || !(model.Stress_Pa > 0))
        return "Stress_Pa is " + Number(model.Stress_Pa) +
               "; the membrane is held by its tension, so the stress must be positive.";
    const int type = model.ActuatorType_circ_rect_ring;
    if (type < 0 || type > 3)
        return "ActuatorType_circ_rect_ring is " + std::to_string(type) +
               "; it must be 0 (circular), 1 (rectangular), 2 (ring) or 3 (quarter ring).";
    if (model.GridSamples != 0) {
        if (const std::string problem = EngineGridSizeProblem(model.GridSamples); !problem.empty())
            return "GridSamples is " + std::to_string(model.GridSamples) + "; " + problem + ".";
    }
    // Every declared actuator gets a plane of the influence functions; a
    // count far above the pads described would only make planes of zeros.
    if (model.Actuators > 2 * model.ActuatorCount + 8)
        return "the file declares Actuators=" + std::to_string(model.Actuators) + " but describes " +
               std::to_string(model.ActuatorCount) +
               " actuator sections; set Actuators to the number of pads.";
    bool anyPad = false, anyOnMembrane = false;
    for (const DmActuatorInfoClass* a = model.ActuatorList.first; a; a = a->next) {
        if (a->Surface || a->Auxilary)
            continue;
        if (!std::isfinite(a->X) || !std::isfinite(a->Y))
            return "actuator section [" + a->SectionName + "] has no finite position X, Y.";
        anyPad = true;
        anyOnMembrane = anyOnMembrane || OnMembrane(*a, model);
    }
    if (anyPad && !anyOnMembrane)
        return "no actuator pad lies on the membrane (of diameter " + Number(model.Diameter_m) +
               " m); check the pads' X and Y, which are metres from the centre.";
    return {};
}

} // namespace ostrander
