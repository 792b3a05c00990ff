// The window program's command line: parsed in process, and --help,
// --version and a bad option run as a user runs them, with no display.
#include "app/CommandLine.h"
#include "toolkit/Version.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <string>

namespace ostrander {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, ParsesOptionsAndTheMirrorFile) {
    struct Case {
        QStringList arguments;
        Action action;
        std::string devices;
        std::string mirrorFile;
        std::string text; // a part of the text
    };
    const Case cases[] = {
        {{"ostrander"}, Action::Run, "", "", ""},
        {{"ostrander", "--devices", "/d"}, Action::Run, "/d", "", ""},
        {{"ostrander", "--devices=/d", "m.ini"}, Action::Run, "/d", "m.ini", ""},
        {{"ostrander", "m.ini", "--devices", "/d"}, Action::Run, "/d", "m.ini", ""},
        {{"ostrander", "--", "--odd.ini"}, Action::Run, "", "--odd.ini", ""},
        {{"ostrander", "--help"}, Action::Help, "", "", "--devices <DIR>"},
        {{"ostrander", "-h"}, Action::Help, "", "", "[mirror]"},
        {{"ostrander", "--version"}, Action::Version, "", "", "ostrander "},
        {{"ostrander", "--devices"}, Action::Error, "", "", "devices"},
        {{"ostrander", "--devices", ""}, Action::Error, "", "", "--devices needs a folder"},
        {{"ostrander", "--colour"}, Action::Error, "", "", "colour"},
        {{"ostrander", "a.ini", "b.ini"}, Action::Error, "", "", "only one mirror file"},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.arguments);
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.devices, c.devices) << shown;
        EXPECT_EQ(line.mirrorFile, c.mirrorFile) << shown;
        EXPECT_NE(line.text.find(c.text), std::string::npos) << shown << ": " << line.text;
    }
}

TEST(CommandLine, TextOnlyRequestsAreSeenBeforeTheApplicationExists) {
    struct Case {
        std::vector<const char*> arguments;
        bool textOnly;
    };
    const Case cases[] = {
        {{"ostrander"}, false},
        {{"ostrander", "--version"}, true},
        {{"ostrander", "m.ini", "-h"}, true},
        {{"ostrander", "--", "--help"}, false}, // a file called --help
        {{"ostrander", "--devices", "/d"}, false},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.arguments)
            argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(AsksOnlyForText(static_cast<int>(argv.size()), argv.data()), c.textOnly)
            << c.arguments.back();
    }
}

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProgramRun RunProgram(const QStringList& arguments) {
    QProcess process;
    // No display at all: --help and --version must not need one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(OSTRANDER_APP), arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

TEST(CommandLine, TheProgramPrintsHelpAndVersionWithoutADisplay) {
    const ProgramRun help = RunProgram({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("Usage:"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--devices <DIR>"), std::string::npos);

    const ProgramRun version = RunProgram({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("ostrander ", 0), 0u) << version.out;
    EXPECT_EQ(version.out, std::string("ostrander ") + kVersion + "\n");

    const ProgramRun bad = RunProgram({"--colour", "--help"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("colour"), std::string::npos) << bad.err;
    EXPECT_TRUE(bad.out.empty());
}

} // namespace
} // namespace ostrander
