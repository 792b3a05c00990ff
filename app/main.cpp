// Process entry: application object, main window, message loop.
#include "app/OstranderForm.h"
#include "toolkit/Dialogs.h"
#include "toolkit/qt/Application.h"
#include "toolkit/qt/QtDialogs.h"

#include <exception>

int main(int argc, char** argv) {
    ostrander::Application app(argc, argv);
    ostrander::Application::setApplicationName("Ostrander");
    ostrander::CloseWindowsOnTerminationSignals();
    ostrander::QtDialogs dialogs;
    ostrander::Dialogs::Install(&dialogs);
    int result = 1;
    try {
        ostrander::TOstranderForm form;
        dialogs.SetParent(&form);
        form.show();
        result = app.exec();
        dialogs.SetParent(nullptr);
    } catch (...) {
        // An exception during start-up is shown and ends the program.
        ostrander::ReportException(std::current_exception());
        result = 1;
    }
    ostrander::Dialogs::Install(nullptr);
    return result;
}
