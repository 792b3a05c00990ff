// ostrander-cli: the membrane-mirror simulation without a window, for
// scripts. Lists the mirrors of the device folder, simulates one set of
// voltages, or sweeps a pattern set, writing pictures, grids and figures.
#include "cli/Commands.h"
#include "toolkit/qt/DeviceFolders.h"
#include "toolkit/qt/Fonts.h"

#include <CLI/CLI.hpp>
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <memory>

using namespace ostrander;

namespace {

// Qt's own chatter (fonts, platform notes) stays off standard error, which
// carries our progress bar and our one-line errors.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "ostrander-cli: %s\n", message.toLocal8Bit().constData());
}

void AddResultOptions(CLI::App& command, ResultOptions& options) {
    command
        .add_option("mirror", options.mirror,
                    "Device name as listed by \"mirrors\", its file name, or the path of a "
                    "mirror info file")
        ->required();
    command.add_option("--out", options.out, "Output folder (must not exist, or be empty)")
        ->required()
        ->type_name("DIR");
    command.add_flag("--force", options.force, "Replace an earlier output folder");
    CLI::Option* removeFocus =
        command.add_flag("--remove-focus", options.removeFocus, "Remove piston and focus");
    command
        .add_option("--focus-adjust", options.focusAdjust,
                    "Part of the focus kept with --remove-focus: 0 removes it, 1 keeps it "
                    "(-1 to 2)")
        ->check(CLI::Range(-1.0, 2.0))
        ->needs(removeFocus)
        ->type_name("F");
    command.add_option("--zoom", options.zoom, "Far-field zoom factor (1 to 100)")
        ->capture_default_str()
        ->check(CLI::Range(1, 100))
        ->type_name("Z");
    CLI::Option* model =
        command.add_option("--model", options.model, "Membrane model: classic or exact")
            ->capture_default_str()
            ->check(CLI::IsMember({"classic", "exact"}))
            ->type_name("NAME");
    command.add_flag("--nonlinear", options.nonlinear,
                     "With --model exact: surface.csv holds the nonlinear equilibrium")
        ->needs(model);
    command
        .add_option("--size", options.size, "Size of the surface, interferogram and 3D pictures")
        ->capture_default_str()
        ->type_name("WxH");
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Simulates electrostatic membrane deformable mirrors without a window.\n"
                 "Mirrors come from the first device folder that exists of: --devices DIR, "
                 "$OSTRANDER_DEVICES,\n~/.local/share/ostrander/Devices, the installed "
                 "share/ostrander/Devices, ../Devices beside the program."};
    app.name("ostrander-cli");
    app.require_subcommand(1);
    // --devices is accepted before or after the command.
    app.fallthrough();
    std::string devices;
    app.add_option("--devices", devices, "Device folder to read the mirrors from")
        ->type_name("DIR");
    app.set_version_flag("--version", "ostrander-cli " + ProgramVersion());

    MirrorsCommand mirrors;
    CLI::App* mirrorsApp = app.add_subcommand("mirrors", "List the mirrors of the device folder");
    mirrorsApp->add_flag("--json", mirrors.json, "Print JSON instead of a table");

    SimulateCommand simulate;
    CLI::App* simulateApp = app.add_subcommand(
        "simulate",
        "Simulate one set of voltages: pictures, surface.csv, farfield.csv, summary.json.\n"
        "Voltages start from 0.1 V on every actuator (as after the influence functions), then "
        "--all, --pattern and --set apply in that order under the mirror's rules.");
    AddResultOptions(*simulateApp, simulate);
    simulateApp
        ->add_option("--set", simulate.set, "Actuator N (display number) to V volts; repeatable")
        ->allow_extra_args(false)
        ->type_name("N=V");
    CLI::Option* all =
        simulateApp->add_option("--all", simulate.all, "Every actuator to V volts")->type_name("V");
    CLI::Option* pattern =
        simulateApp
            ->add_option("--pattern", simulate.pattern, "Pattern-set file to take a pattern from")
            ->type_name("FILE");
    CLI::Option* patternIndex = simulateApp
                                    ->add_option("--pattern-index", simulate.patternIndex,
                                                 "Pattern by its index in the set, from 0")
                                    ->check(CLI::NonNegativeNumber)
                                    ->needs(pattern)
                                    ->type_name("K");
    CLI::Option* patternName =
        simulateApp->add_option("--pattern-name", simulate.patternName, "Pattern by its name")
            ->needs(pattern)
            ->excludes(patternIndex)
            ->type_name("NAME");

    SweepCommand sweep;
    CLI::App* sweepApp = app.add_subcommand(
        "sweep", "Simulate every pattern of a set: summary.csv and a folder of pictures and "
                 "summary.json per pattern");
    AddResultOptions(*sweepApp, sweep);
    sweepApp->add_option("--pattern", sweep.pattern, "Pattern-set file")
        ->required()
        ->type_name("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Fail(std::string(e.what()) + " (see --help)");
    }
    std::string error;
    if (!SetUpDeviceFolder(devices, error))
        return Fail(error);
    SetCommandLine(argc, argv);
    simulate.hasAll = all->count() > 0;
    simulate.hasPatternIndex = patternIndex->count() > 0;
    simulate.hasPatternName = patternName->count() > 0;

    if (mirrorsApp->parsed())
        return RunMirrors(mirrors);

    // The pictures draw text, which needs a GUI application; the offscreen
    // platform needs no screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication application(qtArgc, qtArgv);
    // Qt takes the user's locale; C library number conversions keep '.'.
    std::setlocale(LC_NUMERIC, "C");
    InstallFontSubstitutions();

    if (simulateApp->parsed())
        return RunSimulate(simulate);
    return RunSweep(sweep);
}
