#pragma once
// The choices the program remembers between runs, kept with QSettings
// (~/.config/Ostrander/Ostrander.conf): the mirror last loaded (offered again
// at start, never loaded without asking), the map's step and "Set All"
// value, "Remove Focus and Piston", the far-field zoom, the membrane model,
// the pattern folder, a device folder chosen in the program, the folder last
// exported to, and the windows' places, sizes and splitters.
//
// Restore runs on freshly made windows before they are shown; Save when the
// program ends. Values that make no sense (a zoom of 0, a step of NaN, a
// model that no longer exists) are passed over and the default stays.
#include <string>

class QSettings;

namespace ostrander {

struct ProgramWindows;

void RestoreChoices(ProgramWindows& windows, QSettings& settings);
void SaveChoices(const ProgramWindows& windows, QSettings& settings);

// The mirror info file last loaded, absolute; empty when none was or the
// file is gone.
std::string RememberedMirror(QSettings& settings);
// Asks whether to load the remembered mirror again and loads it on Yes.
// True when it was loaded.
bool OfferRememberedMirror(ProgramWindows& windows, QSettings& settings);

// The device folder the user chose in the program; empty when none.
std::string RememberedDeviceFolder(QSettings& settings);
void RememberDeviceFolder(QSettings& settings, const std::string& folder);

} // namespace ostrander
