#include "toolkit/Paths.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

class PathsFolder : public ::testing::Test {
protected:
    void TearDown() override {
        ClearDeviceFolderChoice();
        SetProgramFolder("");
    }
    void Touch(const fs::path& p) { std::ofstream(dir_ / p) << "x"; }
    testing_support::TempFolder temp_{"ostrander-paths"};
    const fs::path dir_ = temp_.Path();
};

} // namespace

TEST(Paths, ProgramFolderIsTheExecutablesFolder) {
    SetProgramFolder("");
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_EQ(ProgramFolder(), fs::path(exe).parent_path().string());
}

TEST_F(PathsFolder, ProgramPathJoinsWithBackslashesTurnedToSlashes) {
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "Devices");
    Touch("Devices/m.ini");
    SetProgramFolder(dir_.string() + "\\bin\\");
    EXPECT_EQ(ProgramFolder(), (dir_ / "bin").string());
    EXPECT_EQ(ProgramPath("..\\Devices\\m.ini"), (dir_ / "bin/../Devices/m.ini").string());
    EXPECT_TRUE(FileExists(ProgramPath("..\\Devices\\m.ini")));
    EXPECT_TRUE(FileExists(dir_.string() + "\\Devices\\m.ini"));
    EXPECT_FALSE(FileExists(ProgramPath("..\\Devices"))); // a folder is not a file
    EXPECT_TRUE(DirectoryExists(ProgramPath("..\\Devices\\")));
    EXPECT_EQ(DeviceFolder(), (dir_ / "Devices").string() + "/");
}

TEST_F(PathsFolder, TheDeviceFolderIsTheFirstCandidateThatExists) {
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "Devices");
    fs::create_directories(dir_ / "user");
    fs::create_directories(dir_ / "share");
    Touch("plain-file");
    SetProgramFolder((dir_ / "bin").string());
    const std::string missing = (dir_ / "missing").string();
    const std::string user = (dir_ / "user").string();
    const std::string share = (dir_ / "share").string();
    const std::string beside = (dir_ / "Devices").string() + "/";
    struct Case {
        std::vector<DeviceFolderCandidate> candidates;
        std::string folder;
        std::string origin;
        std::size_t searched;
    };
    const Case cases[] = {
        {{{"--devices", user}, {"installed", share}}, user + "/", "--devices", 1},
        // Unset (empty) places are skipped and not reported; missing ones and
        // plain files are passed over but reported.
        {{{"--devices", ""}, {"OSTRANDER_DEVICES", missing}, {"user data folder", user}},
         user + "/", "user data folder", 2},
        {{{"installed", (dir_ / "plain-file").string()}, DeviceFolderBesideProgram()},
         beside, "beside the program", 2},
        // ".." and a trailing separator come out as one normal form.
        {{{"OSTRANDER_DEVICES", (dir_ / "bin" / ".." / "share").string() + "//"}}, share + "/",
         "OSTRANDER_DEVICES", 1},
        {{{"--devices", missing}}, "", "", 1},
        {{}, "", "", 0},
    };
    for (const Case& c : cases) {
        const DeviceFolderChoice choice = ChooseDeviceFolder(c.candidates);
        EXPECT_EQ(choice.folder, c.folder) << c.origin;
        EXPECT_EQ(choice.origin, c.origin);
        EXPECT_EQ(choice.Found(), !c.folder.empty());
        EXPECT_EQ(choice.searched.size(), c.searched) << c.origin;
    }

    // A relative folder is taken from the working directory.
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    const DeviceFolderChoice relative = ChooseDeviceFolder({{"--devices", "user"}});
    fs::current_path(previous);
    EXPECT_EQ(relative.folder, user + "/");
}

TEST_F(PathsFolder, TheChosenDeviceFolderIsUsedAndSaysWhereItLooked) {
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "mine");
    SetProgramFolder((dir_ / "bin").string());
    const std::string beside = (dir_ / "Devices").string() + "/";
    // Before any choice: ../Devices beside the program, reported missing.
    EXPECT_EQ(DeviceFolder(), beside);
    EXPECT_EQ(DeviceFolderInUse().Describe(),
              "No device folder; looked in: " + beside + " (beside the program)");

    UseDeviceFolder(ChooseDeviceFolder({{"OSTRANDER_DEVICES", (dir_ / "mine").string()}}));
    EXPECT_EQ(DeviceFolder(), (dir_ / "mine").string() + "/");
    EXPECT_EQ(DeviceFolderInUse().Describe(),
              "Devices from " + (dir_ / "mine").string() + "/ (OSTRANDER_DEVICES)");

    // Nothing found: reads fall back to the build-tree folder, and the report
    // names every place in order.
    UseDeviceFolder(ChooseDeviceFolder(
        {{"--devices", (dir_ / "a").string()}, {"installed", (dir_ / "b").string()}}));
    EXPECT_EQ(DeviceFolder(), beside);
    EXPECT_EQ(DeviceFolderInUse().Describe(),
              "No device folder; looked in: " + (dir_ / "a").string() + "/ (--devices), " +
                  (dir_ / "b").string() + "/ (installed)");
    ClearDeviceFolderChoice();
    EXPECT_EQ(DeviceFolder(), beside);
}

TEST_F(PathsFolder, ListFilesMatchesPatternsAndSkipsHiddenFilesAndFolders) {
    for (const char* name : {"b.ini", "A.INI", "c.ini.bak", "notes.txt", ".hidden.ini", "a1.ini"})
        Touch(name);
    fs::create_directory(dir_ / "folder.ini");
    fs::create_directory(dir_ / ".git");
    Touch(".git/x.ini");

    EXPECT_EQ(ListFiles(dir_.string(), "*.ini"),
              (std::vector<std::string>{"A.INI", "a1.ini", "b.ini"}));
    EXPECT_EQ(ListFiles(dir_.string(), "?.ini"), (std::vector<std::string>{"A.INI", "b.ini"}));
    EXPECT_EQ(ListFiles(dir_.string() + "\\", "notes.*"), (std::vector<std::string>{"notes.txt"}));
    EXPECT_TRUE(ListFiles((dir_ / "missing").string(), "*").empty());
}

TEST(Paths, WildcardMatch) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"m.ini", "*.ini", true},
        {"M.INI", "*.ini", true},
        {"m.ini.bak", "*.ini", false},
        {"m.ini", "*", true},
        {"", "*", true},
        {"", "?", false},
        {"DMmap_X17.dat", "DMmap_*.dat", true},
        {"ab", "a?", true},
        {"abc", "a?", false},
        {"aXbXc", "a*b*c", true},
        {"abcb", "*b", true},
        {"abc", "*b", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.pattern);
        EXPECT_EQ(WildcardMatch(c.name, c.pattern), c.match);
    }
}

TEST(Paths, PartsOfAName) {
    EXPECT_EQ(ExtractFilePath("..\\Devices\\m.ini"), "../Devices/");
    EXPECT_EQ(ExtractFileName("..\\Devices\\m.ini"), "m.ini");
    EXPECT_EQ(ExtractFileExt("..\\Devices\\m.ini"), ".ini");
    EXPECT_EQ(ExtractFilePath("m.ini"), "");
    EXPECT_EQ(ExtractFileExt("dir.d/name"), "");
    EXPECT_EQ(ExtractFileExt("a.tar.gz"), ".gz");
}

TEST_F(PathsFolder, ModificationTime) {
    Touch("m.ini");
    const std::time_t when = 1700000000;
    fs::last_write_time(dir_ / "m.ini", fs::file_time_type::clock::from_sys(
                                            std::chrono::system_clock::from_time_t(when)));
    EXPECT_EQ(FileModificationTime(dir_.string() + "\\m.ini"), when);
    EXPECT_EQ(FileModificationTime((dir_ / "missing").string()), std::nullopt);
}
