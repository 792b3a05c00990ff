#include "model/MembraneGeometry.h"

#include "Shared_Software/Mirror/DMInfoClass.h"

#include <cmath>

namespace ostrander {

std::string MembraneGeometry::Problem() const {
    if (!(diameter_m > 0) || !std::isfinite(diameter_m))
        return "The membrane diameter must be positive.";
    if (square && (!(yExtent_m > 0) || !std::isfinite(yExtent_m)))
        return "The membrane's extent along Y must be positive.";
    if (!(Tension() > 0) || !std::isfinite(Tension()))
        return "The membrane stress and thickness must be positive.";
    if (!(separation_m > 0) || !std::isfinite(separation_m))
        return "The electrode separation must be positive.";
    return {};
}

MembraneGeometry MembraneGeometryFromModel(const DMInfoClass& dm) {
    MembraneGeometry g;
    g.diameter_m = dm.Diameter_m;
    g.yExtent_m = dm.Y_Distance_m > 0 ? dm.Y_Distance_m : dm.Diameter_m;
    g.square = dm.Square;
    g.stress_Pa = dm.Stress_Pa;
    g.thickness_m = dm.Thickness_m;
    g.separation_m = dm.Separation_m;
    const int count = dm.Actuators > 0 ? dm.Actuators : 0;
    g.pads.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const DmActuatorInfoClass* a = dm.FindByIndex(k);
        if (!a)
            continue;
        if (a->Surface) {
            if (g.surfaceIndex < 0)
                g.surfaceIndex = k;
            continue;
        }
        if (a->Auxilary)
            continue; // its Y is a row of the auxiliary box, not a place on the membrane
        MembranePad& p = g.pads[static_cast<std::size_t>(k)];
        p.x = a->X;
        p.y = a->Y;
        switch (a->Shape) {
        case ActuatorShape::Circular:
            p.shape = PadShape::Disc;
            p.width = a->Dpad_m;
            break;
        case ActuatorShape::Rectangular:
            p.shape = PadShape::Rectangle;
            p.width = a->Dpad_m;
            p.height = a->DpadY_m > 0 ? a->DpadY_m : a->Dpad_m;
            break;
        case ActuatorShape::Ring:
        case ActuatorShape::QuarterRing:
            p.shape = a->Shape == ActuatorShape::Ring ? PadShape::Ring : PadShape::QuarterRing;
            p.innerRadius = a->Rinner > 0 ? a->Rinner : 0.0;
            p.outerRadius = a->Router;
            break;
        default:
            break;
        }
        // A pad of no size pulls on nothing.
        const bool empty = (p.shape == PadShape::Disc && !(p.width > 0)) ||
                           (p.shape == PadShape::Rectangle && !(p.width > 0 && p.height > 0)) ||
                           ((p.shape == PadShape::Ring || p.shape == PadShape::QuarterRing) &&
                            !(p.outerRadius > p.innerRadius));
        if (empty || !std::isfinite(p.x) || !std::isfinite(p.y))
            p = MembranePad{};
    }
    return g;
}

std::vector<double> VoltagesByModelIndex(const DMInfoClass& dm,
                                         const std::function<double(int displayIndex)>& voltageOf) {
    const int count = dm.Actuators > 0 ? dm.Actuators : 0;
    std::vector<double> volts(static_cast<std::size_t>(count), 0.0);
    for (int k = 0; k < count; ++k)
        if (const DmActuatorInfoClass* a = dm.FindByIndex(k))
            volts[static_cast<std::size_t>(k)] = voltageOf(a->DisplayIndex);
    return volts;
}


} // namespace ostrander
