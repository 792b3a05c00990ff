#pragma once
// A device folder of our own mirror files and a session driven by hand: the
// run timer is a flag, each tick is a call. Shared by the engine tests and the
// engine benchmarks.
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/DMModelLocal.h"
#include "model/DMModelMain.h"
#include "model/EngineSession.h"
#include "model/SessionAccess.h"
#include "model/MainData.h"
#include "model/ModelHost.h"
#include "tests/support/TempFolder.h"
#include "toolkit/Paths.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ostrander::testing {

struct PadLayout {
    double x = 0;        // m
    double y = 0;        // m
    double dpad = 1e-3;  // m
    double dcontact = 0; // m; 0 takes dpad
    bool surface = false;
    bool auxiliary = false;
};

struct ModelLayout {
    double diameter = 15e-3;
    double thickness = 1e-6;
    double separation = 40e-6;
    double stress = 100e6;
    double limitVoltage = 300;
    int actuatorType = 0;
    std::string mapPrefix = "NA";
    std::vector<PadLayout> pads;
    // Extra key lines for the actuator sections, by pad (e.g. "DcontactY_m=...").
    std::vector<std::string> extra;
    // GridSamples in the model section; 0 leaves the key out.
    int gridSamples = 0;
};

inline std::string MirrorText(const ModelLayout& layout) {
    std::ostringstream out;
    out.precision(17);
    out << "[General]\nFileType=Mirror Info\nDeviceName=Test mirror\nMapPrefix=" << layout.mapPrefix
        << "\nLimitVoltage=" << layout.limitVoltage
        << "\n[DM Model]\nDiameter_m=" << layout.diameter << "\nActuators=" << layout.pads.size()
        << "\nThickness_m=" << layout.thickness << "\nSeparation_m=" << layout.separation
        << "\nStress_Pa=" << layout.stress
        << "\nActuatorType_circ_rect_ring=" << layout.actuatorType << "\n";
    if (layout.gridSamples != 0)
        out << "GridSamples=" << layout.gridSamples << "\n";
    for (std::size_t k = 0; k < layout.pads.size(); ++k) {
        const PadLayout& p = layout.pads[k];
        out << "[Actuator " << k + 1 << "]\nIndex=" << k << "\nX=" << p.x << "\nY=" << p.y
            << "\nDpad_m=" << p.dpad << "\n";
        if (p.dcontact > 0)
            out << "Dcontact_m=" << p.dcontact << "\n";
        if (p.surface)
            out << "Surface=1\n";
        if (p.auxiliary)
            out << "Auxilary=1\n";
        if (k < layout.extra.size())
            out << layout.extra[k] << "\n";
    }
    return out.str();
}

// 1 + 6 + 12 + ... pads on a hexagonal grid, `rings` rings around the centre.
inline std::vector<PadLayout> HexPads(int rings, double pitch, double dpad) {
    std::vector<PadLayout> pads{{0, 0, dpad}};
    for (int ring = 1; ring <= rings; ++ring) {
        const double dirs[6][2] = {
            {1, 0},  {0.5, std::sqrt(3.0) / 2},   {-0.5, std::sqrt(3.0) / 2},
            {-1, 0}, {-0.5, -std::sqrt(3.0) / 2}, {0.5, -std::sqrt(3.0) / 2}};
        for (int side = 0; side < 6; ++side) {
            const double* a = dirs[side];
            const double* b = dirs[(side + 2) % 6];
            for (int step = 0; step < ring; ++step) {
                const double x = pitch * (ring * a[0] + step * b[0]);
                const double y = pitch * (ring * a[1] + step * b[1]);
                pads.push_back({x, y, dpad});
            }
        }
    }
    return pads;
}

// A temporary program folder with ../Devices beside it; restores the program
// folder when it goes.
class TempDeviceFolder : public testing_support::TempProgramFolder {
public:
    TempDeviceFolder() : TempProgramFolder("ostrander-model") {}
    // Writes Devices/<name> and returns the name as the program uses it.
    std::string Write(const std::string& name, const std::string& text) const {
        return WriteDevice(name, text);
    }
};

// The session with its record, working state and a recording host; no
// dialog service is installed, since nothing below the windows shows one.
class EngineHarness {
public:
    // Selects the mirror of a device file as the setup window does; false when
    // it is not a usable mirror.
    bool Select(const std::string& fileName) {
        return session.SelectMirror(0, fileName) == MirrorSelection::Selected;
    }
    bool Select(const ModelLayout& layout, const std::string& name = "test.ini") {
        return Select(devices.Write(name, MirrorText(layout)));
    }

    // Ticks the run timer until it stops; returns the number of ticks.
    int RunToEnd(int maxTicks = 10000) {
        int ticks = 0;
        while (host.IsRunTimerEnabled() && ticks < maxTicks) {
            session.Tick();
            ++ticks;
        }
        return ticks;
    }

    // Selects and runs the influence functions to the end, as loading a
    // mirror does (display number 1 at the limit voltage sets the run voltage).
    bool LoadAndRun(const ModelLayout& layout) {
        if (!Select(layout))
            return false;
        if (session.StartInfluenceRun() != RunStart::Started)
            return false;
        return session.RunToEnd() == RunTick::Finished && local.DisplaysValid;
    }

    TempDeviceFolder devices;
    MainData data;
    DMModelLocal local;
    RecordingModelHost host;
    EngineSession session{data, local, host};
    DMModelMain& engine = SessionAccess::Engine(session);
};

} // namespace ostrander::testing
