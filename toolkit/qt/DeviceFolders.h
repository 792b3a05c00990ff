#pragma once
// The places the device folder may be, in the order they are tried.
#include "toolkit/Paths.h"

#include <string>
#include <vector>

namespace ostrander {

// commandLine (the --devices option; empty when not given), the
// OSTRANDER_DEVICES environment variable, the folder the user chose in the
// program (remembered between runs; empty when none), the user's data folder
// (~/.local/share/ostrander/Devices), the installed share/ostrander/Devices
// (found from the executable's folder, so an installed tree may move), and
// ../Devices beside the executable (the build tree).
std::vector<DeviceFolderCandidate> DeviceFolderCandidates(const std::string& commandLine,
                                                          const std::string& chosen = {});

// Chooses among the candidates and makes the choice the process's device
// folder. A --devices folder, or without one an OSTRANDER_DEVICES folder,
// that does not exist is an error (false, with a one-line reason) rather than
// a silent fall-back to another folder.
bool SetUpDeviceFolder(const std::string& commandLine, std::string& error,
                       const std::string& chosen = {});

} // namespace ostrander
