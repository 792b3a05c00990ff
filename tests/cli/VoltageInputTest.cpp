// The voltages a simulate command reads besides --all and its pattern: the
// --voltages file and the --set pairs, as parsed from the command line.
#include "cli/Arguments.h"
#include "formats/VoltageFile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace ostrander {
namespace {

using Pairs = std::vector<std::pair<int, double>>;

Pairs PairsOf(const std::vector<VoltageLine>& lines) {
    Pairs pairs;
    for (const VoltageLine& v : lines)
        pairs.emplace_back(v.number, v.volts);
    return pairs;
}

struct FileCase {
    const char* name;
    std::string text;
    Pairs pairs;            // when it is accepted
    const char* error = ""; // part of the message when it is refused
};

class VoltageFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(VoltageFile, ReadsPairsOrSaysWhichLineIsWrong) {
    std::vector<VoltageLine> lines;
    std::string error;
    const bool ok = ParseVoltageLines(GetParam().text, "v.csv", lines, error);
    if (GetParam().pairs.empty()) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    } else {
        ASSERT_TRUE(ok) << error;
        EXPECT_EQ(PairsOf(lines), GetParam().pairs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VoltageFile,
    ::testing::Values(FileCase{"Plain", "1,100\n5,120.5\n", {{1, 100}, {5, 120.5}}},
                      FileCase{"HeaderCommentsBlanksAndCrLf",
                               "\xEF\xBB\xBFnumber,volts\r\n# pads\r\n\r\n 3 , 45.5 \r\n2,1e2\r\n",
                               {{3, 45.5}, {2, 100}}},
                      FileCase{"NoFinalLineBreak", "7,60", {{7, 60}}},
                      FileCase{"Semicolon", "1;100\n", {}, "line 1"},
                      FileCase{"HexVolts", "1,100\n2,0x10\n", {}, "line 2"},
                      FileCase{"NotANumber", "1,nan\n", {}, "line 1"},
                      FileCase{"ThreeFields", "1,100,3\n", {}, "line 1"},
                      FileCase{"SecondHeader", "number,volts\nactuator,volts\n", {}, "line 2"},
                      FileCase{"FractionalNumber", "1.5,100\n", {}, "line 1"},
                      FileCase{
                          "Twice", "3,10\n4,20\n3,30\n", {}, "actuator 3 twice (lines 1 and 3)"},
                      FileCase{"OnlyAHeader", "number,volts\n", {}, "no NUMBER,VOLTS lines"},
                      FileCase{"Empty", "", {}, "no NUMBER,VOLTS lines"},
                      FileCase{"NulByte",
                               std::string("1,10\n2,2\0"
                                           "0\n",
                                           10),
                               {},
                               "line 2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VoltageFile, ReadsAFileAndRefusesWhatIsNotOne) {
    std::string text, error;
    EXPECT_FALSE(ReadVoltageFile("/no/such/file.csv", text, error));
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;
    EXPECT_FALSE(ReadVoltageFile("/", text, error));
    EXPECT_NE(error.find("not a file"), std::string::npos) << error;
}

// One --set may carry several pairs, after it, joined by commas, or in one
// quoted argument separated by spaces.
TEST(SetPairs, SeveralAfterOneSetOrJoinedByCommas) {
    const Arguments parsed =
        ParseArguments({"simulate", "Hex19", "--set", "1=100", "2=50", "--out", "x", "--set",
                        "3=20,4=30", "--set", " 5=1  6=2\t7=3 "});
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_EQ(parsed.simulate.mirror, "Hex19");
    std::optional<double> all;
    Pairs single;
    std::string error;
    ASSERT_TRUE(ParseVoltageRequests(parsed.simulate, all, single, error)) << error;
    EXPECT_EQ(single, (Pairs{{1, 100}, {2, 50}, {3, 20}, {4, 30}, {5, 1}, {6, 2}, {7, 3}}));

    for (const char* bad : {"3=20,", ",3=20", "3=20,,4=1", "3=20;4=1", "", "  ", "3 =20"}) {
        SimulateCommand command;
        command.set = {bad};
        EXPECT_FALSE(ParseVoltageRequests(command, all, single, error)) << bad;
        EXPECT_NE(error.find("ACTUATOR=VOLTS"), std::string::npos) << error;
    }
}

// A word that is not a command is named; no command at all is said as such.
TEST(Commands, AnUnknownOrMissingCommandIsNamed) {
    EXPECT_EQ(ParseArguments({"simulat", "Hex19"}).error,
              "unknown command \"simulat\"; the commands are mirrors, simulate, sweep, fit, "
              "influence, correct or calibrate (see --help)");
    EXPECT_EQ(ParseArguments({"--devices", "simulate"}).error,
              "a command is required: mirrors, simulate, sweep, fit, influence, correct or "
              "calibrate (see --help)");
    EXPECT_EQ(ParseArguments({}).error,
              "a command is required: mirrors, simulate, sweep, fit, influence, correct or "
              "calibrate (see --help)");
}

// A value with a line break in it is shown escaped: every refusal is one line.
TEST(Commands, RefusalsOfValuesWithLineBreaksStayOnOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"simul\nate", "Hex19"},
        {"simulate", "Hex19", "--pattern", "p.pat", "--pattern-index", "\n01", "--out", "o"},
        {"simulate", "Hex19", "--all", "1\n0", "--out", "o"},
        {"simulate", "Hex19", "--set", "3=\n1", "--out", "o"},
    };
    for (const auto& arguments : cases) {
        const Arguments parsed = ParseArguments(arguments);
        std::string error = parsed.error;
        if (error.empty()) {
            // Voltages are read when the command runs.
            std::optional<double> all;
            std::vector<std::pair<int, double>> single;
            EXPECT_FALSE(ParseVoltageRequests(parsed.simulate, all, single, error));
        }
        EXPECT_FALSE(error.empty()) << arguments[0];
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

} // namespace
} // namespace ostrander
