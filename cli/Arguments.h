#pragma once
// The command line of ostrander-cli, parsed without printing or exiting, and
// the voltage requests of `simulate` (--all, --set N=V) read from it.
// Voltages and actuator numbers are decimal only: "$A", "0x10", "inf" and
// "nan" are refused.
#include "cli/CommandOptions.h"
#include "formats/VoltageFile.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrander {

struct Arguments {
    enum class Command { None, Mirrors, Simulate, Sweep, Influence, Fit, Correct, Calibrate };
    Command command = Command::None;
    MirrorsCommand mirrors;
    SimulateCommand simulate;
    SweepCommand sweep;
    InfluenceCommand influence;
    FitCommand fit;
    CorrectCommand correct;
    CalibrateCommand calibrate;
    // --devices: the device folder to read, before or after the command.
    std::string devices;
    // Set when help or the version was asked for: print it and stop with status 0.
    std::string help;
    // Set when the command line is refused (one line, for the error message).
    std::string error;
};

// arguments: the command line without the program name.
Arguments ParseArguments(const std::vector<std::string>& arguments);

// The same parser built once and used for any number of command lines (the
// fuzz harness parses thousands): each Parse gives exactly what
// ParseArguments gives, whatever was parsed before.
class ArgumentParser {
public:
    ArgumentParser();
    ~ArgumentParser();
    ArgumentParser(const ArgumentParser&) = delete;
    ArgumentParser& operator=(const ArgumentParser&) = delete;

    Arguments Parse(const std::vector<std::string>& arguments);

private:
    struct State; // the parser and the Arguments its options are bound to
    std::unique_ptr<State> state_;
};

// The --all voltage (when given) and the --set pairs of a simulate command,
// in the order given. False, with the message, for a malformed one.
bool ParseVoltageRequests(const SimulateCommand& command, std::optional<double>& all,
                          std::vector<std::pair<int, double>>& single, std::string& error);

} // namespace ostrander
