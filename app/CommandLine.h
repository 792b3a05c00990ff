#pragma once
// The window program's command line: --help, --version, --devices DIR and
// an optional mirror info file to load at start.
#include <QStringList>

#include <string>

namespace ostrander {

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string devices;    // --devices DIR; empty when not given
    std::string mirrorFile; // the positional argument; empty when not given
    std::string text;       // the help or version text, or the error line
};

// arguments as QCoreApplication::arguments() gives them (the program name
// first); an application object must exist.
CommandLine ParseCommandLine(const QStringList& arguments);

// Whether the command line asks only for text (--help, --version), which
// needs no display: checked on the raw arguments before the application
// object is made.
bool AsksOnlyForText(int argc, char** argv);

} // namespace ostrander
