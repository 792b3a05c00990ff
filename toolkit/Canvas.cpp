#include "toolkit/Canvas.h"

#include <cmath>

namespace ostrander {

void Canvas::SetFontSize(int points) {
    fontSize_ = points;
    fontHeight_ = -static_cast<int>(std::lround(points * 96.0 / 72.0));
}

void Canvas::SetFontHeight(int pixels) {
    fontHeight_ = pixels;
    fontSize_ = -static_cast<int>(std::lround(pixels * 72.0 / 96.0));
}

} // namespace ostrander
