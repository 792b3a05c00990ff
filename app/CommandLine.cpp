#include "app/CommandLine.h"
#include "toolkit/Version.h"

#include <QCommandLineParser>

namespace ostrander {

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulates electrostatic membrane deformable mirrors.\n"
        "Mirrors come from the first device folder that exists of: --devices DIR, "
        "$OSTRANDER_DEVICES, ~/.local/share/ostrander/Devices, the installed "
        "share/ostrander/Devices, ../Devices beside the program.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption devices(QStringList{"devices"},
                                     "Device folder to read the mirrors from.", "DIR");
    parser.addOption(devices);
    parser.addPositionalArgument("mirror", "Mirror info file to load at start.", "[mirror]");

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Error;
        result.text = parser.errorText().toStdString();
        return result;
    }
    if (parser.isSet(help)) {
        const QString text = parser.helpText();
        result.action = CommandLine::Action::Help;
        result.text = text.toStdString();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        result.text = std::string("ostrander ") + kVersion + "\n";
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        result.action = CommandLine::Action::Error;
        result.text = "only one mirror file may be given";
        return result;
    }
    result.devices = parser.value(devices).toStdString();
    if (parser.isSet(devices) && result.devices.empty()) {
        result.action = CommandLine::Action::Error;
        result.text = "--devices needs a folder";
        return result;
    }
    if (!positional.isEmpty())
        result.mirrorFile = positional.first().toStdString();
    return result;
}

bool AsksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--")
            break;
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (argument == option)
                return true;
    }
    return false;
}

} // namespace ostrander
