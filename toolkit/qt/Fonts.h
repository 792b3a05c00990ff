#pragma once
// Fonts the design names, mapped to the fonts installed here.

namespace ostrander {

// "MS Sans Serif" (to DejaVu Sans Condensed), "MS Serif", "Impact" and
// friends to DejaVu/Liberation.
void InstallFontSubstitutions();

} // namespace ostrander
