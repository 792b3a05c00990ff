#pragma once
// The actuator map of a mirror as the mirror display frame paints it (cream
// background, mirror outline, each actuator in the colour of its voltage with
// its label and voltage text, auxiliary actuators as bars in a box on the
// left, the voltage legend underneath), drawn into one image.
#include <QImage>

namespace ostrander {

class MirrorClass;

// Map box size in pixels; the picture adds the auxiliary box (when the model
// has auxiliary actuators) and the legend strip.
QImage DrawMirrorMapPicture(MirrorClass& mirror, int mapWidth = 320, int mapHeight = 320);

} // namespace ostrander
