// Pattern-set files that claim more voltages than any mirror can use, the
// linear read path for files whose voltages come in order, and the writer
// refusing exactly what the reader would refuse.
#include "Shared_Software/Pattern/PatternClass.h"
#include "support/PatternSections.h"
#include "support/TempFolder.h"
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <cstdio>
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

class PatternReadTest : public testing::Test {
protected:
    std::string Write(const std::string& text) {
        const std::string file = (folder_ / "set.pat").string();
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    static std::string Header(int patterns, int voltages, bool useMap = false) {
        return "[General]\nFileType=Actuator Pattern Set\nPatternCount=" +
               std::to_string(patterns) + "\nVoltageCount=" + std::to_string(voltages) + "\n" +
               (useMap ? "Use DM Indexing=1\n" : "");
    }
    static std::vector<std::pair<int, double>> Voltages(const PatternClass& set, int index) {
        std::vector<std::pair<int, double>> out;
        if (const PatternListEntry* e = set.FindPattern(index))
            for (const VoltageListEntry* v = e->Voltages.First(); v != nullptr; v = v->next)
                out.emplace_back(v->Actuator, v->Voltage);
        return out;
    }

    testing_support::TempFolder temp_{"ostrander-robust-pattern"};
    const fs::path folder_ = temp_.Path();
};

TEST_F(PatternReadTest, VoltageCountsBeyondAnyDriverAreRefused) {
    struct Case {
        int patterns, voltages;
        bool valid;
    };
    const Case cases[] = {
        {1, PatternClass::MaxVoltageCount, true},
        {1, PatternClass::MaxVoltageCount + 1, false},
        {1, 1'000'000, false},
        {1'000'000'000, 1, false},
        {244, PatternClass::MaxVoltageCount, true}, // just under the total limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.patterns) + " x " + std::to_string(c.voltages));
        PatternClass set(Write(Header(c.patterns, c.voltages)));
        EXPECT_EQ(set.IsValid(), c.valid);
        EXPECT_EQ(set.GetPatternCount(), c.valid ? c.patterns : 0);
        if (c.valid) {
            const auto v = Voltages(set, c.patterns - 1);
            ASSERT_EQ(v.size(), static_cast<std::size_t>(c.voltages));
            EXPECT_EQ(v.front().first, 1);
            EXPECT_EQ(v.back().first, c.voltages);
        }
    }
}

// Appending while the numbers rise one by one must give exactly the list that
// inserting each number after the first entry numbered one less gives.
TEST_F(PatternReadTest, MappedReadsMatchOrderedInserts) {
    const std::vector<std::vector<int>> maps = {
        {1, 2, 3, 4, 5, 6}, // rising throughout
        {1, 2, 5, 4, 3, 6}, // rises, then falls back
        {3, 1, 2, 2, 7, 8}, // starts out of order, with a duplicate
        {1, 2, 3, 2, 3, 4}, // repeats a run
        {-2147483647 - 1, 1, 2, 3, 4, 5},
    };
    std::string text = Header(1, 9, true) + "[Pattern000]\n";
    for (int j = 0; j < 9; ++j)
        text += "Voltage00" + std::to_string(j) + "=" + std::to_string(10 * j + 1) + "\n";
    const std::string file = Write(text);
    for (const auto& map : maps) {
        PatternClass set(file, map.data(), static_cast<int>(map.size()));
        VoltageListClass expected;
        for (int j = 0; j < 9; ++j)
            expected.Insert(j < static_cast<int>(map.size()) ? map[j] : j + 1, 10.0 * j + 1);
        std::vector<std::pair<int, double>> want;
        for (const VoltageListEntry* v = expected.First(); v != nullptr; v = v->next)
            want.emplace_back(v->Actuator, v->Voltage);
        EXPECT_EQ(Voltages(set, 0), want) << "map starting " << map[0] << "," << map[1];
    }
}

// A set of the given shape, every voltage the same.
std::unique_ptr<PatternClass> FilledSet(int patterns, int voltages, double value) {
    auto set = std::make_unique<PatternClass>("Limits", voltages);
    const std::vector<double> volts(static_cast<std::size_t>(voltages), value);
    for (int i = 0; i < patterns; ++i)
        EXPECT_TRUE(set->InsertPatternFromArray(i, "P" + std::to_string(i), volts.data(), voltages));
    return set;
}

// What the writer writes, the reader reads: at each limit a set is written
// and reads back whole, one step beyond it the writer refuses with a reason
// and the file that was there stays byte for byte.
TEST_F(PatternReadTest, WriterRefusesWhatTheReaderWouldRefuse) {
    struct Case {
        const char* name;
        int patterns, voltages;
        double volts; // 0 keeps the file small enough for the count limits
        bool writes;
        const char* reason;
    };
    const Case cases[] = {
        {"voltages per pattern at the limit", 1, PatternClass::MaxVoltageCount, 0, true, ""},
        {"one voltage a pattern too many", 1, PatternClass::MaxVoltageCount + 1, 0, false,
         "1 to 4096 voltages per pattern"},
        {"total just under the limit", 244, PatternClass::MaxVoltageCount, 0, true, ""},
        {"total just over the limit", 245, PatternClass::MaxVoltageCount, 0, false,
         "at most 1000000 voltages"},
    };
    const std::string file = (folder_ / "limits.pat").string();
    const std::string old = Header(1, 1) + "[Pattern000]\nPatternName=Old\nVoltage000=5\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(file, std::ios::binary) << old;
        std::string reason;
        const bool written = FilledSet(c.patterns, c.voltages, c.volts)->Write(file, "1.0", &reason);
        EXPECT_EQ(written, c.writes) << reason;
        PatternClass back(file);
        EXPECT_TRUE(back.IsValid());
        if (c.writes) {
            EXPECT_EQ(back.GetPatternCount(), c.patterns);
            EXPECT_EQ(back.GetVoltageCount(), c.voltages);
            EXPECT_EQ(Voltages(back, c.patterns - 1).back(),
                      std::make_pair(c.voltages, c.volts));
        } else {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
            EXPECT_EQ(ReadWhole(file), old);
        }
    }
}

// 16,000 patterns of 62 voltages (992,000, under the voltage limit): read
// from a file of whole volts, then given voltages with more digits, the set
// would be written as a file over the size limit, which the reader refuses.
// The writer refuses it instead, and the file read stays as it was.
TEST_F(PatternReadTest, WriterRefusesASetThatWouldOutgrowTheSizeLimit) {
    const std::string text = Header(16000, 62) + testing_support::UnitPatternSections(16000, 62);
    const std::string file = Write(text);
    PatternClass set(file);
    ASSERT_TRUE(set.IsValid());
    ASSERT_EQ(set.GetPatternCount(), 16000);
    for (PatternListEntry* p = set.first; p != nullptr; p = p->next)
        for (VoltageListEntry* v = p->Voltages.First(); v != nullptr; v = v->next)
            v->Voltage = 123.456;
    std::string reason;
    EXPECT_FALSE(set.Write(file, "1.0", &reason));
    EXPECT_NE(reason.find("bytes"), std::string::npos) << reason;
    EXPECT_EQ(ReadWhole(file), text);
    EXPECT_TRUE(PatternClass(file).IsValid());
}

// The size limit itself, from both sides: a long set name brings the file
// to exactly the reader's limit (written and read back) or one byte over it
// (refused, nothing created).
TEST_F(PatternReadTest, WriterAndReaderAgreeOnTheSizeLimitToTheByte) {
    const std::string file = (folder_ / "size.pat").string();
    auto set = FilledSet(1, 3, 123.456);
    ASSERT_TRUE(set->Write(file, "1.0"));
    // The file without the set name's bytes.
    const std::size_t base = fs::file_size(file) - set->GetPatternSetName().size();
    fs::remove(file);

    set->SetPatternSetName(std::string(IniFile::MaxFileBytes - base, 'n'));
    ASSERT_TRUE(set->Write(file, "1.0"));
    EXPECT_EQ(fs::file_size(file), IniFile::MaxFileBytes);
    EXPECT_TRUE(PatternClass(file).IsValid());
    fs::remove(file);

    set->SetPatternSetName(std::string(IniFile::MaxFileBytes - base + 1, 'n'));
    std::string reason;
    EXPECT_FALSE(set->Write(file, "1.0", &reason));
    EXPECT_NE(reason.find(std::to_string(IniFile::MaxFileBytes + 1) + " bytes"), std::string::npos)
        << reason;
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
