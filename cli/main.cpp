// ostrander-cli: the membrane-mirror simulation without a window, for
// scripts. Lists the mirrors of the device folder, simulates one set of
// voltages, sweeps a pattern set, or fits voltages to a target shape,
// writing pictures, grids and figures.
//
// The program itself needs only Qt Core; the commands that draw pictures
// load the picture module (cli/pictures) for them, so that the others start
// without the GUI libraries and without a GUI application.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/PictureLoader.h"
#include "toolkit/qt/DeviceFolders.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace ostrander;

namespace {

// Whether the command draws pictures: simulate, sweep and fit unless told
// not to, and correct's plot.
bool DrawsPictures(const Arguments& parsed) {
    switch (parsed.command) {
    case Arguments::Command::Simulate:
        return !parsed.simulate.noPictures;
    case Arguments::Command::Sweep:
        return !parsed.sweep.noPictures;
    case Arguments::Command::Fit:
        return !parsed.fit.noPictures;
    case Arguments::Command::Correct:
        return true;
    default:
        return false;
    }
}

int Run(const Arguments& parsed) {
    switch (parsed.command) {
    case Arguments::Command::Mirrors:
        return RunMirrors(parsed.mirrors);
    case Arguments::Command::Simulate:
        return RunSimulate(parsed.simulate);
    case Arguments::Command::Fit:
        return RunFit(parsed.fit);
    case Arguments::Command::Influence:
        return RunInfluence(parsed.influence);
    case Arguments::Command::Correct:
        return RunCorrect(parsed.correct);
    case Arguments::Command::Calibrate:
        return RunCalibrate(parsed.calibrate);
    default:
        return RunSweep(parsed.sweep);
    }
}

} // namespace

int main(int argc, char** argv) {
    const Arguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.help.empty()) {
        std::fputs(parsed.help.c_str(), stdout);
        return kExitOk;
    }
    if (!parsed.error.empty())
        return Fail(parsed.error);
    std::string error;
    if (!SetUpDeviceFolder(parsed.devices, error))
        return Fail(error);
    SetCommandLine(argc, argv);

    // The module comes first, so that a missing one fails before any work.
    if (DrawsPictures(parsed) && !LoadPictureModule(argc, argv, error))
        return Fail(error);
    const int status = Run(parsed);
    UnloadPictureModule();
    return status;
}
