// Mirror descriptions that cannot be simulated are named before any run:
// each case changes one key of a usable description.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/MirrorCheck.h"
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrander {
namespace {

// A 10 mm membrane with three pads; `change` ("Key=value") replaces one
// [DM Model] key (or adds it), `pads` replaces the pad sections.
std::string Description(const std::string& change, const std::string& pads = "") {
    std::string model = "Diameter_m=0.01\nActuators=3\nThickness_m=5e-7\nSeparation_m=3e-5\n"
                        "Stress_Pa=1.5e8\nActuatorType_circ_rect_ring=0\n";
    if (!change.empty()) {
        const std::string key = change.substr(0, change.find('=') + 1);
        const std::size_t at = model.find(key);
        if (at == std::string::npos)
            model += change + "\n";
        else
            model.replace(at, model.find('\n', at) - at, change);
    }
    std::string text = "[DM Model]\n" + model;
    if (!pads.empty())
        return text + pads;
    for (int k = 0; k < 3; ++k)
        text += "[Pad " + std::to_string(k + 1) + "]\nIndex=" + std::to_string(k) +
                "\nX=" + std::to_string(0.002 * k) + "\nY=0\nDpad_m=0.0019\n";
    return text;
}

std::string Problem(const std::string& text) {
    DMInfoClass dm;
    EXPECT_TRUE(dm.Load(IniFile::FromText(text)));
    return MirrorModelProblem(dm);
}

struct Case {
    const char* name;
    std::string text;
    const char* problem; // a part of the message; empty when usable
};

class MirrorCheck : public ::testing::TestWithParam<Case> {};

TEST_P(MirrorCheck, NamesTheKeyThatCannotBeSimulated) {
    const std::string problem = Problem(GetParam().text);
    if (*GetParam().problem == '\0')
        EXPECT_EQ(problem, "");
    else
        EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << problem;
}

const char* const kOutside = "[Pad 1]\nIndex=0\nX=0.02\nY=0\nDpad_m=0.002\n"
                             "[Pad 2]\nIndex=1\nX=0\nY=-0.03\nDpad_m=0.002\n"
                             "[Pad 3]\nIndex=2\nX=0.006\nY=0.006\nDpad_m=0.002\n";
const char* const kOneInside = "[Pad 1]\nIndex=0\nX=0.02\nY=0\nDpad_m=0.002\n"
                               "[Pad 2]\nIndex=1\nX=0\nY=0\nDpad_m=0.002\n"
                               "[Pad 3]\nIndex=2\nX=0.006\nY=0.006\nDpad_m=0.002\n";

INSTANTIATE_TEST_SUITE_P(
    Descriptions, MirrorCheck,
    ::testing::Values(
        Case{"Usable", Description(""), ""},
        Case{"NoDiameter", Description("Diameter_m=0"), "Diameter_m is 0"},
        Case{"NoThickness", Description("Thickness_m=0"), "Thickness_m is 0"},
        Case{"NoGap", Description("Separation_m=0"), "Separation_m is 0"},
        Case{"UnderflowingGap", Description("Separation_m=1e-300"), "Separation_m is 1e-300"},
        Case{"NoStress", Description("Stress_Pa=0"), "Stress_Pa is 0"},
        Case{"Compressed", Description("Stress_Pa=-5"), "Stress_Pa is -5"},
        Case{"UnknownType", Description("ActuatorType_circ_rect_ring=9"),
             "ActuatorType_circ_rect_ring is 9"},
        Case{"NegativeType", Description("ActuatorType_circ_rect_ring=-1"),
             "ActuatorType_circ_rect_ring is -1"},
        Case{"FarTooManyActuators", Description("Actuators=4095"), "declares Actuators=4095"},
        Case{"AFewMissingPads", Description("Actuators=6"), ""},
        Case{"FinerGrid", Description("GridSamples=200"), ""},
        Case{"CoarseGrid", Description("GridSamples=50"),
             "GridSamples is 50; the grid must have 100 to 400 samples a side"},
        Case{"HugeGrid", Description("GridSamples=100000"), "GridSamples is 100000"},
        Case{"NoPadOnTheMembrane", Description("", kOutside), "no actuator pad lies on"},
        Case{"OnePadOnTheMembrane", Description("", kOneInside), ""},
        Case{"RingsInsideTheMembrane",
             Description("ActuatorType_circ_rect_ring=2",
                         "[Pad 1]\nIndex=0\nRinner=0\nRouter=0.002\n"
                         "[Pad 2]\nIndex=1\nRinner=0.002\nRouter=0.004\n"),
             ""},
        Case{"RingsBeyondTheMembrane",
             Description("ActuatorType_circ_rect_ring=2",
                         "[Pad 1]\nIndex=0\nRinner=0.006\nRouter=0.008\n"),
             "no actuator pad lies on"}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

} // namespace
} // namespace ostrander
