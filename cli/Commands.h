#pragma once
// The commands of ostrander-cli. Each returns the exit status: 0 on
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
    double wavelengthNm = 1064.0;  // far field and interferogram
    bool json = false;             // print the summary to standard output
    bool noPictures = false;       // write the grids and figures only
};

struct SimulateCommand : ResultOptions {
    std::vector<std::string> set; // "N=V", or several "N=V,N=V"
    std::string voltages;         // --voltages: a CSV file of NUMBER,VOLTS lines, "-" stdin
    bool hasAll = false;
    std::string all; // the --all text, read by ParseVoltageRequests
    std::string pattern;
    bool hasPatternIndex = false;
    int patternIndex = 0;
    bool hasPatternName = false;
    std::string patternName;
};

struct SweepCommand : ResultOptions {
    std::string pattern;
};

// `influence`: the mirror's influence functions for other simulations. Of
// the result options only the mirror, the output folder, --force and the
// model apply.
struct InfluenceCommand : ResultOptions {};

struct FitCommand : ResultOptions {
    std::string zernike; // "4=0.5um,6=-0.2um"
    std::string surface; // CSV or FITS grid, as simulate writes surface.csv/.fits
    bool hasBias = false;
    std::string bias; // volts, read by the command
    bool freeTilt = false;
};

int RunMirrors(const MirrorsCommand& command);
int RunSimulate(const SimulateCommand& command);
int RunSweep(const SweepCommand& command);
int RunFit(const FitCommand& command);
int RunInfluence(const InfluenceCommand& command);

// The program's version, and the command line that summaries record
// (set once by main, arguments quoted where they need it).
std::string ProgramVersion();
void SetCommandLine(int argc, const char* const* argv);

// Writes "ostrander-cli: " + message on one line of standard error and
// returns kExitFailure. Control characters (a NUL included) are written as
// escapes, so the line is whole and says what it holds.
int Fail(const std::string& message);

// A name from a file or the command line as it is shown in messages and
// tables: control characters escaped, cut to maxBytes (at a character
// boundary) with "..." after.
std::string ShownName(const std::string& name, std::size_t maxBytes = 80);

} // namespace ostrander
