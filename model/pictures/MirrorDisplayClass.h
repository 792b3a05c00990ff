#pragma once
// Lays out and paints the actuator map of a mirror: a cream background with
// the mirror outline, one ActuatorDisplayClass per actuator, the auxiliary
// actuators as bars in their own box, and the voltage legend, each on its own
// canvas. The mirror display frame draws its paint boxes with it and the
// batch tool its picture of the map.
#include "model/pictures/ActuatorDisplayClass.h"
#include "Shared_Software/Lists/tl_list.h"
#include "toolkit/Canvas.h"

#include <memory>
#include <vector>

namespace ostrander {

// The actuator map's layout, in the window and in the map picture of the
// result files: the auxiliary box's width, the splitters between the panels,
// the legend's height (pixels) and the panel colour between them.
inline constexpr int kMapAuxiliaryWidth = 40;
inline constexpr int kMapSplitter = 3;
inline constexpr int kMapLegendHeight = 17;
inline constexpr TColor kMapPanelColour = 0xF0F0F0;

class DMInfoClass;

class MirrorDisplayClass {
public:
    // The background of the map.
    static constexpr TColor Cream = 0xF0FBFF;

    // The canvases (map, auxiliary box, legend strip) are not owned and must
    // outlive this object, as must the model whose actuator descriptions the
    // map reads at every paint. Lays the map out for the map canvas's size.
    MirrorDisplayClass(Canvas& mirrorBox, Canvas& auxiliaryBox, Canvas& legendBox,
                       const DMInfoClass* model, double lowest, double highest);
    ~MirrorDisplayClass();
    MirrorDisplayClass(const MirrorDisplayClass&) = delete;
    MirrorDisplayClass& operator=(const MirrorDisplayClass&) = delete;

    // Works out scale and outline for the map canvas's present size, rebuilds
    // the actuator drawings, paints them and the legend (lowest..highest volts).
    void Layout(const DMInfoClass* model, double lowest, double highest);
    // Paints every actuator, after the background and outline when asked.
    void Paint(bool background);
    // The actuator drawn on the map whose centre is nearest to (x, y) (the
    // auxiliary ones are drawn in their own box); the earlier entry wins a
    // tie; null when the map shows none.
    // A pad that holds the point wins over one whose centre is nearer (the
    // segments of a quarter ring share one centre).
    ActuatorDisplayClass* FindNearest(int x, int y) const;
    // The pad on the map that holds (x, y), or null.
    ActuatorDisplayClass* FindAt(int x, int y) const;
    // The auxiliary actuator whose bar's row lies under (x, y) in the
    // auxiliary box, or null.
    ActuatorDisplayClass* FindNearestAuxiliary(int x, int y) const;

    Canvas* MirrorBox;
    Canvas* AuxiliaryBox;
    Canvas* LegendBox;
    Rect Bounds;        // of the mirror box at the last layout
    Point Centre;       // of Bounds
    double Scale = 1.0; // pixels per metre
    ActuatorShape ModelShape = ActuatorShape::Circular;
    Rect Outline; // the mirror outline in pixels
    // One entry per model index, in that order; the entries are owned by
    // `entries_`, the list only links them.
    ListHead<ActuatorDisplayClass> ListOfActuators;
    int ActuatorCount = 0;

private:
    void FreeActuators();

    std::vector<std::unique_ptr<ActuatorDisplayClass>> entries_;
};

} // namespace ostrander
