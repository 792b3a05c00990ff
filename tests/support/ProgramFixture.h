#pragma once
// A temporary program folder with ../Devices beside it, for the tests of the
// windows, and the text of small mirror info files.
#include "support/TempFolder.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace ostrander::program_test {

struct MirrorFile {
    std::string deviceName = "Test seven";
    double limitVoltage = 150;
    double separation_m = 3.5e-5;
    double stress_Pa = 2e6;
    // Extra lines for section "General" (e.g. "Creator=..."), each ending in "\n".
    std::string general;
};

// Seven round pads (the centre and a ring of six) under a 10 mm membrane,
// pad 1 at the centre.
inline std::string MirrorText(const MirrorFile& f) {
    std::string t = "[General]\nFileType=Mirror Info\nDeviceName=" + f.deviceName +
                    "\nMapPrefix=T7\nLimitVoltage=" + std::to_string(f.limitVoltage) + "\n" +
                    f.general +
                    "[DM Model]\nDiameter_m=0.01\nActuators=7\nThickness_m=1e-06\n"
                    "Separation_m=" +
                    std::to_string(f.separation_m) + "\nStress_Pa=" + std::to_string(f.stress_Pa) +
                    "\nShape=0\nActuatorType_circ_rect_ring=0\n";
    const double pitch = 0.0025;
    for (int i = 0; i < 7; ++i) {
        const double angle = (i - 1) * M_PI / 3;
        const double x = i == 0 ? 0.0 : pitch * std::cos(angle);
        const double y = i == 0 ? 0.0 : pitch * std::sin(angle);
        t += "[Pad " + std::to_string(i + 1) + "]\nIndex=" + std::to_string(i) +
             "\nX=" + std::to_string(x) + "\nY=" + std::to_string(y) +
             "\nDpad_m=0.0022\nDpadY_m=0.0022\n";
    }
    return t;
}

class ProgramFolder : public ::testing::Test {
protected:
    void TearDown() override { ClearDeviceFolderChoice(); }
    void WriteDevice(const std::string& name, const std::string& text) {
        folder_.WriteDevice(name, text);
    }
    // Writes Devices/<file>: the seven-pad mirror of MirrorText named name.
    void WriteMirror(const std::string& file, const std::string& name) {
        MirrorFile mirror;
        mirror.deviceName = name;
        WriteDevice(file, MirrorText(mirror));
    }
    // The same mirror at any path, its folder made if need be.
    static void WriteMirrorAt(const std::filesystem::path& file, const std::string& name) {
        std::filesystem::create_directories(file.parent_path());
        MirrorFile mirror;
        mirror.deviceName = name;
        std::ofstream(file) << MirrorText(mirror);
    }

    testing_support::TempProgramFolder folder_{"ostrander-program"};
    const std::filesystem::path root_ = folder_.Path();
};

// Runs the event loop (timers, repaints) until done() or the time is up.
template <class Done> bool WaitFor(Done done, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace ostrander::program_test
