#pragma once
// Conversions of doubles to int that never overflow.
#include <climits>
#include <cmath>

namespace ostrander {

// Truncation toward zero into an int, saturating; NaN gives 0.
inline int TruncToInt(double x) {
    if (std::isnan(x))
        return 0;
    if (x >= double(INT_MAX))
        return INT_MAX;
    if (x <= double(INT_MIN))
        return INT_MIN;
    return static_cast<int>(x);
}

} // namespace ostrander
