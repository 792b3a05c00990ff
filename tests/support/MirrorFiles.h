#pragma once
// Mirror info files for the tests of the map (pictures and frames), written into a temporary device
// folder that becomes ../Devices of the program folder.
#include "support/TempFolder.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace ostrander::frames_test {

struct Pad {
    double x = 0, y = 0;
    bool auxiliary = false;
};

// A round mirror of hexagonal pads (Shape 0) with the given pads, in model
// index order; auxiliary pads use y as their row.
inline std::string MirrorText(const std::vector<Pad>& pads, double diameter = 0.01,
                              double limit = 200, double pad = 0.0014) {
    std::string t = "[General]\nFileType=Mirror Info\nDeviceName=Test mirror\nMapPrefix=T\n"
                    "LimitVoltage=" +
                    std::to_string(limit) + "\n[DM Model]\nDiameter_m=" + std::to_string(diameter) +
                    "\nActuators=" + std::to_string(pads.size()) + "\nShape=0\n";
    for (std::size_t i = 0; i < pads.size(); ++i) {
        t += "[Pad " + std::to_string(i) + "]\nIndex=" + std::to_string(i) +
             "\nX=" + std::to_string(pads[i].x) + "\nY=" + std::to_string(pads[i].y) +
             "\nDpad_m=" + std::to_string(pad) + "\nDpadY_m=" + std::to_string(pad) + "\n";
        if (pads[i].auxiliary)
            t += "Auxilary=1\n";
    }
    return t;
}

// 37 pads on a hexagonal grid of pitch 1.5 mm: the centre and three rings.
inline std::vector<Pad> HexPads37() {
    std::vector<Pad> pads;
    const double pitch = 0.0015;
    for (int q = -3; q <= 3; ++q)
        for (int r = -3; r <= 3; ++r) {
            const int s = -q - r;
            if (std::abs(s) > 3)
                continue;
            pads.push_back({pitch * (q + r / 2.0), pitch * r * std::sqrt(3.0) / 2});
        }
    return pads;
}

// A program folder whose ../Devices the tests write their mirrors into.
class DeviceFolder : public ::testing::Test {
protected:
    // Writes Devices/<name>; returns the name as the device scan gives it.
    std::string WriteDevice(const std::string& name, const std::string& text) {
        return folder_.WriteDevice(name, text);
    }

    testing_support::TempProgramFolder folder_{"ostrander-frames"};
};

} // namespace ostrander::frames_test
