#include "Shared_Software/Pattern/PatternClass.h"

#include "support/TempFolder.h"
#include "toolkit/Dialogs.h"
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

using testing_support::ReadWhole;

using Pairs = std::vector<std::pair<int, double>>;

using testing_support::TempFolder;

void WriteText(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// Non-blank lines of a text, line ends stripped.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

Pairs Contents(const VoltageListClass& list) {
    Pairs out;
    for (const VoltageListEntry* e = list.First(); e != nullptr; e = e->next)
        out.emplace_back(e->Actuator, e->Voltage);
    return out;
}

void Fill(VoltageListClass& list, const Pairs& pairs) {
    for (const auto& [n, v] : pairs)
        list.Insert(n, v);
}

Pairs VoltagesOf(const PatternClass& set, int index) {
    auto list = set.GetPatternVoltages(index);
    return list ? Contents(*list) : Pairs{};
}

// Names and indices in list order; also checks the index invariant.
std::vector<std::string> Names(const PatternClass& set) {
    std::vector<std::string> names;
    int expected = 0;
    for (const PatternListEntry* e = set.first; e != nullptr; e = e->next) {
        EXPECT_EQ(e->index, expected++) << e->PatternName;
        names.push_back(e->PatternName);
    }
    EXPECT_EQ(set.GetPatternCount(), expected);
    return names;
}

// A valid set "Set" of three voltages holding the given names, pattern i
// having the voltages i, i + 0.5, i + 1.
std::unique_ptr<PatternClass> MakeSet(const std::vector<std::string>& names) {
    auto set = std::make_unique<PatternClass>("Set", 3);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const double volts[] = {double(i), i + 0.5, i + 1.0};
        EXPECT_TRUE(set->InsertPatternFromArray(int(i), names[i], volts, 3));
    }
    return set;
}

const char* const ExampleLines[] = {
    "[General]",
    "FileType=Actuator Pattern Set",
    "PatternSetName=Focus steps",
    "PatternCount=2",
    "VoltageCount=3",
    "[FileInformation]",
    "FileVersion=1.0",
    "[Pattern000]",
    "PatternName=Flat",
    "Voltage000=0",
    "Voltage001=0",
    "Voltage002=0",
    "[Pattern001]",
    "PatternName=Step 1",
    "HoldTime=0.5",
    "Voltage000=10",
    "Voltage001=12.5",
    "Voltage002=10",
};

} // namespace

TEST(PatternFile, WritesTheExampleFileLineByLineAndReadsItBack) {
    TempFolder dir;
    PatternClass set("Focus steps", 3);
    const double flat[] = {0, 0, 0};
    const double step[] = {10, 12.5, 10};
    ASSERT_TRUE(set.InsertPatternFromArray(0, "Flat", flat, 3));
    ASSERT_TRUE(set.InsertPatternFromArray(1, "Step 1", step, 3));
    // Hold times are not editable through the set; give one through a file.
    const std::string file = dir.File("focus.ini");
    ASSERT_TRUE(set.Write(file, "1.0"));
    std::string text = ReadWhole(file);
    text.replace(text.find("PatternName=Step 1\r\n") + 20, 0, "HoldTime=0.5\r\n");
    WriteText(file, text);

    PatternClass read(file);
    ASSERT_TRUE(read.IsValid());
    EXPECT_EQ(read.GetFileName(), file);
    EXPECT_EQ(read.GetPatternSetName(), "Focus steps");
    EXPECT_EQ(read.GetVoltageCount(), 3);
    EXPECT_EQ(Names(read), (std::vector<std::string>{"Flat", "Step 1"}));
    EXPECT_EQ(VoltagesOf(read, 0), (Pairs{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(VoltagesOf(read, 1), (Pairs{{1, 10}, {2, 12.5}, {3, 10}}));
    EXPECT_EQ(read.FindPattern(1)->HoldTime, 0.5);
    EXPECT_EQ(read.FindPattern(0)->HoldTime, 0.0);

    // Written again by the set read from it: exactly the example's lines,
    // HoldTime kept, and only where it is not 0.
    const std::string again = dir.File("again.ini");
    ASSERT_TRUE(read.Write(again, "1.0"));
    EXPECT_EQ(Lines(ReadWhole(again)),
              std::vector<std::string>(std::begin(ExampleLines), std::end(ExampleLines)));
}

TEST(PatternFile, VersionTwoUsesPlainNumbersBothWays) {
    TempFolder dir;
    PatternClass set("Wide", 12);
    std::vector<double> volts(12);
    for (int i = 0; i < 12; ++i)
        volts[i] = 100 + i;
    for (int p = 0; p < 11; ++p)
        ASSERT_TRUE(set.InsertPatternFromArray(p, "P" + std::to_string(p), volts.data(), 12));
    const std::string file = dir.File("v2.ini");
    ASSERT_TRUE(set.Write(file, "2.0"));

    IniFile ini(file);
    EXPECT_EQ(ini.ReadString("FileInformation", "FileVersion", ""), "2.0");
    EXPECT_TRUE(ini.SectionExists("Pattern10"));
    EXPECT_FALSE(ini.SectionExists("Pattern010"));
    EXPECT_EQ(ini.ReadString("Pattern7", "Voltage11", ""), "111");
    EXPECT_FALSE(ini.ValueExists("Pattern7", "Voltage011"));

    PatternClass read(file);
    ASSERT_TRUE(read.IsValid());
    EXPECT_EQ(read.GetPatternCount(), 11);
    EXPECT_EQ(VoltagesOf(read, 10)[11], (std::pair<int, double>{12, 111}));
}

TEST(PatternFile, ReaderNumbersByVersionAndDefaultsMissingKeys) {
    struct Case {
        const char* name;
        const char* version; // nullptr: no FileInformation section
        const char* section;
        const char* key;
    } cases[] = {
        {"1.0 pads", "1.0", "Pattern000", "Voltage001"},
        {"missing version reads as 1.0", nullptr, "Pattern000", "Voltage001"},
        {"2.0 is plain", "2.0", "Pattern0", "Voltage1"},
        {"any other text is plain", "3.7", "Pattern0", "Voltage1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = "[General]\nFileType=Actuator Pattern Set\nPatternCount=2\n"
                           "VoltageCount=3\n";
        if (c.version)
            text += std::string("[FileInformation]\nFileVersion=") + c.version + "\n";
        text += std::string("[") + c.section + "]\n" + c.key + "=7.25\nHoldTime=oops\n";

        // Read from the text: the name only becomes the set's file name.
        PatternClass set("numbering.ini", IniFile::FromText(text));
        ASSERT_TRUE(set.IsValid());
        EXPECT_EQ(set.GetFileName(), "numbering.ini");
        EXPECT_EQ(set.GetPatternSetName(), "");
        // The second pattern has no section: named after it, all voltages 0.
        const std::string second =
            c.section == std::string("Pattern000") ? "Pattern001" : "Pattern1";
        EXPECT_EQ(Names(set), (std::vector<std::string>{c.section, second}));
        EXPECT_EQ(VoltagesOf(set, 0), (Pairs{{1, 0}, {2, 7.25}, {3, 0}}));
        EXPECT_EQ(VoltagesOf(set, 1), (Pairs{{1, 0}, {2, 0}, {3, 0}}));
        EXPECT_EQ(set.FindPattern(0)->HoldTime, 0.0);
    }
}

// Text that is no voltage never becomes one silently: each such key is
// named, with its pattern, and reads as 0 V; where no voltage at all can be
// read, the set is refused with the reason.
TEST(PatternFile, UnreadableVoltagesAreNamedNeverSilentlyZero) {
    const std::string head = "[General]\nFileType=Actuator Pattern Set\nPatternCount=2\n"
                             "VoltageCount=2\n[FileInformation]\nFileVersion=";
    const std::string good = "[Pattern000]\nPatternName=Good\nVoltage000=10\nVoltage001=20\n";
    struct Case {
        const char* name;
        std::string text;
        bool valid;
        std::vector<std::string> told; // all in one warning (or the error)
        Pairs second;                  // the second pattern's voltages when valid
    };
    const Case cases[] = {
        {"not a number", head + "1.0\n" + good + "[Pattern001]\nPatternName=Bad\n"
                                                 "Voltage000=0x10\nVoltage001=5\n",
         true, {"\"Bad\"", "Voltage000=0x10", "not a decimal number"}, {{1, 0}, {2, 5}}},
        {"nan", head + "1.0\n" + good + "[Pattern001]\nPatternName=Bad\nVoltage000=4\n"
                                        "Voltage001=nan\n",
         true, {"\"Bad\"", "Voltage001=nan", "not a finite number"}, {{1, 4}, {2, 0}}},
        {"inf and overflow counted", head + "1.0\n" + good +
             "[Pattern001]\nPatternName=Bad\nVoltage000=inf\nVoltage001=1e999\n",
         true, {"\"Bad\"", "Voltage000=inf", "not a finite number", "and 1 more"}, {{1, 0}, {2, 0}}},
        {"keys of version 2.0 in a 1.0 file", head + "1.0\n" + good +
             "[Pattern001]\nPatternName=Other\nVoltage0=30\nVoltage1=40\n",
         true, {"\"Other\"", "Voltage0", "instead of Voltage000", "other file version"},
         {{1, 0}, {2, 0}}},
        {"keys of version 1.0 in a 2.0 file", head + "2.0\n[Pattern0]\nPatternName=P\n"
             "Voltage0=1\nVoltage1=2\n[Pattern1]\nPatternName=Q\nVoltage000=3\nVoltage1=4\n",
         true, {"\"Q\"", "Voltage000", "instead of Voltage0"}, {{1, 0}, {2, 4}}},
        {"a missing key", head + "1.0\n" + good + "[Pattern001]\nPatternName=Short\n"
                                                  "Voltage000=3\n",
         true, {"\"Short\"", "Voltage001 is missing"}, {{1, 3}, {2, 0}}},
        {"sections past the count", head + "1.0\n" + good +
             "[Pattern001]\nPatternName=B\nVoltage000=1\nVoltage001=2\n"
             "[Pattern002]\nPatternName=C\nVoltage000=1\nVoltage001=2\n[Pattern007]\n",
         true, {"2 pattern sections past PatternCount=2", "[Pattern002] and more", "not read"},
         {{1, 1}, {2, 2}}},
        {"a missing section", head + "1.0\n" + good, true, {"no section [Pattern001]"},
         {{1, 0}, {2, 0}}},
        {"sections of the other version", head + "1.0\n" + good +
             "[Pattern1]\nPatternName=Moved\nVoltage000=3\nVoltage001=4\n",
         true, {"no section [Pattern001]", "[Pattern1]", "version 2.0"}, {{1, 0}, {2, 0}}},
        {"unknown FileVersion, 2.0 keys", head + "9.9\n[Pattern0]\nPatternName=P\nVoltage0=1\n"
             "Voltage1=2\n[Pattern1]\nPatternName=Q\nVoltage0=3\nVoltage1=4\n",
         true, {"FileVersion \"9.9\""}, {{1, 3}, {2, 4}}},
        // Nothing usable is left: an error, not a set of 0 V patterns.
        {"unknown FileVersion, 1.0 keys", head + "9.9\n" + good +
             "[Pattern001]\nPatternName=Q\nVoltage000=3\nVoltage001=4\n",
         false, {"no voltage", "FileVersion \"9.9\""}, {}},
        {"every key of the other version", head + "1.0\n[Pattern000]\nPatternName=A\n"
             "Voltage0=1\nVoltage1=2\n[Pattern001]\nPatternName=B\nVoltage0=3\nVoltage1=4\n",
         false, {"no voltage", "\"A\"", "Voltage0"}, {}},
        {"every value unreadable", head + "1.0\n[Pattern000]\nPatternName=A\nVoltage000=nan\n"
             "Voltage001=x\n[Pattern001]\nPatternName=B\nVoltage000=inf\nVoltage001=-inf\n",
         false, {"no voltage", "\"A\"", "Voltage000=nan"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PatternClass set("flawed.pat", IniFile::FromText(c.text));
        ASSERT_EQ(set.IsValid(), c.valid) << set.ReadError();
        std::vector<std::string> lines = set.ReadWarnings();
        if (!c.valid) {
            EXPECT_EQ(set.GetPatternCount(), 0);
            lines = {set.ReadError()};
        } else {
            EXPECT_EQ(set.ReadError(), "");
            EXPECT_EQ(VoltagesOf(set, 1), c.second);
            if (c.text.find("PatternName=Good") != std::string::npos) {
                EXPECT_EQ(VoltagesOf(set, 0), (Pairs{{1, 10}, {2, 20}}));
            }
        }
        const bool told = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return std::all_of(c.told.begin(), c.told.end(), [&](const std::string& part) {
                return line.find(part) != std::string::npos;
            });
        });
        EXPECT_TRUE(told) << (lines.empty() ? "no warning" : lines.front());
    }

    // A good file, read after a flawed one, has nothing to say.
    PatternClass set("flawed.pat", IniFile::FromText(cases[0].text));
    ASSERT_FALSE(set.ReadWarnings().empty());
    ASSERT_TRUE(set.Read("good.pat", IniFile::FromText(head + "1.0\n" + good +
                                                     "[Pattern001]\nVoltage000=1\nVoltage001=2\n")));
    EXPECT_TRUE(set.ReadWarnings().empty());
}

// Every shipped pattern file reads without a warning.
TEST(PatternFile, ShippedFilesReadWithoutWarnings) {
    const std::string folder = std::string(OSTRANDER_SOURCE_DIR) + "/Devices";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".pat")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        PatternClass set(entry.path().string());
        EXPECT_TRUE(set.IsValid());
        EXPECT_EQ(set.ReadWarnings(), std::vector<std::string>{});
    }
    EXPECT_GE(files, 12);
}

TEST(PatternFile, UnusableFilesGiveAnInvalidEmptySet) {
    TempFolder dir;
    struct Case {
        const char* name;
        const char* text; // nullptr: no file
        bool takesFileName;
    } cases[] = {
        {"missing file", nullptr, false},
        {"other type", "[General]\nFileType=Mirror Info\nPatternCount=1\nVoltageCount=1\n", false},
        {"no type", "[General]\nPatternCount=1\nVoltageCount=1\n", false},
        {"type differs in case",
         "[General]\nFileType=actuator pattern set\nPatternCount=1\n"
         "VoltageCount=1\n",
         false},
        {"no patterns",
         "[General]\nFileType=Actuator Pattern Set\nPatternCount=0\nVoltageCount=3\n", true},
        {"no voltages",
         "[General]\nFileType=Actuator Pattern Set\nPatternCount=2\nVoltageCount=0\n", true},
        {"negative count",
         "[General]\nFileType=Actuator Pattern Set\nPatternCount=-4\n"
         "VoltageCount=3\n",
         true},
        {"counts not numbers",
         "[General]\nFileType=Actuator Pattern Set\nPatternCount=two\n"
         "VoltageCount=3\n",
         true},
        {"absurd counts",
         "[General]\nFileType=Actuator Pattern Set\nPatternCount=2000000000\n"
         "VoltageCount=2000000000\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.File("bad.ini");
        fs::remove(file);
        if (c.text)
            WriteText(file, c.text);
        PatternClass set(file);
        EXPECT_FALSE(set.IsValid());
        EXPECT_EQ(set.GetPatternCount(), 0);
        EXPECT_EQ(set.first, nullptr);
        EXPECT_EQ(set.GetFileName(), c.takesFileName ? file : "FileName not set");
        EXPECT_EQ(set.GetPatternNames(), std::vector<std::string>{"None"});
        EXPECT_EQ(set.GetPatternVoltages(0), nullptr);
        EXPECT_FALSE(set.Write(dir.File("out.ini"), "1.0"));
        EXPECT_FALSE(fs::exists(dir.File("out.ini")));
    }
}

TEST(PatternFile, ActuatorMapRenumbersOnlyWhenTheFileAsksAndOnlyWithinTheMap) {
    TempFolder dir;
    const std::string body = "PatternCount=1\nVoltageCount=4\n[Pattern000]\nVoltage000=1\n"
                             "Voltage001=2\nVoltage002=3\nVoltage003=4\n";
    const std::string mapped = dir.File("mapped.ini");
    const std::string plain = dir.File("plain.ini");
    WriteText(mapped, "[General]\nFileType=Actuator Pattern Set\nUse DM Indexing=1\n" + body);
    WriteText(plain, "[General]\nFileType=Actuator Pattern Set\n" + body);

    const int map[] = {7, 5, 6, 9};
    struct Case {
        const char* name;
        const std::string& file;
        const int* map;
        int length;
        Pairs expected;
    } cases[] = {
        {"whole map", mapped, map, 4, {{5, 2}, {6, 3}, {7, 1}, {9, 4}}},
        // Beyond the map's end the numbers stay their own (3, 4).
        {"short map", mapped, map, 2, {{3, 3}, {4, 4}, {5, 2}, {7, 1}}},
        {"no map", mapped, nullptr, 0, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
        {"file does not ask", plain, map, 4, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PatternClass set(c.file, c.map, c.length);
        ASSERT_TRUE(set.IsValid());
        Pairs got = VoltagesOf(set, 0);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.expected);
    }

    // Written back without the key: voltage keys carry the mapped numbers - 1.
    PatternClass set(mapped, map, 4);
    const std::string out = dir.File("out.ini");
    ASSERT_TRUE(set.Write(out, "1.0"));
    IniFile ini(out);
    EXPECT_FALSE(ini.ValueExists("General", "Use DM Indexing"));
    EXPECT_EQ(ini.ReadString("Pattern000", "Voltage006", ""), "1");
    EXPECT_EQ(ini.ReadString("Pattern000", "Voltage008", ""), "4");
}

TEST(PatternSet, NewSetAndEmptyNameList) {
    PatternClass set("Mine", 5);
    EXPECT_TRUE(set.IsValid());
    EXPECT_EQ(set.GetFileName(), "FileName not set");
    EXPECT_EQ(set.GetPatternSetName(), "Mine");
    EXPECT_EQ(set.GetVoltageCount(), 5);
    EXPECT_EQ(set.GetPatternNames(), std::vector<std::string>{"None"});
    set.SetPatternSetName("");
    EXPECT_EQ(set.GetPatternSetName(), "");
}

TEST(PatternSet, InsertBeforeAnExistingIndexOrAppend) {
    struct Case {
        int index;
        std::vector<std::string> order;
    } cases[] = {
        {0, {"new", "a", "b", "c"}},  {1, {"a", "new", "b", "c"}},  {3, {"a", "b", "c", "new"}},
        {99, {"a", "b", "c", "new"}}, {-1, {"a", "b", "c", "new"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        auto owned = MakeSet({"a", "b", "c"});
        PatternClass& set = *owned;
        VoltageListClass volts;
        Fill(volts, {{1, 9}, {2, 8}, {3, 7}});
        ASSERT_TRUE(set.InsertPattern(c.index, "new", volts));
        EXPECT_EQ(Names(set), c.order);
        const int at = int(std::find(c.order.begin(), c.order.end(), "new") - c.order.begin());
        EXPECT_EQ(VoltagesOf(set, at), (Pairs{{1, 9}, {2, 8}, {3, 7}}));
        // The pattern "a" moved with its own voltages.
        const int a = int(std::find(c.order.begin(), c.order.end(), "a") - c.order.begin());
        EXPECT_EQ(VoltagesOf(set, a), (Pairs{{1, 0}, {2, 0.5}, {3, 1}}));
    }
}

TEST(PatternSet, NamesAreUniqueAndCaseSensitive) {
    auto owned = MakeSet({"Focus", "Tilt"});
    PatternClass& set = *owned;
    VoltageListClass volts;
    Fill(volts, {{1, 1}, {2, 1}, {3, 1}});
    EXPECT_FALSE(set.InsertPattern(0, "Tilt", volts));
    EXPECT_EQ(Names(set), (std::vector<std::string>{"Focus", "Tilt"}));
    EXPECT_TRUE(set.InsertPattern(2, "tilt", volts));
    // A trailing blank would not survive a save and a read: the same name.
    EXPECT_FALSE(set.InsertPattern(2, "Tilt ", volts));
    EXPECT_EQ(set.GetPatternNames(), (std::vector<std::string>{"Focus", "Tilt", "tilt", "None"}));
}

// Names are kept as a file keeps them (one line, no blanks at the ends), so
// two names that would read back alike cannot both be in a set, and a save
// and a read give the same names.
TEST(PatternSet, NamesThatWouldReadBackAlikeAreOneName) {
    TempFolder dir;
    PatternClass set("Names", 2);
    const double v[] = {1.0, 2.0};
    ASSERT_TRUE(set.InsertPatternFromArray(0, "Focus", v, 2));
    for (const char* same : {" Focus", "Focus ", "\tFocus\t", "Focus\r\n"})
        EXPECT_FALSE(set.InsertPatternFromArray(1, same, v, 2)) << same;
    ASSERT_TRUE(set.InsertPatternFromArray(1, "  Tilt  ", v, 2));
    VoltageListClass list;
    list.SetFromArray(v, 2);
    EXPECT_FALSE(set.ReplacePattern(1, " Focus", list));
    ASSERT_TRUE(set.ReplacePattern(1, "Two\nlines ", list));
    EXPECT_EQ(set.GetPatternNames(), (std::vector<std::string>{"Focus", "Two lines", "None"}));

    const std::string file = dir.File("names.pat");
    ASSERT_TRUE(set.Write(file, "1.0"));
    EXPECT_EQ(PatternClass(file).GetPatternNames(), set.GetPatternNames());
}

TEST(PatternSet, AnUnreadSetBecomesValidWhenItHasAFileAndAName) {
    TempFolder dir;
    const double volts[] = {1, 2};
    const std::string file = dir.File("missing.ini");

    PatternClass named(file); // invalid: no file
    ASSERT_FALSE(named.IsValid());
    ASSERT_TRUE(named.InsertPatternFromArray(0, "p", volts, 2));
    EXPECT_TRUE(named.IsValid());

    PatternClass unnamed(file);
    unnamed.SetPatternSetName("");
    ASSERT_TRUE(unnamed.InsertPatternFromArray(0, "p", volts, 2));
    EXPECT_FALSE(unnamed.IsValid());
    EXPECT_EQ(unnamed.GetPatternCount(), 1);
}

TEST(PatternSet, ReplaceRenamesAndCopiesVoltages) {
    auto owned = MakeSet({"a", "b", "c"});
    PatternClass& set = *owned;
    VoltageListClass volts;
    Fill(volts, {{1, 20}, {2, 21}, {3, 22}});

    EXPECT_TRUE(set.ReplacePattern(2, "c", volts)); // under its own name
    EXPECT_EQ(VoltagesOf(set, 2), (Pairs{{1, 20}, {2, 21}, {3, 22}}));
    EXPECT_FALSE(set.ReplacePattern(2, "a", volts)); // the name of pattern 0
    EXPECT_FALSE(set.ReplacePattern(3, "d", volts)); // no such pattern
    EXPECT_TRUE(set.ReplacePattern(1, "B", volts));
    EXPECT_EQ(Names(set), (std::vector<std::string>{"a", "B", "c"}));

    // Another length: the pattern takes the new list as it is.
    VoltageListClass longer;
    Fill(longer, {{1, 5}, {2, 6}, {3, 7}, {4, 8}});
    EXPECT_TRUE(set.ReplacePattern(0, "a", longer));
    EXPECT_EQ(VoltagesOf(set, 0), (Pairs{{1, 5}, {2, 6}, {3, 7}, {4, 8}}));

    // Same length, numbers in another order: paired by number, order kept.
    VoltageListClass shuffled;
    Fill(shuffled, {{3, 33}, {1, 31}, {2, 32}});
    EXPECT_TRUE(set.ReplacePattern(1, "B", shuffled));
    EXPECT_EQ(VoltagesOf(set, 1), (Pairs{{1, 31}, {2, 32}, {3, 33}}));
}

TEST(PatternSet, ReplaceThatCannotPairTheNumbersChangesNothing) {
    auto owned = MakeSet({"a", "b"});
    PatternClass& set = *owned;
    // Same count, but actuator 5 is not in the pattern: 1 and 2 would pair
    // before 5 fails.
    VoltageListClass volts;
    Fill(volts, {{5, 52}, {1, 50}, {2, 51}});
    ASSERT_EQ(Contents(volts), (Pairs{{1, 50}, {2, 51}, {5, 52}}));
    EXPECT_FALSE(set.ReplacePattern(1, "renamed", volts));
    EXPECT_EQ(Names(set), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(VoltagesOf(set, 1), (Pairs{{1, 1}, {2, 1.5}, {3, 2}}));
}

TEST(PatternSet, DeleteRenumbersTheRest) {
    auto owned = MakeSet({"a", "b", "c", "d"});
    PatternClass& set = *owned;
    EXPECT_FALSE(set.DeletePattern(4));
    EXPECT_FALSE(set.DeletePattern(-1));
    EXPECT_TRUE(set.DeletePattern(1));
    EXPECT_EQ(Names(set), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(VoltagesOf(set, 1), (Pairs{{1, 2}, {2, 2.5}, {3, 3}}));
    EXPECT_TRUE(set.DeletePattern(2));
    EXPECT_TRUE(set.DeletePattern(0));
    EXPECT_TRUE(set.DeletePattern(0));
    EXPECT_EQ(Names(set), std::vector<std::string>{});
    EXPECT_EQ(set.last, nullptr);
    EXPECT_FALSE(set.DeletePattern(0));
}

TEST(PatternSet, SetFileNameNeedsAnExistingFolder) {
    TempFolder dir;
    struct Case {
        const char* name;
        std::string file;
        bool taken;
    } cases[] = {
        {"empty", "", false},
        {"no folder part", "plain.ini", false},
        {"missing folder", dir.File("nowhere/x.ini"), false},
        {"existing folder", dir.File("x.ini"), true},
        {"backslashes", dir.Path().string() + "\\y.ini", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PatternClass set("s", 1);
        set.SetFileName(c.file);
        EXPECT_EQ(set.GetFileName(), c.taken ? c.file : "FileName not set");
    }
}

TEST(PatternFile, WriteKeepsWhatElseTheTargetHolds) {
    TempFolder dir;
    const std::string file = dir.File("kept.ini");
    WriteText(file, "[Notes]\nAuthor=lab\n[General]\nFileType=old\nComment=keep me\n");
    auto owned = MakeSet({"a"});
    PatternClass& set = *owned;
    ASSERT_TRUE(set.Write(file, "1.0"));
    IniFile ini(file);
    EXPECT_EQ(ini.ReadString("Notes", "Author", ""), "lab");
    EXPECT_EQ(ini.ReadString("General", "Comment", ""), "keep me");
    EXPECT_EQ(ini.ReadString("General", "FileType", ""), "Actuator Pattern Set");
    EXPECT_EQ(set.GetFileName(), "FileName not set"); // Write leaves its own name
}

// A shorter set saved over a longer one leaves none of the longer one's
// patterns behind, in either numbering.
TEST(PatternFile, WriteOverALongerSetDropsItsOtherPatterns) {
    TempFolder dir;
    const std::string file = dir.File("long.pat");
    ASSERT_TRUE(MakeSet({"a", "b", "c"})->Write(file, "1.0"));
    std::ofstream(file, std::ios::binary | std::ios::app)
        << "[Pattern5]\nPatternName=stray\n[Notes]\nAuthor=lab\n";
    ASSERT_TRUE(MakeSet({"x"})->Write(file, "1.0"));
    IniFile ini(file);
    EXPECT_EQ(ini.ReadString("Pattern000", "PatternName", ""), "x");
    for (const char* gone : {"Pattern001", "Pattern002", "Pattern5"})
        EXPECT_FALSE(ini.SectionExists(gone)) << gone;
    EXPECT_EQ(ini.ReadString("Notes", "Author", ""), "lab");
    PatternClass read(file);
    EXPECT_EQ(read.GetPatternCount(), 1);
    EXPECT_EQ(read.ReadWarnings(), std::vector<std::string>{});
}

TEST(PatternFile, VersionTwoWriteTouchesOnlyTheTarget) {
    TempFolder dir;
    // The set's own file is version 1.0; writing 2.0 elsewhere leaves it whole.
    const std::string own = dir.File("own.ini");
    ASSERT_TRUE(MakeSet({"a", "b"})->Write(own, "1.0"));
    const std::string before = ReadWhole(own);
    PatternClass set(own);
    ASSERT_TRUE(set.IsValid());
    ASSERT_TRUE(set.Write(dir.File("other.ini"), "2.0"));
    EXPECT_EQ(ReadWhole(own), before);

    // Rewriting a 1.0 file as 2.0 drops its padded pattern sections, keeps the
    // rest, and reads back the same patterns.
    std::string text = before + "[Notes]\r\nAuthor=lab\r\n";
    WriteText(own, text);
    ASSERT_TRUE(set.Write(own, "2.0"));
    IniFile ini(own);
    EXPECT_FALSE(ini.SectionExists("Pattern000"));
    EXPECT_FALSE(ini.SectionExists("Pattern001"));
    EXPECT_TRUE(ini.SectionExists("Pattern1"));
    EXPECT_EQ(ini.ReadString("Notes", "Author", ""), "lab");
    PatternClass again(own);
    EXPECT_EQ(Names(again), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(VoltagesOf(again, 1), (Pairs{{1, 1}, {2, 1.5}, {3, 2}}));
}

TEST(PatternFile, UnknownVersionShowsTheBoxAndSavesNothing) {
    TempFolder dir;
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    const std::string file = dir.File("v.ini");
    WriteText(file, "[Notes]\nAuthor=lab\n");

    EXPECT_FALSE(MakeSet({"a"})->Write(file, "1.5"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error: Pattern Class");
    EXPECT_EQ(dialogs.messages[0].caption, "Invalid Version given to Write function");
    EXPECT_EQ(ReadWhole(file), "[Notes]\nAuthor=lab\n");

    // A set without patterns would not read back, so it is never written,
    // whatever the version.
    for (const char* version : {"1.0", "2.0", "1.5"}) {
        std::string reason;
        EXPECT_FALSE(PatternClass("empty", 2).Write(file, version, &reason)) << version;
        EXPECT_EQ(reason, "the pattern set has no patterns");
    }
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(ReadWhole(file), "[Notes]\nAuthor=lab\n");
}

namespace {
bool FailingSave(const std::string&) {
    return false;
}
} // namespace

TEST(PatternFile, FailedSaveLeavesTheOldFileAsItWas) {
    TempFolder dir;
    const std::string file = dir.File("safe.ini");
    ASSERT_TRUE(MakeSet({"a", "b", "c"})->Write(file, "1.0"));
    const std::string before = ReadWhole(file);

    IniFile::SetSaveHookForTesting(&FailingSave);
    const bool saved = MakeSet({"x"})->Write(file, "1.0");
    IniFile::SetSaveHookForTesting(nullptr);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadWhole(file), before);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"safe.ini"});
}
