#include "toolkit/qt/DeviceFolders.h"

#include <QStandardPaths>
#include <QString>

#include <cstdlib>

#ifndef OSTRANDER_BIN_TO_DATA
#define OSTRANDER_BIN_TO_DATA "../share"
#endif

namespace ostrander {

std::vector<DeviceFolderCandidate> DeviceFolderCandidates(const std::string& commandLine,
                                                          const std::string& chosen) {
    std::vector<DeviceFolderCandidate> candidates;
    candidates.push_back({"--devices", commandLine});
    const char* variable = std::getenv("OSTRANDER_DEVICES");
    candidates.push_back({"OSTRANDER_DEVICES", variable ? variable : ""});
    candidates.push_back({"chosen in the program", chosen});
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!userData.isEmpty())
        candidates.push_back({"user data folder", userData.toStdString() + "/ostrander/Devices"});
    candidates.push_back(
        {"installed", ProgramFolder() + "/" + OSTRANDER_BIN_TO_DATA + "/ostrander/Devices"});
    candidates.push_back(DeviceFolderBesideProgram());
    return candidates;
}

bool SetUpDeviceFolder(const std::string& commandLine, std::string& error,
                       const std::string& chosen) {
    const DeviceFolderChoice choice =
        ChooseDeviceFolder(DeviceFolderCandidates(commandLine, chosen));
    if (!commandLine.empty() && choice.origin != "--devices") {
        error = "--devices " + commandLine + ": no such folder";
        return false;
    }
    // The variable is as deliberate as the option: a typo in it must not
    // quietly bring another folder's mirrors.
    const char* variable = std::getenv("OSTRANDER_DEVICES");
    if (commandLine.empty() && variable && *variable && choice.origin != "OSTRANDER_DEVICES") {
        error = "OSTRANDER_DEVICES=" + std::string(variable) +
                ": no such folder (unset it to use the other device folders)";
        return false;
    }
    UseDeviceFolder(choice);
    return true;
}

} // namespace ostrander
