#include "Shared_Software/Mirror/MirrorFourierClass.h"

#include <algorithm>
#include <cmath>

namespace ostrander {

MirrorFourierClass::MirrorFourierClass(int actuators, bool /*square*/) : ChannelCount(actuators) {
    if (actuators != 61 && actuators != 62)
        return;
    Valid = true;
    const int n = std::min(actuators, ModeLength);
    for (int mode = 0; mode < ModeCount; ++mode) {
        std::vector<double>& values = Modes[mode];
        values.assign(FourierModeTables[mode], FourierModeTables[mode] + ModeLength);
        double largest = 0;
        for (int i = 0; i < n; ++i)
            largest = std::max(largest, values[i]);
        const double m = largest > 0 ? std::trunc(largest) : 0.0;
        ModeMaximum[mode] = m;
        for (int i = 0; i < n; ++i)
            values[i] = m > 0 ? values[i] / m : 0.0;
    }
}

} // namespace ostrander
