// The places the programs look for their device folder, with the user's data
// folder moved into a temporary folder through XDG_DATA_HOME.
#include "toolkit/qt/DeviceFolders.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace ostrander;
namespace fs = std::filesystem;

namespace {

class DeviceFolders : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "prefix/bin");
        SetProgramFolder((dir_ / "prefix/bin").string());
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        unsetenv("OSTRANDER_DEVICES");
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        unsetenv("OSTRANDER_DEVICES");
        ClearDeviceFolderChoice();
        SetProgramFolder("");
    }
    std::string Make(const std::string& folder) {
        fs::create_directories(dir_ / folder);
        return (dir_ / folder).string();
    }
    testing_support::TempFolder temp_{"ostrander-devices"};
    const fs::path dir_ = temp_.Path();
    std::string error_;
};

TEST_F(DeviceFolders, CandidatesComeInTheDocumentedOrder) {
    setenv("OSTRANDER_DEVICES", "/from/variable", 1);
    const std::vector<DeviceFolderCandidate> candidates =
        DeviceFolderCandidates("/from/option", "/from/choice");
    ASSERT_EQ(candidates.size(), 6u);
    const std::string prefix = (dir_ / "prefix").string();
    const std::pair<std::string, std::string> expected[] = {
        {"--devices", "/from/option"},
        {"OSTRANDER_DEVICES", "/from/variable"},
        {"chosen in the program", "/from/choice"},
        {"user data folder", (dir_ / "data/ostrander/Devices").string()},
        {"installed", prefix + "/bin/../share/ostrander/Devices"},
        {"beside the program", prefix + "/Devices/"},
    };
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        EXPECT_EQ(candidates[i].origin, expected[i].first);
        EXPECT_EQ(candidates[i].folder, expected[i].second);
    }
}

TEST_F(DeviceFolders, SetUpPicksTheFirstThatExists) {
    Make("prefix/Devices");
    EXPECT_TRUE(SetUpDeviceFolder("", error_));
    EXPECT_EQ(DeviceFolderInUse().origin, "beside the program");

    const std::string installed = Make("prefix/share/ostrander/Devices");
    EXPECT_TRUE(SetUpDeviceFolder("", error_));
    EXPECT_EQ(DeviceFolder(), installed + "/");

    const std::string user = Make("data/ostrander/Devices");
    EXPECT_TRUE(SetUpDeviceFolder("", error_));
    EXPECT_EQ(DeviceFolder(), user + "/");

    // A folder chosen in the program comes before the user's data folder;
    // one that has gone is passed over.
    EXPECT_TRUE(SetUpDeviceFolder("", error_, (dir_ / "gone").string()));
    EXPECT_EQ(DeviceFolder(), user + "/");
    const std::string chosen = Make("chosen");
    EXPECT_TRUE(SetUpDeviceFolder("", error_, chosen));
    EXPECT_EQ(DeviceFolder(), chosen + "/");
    EXPECT_EQ(DeviceFolderInUse().origin, "chosen in the program");

    // A variable naming a folder wins.
    const std::string variable = Make("variable");
    setenv("OSTRANDER_DEVICES", variable.c_str(), 1);
    EXPECT_TRUE(SetUpDeviceFolder("", error_, chosen));
    EXPECT_EQ(DeviceFolder(), variable + "/");

    const std::string option = Make("option");
    EXPECT_TRUE(SetUpDeviceFolder(option, error_, chosen));
    EXPECT_EQ(DeviceFolder(), option + "/");
    EXPECT_EQ(DeviceFolderInUse().origin, "--devices");
}

TEST_F(DeviceFolders, AMissingOptionOrVariableFolderIsAnErrorNotAFallBack) {
    const std::string user = Make("data/ostrander/Devices");
    UseDeviceFolder(ChooseDeviceFolder({{"user data folder", user}}));
    const std::string missing = (dir_ / "typo").string();
    EXPECT_FALSE(SetUpDeviceFolder(missing, error_));
    EXPECT_EQ(error_, "--devices " + missing + ": no such folder");
    // The earlier choice stands.
    EXPECT_EQ(DeviceFolder(), user + "/");

    setenv("OSTRANDER_DEVICES", missing.c_str(), 1);
    EXPECT_FALSE(SetUpDeviceFolder("", error_));
    EXPECT_EQ(error_.rfind("OSTRANDER_DEVICES=" + missing + ": no such folder", 0), 0u) << error_;
    EXPECT_EQ(DeviceFolder(), user + "/");
    // The option, when it names a folder, goes before the variable.
    const std::string option = Make("option");
    EXPECT_TRUE(SetUpDeviceFolder(option, error_));
    EXPECT_EQ(DeviceFolder(), option + "/");
}

TEST_F(DeviceFolders, NothingFoundNamesEveryPlace) {
    EXPECT_TRUE(SetUpDeviceFolder("", error_));
    const DeviceFolderChoice choice = DeviceFolderInUse();
    EXPECT_FALSE(choice.Found());
    ASSERT_EQ(choice.searched.size(), 3u); // no option, no variable
    EXPECT_EQ(choice.searched[0].origin, "user data folder");
    EXPECT_EQ(choice.searched[1].folder, (dir_ / "prefix/share/ostrander/Devices").string() + "/");
    EXPECT_EQ(choice.searched[2].origin, "beside the program");
}

} // namespace
