// ostrander-cli's picture module: the Qt GUI half of the program, loaded only
// by the commands that draw pictures (PictureLoader.cpp). It makes the GUI
// application the pictures' text needs (offscreen: no screen) and hands over
// the QImage picture backend, through the plain table of
// toolkit/PictureBackend.h.
#include "toolkit/PictureBackend.h"
#include "toolkit/TerminalText.h"
#include "toolkit/qt/Fonts.h"
#include "toolkit/qt/ImagePictures.h"

#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <memory>

namespace {

using namespace ostrander;

std::unique_ptr<QGuiApplication> g_application;
// QGuiApplication keeps the references to its arguments.
int g_argc = 1;
char* g_argv[2] = {nullptr, nullptr};

// Qt's own chatter (fonts, platform notes) stays off standard error, which
// carries the program's progress bar and its one-line errors.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "ostrander-cli: %s\n",
                     TerminalSafe(message.left(400).toLocal8Bit().toStdString()).c_str());
}

bool Start(int, char** argv, std::string& error) {
    if (g_application)
        return true;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    g_argv[0] = argv && argv[0] ? argv[0] : const_cast<char*>("ostrander-cli");
    // A platform plugin that cannot start ends the process inside Qt, with
    // its message on standard error; the offscreen one needs no screen.
    g_application = std::make_unique<QGuiApplication>(g_argc, g_argv);
    (void)error;
    // Qt takes the user's locale; C library number conversions keep '.'.
    std::setlocale(LC_NUMERIC, "C");
    InstallFontSubstitutions();
    return true;
}

void Stop() { g_application.reset(); }

const PictureModule kModule{kPictureModuleVersion, &Start, &Stop, &ImageCanvasPictures()};

} // namespace

extern "C" __attribute__((visibility("default"))) const PictureModule* ostrander_picture_module() {
    return &kModule;
}
