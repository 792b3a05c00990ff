// Mirror info files: "General" keys, acceptance rules, voltage limit, map
// file, display table, and the scan of a device folder.
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Mirror/InfoFileListClass.h"

#include "support/TempFolder.h"
#include "toolkit/Format.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace ostrander {
namespace {

constexpr const char* kModel = "[DM Model]\nActuators=2\n[A]\nIndex=0\n[B]\nIndex=1\n";

MirrorInfoClass FromText(const std::string& text, std::optional<std::time_t> modified = {}) {
    return MirrorInfoClass("..\\Devices\\m.ini", IniFile::FromText(text), modified);
}

TEST(MirrorInfoClass, GeneralKeysAndDefaults) {
    MirrorInfoClass info(
        "..\\Devices\\m.ini",
        IniFile::FromText(std::string("[General]\nFileType=Mirror Info\n") + kModel),
        std::time_t{86400 * 365});
    ASSERT_TRUE(info.IsValid());
    EXPECT_EQ(info.FileName, "..\\Devices\\m.ini");
    EXPECT_EQ(info.FileVersion, "0");
    EXPECT_EQ(info.DateTimeString, DateTimeToStr(86400 * 365)); // the file's time
    EXPECT_EQ(info.Creator, "Brendimor");
    EXPECT_EQ(info.DeviceName, "NA");
    EXPECT_EQ(info.MapPrefix, "NA");
    EXPECT_EQ(info.LimitVoltage, 0);
    EXPECT_TRUE(info.Model->IsValid());
    EXPECT_EQ(info.Model->ActuatorCount, 2);
    EXPECT_EQ(info.DisplayIndexByIndex, (std::vector<int>{1, 2}));

    MirrorInfoClass named = FromText("[General]\nFileType=Mirror Info\nFileVersion=1.5\n"
                                     "DateTimeString=yesterday\nCreator=Lab\nDeviceName=Test 37\n"
                                     "MapPrefix=X17\n" +
                                     std::string(kModel));
    EXPECT_EQ(named.FileVersion, "1.5");
    EXPECT_EQ(named.DateTimeString, "yesterday");
    EXPECT_EQ(named.Creator, "Lab");
    EXPECT_EQ(named.DeviceName, "Test 37");
    EXPECT_EQ(named.MapPrefix, "X17");
    EXPECT_EQ(FromText("[General]\nFileType=Mirror Info\nFileVersion=2\n[DM Model]\n").FileVersion,
              "2");
}

TEST(MirrorInfoClass, AcceptsOnlyMirrorInfoFilesWithAModel) {
    struct Case {
        const char* name;
        std::string text;
        bool valid;
    } cases[] = {
        {"complete", "[General]\nFileType=Mirror Info\n[DM Model]\n", true},
        {"comments and padding",
         "# made by hand\n[ General ]\n FileType = Mirror Info \n[DM Model]\n", true},
        {"no model section", "[General]\nFileType=Mirror Info\n[A]\nIndex=0\n", false},
        {"no general section", "[DM Model]\nFileType=Mirror Info\n", false},
        {"type in lower case", "[General]\nFileType=mirror info\n[DM Model]\n", false},
        {"no type", "[General]\nDeviceName=x\n[DM Model]\n", false},
        {"driver info", "[General]\nFileType=Driver Info\n[DM Model]\n", false},
        {"empty", "", false},
        {"binary junk",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0[\0General]\xff\n=\n",
                     22),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MirrorInfoClass info = FromText(c.text);
        EXPECT_EQ(info.IsValid(), c.valid);
        ASSERT_NE(info.Model, nullptr);
        EXPECT_EQ(info.SurfaceChannel(), -1);
    }
}

TEST(MirrorInfoClass, LimitVoltageGeneralWinsOverModel) {
    struct Case {
        const char* general;
        const char* model;
        double limit;
    } cases[] = {
        {"", "", 0},
        {"", "LimitVoltage=150\n", 150},
        {"LimitVoltage=120\n", "LimitVoltage=150\n", 120},
        {"LimitVoltage=120\n", "", 120},
        {"LimitVoltage=high\n", "LimitVoltage=150\n", 150}, // malformed: the model's value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.general << "|" << c.model);
        MirrorInfoClass info = FromText(std::string("[General]\nFileType=Mirror Info\n") +
                                        c.general + "[DM Model]\n" + c.model);
        ASSERT_TRUE(info.IsValid());
        EXPECT_EQ(info.LimitVoltage, c.limit);
    }
}

TEST(MirrorInfoClass, DisplayTableFillsGapsWithDefaults) {
    // Index 1 missing, index 0 twice (the later section wins), index 3 beyond the count.
    MirrorInfoClass info = FromText("[General]\nFileType=Mirror Info\n[DM Model]\n"
                                    "[A]\nIndex=0\nDisplayIndex=5\n[B]\nIndex=0\nDisplayIndex=7\n"
                                    "[C]\nIndex=2\nDisplayIndex=9\n[D]\nIndex=3\n");
    ASSERT_TRUE(info.IsValid());
    EXPECT_EQ(info.DisplayIndexByIndex, (std::vector<int>{7, 2, 9, 4}));
}

// Damaged copies of a valid file: every load must end in a consistent object
// (the sanitizer builds check the memory side).
TEST(MirrorInfoClass, DamagedFilesLoadConsistently) {
    const std::string good = "[General]\nFileType=Mirror Info\nLimitVoltage=150\n"
                             "[DM Model]\nDiameter_m=0.015\nActuators=3\n"
                             "[A]\nIndex=0\nX=0.001\nDisplayIndex=3\n"
                             "[B]\nIndex=1\nY=-0.002\nLabel=Two\n"
                             "[C]\nIndex=2\nDpad_m=0.002\nSurface=1\n";
    const char alphabet[] = "[]=\n;#$-+.e0123456789 xIndex\x00\xff";
    unsigned state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    for (int round = 0; round < 2000; ++round) {
        std::string text = good;
        for (unsigned edits = 1 + next() % 6; edits > 0; --edits) {
            const std::size_t at = next() % (text.size() + 1);
            const char c = alphabet[next() % (sizeof alphabet - 1)];
            switch (next() % 3) {
            case 0:
                text.insert(at, 1, c);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1 + next() % 8);
                break;
            default:
                if (at < text.size())
                    text[at] = c;
            }
        }
        MirrorInfoClass info = FromText(text);
        ASSERT_NE(info.Model, nullptr);
        int listed = 0;
        for (auto* a = info.Model->ActuatorList.first; a != nullptr; a = a->next, ++listed)
            ASSERT_GE(a->Index, 0);
        ASSERT_EQ(listed, info.Model->ActuatorCount);
        ASSERT_EQ(info.DisplayIndexByIndex.size(), static_cast<std::size_t>(listed));
        info.Model->ApplyMapText(text); // the same junk as a map file
        ASSERT_LE(info.Model->XMin, info.Model->XMax);
    }
}

// A program folder bin/ beside a device folder Devices/ in a temporary folder.
class DeviceFolder : public testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) {
        folder.WriteDevice(name, text);
    }
    testing_support::TempProgramFolder folder{"ostrander-devices"};
    const std::filesystem::path root = folder.Path();
};

TEST_F(DeviceFolder, LoadsTheFileItsMapAndDate) {
    Write("m.ini", "[General]\nFileType=Mirror Info\nMapPrefix=X17\n[DM Model]\nLimitVoltage=150\n"
                   "[A]\nIndex=0\n[B]\nIndex=1\n[C]\nIndex=2\n");
    Write("DMmap_X17.dat", "1 2\n2 0\n3 1\n");
    const auto mtime = FileModificationTime((root / "Devices" / "m.ini").string());
    ASSERT_TRUE(mtime.has_value());

    MirrorInfoClass info("..\\Devices\\m.ini");
    ASSERT_TRUE(info.IsValid());
    EXPECT_EQ(info.MapFileName, NormalizePath(ProgramFolder() + "/../Devices/DMmap_X17.dat"));
    EXPECT_EQ(info.DateTimeString, DateTimeToStr(*mtime));
    EXPECT_EQ(info.LimitVoltage, 150);
    EXPECT_EQ(info.DisplayIndexByIndex, (std::vector<int>{3, 1, 2}));
    // Channels keep the file's own numbering.
    EXPECT_EQ(info.Model->FindByIndex(0)->Channel, 0);
    EXPECT_EQ(info.Model->FindByDisplayIndex(3)->Index, 0);

    // Without a map file the file's numbering stands.
    std::filesystem::remove(root / "Devices" / "DMmap_X17.dat");
    MirrorInfoClass unmapped("..\\Devices\\m.ini");
    ASSERT_TRUE(unmapped.IsValid());
    EXPECT_EQ(unmapped.DisplayIndexByIndex, (std::vector<int>{1, 2, 3}));
    // The forward applies a map later.
    Write("other.dat", "3 6\n");
    EXPECT_TRUE(unmapped.ApplyMapFile((root / "Devices" / "other.dat").string()));
    EXPECT_EQ(unmapped.Model->FindByIndex(2)->DisplayIndex, 7);

    EXPECT_FALSE(MirrorInfoClass("..\\Devices\\missing.ini").IsValid());
}

TEST_F(DeviceFolder, MissingPrefixLooksForTheNAMap) {
    Write("n.ini", "[General]\nFileType=Mirror Info\n[DM Model]\n[A]\nIndex=0\n");
    Write("DMmap_NA.dat", "1 4\n");
    MirrorInfoClass info("..\\Devices\\n.ini");
    EXPECT_EQ(ExtractFileName(info.MapFileName), "DMmap_NA.dat");
    EXPECT_EQ(info.DisplayIndexByIndex, (std::vector<int>{5}));
}

TEST_F(DeviceFolder, ScanListsMirrorInfoFilesOnly) {
    const std::string mirror = "[General]\nFileType=Mirror Info\n";
    Write("b_named.ini", mirror + "DeviceName=Named Mirror\n[DM Model]\n");
    Write("a_unnamed.ini", mirror + "[DM Model]\n");
    Write("c_nomodel.ini", mirror); // listed: the scan reads only the type
    Write("driver.ini", "[General]\nFileType=Driver Info\nDeviceName=Driver\n");
    Write("lower.ini", "[General]\nFileType=mirror info\n[DM Model]\n");
    Write("notype.ini", "[General]\nDeviceName=x\n");
    Write("junk.ini", std::string("\0\xff[General\n\x01=\x02", 13));
    Write("mirror.txt", mirror + "[DM Model]\n");
    Write("mirror.ini.bak", mirror + "[DM Model]\n");
    Write(".hidden.ini", mirror + "[DM Model]\n");
    std::filesystem::create_directories(root / "Devices" / "folder.ini");

    InfoFileListClass list("Mirror Info");
    EXPECT_TRUE(list.Scan("..\\Devices\\", ".ini"));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetDeviceName(0), "a_unnamed.ini");
    EXPECT_EQ(list.GetPath(0), "..\\Devices\\a_unnamed.ini");
    EXPECT_EQ(list.GetDeviceName(1), "Named Mirror");
    EXPECT_EQ(list.GetPath(1), "..\\Devices\\b_named.ini");
    EXPECT_EQ(list.GetDeviceName(2), "c_nomodel.ini");
    EXPECT_EQ(list.GetDeviceName(3), "");
    EXPECT_EQ(list.GetPath(-1), "");
    // A listed file without a device name still reports "NA" once read.
    EXPECT_EQ(MirrorInfoClass(list.GetPath(0)).DeviceName, "NA");
    EXPECT_FALSE(MirrorInfoClass(list.GetPath(2)).IsValid());

    InfoFileListClass drivers("Driver Info");
    drivers.Scan("..\\Devices\\", "ini"); // the dot is added
    ASSERT_EQ(drivers.Count(), 1);
    EXPECT_EQ(drivers.GetDeviceName(0), "Driver");
}

TEST_F(DeviceFolder, AbsoluteFolderScansAndLoadsToo) {
    Write("m.ini", "[General]\nFileType=Mirror Info\nMapPrefix=A\n[DM Model]\n[A]\nIndex=0\n");
    Write("DMmap_A.dat", "1 2\n");
    InfoFileListClass list("Mirror Info");
    list.Scan((root / "Devices").string() + "/", ".ini");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetPath(0), (root / "Devices" / "m.ini").string());
    MirrorInfoClass info(list.GetPath(0));
    ASSERT_TRUE(info.IsValid());
    EXPECT_EQ(info.MapFileName, (root / "Devices" / "DMmap_A.dat").string());
    EXPECT_EQ(info.DisplayIndexByIndex, (std::vector<int>{3}));
}

TEST_F(DeviceFolder, ScanPatternsAndMissingFolders) {
    const std::string mirror = "[General]\nFileType=Mirror Info\n[DM Model]\n";
    Write("alpha.ini", mirror);
    Write("beta.ini", mirror);
    Write("beta.dev", mirror);
    struct Case {
        const char* pattern;
        const char* extension;
        std::vector<std::string> paths;
    } cases[] = {
        {"..\\Devices\\b*", ".ini", {"..\\Devices\\beta.ini"}},
        {"..\\Devices\\b*.dev", ".ini", {"..\\Devices\\beta.dev"}},
        {"../Devices/", ".dev", {"../Devices/beta.dev"}},
        {"..\\Devices\\alpha", ".ini", {"..\\Devices\\alpha.ini"}},
        {"..\\Nowhere\\", ".ini", {}},
        {"..\\Devices", ".ini", {}}, // "Devices" is taken as a file name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        InfoFileListClass list("Mirror Info");
        EXPECT_TRUE(list.Scan(c.pattern, c.extension));
        std::vector<std::string> paths;
        for (int i = 0; i < list.Count(); ++i)
            paths.push_back(list.GetPath(i));
        EXPECT_EQ(paths, c.paths);
    }
}

} // namespace
} // namespace ostrander
