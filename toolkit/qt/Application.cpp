#include "toolkit/qt/Application.h"

#include "toolkit/Dialogs.h"
#include "toolkit/TColor.h"
#include "toolkit/qt/ImagePictures.h"

#include <QPalette>
#include <QSocketNotifier>

#include <clocale>
#include <csignal>
#include <exception>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace ostrander {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // QApplication takes the user's locale for everything; numbers in files and
    // in C library conversions (strtod, printf, fscanf) keep the '.' separator.
    std::setlocale(LC_NUMERIC, "C");
    InstallFontSubstitutions();
    InstallPaletteColorResolver();
    // Pictures written to files (the export) are drawn on QImage canvases.
    UsePictureBackend(&ImageCanvasPictures());
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(std::current_exception());
        return false;
    }
}

namespace {
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    // Only async-signal-safe work here: the event loop does the rest.
    char c = 1;
    ssize_t written = ::write(g_signalPipe[1], &c, 1);
    (void)written;
}
} // namespace

void CloseWindowsOnTerminationSignals() {
    if (g_signalPipe[0] >= 0 || !QCoreApplication::instance())
        return;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        QApplication::closeAllWindows();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

void ReportException(std::exception_ptr error) {
    std::string text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "Unknown exception.";
    }
    Dialogs::Instance().ShowException(text);
}

void InstallPaletteColorResolver() {
    SetSystemColorResolver([](TColor c) -> TColor {
        QPalette pal = QApplication::palette();
        QColor q;
        switch (static_cast<std::uint32_t>(c) & 0xFF) {
        case 0x0F:
            q = pal.color(QPalette::Button);
            break;
        case 0x05:
            q = pal.color(QPalette::Base);
            break;
        case 0x08:
            q = pal.color(QPalette::Text);
            break;
        default:
            q = pal.color(QPalette::Window);
            break;
        }
        return RGBColor(q.red(), q.green(), q.blue());
    });
}

} // namespace ostrander
