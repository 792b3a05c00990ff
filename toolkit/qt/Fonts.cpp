#include "toolkit/qt/Fonts.h"

#include <QFont>
#include <QStringList>

namespace ostrander {

void InstallFontSubstitutions() {
    QFont::insertSubstitutions("MS Sans Serif", {"DejaVu Sans", "Liberation Sans"});
    QFont::insertSubstitutions("MS Serif", {"DejaVu Serif", "Liberation Serif"});
    QFont::insertSubstitutions("Impact",
                               {"DejaVu Sans Condensed", "Liberation Sans Narrow", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
}

} // namespace ostrander
