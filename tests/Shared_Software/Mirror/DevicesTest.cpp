// The shipped device folder: every mirror is listed, loads completely and has
// physically sensible values.
#include "Shared_Software/Mirror/InfoFileListClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"

#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace ostrander {
namespace {

struct Expected {
    int actuators;
    int type;
};
const std::map<std::string, Expected> kShipped = {
    {"Hex 37 (15 mm)", {37, 0}},           {"Hex 61 + membrane (25 mm)", {62, 0}},
    {"Square 36 (20 mm)", {36, 1}},        {"Small 9 (10 mm)", {9, 0}},
    {"Hex 19 (12 mm)", {19, 0}},           {"Ring 7 (12 mm)", {7, 2}},
    {"Quarter rings 16 (20 mm)", {16, 3}},
};

class ShippedDevices : public testing::Test {
protected:
    // The repository's tests/ folder stands in for the program's folder, so
    // "..\Devices\" is the repository's Devices/.
    void SetUp() override { SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests"); }
};

TEST_F(ShippedDevices, ScanListsEveryMirrorAndEachLoadsCompletely) {
    InfoFileListClass list("Mirror Info");
    ASSERT_TRUE(list.Scan("..\\Devices\\", ".ini"));
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.GetDeviceName(i));
    std::vector<std::string> wanted;
    for (const auto& [name, e] : kShipped)
        wanted.push_back(name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, wanted);

    for (int i = 0; i < list.Count(); ++i) {
        SCOPED_TRACE(list.GetPath(i));
        const Expected& e = kShipped.at(list.GetDeviceName(i));
        MirrorInfoClass info(list.GetPath(i));
        ASSERT_TRUE(info.IsValid());
        ASSERT_TRUE(info.Model->IsValid());
        EXPECT_EQ(info.DeviceName, list.GetDeviceName(i));
        EXPECT_EQ(info.Model->Actuators, e.actuators);
        EXPECT_EQ(info.Model->ActuatorCount, e.actuators);
        EXPECT_EQ(info.Model->ActuatorType_circ_rect_ring, e.type);
        EXPECT_TRUE(FileExists(info.MapFileName)) << info.MapFileName;
        // Its map lists every actuator once: nothing to warn about.
        EXPECT_TRUE(info.Model->MapReport.read);
        EXPECT_TRUE(info.Model->MapReport.Clean())
            << (MapProblemLines(info.MapFileName, info.Model->MapReport).empty()
                    ? std::string()
                    : MapProblemLines(info.MapFileName, info.Model->MapReport).front());

        // Index, display number and channel each run over 0..n-1 (1..n) once.
        const int n = e.actuators;
        std::vector<int> display = info.DisplayIndexByIndex, all(static_cast<std::size_t>(n));
        std::iota(all.begin(), all.end(), 1);
        std::sort(display.begin(), display.end());
        EXPECT_EQ(display, all);
        for (int k = 0; k < n; ++k) {
            ASSERT_NE(info.Model->FindByIndex(k), nullptr) << k;
            ASSERT_NE(info.Model->FindByChannel(k), nullptr) << k;
        }

        // The first line says what the file models.
        std::ifstream in(ProgramPath(list.GetPath(i)));
        std::string first;
        std::getline(in, first);
        EXPECT_EQ(first.rfind("; ", 0), 0u) << first;
    }
}

TEST_F(ShippedDevices, ValuesArePhysicallySensible) {
    InfoFileListClass list("Mirror Info");
    list.Scan("..\\Devices\\", ".ini");
    ASSERT_GT(list.Count(), 0);
    for (int i = 0; i < list.Count(); ++i) {
        SCOPED_TRACE(list.GetPath(i));
        MirrorInfoClass info(list.GetPath(i));
        const DMInfoClass& m = *info.Model;
        EXPECT_GE(m.Diameter_m, 10e-3);
        EXPECT_LE(m.Diameter_m, 30e-3);
        EXPECT_GE(m.Thickness_m, 0.5e-6);
        EXPECT_LE(m.Thickness_m, 1e-6);
        EXPECT_GE(m.Separation_m, 20e-6);
        EXPECT_LE(m.Separation_m, 70e-6);
        EXPECT_GE(m.Stress_Pa, 10e6);
        EXPECT_LE(m.Stress_Pa, 1000e6);
        EXPECT_GE(info.LimitVoltage, 100);
        EXPECT_LE(info.LimitVoltage, 250);

        // Peak deflection of the largest pad alone at the limit voltage, from
        // the closed form of a tensioned membrane pulled on a disc: the pad
        // force F = eps0 pi (Dpad/2)^2 V^2 / d^2 spread by the tension S t.
        double largest = 0;
        for (auto* a = m.ActuatorList.first; a != nullptr; a = a->next) {
            // Pads lie within the membrane.
            EXPECT_LT(std::hypot(a->X, a->Y) + a->Dpad_m / 2, m.Diameter_m / 2) << a->SectionName;
            largest = std::max(largest, a->Dpad_m);
            // The map sizes an actuator's texts by its pad height.
            if (!a->Auxilary) {
                EXPECT_GT(a->DpadY_m, 0) << a->SectionName;
            }
        }
        const double eps0 = 8.854e-12, pi = 3.14159265358979;
        const double V = info.LimitVoltage, d = m.Separation_m;
        const double force = eps0 * pi * (largest / 2) * (largest / 2) * V * V / (d * d);
        const double w = force / (2 * pi * m.Stress_Pa * m.Thickness_m);
        const double peak = w * (std::log(m.Diameter_m / largest) + 0.5);
        EXPECT_GE(peak, 0.2e-6);
        EXPECT_LE(peak, 3e-6);
        EXPECT_LT(peak, d / 3); // far from snap-down
    }
}

TEST_F(ShippedDevices, SpecialMirrors) {
    MirrorInfoClass hex37("..\\Devices\\Hex37.ini");
    ASSERT_TRUE(hex37.IsValid());
    // The map renumbers: rows in the file, rings on display, centre first.
    int moved = 0;
    for (int k = 0; k < 37; ++k)
        moved += hex37.DisplayIndexByIndex[static_cast<std::size_t>(k)] != k + 1;
    EXPECT_GT(moved, 30);
    const DmActuatorInfoClass* centre = hex37.Model->FindByDisplayIndex(1);
    ASSERT_NE(centre, nullptr);
    EXPECT_EQ(centre->X, 0);
    EXPECT_EQ(centre->Y, 0);
    EXPECT_EQ(centre->Label, "1");
    EXPECT_EQ(centre->Channel, 18); // the file's own numbering: row order

    MirrorInfoClass hex61("..\\Devices\\Hex61S.ini");
    ASSERT_TRUE(hex61.IsValid());
    EXPECT_EQ(hex61.SurfaceChannel(), 61);
    const DmActuatorInfoClass* membrane = hex61.Model->FindByChannel(61);
    ASSERT_NE(membrane, nullptr);
    EXPECT_TRUE(membrane->Surface);
    EXPECT_TRUE(membrane->Auxilary);
    EXPECT_EQ(membrane->DisplayIndex, 62);

    MirrorInfoClass square("..\\Devices\\Square36.ini");
    ASSERT_TRUE(square.IsValid());
    EXPECT_TRUE(square.Model->Square);
    for (auto* a = square.Model->ActuatorList.first; a != nullptr; a = a->next) {
        EXPECT_EQ(a->Dcontact_m, a->DcontactY_m);
        EXPECT_EQ(a->Shape, ActuatorShape::Rectangular);
    }

    MirrorInfoClass quarters("..\\Devices\\QuarterRing16.ini");
    ASSERT_TRUE(quarters.IsValid());
    EXPECT_GT(quarters.Model->QuarterRingGap_m, 0);
    for (auto* a = quarters.Model->ActuatorList.first; a != nullptr; a = a->next) {
        EXPECT_EQ(a->Shape, ActuatorShape::QuarterRing);
        EXPECT_LT(a->Rinner, a->Router);
    }
    MirrorInfoClass rings("..\\Devices\\Ring7.ini");
    ASSERT_TRUE(rings.IsValid());
    EXPECT_EQ(rings.Model->FindByIndex(0)->Shape, ActuatorShape::Ring);
}

} // namespace
} // namespace ostrander
