// Zernike sets: built-in tables by geometry, the pattern-set file named in
// section "Patterns", and the sets a mirror info object makes and owns.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorFourierClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Mirror/MirrorZernikeClass.h"
#include "Shared_Software/Mirror/ZernikeTables.h"
#include "support/TempFolder.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ostrander {
namespace {

using Voltages = std::vector<std::pair<int, double>>; // (actuator number, volts)

Voltages PatternVoltages(const PatternClass& set, int index) {
    Voltages out;
    auto list = set.GetPatternVoltages(index);
    if (list)
        for (const VoltageListEntry* e = list->First(); e != nullptr; e = e->next)
            out.emplace_back(e->Actuator, e->Voltage);
    return out;
}

Voltages Numbered(const double* volts, int n) {
    Voltages out;
    for (int i = 0; i < n; ++i)
        out.emplace_back(i + 1, volts[i]);
    return out;
}

std::vector<std::string> TermNamesAndNone() {
    std::vector<std::string> names(ZernikeTermNames, ZernikeTermNames + ZernikeTermCount);
    names.push_back("None");
    return names;
}

TEST(MirrorZernikeClass, BuiltInSetsByGeometry) {
    struct Case {
        int actuators;
        bool square;
        const char* name;
        int entries; // per pattern; 0: no table, no patterns
    } cases[] = {
        {37, false, "DefaultCircularHex37", 38}, {38, true, "DefaultRectangular38", 38},
        {62, true, "DefaultRectangular62", 62},  {61, false, "DefaultCircularHex61", 62},
        {62, false, "DefaultCircularHex62", 62}, {9, false, "DefaultCircularHex9", 9},
        {8, true, "DefaultRectangular8", 9},     {31, false, "DefaultCircularHex31", 32},
        {32, true, "DefaultRectangular32", 32},  {50, false, "DefaultCircularHex50", 0},
        {19, true, "DefaultRectangular19", 0},   {0, false, "DefaultCircularHex0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto set = MirrorZernikeClass::BuiltInSet(c.actuators, c.square);
        EXPECT_TRUE(set->IsValid());
        EXPECT_EQ(set->GetPatternSetName(), c.name);
        EXPECT_EQ(set->GetVoltageCount(), c.actuators);
        EXPECT_EQ(set->GetFileName(), PatternClass::NoFileName);
        if (c.entries == 0) {
            EXPECT_EQ(set->GetPatternCount(), 0);
            EXPECT_EQ(set->GetPatternNames(), std::vector<std::string>{"None"});
            continue;
        }
        ASSERT_EQ(set->GetPatternCount(), ZernikeTermCount);
        EXPECT_EQ(set->GetPatternNames(), TermNamesAndNone());
        EXPECT_EQ(set->FindPattern(9)->PatternName, "Quadrafoil 1");
        for (int k = 0; k < ZernikeTermCount; ++k) {
            SCOPED_TRACE(ZernikeTermNames[k]);
            const Voltages v = PatternVoltages(*set, k);
            ASSERT_EQ(v.size(), static_cast<std::size_t>(c.entries));
            for (int i = 0; i < c.entries; ++i)
                EXPECT_EQ(v[i].first, i + 1);
            EXPECT_EQ(v.back().second, 0.0); // the last channel is never driven
            for (const auto& [actuator, volts] : v)
                EXPECT_TRUE(volts >= 0 && volts == static_cast<int>(volts))
                    << actuator << ": " << volts;
        }
    }
}

TEST(MirrorZernikeClass, PublishedValuesAreKeptExactly) {
    auto nine = MirrorZernikeClass::BuiltInSet(9, false);
    const double tilt[9] = {40, 40, 35, 35, 46, 46, 18, 18, 0};
    const double astigmatism45[9] = {36, 35, 36, 35, 23, 43, 23, 40, 0};
    const double secondAstigmatism45[9] = {35, 33, 35, 33, 36, 28, 35, 27, 0};
    EXPECT_EQ(PatternVoltages(*nine, 0), Numbered(tilt, 9));
    EXPECT_EQ(PatternVoltages(*nine, 4), Numbered(astigmatism45, 9));
    EXPECT_EQ(PatternVoltages(*nine, 12), Numbered(secondAstigmatism45, 9));
    for (int k = 0; k < ZernikeTermCount; ++k)
        EXPECT_EQ(PatternVoltages(*nine, k), Numbered(ZernikeTable9[k], 9)) << k;
    EXPECT_EQ(PatternVoltages(*nine, 9), Numbered(std::vector<double>(9, 0.0).data(), 9));

    const double defocus32[32] = {40, 39, 40, 40, 39, 40, 40, 37, 38, 36, 37, 36, 38, 37, 38, 36,
                                  37, 36, 38, 1,  25, 6,  25, 6,  24, 0,  24, 6,  25, 6,  24, 0};
    const double defocus38[38] = {40, 39, 40, 40, 39, 40, 40, 37, 38, 36, 37, 36, 38,
                                  37, 38, 36, 37, 36, 38, 1,  25, 25, 6,  25, 25, 6,
                                  24, 24, 0,  24, 24, 6,  25, 25, 6,  24, 24, 0};
    EXPECT_EQ(PatternVoltages(*MirrorZernikeClass::BuiltInSet(31, false), 3),
              Numbered(defocus32, 32));
    EXPECT_EQ(PatternVoltages(*MirrorZernikeClass::BuiltInSet(37, true), 3),
              Numbered(defocus38, 38));

    const double hexHead[10] = {137, 160, 66, 124, 148, 124, 66, 48, 125, 120};
    const double rectHead[10] = {31, 55, 38, 0, 69, 77, 77, 76, 66, 20};
    for (auto [square, head] : {std::pair{false, hexHead}, std::pair{true, rectHead}}) {
        SCOPED_TRACE(square ? "rectangular" : "circular-hexagonal");
        Voltages v = PatternVoltages(*MirrorZernikeClass::BuiltInSet(62, square), 3);
        v.resize(10);
        EXPECT_EQ(v, Numbered(head, 10));
    }
}

// A program folder bin/ beside a device folder Devices/ in a temporary folder.
class ZernikeDevices : public testing::Test {
protected:
    void SetUp() override { folder.Make("Devices/sets"); }
    void Write(const std::string& name, const std::string& text) {
        folder.WriteDevice(name, text);
    }
    testing_support::TempProgramFolder folder{"ostrander-zernike"};
};

std::string MirrorText(int actuators, bool square, const std::string& extra = "") {
    std::string text = "[General]\nFileType=Mirror Info\nMapPrefix=T\n" + extra +
                       "[DM Model]\nActuators=" + std::to_string(actuators) +
                       "\nSquare=" + (square ? "1" : "0") + "\n";
    for (int i = 0; i < actuators; ++i)
        text += "[Pad " + std::to_string(i + 1) + "]\nIndex=" + std::to_string(i) + "\n";
    return text;
}

TEST_F(ZernikeDevices, MirrorInfoMakesAndOwnsTheBuiltInSets) {
    Write("hex37.ini", MirrorText(37, false));
    Write("rect62.ini", MirrorText(62, true));
    Write("odd50.ini", MirrorText(50, false, "[Patterns]\nZernikeFileName=NoFile\n"));

    MirrorInfoClass hex("..\\Devices\\hex37.ini");
    ASSERT_TRUE(hex.IsValid());
    ASSERT_TRUE(hex.Zernike && hex.Zernike->GetPatternSet());
    const PatternClass& set = *hex.Zernike->GetPatternSet();
    EXPECT_EQ(set.GetPatternSetName(), "DefaultCircularHex37");
    ASSERT_EQ(set.GetPatternCount(), 14);
    EXPECT_EQ(PatternVoltages(set, 3), Numbered(ZernikeDefocus38, 38));
    ASSERT_TRUE(hex.Fourier);
    EXPECT_FALSE(hex.Fourier->IsValid());

    MirrorInfoClass rect("..\\Devices\\rect62.ini");
    ASSERT_TRUE(rect.Zernike && rect.Zernike->GetPatternSet());
    EXPECT_EQ(rect.Zernike->GetPatternSet()->GetPatternSetName(), "DefaultRectangular62");
    for (int k = 0; k < ZernikeTermCount; ++k) {
        EXPECT_EQ(PatternVoltages(*rect.Zernike->GetPatternSet(), k),
                  Numbered(FindZernikeTable(62, true)->rows[k], 62))
            << k;
    }
    EXPECT_TRUE(rect.Fourier->IsValid());
    EXPECT_EQ(rect.Fourier->ChannelCount, 62);

    MirrorInfoClass odd("..\\Devices\\odd50.ini");
    ASSERT_TRUE(odd.Zernike && odd.Zernike->GetPatternSet());
    EXPECT_EQ(odd.Zernike->GetPatternSet()->GetPatternSetName(), "DefaultCircularHex50");
    EXPECT_EQ(odd.Zernike->GetPatternSet()->GetPatternCount(), 0);
}

TEST_F(ZernikeDevices, NamedFileIsReadThroughTheActuatorMap) {
    // Three pads; the map shows Index 0, 1, 2 as 3, 1, 2.
    Write("m.ini", MirrorText(3, false, "") + "[Patterns]\nZernikeFileName=sets\\zern.ini\n");
    Write("DMmap_T.dat", "1 2\n2 0\n3 1\n");
    const std::string patterns = "[FileInformation]\nFileVersion=1.0\n"
                                 "[Pattern000]\nPatternName=Horizontal Tilt\n"
                                 "Voltage000=10\nVoltage001=20\nVoltage002=30\n"
                                 "[Pattern001]\nPatternName=Vertical Tilt\nVoltage001=5\n";
    Write("sets/zern.ini", "[General]\nFileType=Actuator Pattern Set\nPatternSetName=Lab set\n"
                           "PatternCount=2\nVoltageCount=3\nUse DM Indexing=1\n" +
                               patterns);

    MirrorInfoClass info("..\\Devices\\m.ini");
    ASSERT_TRUE(info.IsValid());
    ASSERT_EQ(info.DisplayIndexByIndex, (std::vector<int>{3, 1, 2}));
    const PatternClass* set = info.Zernike->GetPatternSet();
    ASSERT_TRUE(set && set->IsValid());
    EXPECT_EQ(set->GetPatternSetName(), "Lab set");
    EXPECT_EQ(NormalizePath(set->GetFileName()),
              NormalizePath(ProgramFolder() + "/../Devices/sets/zern.ini"));
    EXPECT_EQ(set->GetPatternNames(),
              (std::vector<std::string>{"Horizontal Tilt", "Vertical Tilt", "None"}));
    // Voltage number j belongs to the actuator shown as DisplayIndexByIndex[j].
    EXPECT_EQ(PatternVoltages(*set, 0), (Voltages{{1, 20}, {2, 30}, {3, 10}}));
    EXPECT_EQ(PatternVoltages(*set, 1), (Voltages{{1, 5}, {2, 0}, {3, 0}}));

    // Without "Use DM Indexing" the file's own numbering stands.
    Write("sets/zern.ini", "[General]\nFileType=Actuator Pattern Set\nPatternSetName=Lab set\n"
                           "PatternCount=2\nVoltageCount=3\n" +
                               patterns);
    MirrorInfoClass plain("..\\Devices\\m.ini");
    EXPECT_EQ(PatternVoltages(*plain.Zernike->GetPatternSet(), 0),
              (Voltages{{1, 10}, {2, 20}, {3, 30}}));
}

TEST_F(ZernikeDevices, MissingOrForeignFilesGiveNoSetOrAnInvalidOne) {
    // A named pattern file that is missing or of another type: an invalid, empty set.
    Write("gone.ini", MirrorText(37, false, "") + "[Patterns]\nZernikeFileName=none.ini\n");
    Write("other.ini", MirrorText(37, false, "") + "[Patterns]\nZernikeFileName=hex.ini\n");
    Write("hex.ini", MirrorText(37, false));
    for (const char* name : {"..\\Devices\\gone.ini", "..\\Devices\\other.ini"}) {
        SCOPED_TRACE(name);
        MirrorInfoClass info(name);
        ASSERT_TRUE(info.IsValid());
        const PatternClass* set = info.Zernike->GetPatternSet();
        ASSERT_NE(set, nullptr);
        EXPECT_FALSE(set->IsValid());
        EXPECT_EQ(set->GetPatternCount(), 0);
    }

    // Not a mirror info file, or no file at all: no set.
    Write("driver.ini", "[General]\nFileType=Driver Info\n[DM Model]\nActuators=37\n");
    Write("nomodel.ini", "[General]\nFileType=Mirror Info\n");
    const std::vector<int> map;
    for (const char* name :
         {"..\\Devices\\driver.ini", "..\\Devices\\nomodel.ini", "..\\Devices\\absent.ini"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(MirrorZernikeClass(name, map).GetPatternSet(), nullptr);
        MirrorInfoClass info(name);
        EXPECT_FALSE(info.IsValid());
        EXPECT_FALSE(info.Zernike);
        EXPECT_FALSE(info.Fourier);
    }
    // The file-reading constructor finds the same set as the mirror info load.
    MirrorZernikeClass direct("..\\Devices\\hex.ini", map);
    ASSERT_NE(direct.GetPatternSet(), nullptr);
    EXPECT_EQ(direct.GetPatternSet()->GetPatternSetName(), "DefaultCircularHex37");
}

TEST(MirrorZernikeClass, EveryShippedMirrorCarriesItsSets) {
    // Any existing folder beside Devices/ serves as the program folder.
    SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
    int mirrors = 0, withFile = 0;
    for (const std::string& name : ListFiles(DeviceFolder(), "*.ini")) {
        SCOPED_TRACE(name);
        MirrorInfoClass info(DeviceFolderRelative + name);
        if (!info.IsValid())
            continue;
        ++mirrors;
        ASSERT_TRUE(info.Zernike && info.Zernike->GetPatternSet());
        const PatternClass& set = *info.Zernike->GetPatternSet();
        EXPECT_TRUE(set.IsValid());
        const int actuators = info.Model->Actuators;
        // Hex19, Square36, Hex61S and Small9 name a pattern-set file; the
        // others use the tables, which hold every term.
        const bool named =
            IniFile(DevicePath(info.FileName)).ValueExists("Patterns", "ZernikeFileName");
        if (named) {
            // A file holds the terms its mirror's pads can make, in table
            // order; always the tilts, defocus and the first astigmatisms.
            const std::vector<std::string> names = set.GetPatternNames();
            const std::vector<std::string> all = TermNamesAndNone();
            ASSERT_GE(names.size(), 6u);
            EXPECT_EQ(names.back(), "None");
            EXPECT_TRUE(std::includes(all.begin(), all.end() - 1, names.begin(), names.end() - 1,
                                      [&](const std::string& a, const std::string& b) {
                                          return std::find(all.begin(), all.end(), a) <
                                                 std::find(all.begin(), all.end(), b);
                                      }));
            EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5),
                      std::vector<std::string>(all.begin(), all.begin() + 5));
            EXPECT_NE(set.GetFileName(), PatternClass::NoFileName);
        } else if (FindZernikeTable(actuators, info.Model->Square) != nullptr) {
            EXPECT_EQ(set.GetPatternNames(), TermNamesAndNone());
            EXPECT_EQ(set.GetFileName(), PatternClass::NoFileName);
        }
        withFile += named ? 1 : 0;
        ASSERT_TRUE(info.Fourier);
        EXPECT_EQ(info.Fourier->IsValid(), actuators == 61 || actuators == 62);
    }
    EXPECT_GE(mirrors, 7);
    EXPECT_GE(withFile, 4);
}

} // namespace
} // namespace ostrander
