// Process entry: the command line, the device folder, the working state, the
// application, the main window, the pattern browser, the mirror setup window,
// the mirror named on the command line, the idle pass and the message loop. At the end the working state is destroyed, which drives every channel
// of the mirror to 0 V.
#include "app/CommandLine.h"
#include "app/OstranderForm.h"
#include "app/ProgramSettings.h"
#include "app/ProgramWindows.h"
#include "toolkit/Dialogs.h"
#include "toolkit/TerminalText.h"
#include "forms/MirrorSetupForm.h"
#include "toolkit/qt/Application.h"
#include "toolkit/qt/DeviceFolders.h"
#include "toolkit/qt/QtDialogs.h"

#include <QCoreApplication>
#include <QSettings>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace ostrander {
namespace {

// --help and --version print and end the program before any window (and
// without a display); a bad command line ends it with status 2.
int PrintText(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName("Ostrander");
    const CommandLine line = ParseCommandLine(QCoreApplication::arguments());
    if (line.action == CommandLine::Action::Error) {
        std::fprintf(stderr, "ostrander: %s (see --help)\n", TerminalSafe(line.text).c_str());
        return 2;
    }
    std::fputs(line.text.c_str(), stdout);
    return 0;
}

int Run(int argc, char** argv) {
    if (AsksOnlyForText(argc, argv))
        return PrintText(argc, argv);
    Application app(argc, argv);
    Application::setApplicationName("Ostrander");
    // The remembered choices: ~/.config/Ostrander/Ostrander.conf.
    Application::setOrganizationName("Ostrander");
    ProgramSettingsFile settingsFile = OpenProgramSettings(DefaultSettingsFile());
    QSettings& settings = *settingsFile.settings;
    std::vector<std::string> notices;
    if (!settingsFile.notice.empty())
        notices.push_back(settingsFile.notice);
    const CommandLine line = ParseCommandLine(QCoreApplication::arguments());
    if (line.action != CommandLine::Action::Run) {
        std::fprintf(stderr, "ostrander: %s (see --help)\n", TerminalSafe(line.text).c_str());
        return 2;
    }
    if (std::string notice = ForgetUnusableDeviceFolder(settings); !notice.empty())
        notices.push_back(notice);
    std::string error;
    if (!SetUpDeviceFolder(line.devices, error, RememberedDeviceFolder(settings))) {
        std::fprintf(stderr, "ostrander: %s\n", TerminalSafe(error).c_str());
        return 2;
    }
    // Asked to stop (SIGTERM, SIGINT, SIGHUP), the program closes its windows
    // and ends the normal way.
    CloseWindowsOnTerminationSignals();
    QtDialogs dialogs;
    ScopedDialogs installed(dialogs);
    int result = 1;
    try {
        ProgramWindows windows = MakeProgramWindows();
        TOstranderForm& OstranderForm = *windows.OstranderForm;
        dialogs.SetParent(&OstranderForm);
        RestoreChoices(windows, settings, notices);
        // A screen smaller than the design's window gets a window that fits.
        OstranderForm.FitToScreen();
        QObject::connect(&OstranderForm, &TOstranderForm::deviceFolderChosen, &OstranderForm,
                         [&settings](const QString& folder) {
                             RememberDeviceFolder(settings, folder.toStdString());
                         });
        OstranderForm.show();
        if (!line.mirrorFile.empty()) {
            if (!windows.MirrorSetupForm->LoadFile(line.mirrorFile))
                Dialogs::Instance().ShowMessage(
                    "Cannot load \"" + line.mirrorFile + "\": not a usable mirror info file.",
                    "Ostrander");
        } else {
            OfferRememberedMirror(windows, settings);
        }
        // The windows' places and the choices are saved as the windows
        // close, while they still have their places.
        bool saved = false;
        QObject::connect(&OstranderForm, &TOstranderForm::closing, &OstranderForm,
                         [&saved] { saved = true; });
        SaveChoicesOnClose(windows, settings);
        OstranderForm.StartIdleHandler();
        result = app.exec();
        OstranderForm.StopIdleHandler();
        // An end without the main window closing (none so far) still saves.
        if (!saved)
            SaveChoices(windows, settings);
        dialogs.SetParent(nullptr);
    } catch (...) {
        // An exception that escapes start-up or the loop is shown and ends the
        // program. The window it came from is gone: the box has no parent.
        dialogs.SetParent(nullptr);
        ReportException(std::current_exception());
        result = 1;
    }
    return result;
}

} // namespace
} // namespace ostrander

int main(int argc, char** argv) {
    // The main window owns the engine session, which owns the model record
    // and the working state.
    return ostrander::Run(argc, argv);
}
