#include "model/pictures/MirrorDisplayClass.h"

#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "toolkit/IntegerConversion.h"

#include <algorithm>

namespace ostrander {

MirrorDisplayClass::MirrorDisplayClass(Canvas& mirrorBox, Canvas& auxiliaryBox, Canvas& legendBox,
                                       const DMInfoClass* model, double lowest, double highest)
    : MirrorBox(&mirrorBox), AuxiliaryBox(&auxiliaryBox), LegendBox(&legendBox) {
    Layout(model, lowest, highest);
}

MirrorDisplayClass::~MirrorDisplayClass() = default;

void MirrorDisplayClass::FreeActuators() {
    ListOfActuators.first = ListOfActuators.last = nullptr;
    entries_.clear();
    ActuatorCount = 0;
}

void MirrorDisplayClass::Layout(const DMInfoClass* model, double lowest, double highest) {
    if (!model)
        return;
    ModelShape = model->Shape;
    Canvas& map = *MirrorBox;
    Bounds = {0, 0, map.Width(), map.Height()};
    Centre = {(Bounds.left + Bounds.right) / 2, (Bounds.top + Bounds.bottom) / 2};

    double extent = std::max(model->XMax - model->XMin, model->YMax - model->YMin);
    if (extent < model->Diameter_m)
        extent = model->Diameter_m;
    extent *= 1.05;
    if (extent > 0)
        Scale = std::min(Bounds.Width(), Bounds.Height()) / extent;

    const int h = TruncToInt(model->Diameter_m * 0.5 * Scale + 0.5);
    // Rings, quarter rings (and codes beyond) take their height from Y_Distance_m.
    const int v = ModelShape > ActuatorShape::Rectangular
                      ? TruncToInt(model->Y_Distance_m * 0.5 * Scale + 0.5)
                      : h;
    Outline = {Centre.x - h, Centre.y - v, Centre.x + h, Centre.y + v};

    FreeActuators();
    for (int i = 0; i < model->ActuatorCount; ++i) {
        entries_.push_back(std::make_unique<ActuatorDisplayClass>(
            model->FindByIndex(i), Centre.x, Centre.y, Scale, map, *AuxiliaryBox));
        ActuatorDisplayClass* entry = entries_.back().get();
        LLBACK(ListOfActuators, entry);
        if (ListOfActuators.last != entry) {
            entries_.pop_back(); // refused by the list (it warned)
            continue;
        }
        ++ActuatorCount;
    }

    Paint(true);
    DrawVoltageLegend(*LegendBox, lowest, highest);
}

void MirrorDisplayClass::Paint(bool background) {
    if (background) {
        Canvas& map = *MirrorBox;
        CanvasLock lock(map);
        map.SetBrushStyle(BrushStyle::Solid);
        map.SetBrushColor(Cream);
        map.Rectangle(Bounds);
        map.SetBrushColor(clWhite);
        if (ModelShape == ActuatorShape::Rectangular || ModelShape == ActuatorShape::QuarterRing)
            map.Rectangle(Outline);
        else if (ModelShape == ActuatorShape::Circular || ModelShape == ActuatorShape::Ring)
            map.Ellipse(Outline.left, Outline.top, Outline.right, Outline.bottom);
    }
    for (ActuatorDisplayClass* a = ListOfActuators.first; a; a = a->next)
        a->Paint();
}

ActuatorDisplayClass* MirrorDisplayClass::FindAt(int x, int y) const {
    for (ActuatorDisplayClass* a = ListOfActuators.first; a; a = a->next)
        if (a->Contains(x, y))
            return a;
    return nullptr;
}

ActuatorDisplayClass* MirrorDisplayClass::FindNearest(int x, int y) const {
    if (ActuatorDisplayClass* under = FindAt(x, y))
        return under;
    ActuatorDisplayClass* best = nullptr;
    double bestDistance = 0;
    for (ActuatorDisplayClass* a = ListOfActuators.first; a; a = a->next) {
        // Auxiliary actuators are drawn in their own box, not on the map.
        if (a->IsAuxiliary())
            continue;
        const double d = a->DistanceTo(x, y);
        if (!best || d < bestDistance) {
            best = a;
            bestDistance = d;
        }
    }
    return best;
}

ActuatorDisplayClass* MirrorDisplayClass::FindNearestAuxiliary(int, int y) const {
    if (y < 0)
        return nullptr;
    const int row = y / ActuatorDisplayClass::AuxiliaryRowHeight;
    for (ActuatorDisplayClass* a = ListOfActuators.first; a; a = a->next)
        if (a->IsAuxiliary() && a->AuxiliaryRow() == row)
            return a;
    return nullptr;
}

} // namespace ostrander
