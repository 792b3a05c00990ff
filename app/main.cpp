// Process entry: the working state, the application, the main window, the
// pattern browser, the mirror setup window, the idle pass and the message
// loop. At the end the working state is destroyed, which drives every channel
// of the mirror to 0 V.
#include "app/OstranderForm.h"
#include "app/ProgramWindows.h"
#include "model/DMModelLocal.h"
#include "model/MainData.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/Application.h"
#include "toolkit/qt/QtDialogs.h"

#include <exception>
#include <memory>

namespace ostrander {
namespace {

int Run(int argc, char** argv, DMModelLocal& modelLocal, MainData& mainData) {
    Application app(argc, argv);
    Application::setApplicationName("Ostrander");
    // Asked to stop (SIGTERM, SIGINT, SIGHUP), the program closes its windows
    // and ends the normal way.
    CloseWindowsOnTerminationSignals();
    QtDialogs dialogs;
    ScopedDialogs installed(dialogs);
    int result = 1;
    try {
        ProgramWindows windows = MakeProgramWindows(mainData, modelLocal);
        TOstranderForm& OstranderForm = *windows.OstranderForm;
        dialogs.SetParent(&OstranderForm);
        OstranderForm.show();
        OstranderForm.StartIdleHandler();
        result = app.exec();
        OstranderForm.StopIdleHandler();
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
    // The two process-wide holders of the model; the windows get references.
    auto ModelLocal = std::make_unique<ostrander::DMModelLocal>();
    auto MainData = std::make_unique<ostrander::MainData>();
    const int result = ostrander::Run(argc, argv, *ModelLocal, *MainData);
    ModelLocal.reset();
    MainData.reset();
    return result;
}
