#pragma once
// Voltages by display number from a small CSV file (or standard input), for
// `simulate --voltages FILE`: one "number,volts" pair a line, decimal only.
// Blank lines and lines starting with '#' are skipped, and so is a first line
// that names its columns (one holding a letter and not starting with a
// number), such as "number,volts".
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander {

// A whole decimal number of an optional sign and digits; no other form.
std::optional<int> ParseDecimalInteger(const std::string& text);
// A finite decimal voltage (sign, digits, point, exponent).
std::optional<double> ParseDecimalVolts(const std::string& text);

struct VoltageLine {
    int number = 0; // display number
    double volts = 0.0;
    int line = 0; // 1-based line of the file
};

inline constexpr std::size_t kMaxVoltageFileBytes = 1024 * 1024;

// False, with a message naming the line, for a line that is not a pair, a
// number given twice, or no pair at all. name is the file as the user gave it.
bool ParseVoltageLines(std::string_view text, const std::string& name,
                       std::vector<VoltageLine>& lines, std::string& error);

// The text of path, or of standard input for "-"; refused over
// kMaxVoltageFileBytes.
bool ReadVoltageFile(const std::string& path, std::string& text, std::string& error);

} // namespace ostrander
