// Pattern-set files that claim more voltages than any mirror can use, and the
// linear read path for files whose voltages come in order.
#include "Shared_Software/Pattern/PatternClass.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

class PatternReadTest : public testing::Test {
protected:
    PatternReadTest() {
        folder_ =
            fs::temp_directory_path() / ("ostrander_robust_pattern_" + std::to_string(getpid()));
        fs::create_directories(folder_);
    }
    ~PatternReadTest() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
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

    fs::path folder_;
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

} // namespace
