#include "cli/Arguments.h"

#include "cli/DeviceLookup.h"
#include "model/MembraneModel.h"
#include "toolkit/Format.h"
#include "toolkit/Version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace ostrander {

namespace {

constexpr const char* kMirrorHelp =
    "Device name as listed by \"mirrors\", its file name, or the path of a mirror info file";

// The mirror, the output folder and --force: every command that writes files.
void AddMirrorAndOutput(CLI::App& command, ResultOptions& options) {
    command.add_option("mirror", options.mirror, kMirrorHelp)->required();
    command.add_option("--out", options.out, "Output folder (must not exist, or be empty)")
        ->required()
        ->type_name("DIR");
    command.add_flag("--force", options.force,
                     "Replace an earlier output folder of this program (one holding nothing "
                     "else)");
}

CLI::Option* AddModelOption(CLI::App& command, std::string& model) {
    std::vector<std::string> names;
    for (const MembraneModelInfo& info : MembraneModels())
        names.emplace_back(info.name);
    std::string list = names.front();
    for (std::size_t k = 1; k < names.size(); ++k)
        list += (k + 1 == names.size() ? " or " : ", ") + names[k];
    return command.add_option("--model", model, "Membrane model: " + list)
        ->capture_default_str()
        ->check(CLI::IsMember(names))
        ->type_name("NAME");
}

void AddGridOption(CLI::App& command, int& grid) {
    command
        .add_option("--grid", grid,
                    "With --model exact: samples per side of the engine grid, 100 to 400 "
                    "(default: the mirror file's GridSamples, else 100; the classic model keeps "
                    "100)")
        ->type_name("N");
}

// The measured model's cube and what its header may not say.
void AddMeasuredOptions(CLI::App& command, ResultOptions& options) {
    command.add_option("--influence", options.influence,
                       "With --model measured: FITS cube of measured influence functions "
                       "[actuators, rows, columns]")
        ->type_name("FILE");
    command.add_option("--law", options.law,
                       "Response law of the measured functions when BUNIT does not say: "
                       "quadratic (in the voltage) or linear (in the command)")
        ->check(CLI::IsMember({"quadratic", "linear"}))
        ->type_name("LAW");
    command.add_option("--sampling", options.sampling,
                       "Sample spacing of the measured cube, m (replaces CDELT1/2)")
        ->type_name("M");
    command.add_option("--units", options.units,
                       "Unit of the measured values, replacing BUNIT (e.g. \"m V-2\", \"nm\")")
        ->type_name("UNIT");
    command.add_option("--actuators", options.actuatorsTable,
                       "CSV table naming each plane's display number (display_number, plane, "
                       "x_m, y_m)")
        ->type_name("FILE");
    command.add_flag("--remove-tilt", options.removeTilt,
                     "Take piston and tilt off each measured function");
    command.add_option("--flat", options.flat,
                       "With --model measured: the mirror's measured surface with no voltage "
                       "(CSV or FITS, as --surface), added to every surface")
        ->type_name("FILE");
}

void AddResultOptions(CLI::App& command, ResultOptions& options) {
    AddMirrorAndOutput(command, options);
    AddMeasuredOptions(command, options);
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
    CLI::Option* model = AddModelOption(command, options.model);
    AddGridOption(command, options.grid);
    model->each([&options](const std::string&) { options.modelGiven = true; });
    CLI::Option* nonlinear =
        command.add_flag("--nonlinear", options.nonlinear,
                         "With --model exact: every result comes from the nonlinear equilibrium")
            ->needs(model);
    command.add_flag("--linear-past-pull-in", options.linearPastPullIn,
                     "With --nonlinear, voltages past pull-in (no equilibrium) write the linear "
                     "surface, named so, with a warning, instead of exiting with status 3")
        ->needs(nonlinear);
    command
        .add_option("--wavelength", options.wavelengthNm,
                    "Wavelength of the far field and the interferogram, nm (100 to 20000)")
        ->capture_default_str()
        ->check(CLI::Range(100.0, 20000.0))
        ->type_name("NM");
    command.add_flag("--no-pictures", options.noPictures,
                     "Write the grids and figures but no pictures");
    command
        .add_option("--formats", options.formats,
                    "Formats of the surface and far-field grids: csv, fits or both (fits leaves "
                    "out the CSV copies)")
        ->capture_default_str()
        ->type_name("LIST");
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

// The parser with every command's options bound to `parsed`; the options
// whose presence or text is read after parsing are kept here.
struct Parser {
    CLI::App app{"Simulates electrostatic membrane deformable mirrors without a window.\n"
                 "Mirrors come from the first device folder that exists of: --devices DIR, "
                 "$OSTRANDER_DEVICES,\n~/.local/share/ostrander/Devices, the installed "
                 "share/ostrander/Devices, ../Devices beside the program."};
    CLI::App* mirrors = nullptr;
    CLI::App* simulate = nullptr;
    CLI::App* sweep = nullptr;
    CLI::App* influence = nullptr;
    CLI::App* fit = nullptr;
    CLI::App* correct = nullptr;
    CLI::App* calibrate = nullptr;
    CLI::Option* all = nullptr;
    CLI::Option* patternIndex = nullptr;
    CLI::Option* patternName = nullptr;
    CLI::Option* bias = nullptr;
    std::string patternIndexText; // read as a decimal after parsing
};

void AddProgramOptions(Parser& p, Arguments& parsed) {
    p.app.name("ostrander-cli");
    p.app.require_subcommand(1);
    // --devices is accepted before or after the command.
    p.app.fallthrough();
    p.app.add_option("--devices", parsed.devices, "Device folder to read the mirrors from")
        ->type_name("DIR");
    p.app.set_version_flag("--version", std::string("ostrander-cli ") + kVersion);
}

void AddMirrorsCommand(Parser& p, MirrorsCommand& mirrors) {
    p.mirrors = p.app.add_subcommand("mirrors", "List the mirrors of the device folder");
    p.mirrors->add_flag("--json", mirrors.json, "Print JSON instead of a table");
}

void AddSimulateCommand(Parser& p, SimulateCommand& simulate) {
    CLI::App* command = p.simulate = p.app.add_subcommand(
        "simulate",
        "Simulate one set of voltages: pictures, surface.csv, farfield.csv, summary.json.\n"
        "Voltages start from 0.1 V on every actuator (as after the influence functions), then "
        "--all, --pattern, --voltages and --set apply in that order under the mirror's rules.");
    AddResultOptions(*command, simulate);
    command
        ->add_option("--set", simulate.set,
                     "Actuator N (display number) to V volts; several pairs after one --set "
                     "or separated by commas, and repeatable")
        ->allow_extra_args(true)
        ->type_name("N=V");
    command
        ->add_option("--voltages", simulate.voltages,
                     "CSV file of NUMBER,VOLTS lines (display numbers); - reads standard input")
        ->type_name("FILE");
    p.all = command->add_option("--all", simulate.all, "Every actuator to V volts")->type_name("V");
    CLI::Option* pattern =
        command->add_option("--pattern", simulate.pattern, "Pattern-set file to take a pattern from")
            ->type_name("FILE");
    p.patternIndex = command
                         ->add_option("--pattern-index", p.patternIndexText,
                                      "Pattern by its index in the set, from 0")
                         ->needs(pattern)
                         ->type_name("K");
    p.patternName = command->add_option("--pattern-name", simulate.patternName, "Pattern by its name")
                        ->needs(pattern)
                        ->excludes(p.patternIndex)
                        ->type_name("NAME");
}

void AddSweepCommand(Parser& p, SweepCommand& sweep) {
    p.sweep = p.app.add_subcommand(
        "sweep", "Simulate every pattern of a set: summary.csv and a folder of pictures and "
                 "summary.json per pattern");
    AddResultOptions(*p.sweep, sweep);
    p.sweep->add_option("--pattern", sweep.pattern, "Pattern-set file")
        ->required()
        ->type_name("FILE");
}

void AddInfluenceCommand(Parser& p, InfluenceCommand& influence) {
    p.influence = p.app.add_subcommand(
        "influence", "Export the influence functions for other simulations: influence.fits "
                     "(metres per volt squared, one plane per actuator), actuators.csv, "
                     "summary.json");
    AddMirrorAndOutput(*p.influence, influence);
    p.influence->add_flag("--json", influence.json, "Print the summary as JSON on standard output");
    AddModelOption(*p.influence, influence.model);
    AddGridOption(*p.influence, influence.grid);
}

void AddCalibrateCommand(Parser& p, CalibrateCommand& calibrate) {
    CLI::App* command = p.calibrate = p.app.add_subcommand(
        "calibrate", "Simulate an interferometer calibration: each pad poked from a bias, the "
                     "differences (with noise and a reference tilt as asked) written as "
                     "influence writes them: influence.fits, actuators.csv, summary.json");
    AddMirrorAndOutput(*command, calibrate);
    AddModelOption(*command, calibrate.model);
    command->add_option("--poke", calibrate.poke, "Poke of each pad, V")
        ->required()
        ->check(CLI::PositiveNumber)
        ->type_name("V");
    command->add_option("--bias", calibrate.bias,
                        "Voltage of every pad between pokes, V (default 0: the floor; with "
                        "--push-pull the poke)")
        ->check(CLI::NonNegativeNumber)
        ->type_name("V");
    command->add_flag("--push-pull", calibrate.pushPull,
                      "Measure bias + poke less bias - poke instead of the poke less the bias");
    command->add_option("--noise", calibrate.noiseNm,
                        "RMS of the white noise on each measured surface, nm")
        ->check(CLI::NonNegativeNumber)
        ->type_name("NM");
    command->add_option("--tilt", calibrate.tiltNm,
                        "Peak-to-valley over the membrane of each measurement's reference "
                        "tilt (random direction), nm")
        ->check(CLI::NonNegativeNumber)
        ->type_name("NM");
    command->add_option("--seed", calibrate.seed, "Seed of the noise and tilts")
        ->capture_default_str()
        ->type_name("S");
    command->add_flag("--json", calibrate.json, "Print the summary as JSON on standard output");
}

void AddFitCommand(Parser& p, FitCommand& fit) {
    CLI::App* command = p.fit = p.app.add_subcommand(
        "fit", "Fit voltages to a target shape over the beam and simulate them: fit.pat, "
               "voltages.csv, the pictures and grids of simulate, summary.json with the fit.\n"
               "Piston is free; pads only pull, so shapes of both signs need a --bias.");
    AddResultOptions(*command, fit);
    CLI::Option* zernike =
        command
            ->add_option("--zernike", fit.zernike,
                         "Noll Zernike terms in metres RMS over the beam, e.g. \"4=0.5um,6=-0.2um\"")
            ->type_name("TERMS");
    command
        ->add_option("--surface", fit.surface,
                     "Target surface: a CSV or FITS grid laid out as simulate's surface.csv")
        ->excludes(zernike)
        ->type_name("FILE");
    p.bias = command
                 ->add_option("--bias", fit.bias,
                              "Every pad starts at V volts; the target is the change from that "
                              "surface")
                 ->type_name("V");
    command->add_flag("--free-tilt", fit.freeTilt, "Leave tilt out of the fit as well as piston");
}

void AddCorrectCommand(Parser& p, CorrectCommand& correct) {
    CLI::App* command = p.correct = p.app.add_subcommand(
        "correct",
        "How much turbulence each mirror takes out: seeded Kolmogorov (or von Karman) phase "
        "screens at each D/r0 (D the beam diameter), each corrected by the bounded, pull-in-aware "
        "fit; correction.csv, summary.json (a_F per mirror), correction.png.\n"
        "A screen is the incoming wavefront W; the mirror's surface is fitted to W/2, because "
        "reflection doubles the path.");
    command->add_option("mirror", correct.mirrors, kMirrorHelp + std::string(" (one or more)"))
        ->required();
    command->add_option("--out", correct.out, "Output folder (must not exist, or be empty)")
        ->required()
        ->type_name("DIR");
    command->add_flag("--force", correct.force,
                      "Replace an earlier output folder of this program (one holding nothing "
                      "else)");
    command->add_option("--dr0", correct.dOverR0, "D/r0 values, comma-separated, each above 0")
        ->capture_default_str()
        ->type_name("LIST");
    command->add_option("--screens", correct.screens, "Screens per D/r0")
        ->capture_default_str()
        ->type_name("N");
    command->add_option("--seed", correct.seed, "Seed of the screens (0 to 2^64 - 1)")
        ->capture_default_str()
        ->type_name("S");
    command->add_option("--outer-scale", correct.outerScale,
                        "Von Karman outer scale L0 in metres (default infinite: Kolmogorov)")
        ->type_name("L0");
    command
        ->add_option("--wavelength", correct.wavelengthNm,
                     "Wavelength of r0 and of the Strehl ratio, nm (100 to 20000)")
        ->capture_default_str()
        ->check(CLI::Range(100.0, 20000.0))
        ->type_name("NM");
    AddModelOption(*command, correct.model)->default_str("exact");
    command
        ->add_option("--bias", correct.bias,
                     "Every pad's voltage at the flat correction (default: each mirror's best, "
                     "found once)")
        ->type_name("V");
    command->add_option("--keep", correct.keep,
                        "Keep the first N screens of each D/r0 with their fitted surfaces and "
                        "residuals as FITS cubes in screens/")
        ->capture_default_str()
        ->type_name("N");
}

// The refusal when no known command was found: the word given in its place,
// or that none was given.
std::string CommandMissing(const std::vector<std::string>& arguments) {
    const std::string known = "mirrors, simulate, sweep, fit, influence, correct or calibrate";
    // The first word that is not an option or the value after one.
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::string& word = arguments[k];
        if (!word.empty() && word[0] == '-') {
            if (word.find('=') == std::string::npos)
                ++k; // its value
            continue;
        }
        return "unknown command " + Quoted(word) + "; the commands are " + known;
    }
    return "a command is required: " + known;
}

// Runs the parser; false when it stopped for help, the version or an error,
// which `parsed` then holds.
bool RunParser(Parser& p, const std::vector<std::string>& arguments, Arguments& parsed) {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        p.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.help = p.app.help();
        return false;
    } catch (const CLI::CallForAllHelp&) {
        parsed.help = p.app.help("", CLI::AppFormatMode::All);
        return false;
    } catch (const CLI::CallForVersion&) {
        parsed.help = std::string("ostrander-cli ") + kVersion + "\n";
        return false;
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        if (message.find("subcommand is required") != std::string::npos)
            message = CommandMissing(arguments);
        // --set takes every value that follows it, a mirror named after it too.
        if (message.find("mirror is required") != std::string::npos &&
            std::find(arguments.begin(), arguments.end(), "--set") != arguments.end())
            message += "; name MIRROR before --set, which takes every value after it";
        parsed.error = OneLine(message + " (see --help)");
        return false;
    }
    return true;
}

// What the options' presence says, and the pattern index read as a decimal.
// False, with the error in `parsed`, for an index that is not one.
bool ReadParsedOptions(const Parser& p, Arguments& parsed) {
    SimulateCommand& simulate = parsed.simulate;
    simulate.hasAll = p.all->count() > 0;
    parsed.fit.hasBias = p.bias->count() > 0;
    simulate.hasPatternIndex = p.patternIndex->count() > 0;
    simulate.hasPatternName = p.patternName->count() > 0;
    if (simulate.hasPatternIndex) {
        const std::optional<int> index = ParseDecimalInteger(p.patternIndexText);
        if (!index || *index < 0) {
            parsed.error = "--pattern-index " + Quoted(p.patternIndexText) +
                           " is not a pattern index in decimal (0, 1, 2, ...)";
            return false;
        }
        simulate.patternIndex = *index;
    }
    return true;
}

Arguments::Command ChosenCommand(const Parser& p) {
    if (p.mirrors->parsed())
        return Arguments::Command::Mirrors;
    if (p.simulate->parsed())
        return Arguments::Command::Simulate;
    if (p.sweep->parsed())
        return Arguments::Command::Sweep;
    if (p.fit->parsed())
        return Arguments::Command::Fit;
    if (p.influence->parsed())
        return Arguments::Command::Influence;
    if (p.correct->parsed())
        return Arguments::Command::Correct;
    if (p.calibrate->parsed())
        return Arguments::Command::Calibrate;
    return Arguments::Command::None;
}

} // namespace

bool ParseVoltageRequests(const SimulateCommand& command, std::optional<double>& all,
                          std::vector<std::pair<int, double>>& single, std::string& error) {
    all.reset();
    single.clear();
    if (command.hasAll) {
        all = ParseDecimalVolts(command.all);
        if (!all) {
            error = "--all " + Quoted(command.all) + " is not a voltage in decimal, such as 45.5";
            return false;
        }
    }
    std::vector<std::string> items;
    for (const std::string& argument : command.set) {
        // "1=100,5=120" and "1=100 5=120" (one quoted argument) hold two pairs.
        std::istringstream words(argument);
        for (std::string text; words >> text;) {
            std::size_t start = 0;
            for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos;
                 start = comma + 1)
                items.push_back(text.substr(start, comma - start));
            items.push_back(text.substr(start));
        }
    }
    if (items.empty() && !command.set.empty())
        items.emplace_back(); // an empty --set is refused below
    for (const std::string& item : items) {
        const auto equals = item.find('=');
        const auto number = equals == std::string::npos
                                ? std::nullopt
                                : ParseDecimalInteger(item.substr(0, equals));
        const auto volts = equals == std::string::npos
                               ? std::nullopt
                               : ParseDecimalVolts(item.substr(equals + 1));
        if (!number || !volts) {
            error = "--set " + Quoted(item) + " is not ACTUATOR=VOLTS in decimal, such as 3=45.5";
            return false;
        }
        single.emplace_back(*number, *volts);
    }
    return true;
}

// The options stay bound to `parsed`, which therefore keeps its address.
struct ArgumentParser::State {
    Arguments parsed;
    Parser parser;
};

ArgumentParser::ArgumentParser() : state_(std::make_unique<State>()) {
    Parser& parser = state_->parser;
    Arguments& parsed = state_->parsed;
    AddProgramOptions(parser, parsed);
    AddMirrorsCommand(parser, parsed.mirrors);
    AddSimulateCommand(parser, parsed.simulate);
    AddSweepCommand(parser, parsed.sweep);
    AddInfluenceCommand(parser, parsed.influence);
    AddFitCommand(parser, parsed.fit);
    AddCorrectCommand(parser, parsed.correct);
    AddCalibrateCommand(parser, parsed.calibrate);
}

ArgumentParser::~ArgumentParser() = default;

Arguments ArgumentParser::Parse(const std::vector<std::string>& arguments) {
    Parser& parser = state_->parser;
    Arguments& parsed = state_->parsed;
    // The parser only writes the options given: everything else goes back
    // to its default, and the parser forgets the last command line (also
    // one it stopped on half way).
    parsed = Arguments{};
    parser.patternIndexText.clear();
    parser.app.clear();
    if (!RunParser(parser, arguments, parsed) || !ReadParsedOptions(parser, parsed))
        return parsed;
    parsed.command = ChosenCommand(parser);
    return parsed;
}

Arguments ParseArguments(const std::vector<std::string>& arguments) {
    return ArgumentParser().Parse(arguments);
}

} // namespace ostrander
