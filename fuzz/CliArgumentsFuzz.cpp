// The command line of ostrander-cli: any list of arguments (the input split
// at NUL bytes) is parsed without printing or exiting, and an accepted
// simulate command's voltage requests are read. Whatever the arguments, the
// result is one of: help text, one line of error, or a command whose
// required parts are present and whose voltages are finite decimals.
#include "cli/Arguments.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <string>
#include <vector>

using namespace ostrander;
using ostrander::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    const std::string_view input = fuzz::AsText(data, size);
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    while (pos <= input.size() && arguments.size() < 64) {
        std::size_t end = input.find('\0', pos);
        if (end == std::string_view::npos)
            end = input.size();
        arguments.emplace_back(input.substr(pos, end - pos));
        pos = end + 1;
    }

    // Built once: a parser costs far more than a parse.
    static ArgumentParser parser;
    const Arguments parsed = parser.Parse(arguments);
    Check(parsed.help.empty() || parsed.error.empty(), "both help and an error");
    Check(parsed.error.find_first_of("\r\n") == std::string::npos, "error of several lines");
    if (!parsed.help.empty() || !parsed.error.empty()) {
        Check(parsed.command == Arguments::Command::None || !parsed.error.empty(),
              "help with a command to run");
        return 0;
    }
    Check(parsed.command != Arguments::Command::None, "accepted without a command");
    if (parsed.command != Arguments::Command::Simulate)
        return 0;

    const SimulateCommand& simulate = parsed.simulate;
    Check(!simulate.hasPatternIndex || simulate.patternIndex >= 0, "negative pattern index");
    Check(!simulate.hasPatternIndex || !simulate.hasPatternName, "index and name both accepted");
    std::optional<double> all;
    std::vector<std::pair<int, double>> single;
    std::string error;
    if (!ParseVoltageRequests(simulate, all, single, error)) {
        Check(!error.empty(), "refused without a message");
        return 0;
    }
    Check(all.has_value() == simulate.hasAll, "--all lost or invented");
    Check(!all || std::isfinite(*all), "--all accepted a voltage that is not finite");
    Check(single.size() == simulate.set.size(), "--set pairs lost");
    for (std::size_t i = 0; i < single.size(); ++i) {
        Check(std::isfinite(single[i].second), "--set accepted a voltage that is not finite");
        // The actuator number is the decimal text before the '=' exactly.
        const std::string& item = simulate.set[i];
        const std::string number = item.substr(0, item.find('='));
        Check(ParseDecimalInteger(number) == single[i].first, "--set number misread");
        Check(number.find_first_not_of("+-0123456789") == std::string::npos,
              "--set number accepted in a form other than decimal");
    }
    return 0;
}
