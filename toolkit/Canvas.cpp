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

int Canvas::DeviceEdgeAt(int x, double ratio) {
    if (ratio == 1.0)
        return x;
    // Rounded to the nearest device edge, and held where no arithmetic on
    // device coordinates can overflow.
    constexpr double kLimit = 1 << 29;
    const double d = std::floor(x * ratio + 0.5);
    if (!(d > -kLimit))
        return -static_cast<int>(kLimit);
    if (d > kLimit)
        return static_cast<int>(kLimit);
    return static_cast<int>(d);
}

} // namespace ostrander
