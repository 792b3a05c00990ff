#include "toolkit/qt/Fonts.h"

#include <QFont>
#include <QStringList>

namespace ostrander {

void InstallFontSubstitutions() {
    // The layouts were made for the narrow bitmap face (about 5.7 pixels a
    // letter at 11 pixels); the condensed face comes closest, where plain
    // DejaVu Sans runs a fifth wider and pushes texts into each other.
    QFont::insertSubstitutions("MS Sans Serif",
                               {"DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("MS Serif", {"DejaVu Serif", "Liberation Serif"});
    QFont::insertSubstitutions("Impact",
                               {"DejaVu Sans Condensed", "Liberation Sans Narrow", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
}

} // namespace ostrander
