#pragma once
// Loads ostrander-cli's picture module (cli/pictures) for a command that
// draws pictures and installs its picture backend. The commands that draw
// none never load it, and so start without the Qt GUI libraries.
#include <string>

namespace ostrander {

// The module's path: beside the program at the installed layout's distance.
std::string PictureModulePath();

// Loads and starts the module once (argv: the program's own); false with a
// message that names the module and the way round it when it is missing or
// of another build.
bool LoadPictureModule(int argc, char** argv, std::string& error);

// Ends what the module started (its GUI application), before the program
// returns from main.
void UnloadPictureModule();

} // namespace ostrander
