#pragma once
// Number and date formatting in the notation the design uses.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace ostrander {

// Pattern formatting: '0' digit placeholders, '#' optional digits, '.', and an
// exponent part "E-00"/"E+00"/"e-00" (sign shown only when negative for '-',
// always for '+'; at least as many exponent digits as zeros). Rounds half away
// from zero. Examples: FormatFloat("0.000E-00", 2.5) == "2.500E00",
// FormatFloat("0.0", 1.25) == "1.3", FormatFloat("0", -0.4) == "-0" is
// written "0" (no negative zero).
std::string FormatFloat(std::string_view pattern, double value);

// General float text with up to 15 significant digits: 1.2 -> "1.2", 2 -> "2",
// 0 -> "0", 0.000001 -> "1E-6", 1e20 -> "1E20".
std::string FloatToStr(double value);

// printf-style formatting of one double, e.g. FormatC("%4.0fV", 300.0) == " 300V".
std::string FormatC(const char* pattern, double value);
// printf-style formatting of one integer.
std::string FormatInt(const char* pattern, long long value);

// Short date then long time: "yyyy-mm-dd hh:mm:ss" in local time.
std::string DateTimeToStr(std::time_t when);

// Whole-text conversions; leading/trailing spaces allowed, anything else left
// over makes the conversion fail. Floats use '.', no "inf"/"nan"/hex floats.
std::optional<double> TryStrToFloat(std::string_view text);
// Decimal, or hexadecimal with '$' or '0x'; out of 32-bit range fails.
std::optional<int> TryStrToInt(std::string_view text);

std::string Trim(std::string_view text);
bool SameText(std::string_view a, std::string_view b); // case-insensitive ASCII

} // namespace ostrander
