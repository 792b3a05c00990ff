#pragma once
// The application object: an exception that escapes an event handler is shown
// in the exception box and the program goes on. Also maps the design's
// Windows font names to installed fonts and resolves system colours through
// the application palette. The numeric locale stays "C", so '.' is the
// decimal separator of every C library conversion whatever the user's locale.
#include "toolkit/qt/Fonts.h"

#include <QApplication>

namespace ostrander {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// clBtnFace, clWindow, ... from the application palette.
void InstallPaletteColorResolver();
// SIGTERM, SIGINT and SIGHUP close every window as its close button would,
// so the program ends the normal way (exit status 0) when it is asked to stop.
void CloseWindowsOnTerminationSignals();
// Shows the exception box for an exception object (std::exception or other).
void ReportException(std::exception_ptr error);

} // namespace ostrander
