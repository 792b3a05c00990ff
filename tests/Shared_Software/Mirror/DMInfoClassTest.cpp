// DM model reader: defaults, list order, lookups, map files, malformed input.
#include "Shared_Software/Mirror/DMInfoClass.h"

#include "support/TempFolder.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ostrander {
namespace {

bool LoadText(DMInfoClass& m, std::string_view text) {
    return m.Load(IniFile::FromText(text));
}

std::vector<std::string> Sections(const DMInfoClass& m) {
    std::vector<std::string> names;
    for (auto* a = m.ActuatorList.first; a != nullptr; a = a->next)
        names.push_back(a->SectionName);
    return names;
}

TEST(DMInfoClass, EmptyObject) {
    DMInfoClass m;
    EXPECT_FALSE(m.IsValid());
    EXPECT_EQ(m.ActuatorList.first, nullptr);
    EXPECT_EQ(m.ActuatorCount, 0);
    EXPECT_EQ(m.XMax, 0);
    EXPECT_EQ(m.FindByIndex(0), nullptr);
    EXPECT_EQ(m.SurfaceChannel(), -1);
}

TEST(DMInfoClass, ModelKeysAndTheirDefaults) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[General]\nFileType=Mirror Info\n"
                            "[dm model]\n"
                            "diameter_m=0.015\nActuators=37\nThickness_m=5e-7\n"
                            "Separation_m=4.5e-5\nStress_Pa=1.2e8\nSquare=1\n"
                            "ActuatorType_circ_rect_ring=3\nPullType=2.5\n"
                            "InterstitialType=$10\nYoungs_Pa=oops\n"));
    EXPECT_TRUE(m.IsValid());
    EXPECT_DOUBLE_EQ(m.Diameter_m, 0.015);
    EXPECT_DOUBLE_EQ(m.Y_Distance_m, 0.015); // defaults to the diameter
    EXPECT_EQ(m.Actuators, 37);
    EXPECT_DOUBLE_EQ(m.Thickness_m, 5e-7);
    EXPECT_DOUBLE_EQ(m.Separation_m, 4.5e-5);
    EXPECT_DOUBLE_EQ(m.Stress_Pa, 1.2e8);
    EXPECT_TRUE(m.Square);
    EXPECT_EQ(m.ActuatorType_circ_rect_ring, 3);
    EXPECT_EQ(m.Shape, ActuatorShape::QuarterRing); // defaults to the actuator type
    EXPECT_DOUBLE_EQ(m.PullType, 2.5);
    EXPECT_EQ(m.InterstitialType, 16);
    EXPECT_EQ(m.Youngs_Pa, 0); // malformed: default
    EXPECT_EQ(m.Poissons, 0);
    EXPECT_EQ(m.ActuatorCount, 0);
    EXPECT_EQ(m.ActuatorList.first, nullptr);

    ASSERT_TRUE(LoadText(m, "[DM Model]\nDiameter_m=0.02\nY_Distance_m=0.01\n"
                            "ActuatorType_circ_rect_ring=1\nShape=300\n"));
    EXPECT_DOUBLE_EQ(m.Y_Distance_m, 0.01);
    EXPECT_EQ(static_cast<int>(m.Shape), 300 - 256); // one signed byte
}

TEST(DMInfoClass, NoModelSectionIsRejected) {
    for (const char* text : {"", "[General]\nFileType=Mirror Info\n", "[DM Mode]\nActuators=3\n",
                             "\x01\x02[\xff\xfe\n\0\0garbage=\n[=]\n"}) {
        DMInfoClass m;
        EXPECT_FALSE(LoadText(m, text));
        EXPECT_FALSE(m.IsValid());
        EXPECT_EQ(m.ActuatorCount, 0);
    }
    // A second load that fails drops what the first one read.
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\n[A]\nIndex=0\n"));
    EXPECT_FALSE(LoadText(m, "[General]\n"));
    EXPECT_FALSE(m.IsValid());
    EXPECT_EQ(m.ActuatorList.first, nullptr);
    EXPECT_EQ(m.ActuatorCount, 0);
}

TEST(DMInfoClass, ActuatorKeysAndDefaults) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\nActuatorType_circ_rect_ring=1\n"
                            "[Pad]\nIndex=4\nX=0.001\nY=-0.002\nDpad_m=0.002\nDpadY_m=0.003\n"
                            "[Named]\nIndex=5\nDisplayIndex=9\nLabel=Focus\nShape=2\n"
                            "Dcontact_m=0.001\nDcontactY_m=0.0015\nRinner=0.001\nRouter=0.002\n"
                            "Auxilary=1\nSurface=7\nInterstitialDiameter_m=1e-4\n"));
    const DmActuatorInfoClass* pad = m.FindByIndex(4);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->SectionName, "Pad");
    EXPECT_DOUBLE_EQ(pad->X, 0.001);
    EXPECT_DOUBLE_EQ(pad->Y, -0.002);
    EXPECT_DOUBLE_EQ(pad->Dcontact_m, 0.002);          // defaults to Dpad_m
    EXPECT_DOUBLE_EQ(pad->DcontactY_m, 0.003);         // defaults to DpadY_m
    EXPECT_EQ(pad->Shape, ActuatorShape::Rectangular); // the model's shape
    EXPECT_EQ(pad->DisplayIndex, 5);
    EXPECT_EQ(pad->Channel, 4);
    EXPECT_EQ(pad->Label, "5");
    EXPECT_FALSE(pad->Auxilary);
    EXPECT_FALSE(pad->Surface);
    EXPECT_EQ(pad->VoltageText, "0V");

    const DmActuatorInfoClass* named = m.FindByIndex(5);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->DisplayIndex, 9);
    EXPECT_EQ(named->Channel, 8);
    EXPECT_EQ(named->Label, "Focus");
    EXPECT_EQ(named->Shape, ActuatorShape::Ring);
    EXPECT_DOUBLE_EQ(named->Dcontact_m, 0.001);
    EXPECT_DOUBLE_EQ(named->DcontactY_m, 0.0015);
    EXPECT_DOUBLE_EQ(named->Rinner, 0.001);
    EXPECT_DOUBLE_EQ(named->Router, 0.002);
    EXPECT_DOUBLE_EQ(named->InterstitialDiameter_m, 1e-4);
    EXPECT_TRUE(named->Auxilary);
    EXPECT_TRUE(named->Surface);
    EXPECT_EQ(m.SurfaceChannel(), 8);
}

TEST(DMInfoClass, ListOrderCountAndExtents) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[General]\n[A]\nIndex=0\nX=0.003\nY=0.001\n"
                            "[FileInformation]\nIndex=7\n"
                            "[DM Model]\n"
                            "[NoIndex]\nX=-1\n"
                            "[Negative]\nIndex=-2\nX=-1\n"
                            "[B]\nIndex=1\nX=0.004\nY=0.002\n"
                            "[C]\nIndex=2\nX=0.001\nY=0.005\n"));
    // Reverse of the file's order; reserved and index-less sections dropped.
    EXPECT_EQ(Sections(m), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(m.ActuatorList.last->SectionName, "A");
    EXPECT_EQ(m.ActuatorCount, 3);
    EXPECT_DOUBLE_EQ(m.XMax, 0.004);
    EXPECT_EQ(m.XMin, 0); // extents start at the centre
    EXPECT_DOUBLE_EQ(m.YMax, 0.005);
    EXPECT_EQ(m.YMin, 0);
}

TEST(DMInfoClass, LookupsTakeTheLastMatchingSection) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\n"
                            "[First]\nIndex=0\nDisplayIndex=3\n"
                            "[Second]\nIndex=0\nDisplayIndex=3\n"
                            "[Third]\nIndex=5\nSurface=1\n"
                            "[Fourth]\nIndex=6\nSurface=1\n"));
    EXPECT_EQ(m.FindByIndex(0)->SectionName, "Second");
    EXPECT_EQ(m.FindByDisplayIndex(3)->SectionName, "Second");
    EXPECT_EQ(m.FindByChannel(2)->SectionName, "Second");
    EXPECT_EQ(m.FindByChannel(5)->SectionName, "Third");
    EXPECT_EQ(m.SurfaceChannel(), 6); // Fourth comes first in the list
    EXPECT_EQ(m.FindByIndex(9), nullptr);
    EXPECT_EQ(m.FindByDisplayIndex(0), nullptr);
    EXPECT_EQ(m.FindByChannel(-1), nullptr);
}

// Sections beyond the declared actuator count are skipped unread (index-less
// ones do not count); without a usable count at most MaxActuatorSections
// are kept, so a file of a million tiny sections costs only its parse.
TEST(DMInfoClass, SectionsBeyondTheDeclaredCountAreSkipped) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\nActuators=2\n[A]\nIndex=0\n[NoIndex]\nX=1\n"
                            "[B]\nIndex=1\n[C]\nIndex=2\n[D]\nIndex=0\n"));
    EXPECT_EQ(Sections(m), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(m.ActuatorCount, 2);
    EXPECT_EQ(m.FindByIndex(0)->SectionName, "A");
    EXPECT_EQ(m.FindByIndex(2), nullptr);

    for (const char* count : {"", "Actuators=0\n", "Actuators=-3\n", "Actuators=5000\n"}) {
        SCOPED_TRACE(count);
        std::string text = std::string("[DM Model]\n") + count;
        for (int i = 0; i < DMInfoClass::MaxActuatorSections + 5; ++i)
            text += "[S" + std::to_string(i) + "]\nIndex=" + std::to_string(i) + "\n";
        ASSERT_TRUE(LoadText(m, text));
        EXPECT_EQ(m.ActuatorCount, DMInfoClass::MaxActuatorSections);
        EXPECT_NE(m.FindByIndex(DMInfoClass::MaxActuatorSections - 1), nullptr);
        EXPECT_EQ(m.FindByIndex(DMInfoClass::MaxActuatorSections), nullptr);
        EXPECT_EQ(m.FindByChannel(0)->SectionName, "S0");
    }
}

TEST(DMInfoClass, AbsurdNumbersStayDefined) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\nActuators=99999999999999\nDiameter_m=1e999\n"
                            "Thickness_m=-5\nStress_Pa=nan\n"
                            "[Big]\nIndex=2147483647\nX=1e300\n"
                            "[Low]\nIndex=0\nDisplayIndex=-2147483648\n"
                            "[Hex]\nIndex=$10\nDisplayIndex=0x20\n"));
    EXPECT_EQ(m.Actuators, 0);    // out of int range: default
    EXPECT_EQ(m.Diameter_m, 0);   // out of double range: default
    EXPECT_EQ(m.Thickness_m, -5); // read as it stands
    EXPECT_EQ(m.Stress_Pa, 0);    // not a number: default
    const DmActuatorInfoClass* big = m.FindByIndex(INT_MAX);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->DisplayIndex, INT_MAX); // held, not wrapped
    EXPECT_EQ(big->Channel, INT_MAX - 1);
    EXPECT_DOUBLE_EQ(m.XMax, 1e300);
    const DmActuatorInfoClass* low = m.FindByIndex(0);
    EXPECT_EQ(low->DisplayIndex, INT_MIN);
    EXPECT_EQ(low->Channel, INT_MIN); // held, not wrapped
    EXPECT_EQ(m.FindByDisplayIndex(32)->SectionName, "Hex");
    EXPECT_EQ(m.FindByIndex(16)->SectionName, "Hex");
}

TEST(DmActuatorInfoClass, SetVoltageTextAndColour) {
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\n[A]\nIndex=0\n"));
    DmActuatorInfoClass* a = m.FindByIndex(0);
    struct Case {
        double volts;
        const char* text;
    } cases[] = {{123.4, "123V"}, {123.5, "124V"}, {0, "0V"},
                 {-0.4, "0V"},    {-12.6, "-13V"}, {300, "300V"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volts);
        a->SetVoltage(c.volts, 0, 300);
        EXPECT_EQ(a->VoltageText, c.text);
    }
    a->SetVoltage(300, 0, 300);
    EXPECT_EQ(a->VoltageColour, clWhite);
    a->SetVoltage(0, 0, 300);
    EXPECT_EQ(a->VoltageColour, clBlack);
    a->SetVoltage(150, 0, 300);
    EXPECT_EQ(a->VoltageColour, RGBColor(0, 255, 128));
}

TEST(DmActuatorInfoClass, TextsOfSeveralActuatorsFollowEachOnesVoltage) {
    // Two actuators given voltages in turn, repeated and alternating: each
    // shows the text of its own voltage, whatever the other was given last.
    DMInfoClass m;
    ASSERT_TRUE(LoadText(m, "[DM Model]\n[A]\nIndex=0\n[B]\nIndex=1\n"));
    DmActuatorInfoClass* a = m.FindByIndex(0);
    DmActuatorInfoClass* b = m.FindByIndex(1);
    struct Case {
        DmActuatorInfoClass* actuator;
        double volts;
        const char* text;
    } cases[] = {{a, 99.6, "100V"}, {b, 99.6, "100V"}, {b, 99.4, "99V"},  {a, 99.6, "100V"},
                 {a, 0.0, "0V"},    {b, -0.0, "0V"},   {a, -12.6, "-13V"}, {b, 12.6, "13V"},
                 {b, 12.6, "13V"},  {a, 12.6, "13V"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.actuator == a ? "A " : "B ") << c.volts);
        const std::string other = (c.actuator == a ? b : a)->VoltageText;
        c.actuator->SetVoltage(c.volts, 0, 300);
        EXPECT_EQ(c.actuator->VoltageText, c.text);
        EXPECT_EQ((c.actuator == a ? b : a)->VoltageText, other);
    }
}

// Map files are parsed from text; the file layer is tested with real files below.
class MapText : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadText(m, "[DM Model]\n"
                                "[A]\nIndex=0\nLabel=Centre\n"
                                "[B]\nIndex=1\n"
                                "[C]\nIndex=2\n"));
    }
    std::vector<int> Display() const {
        return {m.FindByIndex(0)->DisplayIndex, m.FindByIndex(1)->DisplayIndex,
                m.FindByIndex(2)->DisplayIndex};
    }
    DMInfoClass m;
};

TEST_F(MapText, RenumbersDisplayAndLabelButNotChannel) {
    m.ApplyMapText("1 7\n");
    const DmActuatorInfoClass* a = m.FindByIndex(0);
    EXPECT_EQ(a->DisplayIndex, 8);
    EXPECT_EQ(a->Label, "8");
    EXPECT_EQ(a->Channel, 0);
    EXPECT_EQ(m.FindByDisplayIndex(8), a);
    EXPECT_EQ(m.FindByChannel(0), a);
}

TEST_F(MapText, PairsUntilTheFirstNonPair) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<int> display;
    } cases[] = {
        {"empty", "", {1, 2, 3}},
        {"permutation", "1 2\n2 0\n3 1\n", {3, 1, 2}},
        {"any white space", "\t3\r\n\r\n0 1  1\n", {2, 2, 1}},
        {"signs and run-on numbers", "+1 -3 2-5", {-2, -4, 3}},
        {"unknown actuators skipped", "0 5\n4 5\n-1 5\n2 9\n", {1, 10, 3}},
        {"stops at text", "1 4\nx 2 5\n3 6\n", {5, 2, 3}},
        {"stops at a fraction", "1 4.5 2 7\n", {5, 2, 3}},
        {"odd number left over", "1 4\n2", {5, 2, 3}},
        {"huge numbers stop", "1 4\n2 99999999999999999999\n3 6\n", {5, 2, 3}},
        {"largest position skipped", "1 2147483647\n2 6\n", {1, 7, 3}},
        {"binary junk", std::string("\x01\xff\x00 1 2", 7), {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.ApplyMapText("1 8 2 8 3 8"); // earlier numbering is reset first
        m.ApplyMapText(c.text);
        EXPECT_EQ(Display(), c.display);
    }
    // Labels follow the map; a label from the file stays until the map sets one.
    EXPECT_EQ(m.FindByIndex(0)->Label, "9");
}

// What a map held against the actuators, for the map of a 4-actuator
// mirror: unreadable text, repeated, unknown and missing entries, and the
// numbering they leave (shared or out-of-range display numbers).
TEST(MapCheckTest, SaysWhatTheMapHeldAndWhetherItNumbersOneToOne) {
    struct Case {
        const char* name;
        std::string text;
        int pairs;
        std::vector<int> unknown, repeated, missing;
        std::vector<std::pair<int, std::vector<int>>> shared;
        int outOfRange; // actuators whose number lies outside 1 .. 4
        int stoppedAtLine;
        bool clean;
        std::vector<const char*> said; // parts of the lines (all in one)
    } cases[] = {
        {"whole", "1 3\n2 2\n3 1\n4 0\n", 4, {}, {}, {}, {}, 0, 0, true, {}},
        {"garbage", "<html>\n1 2\n", 0, {}, {}, {}, {}, 0, 1, false,
         {"holds no actuator pairs (line 1: \"<html>\")", "keep the info file's numbering"}},
        {"empty", "", 0, {}, {}, {}, {}, 0, 0, false, {"holds no actuator pairs (it is empty)"}},
        {"cut short", "1 3\n2 2\n", 2, {}, {}, {3, 4}, {{3, {2, 3}}, {4, {1, 4}}}, 0, 0, false,
         {"does not list actuators 3, 4", "actuators 2, 3 show as 3", "actuators 1, 4 show as 4",
          "correct the map"}},
        {"two actuators on one position", "1 0\n2 0\n3 2\n4 3\n", 4, {}, {}, {}, {{1, {1, 2}}},
         0, 0, false, {"actuators 1, 2 show as 1", "correct the map"}},
        {"the same line twice", "1 0\n2 1\n2 1\n3 2\n4 3\n", 5, {}, {2}, {}, {}, 0, 0, false,
         {"lists actuators more than once (the last entry counts): 2"}},
        {"extra actuators", "1 0\n2 1\n3 2\n4 3\n5 4\n9 9\n", 6, {5, 9}, {}, {}, {}, 0, 0,
         false, {"lists actuators the mirror does not have (ignored): 5, 9"}},
        {"position past the end", "1 0\n2 1\n3 2\n4 7\n", 4, {}, {}, {}, {}, 1, 0, false,
         {"actuators 4 show outside 1 to the number of actuators"}},
        {"text after the pairs", "1 0\n2 1\n3 2\n4 3\n\x01" "end\n", 4, {}, {}, {}, {}, 0, 5,
         false, {"stops being pairs of numbers at line 5 (\"?end\")"}},
        {"odd number left over", "1 0\n2 1\n3 2\n4 3\n5\n", 4, {}, {}, {}, {}, 0, 5, false,
         {"at line 5 (\"5\")"}},
    };
    DMInfoClass m;
    ASSERT_TRUE(m.Load(IniFile::FromText("[DM Model]\nActuators=4\n[A]\nIndex=0\n[B]\nIndex=1\n"
                                         "[C]\nIndex=2\n[D]\nIndex=3\n")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.ApplyMapText(c.text);
        const MapCheck& r = m.MapReport;
        EXPECT_TRUE(r.read);
        EXPECT_EQ(r.pairs, c.pairs);
        EXPECT_EQ(r.unknown, c.unknown);
        EXPECT_EQ(r.repeated, c.repeated);
        EXPECT_EQ(r.missing, c.missing);
        EXPECT_EQ(r.shared, c.shared);
        EXPECT_EQ(static_cast<int>(r.outOfRange.size()), c.outOfRange);
        EXPECT_EQ(r.stoppedAtLine, c.stoppedAtLine);
        EXPECT_EQ(r.Clean(), c.clean);
        const std::vector<std::string> lines = MapProblemLines("DMmap_T.dat", r);
        EXPECT_EQ(lines.empty(), c.clean);
        std::string all;
        for (const std::string& line : lines) {
            EXPECT_NE(line.find("the actuator map file \"DMmap_T.dat\""), std::string::npos) << line;
            all += line + "\n";
        }
        for (const char* part : c.said)
            EXPECT_NE(all.find(part), std::string::npos) << part << "\n" << all;
        const std::string error = MapNumberingError("DMmap_T.dat", r);
        EXPECT_EQ(error.empty(), r.OneToOne()) << error;
    }
    // A map file that is not there was not read: nothing to say about it here.
    EXPECT_FALSE(m.ApplyMapFile("/nonexistent/DMmap_T.dat"));
    EXPECT_FALSE(m.MapReport.read);
    EXPECT_TRUE(MapProblemLines("x", m.MapReport).empty());
}

class MapFile : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m.Load(IniFile::FromText("[DM Model]\n[A]\nIndex=0\n[B]\nIndex=1\n")));
    }
    std::string Write(const std::string& name, const std::string& text) {
        return temp.Write(name, text);
    }
    testing_support::TempFolder temp{"ostrander-map"};
    const std::filesystem::path dir = temp.Path();
    DMInfoClass m;
};

TEST_F(MapFile, ReadsAFileAndRefusesMissingOnes) {
    EXPECT_TRUE(m.ApplyMapFile(Write("DMmap_T.dat", "1 1\n2 0\n")));
    EXPECT_EQ(m.FindByIndex(0)->DisplayIndex, 2);
    EXPECT_EQ(m.FindByIndex(1)->DisplayIndex, 1);
    // A missing file or a folder changes nothing.
    EXPECT_FALSE(m.ApplyMapFile((dir / "none.dat").string()));
    EXPECT_FALSE(m.ApplyMapFile(dir.string()));
    EXPECT_EQ(m.FindByIndex(0)->DisplayIndex, 2);
    // Backslashes are separators.
    std::string windows = Write("DMmap_W.dat", "1 4\n");
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    EXPECT_TRUE(m.ApplyMapFile(windows));
    EXPECT_EQ(m.FindByIndex(0)->DisplayIndex, 5);
}

TEST_F(MapFile, ModelFileUnderTheProgramFolder) {
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::create_directories(dir / "Devices");
    Write("Devices/m.ini", "; a comment\n[DM Model]\nActuators=1\n[A]\nIndex=0\n");
    SetProgramFolder((dir / "bin").string());
    DMInfoClass fromFile("..\\Devices\\m.ini");
    EXPECT_TRUE(fromFile.IsValid());
    EXPECT_EQ(fromFile.ActuatorCount, 1);
    DMInfoClass missing("..\\Devices\\none.ini");
    EXPECT_FALSE(missing.IsValid());
}

} // namespace
} // namespace ostrander
