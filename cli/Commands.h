#pragma once
// The three commands of ostrander-cli. Each returns the exit status: 0 on
// success, 2 after writing one line that says what went wrong to standard
// error; nothing is left in the output folder on failure.
#include <string>
#include <vector>

namespace ostrander {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 2;

struct MirrorsCommand {
    bool json = false;
};

struct ResultOptions {
    std::string mirror;
    std::string out;
    bool force = false;
    bool removeFocus = false;
    double focusAdjust = 0.0;
    int zoom = 1;
    std::string size = "309x335";
    std::string model = "classic"; // membrane model: "classic" or "exact"
    bool nonlinear = false;        // exact model: write the nonlinear equilibrium
};

struct SimulateCommand : ResultOptions {
    std::vector<std::string> set; // "N=V"
    bool hasAll = false;
    double all = 0.0;
    std::string pattern;
    bool hasPatternIndex = false;
    int patternIndex = 0;
    bool hasPatternName = false;
    std::string patternName;
};

struct SweepCommand : ResultOptions {
    std::string pattern;
};

int RunMirrors(const MirrorsCommand& command);
int RunSimulate(const SimulateCommand& command);
int RunSweep(const SweepCommand& command);

// The program's version, and the command line that summaries record
// (set once by main, arguments quoted where they need it).
std::string ProgramVersion();
void SetCommandLine(int argc, const char* const* argv);

// Writes "ostrander-cli: " + message on one line of standard error and
// returns kExitFailure.
int Fail(const std::string& message);

} // namespace ostrander
