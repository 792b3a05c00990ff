// Saving a pattern set where the room runs out: on a real small filesystem
// (where this process may mount one) and under a file-size limit. The save
// fails, the file that was there stays byte for byte, and no temporary file
// is left beside it.
#include "Shared_Software/Pattern/PatternClass.h"
#include "support/SmallDisk.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace ostrander;
using namespace ostrander::testing_support;
namespace fs = std::filesystem;

namespace {

// A set whose file is some hundred kilobytes.
std::unique_ptr<PatternClass> LargeSet() {
    auto set = std::make_unique<PatternClass>("Large", 62);
    std::vector<double> volts(62);
    for (int i = 0; i < 200; ++i) {
        for (int j = 0; j < 62; ++j)
            volts[static_cast<std::size_t>(j)] = 100.0 + i + j / 64.0;
        EXPECT_TRUE(set->InsertPatternFromArray(i, "Step " + std::to_string(i), volts.data(), 62));
    }
    return set;
}

const std::string kOld = "[General]\r\nFileType=Actuator Pattern Set\r\nPatternSetName=Old\r\n"
                         "PatternCount=1\r\nVoltageCount=1\r\n\r\n[FileInformation]\r\n"
                         "FileVersion=1.0\r\n\r\n[Pattern000]\r\nPatternName=Flat\r\n"
                         "Voltage000=0\r\n";

void ExpectFailedSaveKeepsTheOldFile(const fs::path& folder, bool limitFileSize) {
    const fs::path file = folder / "set.pat";
    std::ofstream(file, std::ios::binary) << kOld;
    auto set = LargeSet();
    bool saved;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (limitFileSize)
            limit = std::make_unique<FileSizeLimit>(16 * 1024);
        saved = set->Write(file.string(), "1.0");
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadWhole(file), kOld);
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"set.pat"});
    EXPECT_TRUE(PatternClass(file.string()).IsValid());
}

TEST(FullDisk, PatternSaveOnASmallFilesystemKeepsTheOldFile) {
    SmallTmpfs disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "no permission to mount a small filesystem here";
    ExpectFailedSaveKeepsTheOldFile(disk.Path(), false);
}

TEST(FullDisk, PatternSaveOverTheFileSizeLimitKeepsTheOldFile) {
    const TempFolder folder("ostrander-limit");
    ExpectFailedSaveKeepsTheOldFile(folder.Path(), true);
}

} // namespace
