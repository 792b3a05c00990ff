// ostrander-cli: the membrane-mirror simulation without a window, for
// scripts. Lists the mirrors of the device folder, simulates one set of
// voltages, sweeps a pattern set, or fits voltages to a target shape,
// writing pictures, grids and figures.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "toolkit/qt/DeviceFolders.h"
#include "toolkit/qt/Fonts.h"

#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

using namespace ostrander;

namespace {

// Qt's own chatter (fonts, platform notes) stays off standard error, which
// carries our progress bar and our one-line errors.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "ostrander-cli: %s\n",
                     ShownName(message.toLocal8Bit().toStdString(), 400).c_str());
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

    if (parsed.command == Arguments::Command::Mirrors)
        return RunMirrors(parsed.mirrors);

    // The pictures draw text, which needs a GUI application; the offscreen
    // platform needs no screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication application(qtArgc, qtArgv);
    // Qt takes the user's locale; C library number conversions keep '.'.
    std::setlocale(LC_NUMERIC, "C");
    InstallFontSubstitutions();

    if (parsed.command == Arguments::Command::Simulate)
        return RunSimulate(parsed.simulate);
    if (parsed.command == Arguments::Command::Fit)
        return RunFit(parsed.fit);
    if (parsed.command == Arguments::Command::Influence)
        return RunInfluence(parsed.influence);
    if (parsed.command == Arguments::Command::Correct)
        return RunCorrect(parsed.correct);
    if (parsed.command == Arguments::Command::Calibrate)
        return RunCalibrate(parsed.calibrate);
    return RunSweep(parsed.sweep);
}
