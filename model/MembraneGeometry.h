#pragma once
// What the exact membrane model needs to know about a mirror, as plain
// values: the membrane (size, tension, gap), the electrode pads in model-index
// order and the membrane's own electrode; and the engine grid it answers on.
// Lengths in metres, stresses in pascals.
#include "model/EngineGrid.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ostrander {

class DMInfoClass;

enum class PadShape {
    None,        // no pad on the membrane (missing section, the surface electrode, auxiliary)
    Disc,        // diameter `width`
    Rectangle,   // `width` along X, `height` along Y
    Ring,        // between `innerRadius` and `outerRadius` about the centre
    QuarterRing, // the quadrant of that ring on the side given by the signs of x and y
};

struct MembranePad {
    PadShape shape = PadShape::None;
    double x = 0; // centre (quarter ring: the corner its quadrant starts from), m
    double y = 0;
    double width = 0;  // disc diameter or rectangle side along X, m
    double height = 0; // rectangle side along Y, m
    double innerRadius = 0;
    double outerRadius = 0;
};

struct MembraneGeometry {
    double diameter_m = 0; // round membrane: diameter; square: side along X
    double yExtent_m = 0;  // square membrane: side along Y
    bool square = false;   // clamped on a rectangle instead of a circle
    double stress_Pa = 0;
    double thickness_m = 0;
    double separation_m = 0; // electrode gap
    // One entry per model index 0..Actuators-1 (the order of the influence functions).
    std::vector<MembranePad> pads;
    // Model index of the membrane's own electrode, or -1.
    int surfaceIndex = -1;

    double Tension() const { return stress_Pa * thickness_m; } // N/m
    // Empty when the values describe a membrane that can be solved; else why not.
    std::string Problem() const;
};

// Reads the membrane and the pads from a loaded DM model. A pad's shape is
// the actuator's own Shape code (0 disc, 1 rectangle, 2 ring, 3 quarter ring);
// the pad is the electrode (`Dpad_m`, `DpadY_m`, `Rinner`, `Router`), not the
// contact area. A rectangle without `DpadY_m` is square. The surface
// electrode, auxiliary actuators and unknown shape codes carry no pad.
MembraneGeometry MembraneGeometryFromModel(const DMInfoClass& dm);

// Voltages by model index (what the exact model takes) from the voltage of
// each display number (what the mirror object gives): entry k is
// voltageOf(DisplayIndex of the actuator with Index k), 0 V where no actuator
// has that index.
std::vector<double> VoltagesByModelIndex(const DMInfoClass& dm,
                                         const std::function<double(int displayIndex)>& voltageOf);


} // namespace ostrander
