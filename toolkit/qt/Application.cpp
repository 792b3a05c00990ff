#include "toolkit/qt/Application.h"

#include "toolkit/Dialogs.h"
#include "toolkit/TColor.h"

#include <QFont>
#include <QPalette>

#include <clocale>
#include <exception>
#include <string>

namespace ostrander {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // QApplication takes the user's locale for everything; numbers in files and
    // in C library conversions (strtod, printf, fscanf) keep the '.' separator.
    std::setlocale(LC_NUMERIC, "C");
    InstallFontSubstitutions();
    InstallPaletteColorResolver();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(std::current_exception());
        return false;
    }
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

void InstallFontSubstitutions() {
    QFont::insertSubstitutions("MS Sans Serif", {"DejaVu Sans", "Liberation Sans"});
    QFont::insertSubstitutions("MS Serif", {"DejaVu Serif", "Liberation Serif"});
    QFont::insertSubstitutions("Impact",
                               {"DejaVu Sans Condensed", "Liberation Sans Narrow", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
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
