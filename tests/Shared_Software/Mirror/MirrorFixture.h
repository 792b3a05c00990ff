#pragma once
// A temporary device folder with mirror info files written by the tests.
#include "support/TempFolder.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace ostrander::testing_support {

// Description of a simple mirror: actuators with Index i, display number
// i + 1 (so channel i) unless the map renumbers them.
struct MirrorLayout {
    int actuators = 4;                 // sections written
    std::optional<int> modelActuators; // the Actuators key; default: actuators
    double limitVoltage = 100;         // in "General"
    int surfaceIndex = -1;             // Index of the surface electrode, or none
    std::string fileType = "Mirror Info";
    std::string mapPrefix = "T";
    bool skipDisplayIndex2 = false; // the actuator with Index 1 gets DisplayIndex 100
};

inline std::string MirrorInfoText(const MirrorLayout& s) {
    std::string t = "[General]\nFileType=" + s.fileType +
                    "\nDeviceName=Test mirror\nMapPrefix=" + s.mapPrefix +
                    "\nLimitVoltage=" + std::to_string(s.limitVoltage) + "\n";
    t += "[DM Model]\nDiameter_m=0.015\nActuators=" +
         std::to_string(s.modelActuators.value_or(s.actuators)) + "\n";
    for (int i = 0; i < s.actuators; ++i) {
        t += "[Actuator " + std::to_string(i) + "]\nIndex=" + std::to_string(i) +
             "\nX=" + std::to_string(0.001 * i) + "\n";
        if (s.skipDisplayIndex2 && i == 1)
            t += "DisplayIndex=100\n";
        if (i == s.surfaceIndex)
            t += "Surface=1\n";
    }
    return t;
}

class DeviceFolderTest : public ::testing::Test {
protected:
    // Writes Devices/<name> and returns the name as the device scan gives it.
    std::string WriteDevice(const std::string& name, const std::string& text) {
        return folder_.WriteDevice(name, text);
    }
    std::string WriteMirror(const std::string& name, const MirrorLayout& layout) {
        return WriteDevice(name, MirrorInfoText(layout));
    }

    TempProgramFolder folder_{"ostrander-mirror"};
    const std::filesystem::path root_ = folder_.Path();
};

} // namespace ostrander::testing_support
