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

} // namespace ostrander
