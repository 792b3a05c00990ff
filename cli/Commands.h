#pragma once
// The commands of ostrander-cli. Each returns the exit status: 0 on
// success, 2 after writing one line that says what went wrong to standard
// error, 3 when --nonlinear was asked for voltages past pull-in (there is no
// equilibrium to write; --linear-past-pull-in writes the linear surface
// instead); nothing is left in the output folder on failure.
#include "cli/CommandOptions.h"
#include "cli/DeviceLookup.h"

#include <string>
#include <vector>

namespace ostrander {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 2;
inline constexpr int kExitPastPullIn = 3;

int RunMirrors(const MirrorsCommand& command);
int RunSimulate(const SimulateCommand& command);
int RunSweep(const SweepCommand& command);
int RunFit(const FitCommand& command);
int RunInfluence(const InfluenceCommand& command);
int RunCorrect(const CorrectCommand& command);
int RunCalibrate(const CalibrateCommand& command);

// The program's version, and the command line that summaries record
// (set once by main, arguments quoted where they need it).
std::string ProgramVersion();
void SetCommandLine(int argc, const char* const* argv);

// Writes "ostrander-cli: " + message on one line of standard error and
// returns kExitFailure. Control characters (a NUL included) are written as
// escapes, so the line is whole and says what it holds.
int Fail(const std::string& message);

} // namespace ostrander
