#include "cli/Arguments.h"

#include "toolkit/Format.h"
#include "toolkit/Version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrander {

namespace {

void AddResultOptions(CLI::App& command, ResultOptions& options) {
    command
        .add_option("mirror", options.mirror,
                    "Device name as listed by \"mirrors\", its file name, or the path of a "
                    "mirror info file")
        ->required();
    command.add_option("--out", options.out, "Output folder (must not exist, or be empty)")
        ->required()
        ->type_name("DIR");
    command.add_flag("--force", options.force,
                     "Replace an earlier output folder of this program (one holding nothing "
                     "else)");
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
        .add_option("--wavelength", options.wavelengthNm,
                    "Wavelength of the far field and the interferogram, nm (100 to 20000)")
        ->capture_default_str()
        ->check(CLI::Range(100.0, 20000.0))
        ->type_name("NM");
    command.add_flag("--no-pictures", options.noPictures,
                     "Write the grids and figures but no pictures");
    command.add_flag("--json", options.json,
                     "Print the summary as JSON on standard output (an array of the patterns' "
                     "summaries for sweep)");
    command
        .add_option("--size", options.size, "Size of the surface, interferogram and 3D pictures")
        ->capture_default_str()
        ->type_name("WxH");
}

// One line: the parser's messages may span several.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

std::optional<int> ParseDecimalInteger(const std::string& text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i == text.size() || text.size() - i > 10)
        return std::nullopt;
    for (std::size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return std::nullopt;
    const long long magnitude = std::stoll(text.substr(i));
    const long long value = text[0] == '-' ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<double> ParseDecimalVolts(const std::string& text) {
    // The toolkit's conversion takes digits, sign, point and exponent only.
    const std::optional<double> volts = TryStrToFloat(text);
    if (!volts || !std::isfinite(*volts) || text != Trim(text))
        return std::nullopt;
    return volts;
}

bool ParseVoltageRequests(const SimulateCommand& command, std::optional<double>& all,
                          std::vector<std::pair<int, double>>& single, std::string& error) {
    all.reset();
    single.clear();
    if (command.hasAll) {
        all = ParseDecimalVolts(command.all);
        if (!all) {
            error = "--all \"" + command.all + "\" is not a voltage in decimal, such as 45.5";
            return false;
        }
    }
    std::vector<std::string> items;
    for (const std::string& text : command.set) {
        // "1=100,5=120" holds two pairs.
        std::size_t start = 0;
        for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos;
             start = comma + 1)
            items.push_back(text.substr(start, comma - start));
        items.push_back(text.substr(start));
    }
    for (const std::string& item : items) {
        const auto equals = item.find('=');
        const auto number = equals == std::string::npos
                                ? std::nullopt
                                : ParseDecimalInteger(item.substr(0, equals));
        const auto volts = equals == std::string::npos
                               ? std::nullopt
                               : ParseDecimalVolts(item.substr(equals + 1));
        if (!number || !volts) {
            error = "--set \"" + item + "\" is not ACTUATOR=VOLTS in decimal, such as 3=45.5";
            return false;
        }
        single.emplace_back(*number, *volts);
    }
    return true;
}

Arguments ParseArguments(const std::vector<std::string>& arguments) {
    Arguments parsed;
    CLI::App app{"Simulates electrostatic membrane deformable mirrors without a window.\n"
                 "Mirrors come from the first device folder that exists of: --devices DIR, "
                 "$OSTRANDER_DEVICES,\n~/.local/share/ostrander/Devices, the installed "
                 "share/ostrander/Devices, ../Devices beside the program."};
    app.name("ostrander-cli");
    app.require_subcommand(1);
    // --devices is accepted before or after the command.
    app.fallthrough();
    app.add_option("--devices", parsed.devices, "Device folder to read the mirrors from")
        ->type_name("DIR");
    app.set_version_flag("--version", std::string("ostrander-cli ") + kVersion);

    CLI::App* mirrorsApp = app.add_subcommand("mirrors", "List the mirrors of the device folder");
    mirrorsApp->add_flag("--json", parsed.mirrors.json, "Print JSON instead of a table");

    SimulateCommand& simulate = parsed.simulate;
    CLI::App* simulateApp = app.add_subcommand(
        "simulate",
        "Simulate one set of voltages: pictures, surface.csv, farfield.csv, summary.json.\n"
        "Voltages start from 0.1 V on every actuator (as after the influence functions), then "
        "--all, --pattern, --voltages and --set apply in that order under the mirror's rules.");
    AddResultOptions(*simulateApp, simulate);
    simulateApp
        ->add_option("--set", simulate.set,
                     "Actuator N (display number) to V volts; several pairs after one --set "
                     "or separated by commas, and repeatable")
        ->allow_extra_args(true)
        ->type_name("N=V");
    simulateApp
        ->add_option("--voltages", simulate.voltages,
                     "CSV file of NUMBER,VOLTS lines (display numbers); - reads standard input")
        ->type_name("FILE");
    CLI::Option* all =
        simulateApp->add_option("--all", simulate.all, "Every actuator to V volts")->type_name("V");
    CLI::Option* pattern =
        simulateApp
            ->add_option("--pattern", simulate.pattern, "Pattern-set file to take a pattern from")
            ->type_name("FILE");
    std::string patternIndex;
    CLI::Option* patternIndexOption =
        simulateApp
            ->add_option("--pattern-index", patternIndex, "Pattern by its index in the set, from 0")
            ->needs(pattern)
            ->type_name("K");
    CLI::Option* patternName =
        simulateApp->add_option("--pattern-name", simulate.patternName, "Pattern by its name")
            ->needs(pattern)
            ->excludes(patternIndexOption)
            ->type_name("NAME");

    CLI::App* sweepApp = app.add_subcommand(
        "sweep", "Simulate every pattern of a set: summary.csv and a folder of pictures and "
                 "summary.json per pattern");
    AddResultOptions(*sweepApp, parsed.sweep);
    sweepApp->add_option("--pattern", parsed.sweep.pattern, "Pattern-set file")
        ->required()
        ->type_name("FILE");

    InfluenceCommand& influence = parsed.influence;
    CLI::App* influenceApp = app.add_subcommand(
        "influence", "Export the influence functions for other simulations: influence.fits "
                     "(metres per volt squared, one plane per actuator), actuators.csv, "
                     "summary.json");
    influenceApp
        ->add_option("mirror", influence.mirror,
                     "Device name as listed by \"mirrors\", its file name, or the path of a "
                     "mirror info file")
        ->required();
    influenceApp->add_option("--out", influence.out, "Output folder (must not exist, or be empty)")
        ->required()
        ->type_name("DIR");
    influenceApp->add_flag("--force", influence.force,
                           "Replace an earlier output folder of this program (one holding "
                           "nothing else)");
    influenceApp->add_flag("--json", influence.json,
                           "Print the summary as JSON on standard output");
    influenceApp->add_option("--model", influence.model, "Membrane model: classic or exact")
        ->capture_default_str()
        ->check(CLI::IsMember({"classic", "exact"}))
        ->type_name("NAME");

    FitCommand& fit = parsed.fit;
    CLI::App* fitApp = app.add_subcommand(
        "fit", "Fit voltages to a target shape over the beam and simulate them: fit.pat, "
               "voltages.csv, the pictures and grids of simulate, summary.json with the fit.\n"
               "Piston is free; pads only pull, so shapes of both signs need a --bias.");
    AddResultOptions(*fitApp, fit);
    CLI::Option* zernike =
        fitApp
            ->add_option("--zernike", fit.zernike,
                         "Noll Zernike terms in metres RMS over the beam, e.g. \"4=0.5um,6=-0.2um\"")
            ->type_name("TERMS");
    fitApp
        ->add_option("--surface", fit.surface,
                     "Target surface: a CSV or FITS grid laid out as simulate's surface.csv")
        ->excludes(zernike)
        ->type_name("FILE");
    CLI::Option* bias =
        fitApp->add_option("--bias", fit.bias, "Every pad starts at V volts; the target is the "
                                               "change from that surface")
            ->type_name("V");
    fitApp->add_flag("--free-tilt", fit.freeTilt, "Leave tilt out of the fit as well as piston");

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.help = app.help();
        return parsed;
    } catch (const CLI::CallForAllHelp&) {
        parsed.help = app.help("", CLI::AppFormatMode::All);
        return parsed;
    } catch (const CLI::CallForVersion&) {
        parsed.help = std::string("ostrander-cli ") + kVersion + "\n";
        return parsed;
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        // --set takes every value that follows it, a mirror named after it too.
        if (message.find("mirror is required") != std::string::npos &&
            std::find(arguments.begin(), arguments.end(), "--set") != arguments.end())
            message += "; name MIRROR before --set, which takes every value after it";
        parsed.error = OneLine(message + " (see --help)");
        return parsed;
    }
    simulate.hasAll = all->count() > 0;
    fit.hasBias = bias->count() > 0;
    simulate.hasPatternIndex = patternIndexOption->count() > 0;
    simulate.hasPatternName = patternName->count() > 0;
    if (simulate.hasPatternIndex) {
        const std::optional<int> index = ParseDecimalInteger(patternIndex);
        if (!index || *index < 0) {
            parsed.error = "--pattern-index \"" + patternIndex +
                           "\" is not a pattern index in decimal (0, 1, 2, ...)";
            return parsed;
        }
        simulate.patternIndex = *index;
    }
    if (mirrorsApp->parsed())
        parsed.command = Arguments::Command::Mirrors;
    else if (simulateApp->parsed())
        parsed.command = Arguments::Command::Simulate;
    else if (sweepApp->parsed())
        parsed.command = Arguments::Command::Sweep;
    else if (fitApp->parsed())
        parsed.command = Arguments::Command::Fit;
    else if (influenceApp->parsed())
        parsed.command = Arguments::Command::Influence;
    return parsed;
}

} // namespace ostrander
