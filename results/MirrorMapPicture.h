#pragma once
// The actuator map of a mirror as the mirror display frame shows it, drawn by
// the same MirrorDisplayClass into one image: the map, the auxiliary box on
// its left when the model has auxiliary actuators, the voltage legend below.
#include "toolkit/Canvas.h"

#include <memory>

namespace ostrander {

class MirrorClass;

// Map box size in pixels; the picture adds the auxiliary box (when the model
// has auxiliary actuators) and the legend strip.
std::unique_ptr<Canvas> DrawMirrorMapPicture(MirrorClass& mirror, int mapWidth = 320,
                                             int mapHeight = 320);

} // namespace ostrander
