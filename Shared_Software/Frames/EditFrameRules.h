#pragma once
// Rules shared by the numeric edit frames, kept apart from the widgets.
#include "toolkit/IntegerConversion.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace ostrander {

// A value outside min..max becomes the other end with wrap on, the near end
// with wrap off.
template <class T> T ClampOrWrap(T x, T min, T max, bool wrap) {
    if (x < min)
        return wrap ? max : min;
    if (x > max)
        return wrap ? min : max;
    return x;
}

// a + b for ints, saturating instead of overflowing.
inline int SaturatingAdd(int a, long long b) {
    return static_cast<int>(std::clamp<long long>(a + b, INT_MIN, INT_MAX));
}

// The pending colour of an edit box whose typed entry is not yet taken over.
inline constexpr int PendingEditColour = 0xC0DCC0;

} // namespace ostrander
