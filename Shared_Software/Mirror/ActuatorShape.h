#pragma once
// Shape codes of actuator pads as mirror info files give them: key "Shape" of
// the DM model and of each actuator, one signed byte. The model's
// ActuatorType_circ_rect_ring, the default of Shape, counts the same way.
#include <cstdint>

namespace ostrander {

// A code outside the named ones is kept as read: such an actuator is neither
// drawn on the map nor given a pad in the membrane model.
enum class ActuatorShape : std::int8_t {
    Circular = 0, // a disc; drawn as a hexagon on the actuator map
    Rectangular = 1,
    Ring = 2,
    QuarterRing = 3,
};

// The shape's name in the files and the Python module ("circular",
// "rectangular", "ring", "quarter_ring"; "unknown" for another code).
inline const char* ActuatorShapeName(ActuatorShape shape) {
    switch (shape) {
    case ActuatorShape::Circular:
        return "circular";
    case ActuatorShape::Rectangular:
        return "rectangular";
    case ActuatorShape::Ring:
        return "ring";
    case ActuatorShape::QuarterRing:
        return "quarter_ring";
    }
    return "unknown";
}

} // namespace ostrander
