#pragma once
// The choices the program remembers between runs, kept with QSettings
// (~/.config/Ostrander/Ostrander.conf): the mirror last loaded (offered again
// at start, never loaded without asking), the map's step and "Set All"
// value, "Remove Focus and Piston", the far-field zoom, the membrane model,
// whether the pictures' colour bars are shown,
// the pattern folder, a device folder chosen in the program, the folder last
// exported to, the recent mirrors and pattern sets, and the windows'
// places, sizes and splitters.
//
// Restore runs on freshly made windows before they are shown; Save as the
// windows close. A remembered place that lies on no screen there is now is
// passed over: the window opens beside the main window instead. Values that make no sense (a zoom of 0, a step of NaN, a
// model that no longer exists) are passed over and the default stays. A
// remembered file or folder that can no longer be used (gone, unreadable, a
// loop of links) is forgotten, and the main window's status bar says so once.
#include <memory>
#include <string>
#include <vector>

class QSettings;
class QTemporaryDir;

namespace ostrander {

struct ProgramWindows;

// The settings file of the program: ~/.config/Ostrander/Ostrander.conf (or
// under XDG_CONFIG_HOME).
std::string DefaultSettingsFile();

// The settings kept in file. Something there that is not a regular file (a
// FIFO, which would block the read, a folder, a device, a loop of links, a
// path that cannot be looked at) is never opened: the program then starts
// from the defaults, kept in a scratch file for this run only, and notice
// says why.
struct ProgramSettingsFile {
    ProgramSettingsFile();
    ~ProgramSettingsFile();
    ProgramSettingsFile(ProgramSettingsFile&&) noexcept;
    ProgramSettingsFile& operator=(ProgramSettingsFile&&) noexcept;

    std::unique_ptr<QTemporaryDir> scratch; // only with the defaults
    std::unique_ptr<QSettings> settings;
    std::string notice; // empty when the file was used
};
ProgramSettingsFile OpenProgramSettings(const std::string& file);

// Restores the choices; what could not be restored, with earlier notices
// (the settings file's, the device folder's), is shown once in the main
// window's status bar.
void RestoreChoices(ProgramWindows& windows, QSettings& settings,
                    std::vector<std::string> notices = {});
void SaveChoices(const ProgramWindows& windows, QSettings& settings);
// Saves as each window closes, while it still has its place: a secondary
// window's place and size (and splitter) whenever it is hidden, and every
// choice when the main window closes. The settings must outlive the windows.
void SaveChoicesOnClose(const ProgramWindows& windows, QSettings& settings);

// The mirror info file last loaded, absolute; empty when none was or the
// file is gone.
std::string RememberedMirror(QSettings& settings);
// Asks whether to load the remembered mirror again and loads it on Yes.
// True when it was loaded.
bool OfferRememberedMirror(ProgramWindows& windows, QSettings& settings);

// The device folder the user chose in the program; empty when none.
std::string RememberedDeviceFolder(QSettings& settings);
// Forgets a remembered device folder that is no longer a readable folder and
// says so; empty when there is nothing to say.
std::string ForgetUnusableDeviceFolder(QSettings& settings);
void RememberDeviceFolder(QSettings& settings, const std::string& folder);

} // namespace ostrander
