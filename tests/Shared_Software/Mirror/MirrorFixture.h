#pragma once
// A temporary device folder with mirror info files written by the tests.
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <atomic>
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
    void SetUp() override {
        static std::atomic<int> counter{0};
        root_ =
            std::filesystem::temp_directory_path() /
            ("ostrander-mirror-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(root_ / "bin");
        std::filesystem::create_directories(root_ / "Devices");
        SetProgramFolder((root_ / "bin").string());
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // Writes Devices/<name> and returns the name as the device scan gives it.
    std::string WriteDevice(const std::string& name, const std::string& text) {
        std::ofstream(root_ / "Devices" / name, std::ios::binary) << text;
        return std::string(DeviceFolderRelative) + name;
    }
    std::string WriteMirror(const std::string& name, const MirrorLayout& layout) {
        return WriteDevice(name, MirrorInfoText(layout));
    }

    std::filesystem::path root_;
};

} // namespace ostrander::testing_support
