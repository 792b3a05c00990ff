#include "toolkit/IniFile.h"

#include "support/TempFolder.h"
#include "toolkit/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using ostrander::IniFile;
namespace fs = std::filesystem;

namespace {

using ostrander::testing_support::ReadWhole;
using ostrander::testing_support::WriteWhole;

class TempFolder : public ::testing::Test {
protected:
    void TearDown() override {
        IniFile::SetSaveHookForTesting(nullptr);
    }
    ostrander::testing_support::TempFolder temp_{"ostrander-ini"};
    const fs::path dir_ = temp_.Path();
};

} // namespace

TEST(IniFile, ReadsTheShapesRealFilesTake) {
    struct Case {
        const char* name;
        const char* text;
        const char* section;
        const char* key;
        const char* value; // ReadString with the default "(default)"
    };
    const Case cases[] = {
        {"CR LF", "[General]\r\nFileType=Mirror Info\r\n", "General", "FileType", "Mirror Info"},
        {"LF", "[General]\nFileType=Mirror Info\n", "General", "FileType", "Mirror Info"},
        {"no final line end", "[General]\nFileType=Mirror Info", "General", "FileType",
         "Mirror Info"},
        {"spaces and tabs", "[ General ]\r\n \tFileType =  Mirror Info \t\r\n", "General",
         "FileType", "Mirror Info"},
        {"case of names", "[GENERAL]\nfiletype=Mirror Info\n", "General", "FileType",
         "Mirror Info"},
        {"case of value kept", "[General]\nFileType=mirror info\n", "general", "FILETYPE",
         "mirror info"},
        {"blank lines", "\r\n\r\n[General]\r\n\r\n\r\nFileType=x\r\n\r\n", "General", "FileType",
         "x"},
        {"comments", "[General]\n;FileType=a\n# FileType=b\nFileType=c\n", "General", "FileType",
         "c"},
        {"empty value", "[General]\nCreator=\n", "General", "Creator", ""},
        {"value with '='", "[General]\nExpr=a=b\n", "General", "Expr", "a=b"},
        {"key before any section", "FileType=top\n[General]\n", "General", "FileType", "(default)"},
        {"line without '='", "[General]\nFileType\n", "General", "FileType", "(default)"},
        {"empty key name", "[General]\n=x\n", "General", "", "(default)"},
        {"missing section", "[General]\nFileType=x\n", "DM Model", "FileType", "(default)"},
        {"repeated key: first wins", "[General]\nKey=1\nKEY=2\n", "General", "Key", "1"},
        {"repeated section merged", "[A]\nX=1\n[B]\nY=2\n[a]\nX=3\nZ=4\n", "A", "Z", "4"},
        {"repeated section: first value wins", "[A]\nX=1\n[B]\n[a]\nX=3\n", "A", "X", "1"},
        {"byte order mark", "\xEF\xBB\xBF[General]\r\nFileType=x\r\n", "General", "FileType", "x"},
        {"text after ']'", "[General] ; note\nFileType=x\n", "General", "FileType", "x"},
        {"section with spaces", "[DM Model]\nShape=1\n", "dm model", "shape", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile f = IniFile::FromText(c.text);
        EXPECT_EQ(f.ReadString(c.section, c.key, "(default)"), c.value);
    }
}

TEST(IniFile, TypedReadsFallBackToTheDefault) {
    struct Case {
        const char* text;
        int integer; // default 7
        double real; // default -1
        bool flag;   // default false
    };
    const Case cases[] = {
        {"12", 12, 12.0, true},           {"0", 0, 0.0, false},
        {"-1", -1, -1.0, true},           {"$1F", 31, -1.0, true},
        {"0x10", 16, -1.0, true},         {"2.5", 7, 2.5, false},
        {"-3.25e-6", 7, -3.25e-6, false}, {"12abc", 7, -1.0, false},
        {"1,5", 7, -1.0, false},          {"", 7, -1.0, false},
        {"true", 7, -1.0, false},         {"99999999999", 7, 99999999999.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        IniFile f = IniFile::FromText(std::string("[S]\nK=") + c.text + "\n");
        EXPECT_EQ(f.ReadInteger("S", "K", 7), c.integer);
        EXPECT_DOUBLE_EQ(f.ReadFloat("S", "K", -1.0), c.real);
        EXPECT_EQ(f.ReadBool("S", "K", false), c.flag);
    }
    IniFile f = IniFile::FromText("[S]\nK=abc\n");
    EXPECT_TRUE(f.ReadBool("S", "K", true));
    EXPECT_TRUE(f.ReadBool("S", "missing", true));
    EXPECT_EQ(f.ReadInteger("missing", "K", 5), 5);
}

TEST(IniFile, ListsSectionsAndKeysInFileOrder) {
    IniFile f = IniFile::FromText("junk\n[General]\nB=1\nA=2\n[DM Model]\n[Act 3]\nZ=0\n"
                                  "[general]\nC=3\n");
    EXPECT_EQ(f.ReadSections(), (std::vector<std::string>{"General", "DM Model", "Act 3"}));
    EXPECT_EQ(f.ReadSection("GENERAL"), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_TRUE(f.ReadSection("none").empty());
    EXPECT_TRUE(f.SectionExists("dm model"));
    EXPECT_FALSE(f.SectionExists("DM"));
    EXPECT_TRUE(f.ValueExists("General", "a"));
    EXPECT_FALSE(f.ValueExists("DM Model", "A"));
}

TEST(IniFile, WritesKeepEveryOtherSectionAndKey) {
    IniFile f = IniFile::FromText("[General]\r\nFileType=Actuator Pattern Set\r\nCount=2\r\n"
                                  "[Pattern000]\r\nPatternName=Flat\r\nVoltage000=0\r\n");
    f.WriteInteger("GENERAL", "count", 3);             // existing key: value replaced in place
    f.WriteString("General", "PatternSetName", "Set"); // new key: appended to its section
    f.WriteFloat("Pattern001", "HoldTime", 0.5);       // new section: appended
    f.WriteBool("Pattern001", "Flag", true);
    EXPECT_EQ(f.ToText(), "[General]\r\nFileType=Actuator Pattern Set\r\nCount=3\r\n"
                          "PatternSetName=Set\r\n\r\n"
                          "[Pattern000]\r\nPatternName=Flat\r\nVoltage000=0\r\n\r\n"
                          "[Pattern001]\r\nHoldTime=0.5\r\nFlag=1\r\n");

    f.DeleteKey("general", "FILETYPE");
    f.EraseSection("pattern000");
    EXPECT_EQ(f.ReadSections(), (std::vector<std::string>{"General", "Pattern001"}));
    EXPECT_EQ(f.ReadSection("General"), (std::vector<std::string>{"Count", "PatternSetName"}));
    f.WriteString("Pattern000", "PatternName", "Again"); // a new section after erasing
    EXPECT_EQ(f.ReadSections().back(), "Pattern000");
    EXPECT_EQ(f.ReadInteger("general", "count", 0), 3);

    f.Clear();
    EXPECT_TRUE(f.ReadSections().empty());
    EXPECT_EQ(f.ToText(), "");
}

TEST(IniFile, WrittenTextReadsBackToTheSameValues) {
    IniFile f;
    const double values[] = {0.1 + 0.2, 1.0 / 3.0, 12.5, -350, 1e-7, 6.02214076e23};
    for (std::size_t i = 0; i < std::size(values); ++i)
        f.WriteFloat("Voltages", "V" + std::to_string(i), values[i]);
    f.WriteString("Names", "Name", "two\r\nlines [General]");
    f.WriteInteger("Names", "Count", -2147483647 - 1);
    f.WriteString("Line\nBreak", "Key\n", "x");

    IniFile g = IniFile::FromText(f.ToText());
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(g.ReadFloat("Voltages", "V" + std::to_string(i), 0), values[i]) << i;
    EXPECT_EQ(g.ReadString("Voltages", "V2", ""), "12.5");
    EXPECT_EQ(g.ReadString("Names", "Name", ""), "two  lines [General]");
    EXPECT_EQ(g.ReadInteger("Names", "Count", 0), -2147483647 - 1);
    EXPECT_EQ(g.ReadSections(), (std::vector<std::string>{"Voltages", "Names", "Line Break"}));
}

// Small sections are searched along their keys, large ones through the
// index: both must give the same answers through deletes, rewrites and
// erased sections.
TEST(IniFile, SmallAndLargeSectionsBehaveAlike) {
    for (const int keys : {3, 9, 50}) {
        SCOPED_TRACE(keys);
        std::string text = "[Before]\nA=1\n[Mixed]\n";
        std::vector<std::string> names;
        for (int k = 0; k < keys; ++k) {
            names.push_back("Key" + std::to_string(k));
            text += names.back() + "=" + std::to_string(k) + "\n";
        }
        text += "[After]\nB=2\n[MIXED]\nKey0=repeated\nExtra=x\n";
        IniFile ini = IniFile::FromText(text);
        names.push_back("Extra");
        EXPECT_EQ(ini.ReadSection("mixed"), names);
        EXPECT_EQ(ini.ReadString("MIXED", "KEY0", ""), "0"); // the first value wins
        EXPECT_EQ(ini.ReadInteger("mixed", "key" + std::to_string(keys - 1), -1), keys - 1);

        // First, middle and last keys deleted; the rest keep their order.
        ini.DeleteKey("Mixed", "key0");
        ini.DeleteKey("Mixed", "Key" + std::to_string(keys / 2));
        ini.DeleteKey("Mixed", "EXTRA");
        ini.DeleteKey("Mixed", "NoSuchKey");
        std::vector<std::string> left(names.begin() + 1, names.end() - 1);
        left.erase(left.begin() + (keys / 2 - 1));
        EXPECT_EQ(ini.ReadSection("Mixed"), left);
        EXPECT_FALSE(ini.ValueExists("Mixed", "Key0"));
        // A deleted key written again goes to the end; values change longer and shorter.
        const std::string last = "Key" + std::to_string(keys - 1);
        ini.WriteString("Mixed", "KEY0", "back");
        ini.WriteString("Mixed", last, "a much longer value than before");
        EXPECT_EQ(ini.ReadString("mixed", last, ""), "a much longer value than before");
        ini.WriteString("Mixed", last, "short");
        left.push_back("KEY0");
        EXPECT_EQ(ini.ReadSection("Mixed"), left);
        EXPECT_EQ(ini.ReadString("mixed", "key0", ""), "back");
        EXPECT_EQ(ini.ReadString("mixed", last, ""), "short");

        // Erasing sections keeps the others, their keys and their order.
        ini.EraseSectionsIf([](const std::string& name) { return name == "Before"; });
        EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Mixed", "After"}));
        EXPECT_EQ(ini.ReadSection("Mixed"), left);
        EXPECT_EQ(ini.ReadString("after", "b", ""), "2");
        ini.EraseSection("AFTER");
        EXPECT_FALSE(ini.SectionExists("After"));
        const IniFile again = IniFile::FromText(ini.ToText());
        EXPECT_EQ(again.ReadSection("Mixed"), left);
        EXPECT_EQ(again.ReadString("Mixed", "Key" + std::to_string(keys - 1), ""), "short");
    }
}

TEST_F(TempFolder, SavesAndLoadsThroughBackslashPaths) {
    fs::create_directory(dir_ / "Devices");
    std::string name = dir_.string() + "\\Devices\\m.ini";
    IniFile f(name);
    EXPECT_FALSE(f.Loaded());
    f.WriteString("General", "FileType", "Mirror Info");
    ASSERT_TRUE(f.UpdateFile());
    EXPECT_EQ(ReadWhole(dir_ / "Devices" / "m.ini"), "[General]\r\nFileType=Mirror Info\r\n");

    IniFile g(name);
    EXPECT_TRUE(g.Loaded());
    EXPECT_EQ(g.ReadString("general", "filetype", ""), "Mirror Info");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "Devices"), fs::directory_iterator{}),
              1); // no temporary file left behind

    IniFile none;
    EXPECT_FALSE(none.UpdateFile()); // no file name
    EXPECT_FALSE(none.Load((dir_ / "missing.ini").string()));
    EXPECT_FALSE(none.Load(dir_.string())); // a folder is not a file
}

TEST_F(TempFolder, FailedSaveLeavesTheOldFileIntact) {
    const fs::path target = dir_ / "set.ini";
    const std::string old = "[General]\r\nFileType=Actuator Pattern Set\r\nPatternCount=5\r\n";
    WriteWhole(target, old);
    IniFile f(target.string());
    ASSERT_TRUE(f.Loaded());
    f.WriteInteger("General", "PatternCount", 6);

    // The write fails after the temporary file was written, before the rename.
    static std::string seenTemporary;
    IniFile::SetSaveHookForTesting([](const std::string& tmp) {
        seenTemporary = tmp;
        return false;
    });
    EXPECT_FALSE(f.UpdateFile());
    IniFile::SetSaveHookForTesting(nullptr);
    EXPECT_EQ(ReadWhole(target), old);
    EXPECT_EQ(fs::path(seenTemporary).parent_path(), dir_); // written beside the target
    EXPECT_FALSE(fs::exists(seenTemporary));

    // A folder at the name the last save used is left alone: the next save
    // takes a name of its own.
    fs::create_directory(seenTemporary);
    fs::create_directory(fs::path(target.string() + ".tmp~"));
    ASSERT_TRUE(f.UpdateFile());
    EXPECT_TRUE(fs::is_directory(seenTemporary));
    EXPECT_TRUE(fs::is_directory(target.string() + ".tmp~"));
    EXPECT_EQ(IniFile(target.string()).ReadInteger("General", "PatternCount", 0), 6);
    fs::remove(seenTemporary);
    fs::remove(target.string() + ".tmp~");
    f.WriteInteger("General", "PatternCount", 7);

    // A folder in place of the target is not replaced.
    EXPECT_FALSE(f.SaveAs(dir_.string()));
    EXPECT_TRUE(fs::is_directory(dir_));

    ASSERT_TRUE(f.UpdateFile());
    EXPECT_EQ(IniFile(target.string()).ReadInteger("General", "PatternCount", 0), 7);
}

TEST_F(TempFolder, SaveKeepsPermissionsAndFollowsLinks) {
    const fs::path real = dir_ / "real.ini";
    const fs::path link = dir_ / "link.ini";
    WriteWhole(real, "[A]\nX=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);

    IniFile f(link.string());
    ASSERT_TRUE(f.Loaded());
    f.WriteInteger("A", "X", 2);
    ASSERT_TRUE(f.UpdateFile());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(IniFile(real.string()).ReadInteger("A", "X", 0), 2);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(TempFolder, FileOverTheSizeLimitIsRefused) {
    const fs::path big = dir_ / "big.ini";
    const std::string head = "[General]\nFileType=Mirror Info\n";
    WriteWhole(big, head);
    // Sparse: the size is there without writing 16 MiB.
    fs::resize_file(big, IniFile::MaxFileBytes + 1);
    IniFile f(big.string());
    EXPECT_FALSE(f.Loaded());
    EXPECT_FALSE(f.SectionExists("General"));

    IniFile g;
    g.WriteString("Old", "Key", "dropped by a refused load");
    EXPECT_FALSE(g.Load(big.string()));
    EXPECT_TRUE(g.ReadSections().empty());

    fs::resize_file(big, IniFile::MaxFileBytes); // exactly at the limit: read
    IniFile h(big.string());
    EXPECT_TRUE(h.Loaded());
    EXPECT_EQ(h.ReadString("General", "FileType", ""), "Mirror Info");
}
