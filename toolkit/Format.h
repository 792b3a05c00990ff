#pragma once
// Number and date formatting in the notation the design uses. Every function
// here is independent of the process locale: the decimal separator is always '.'.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace ostrander {

// Pattern formatting. A pattern holds '0' (digit, always shown), '#' (digit,
// shown only when significant), one '.', optional ',' in the integer part
// (thousands separators), and an optional exponent part "E-00", "E+00",
// "e-00" or "e+00": the exponent sign is shown only when negative for '-',
// always for '+', with at least as many exponent digits as there are zeros.
// Text before the first and after the last placeholder is copied (quotes
// around it removed); only the part before a ';' is used. An empty pattern
// gives FloatToStr(value).
//
// Rounding: the value is first taken to 15 significant decimal digits (so
// 1.005 counts as 1.005 and not as its binary neighbour 1.00499999999999989),
// then rounded half away from zero to the places the pattern shows.
// A result that rounds to zero carries no minus sign.
// Examples: ("0", 2.5) -> "3", ("0.0", -1.25) -> "-1.3", ("0.0000", 0.5) ->
// "0.5000", ("0.000E-00", 2.5) -> "2.500E00", ("0.000E-00", 0.0000123) ->
// "1.230E-05", ("0.000E-00", -30) -> "-3.000E01", ("0", -0.4) -> "0".
// NaN and infinities give "NAN", "INF" and "-INF".
std::string FormatFloat(std::string_view pattern, double value);

// General float text with up to 15 significant digits, trailing zeros
// dropped. Fixed notation when 0.00001 <= |value| < 1E15, otherwise
// scientific with a one-digit mantissa and a plain exponent:
// 1.2 -> "1.2", 2 -> "2", 0 -> "0", 0.00001 -> "0.00001", 0.000001 -> "1E-6",
// 1E15 -> "1E15", -2.5E-7 -> "-2.5E-7".
std::string FloatToStr(double value);
// The same notation with a chosen number of significant digits (1 to 17).
// 17 digits always read back to the same double.
std::string FloatToStrDigits(double value, int significantDigits);
// The shortest of FloatToStr's text (15 digits) and the 16- and 17-digit
// texts that reads back to exactly the same double: what files are written with.
std::string FloatToStrExact(double value);

// printf-style formatting of one double, e.g. FormatC("%4.0fV", 300.0) == " 300V".
// The pattern is the program's own, never user text.
std::string FormatC(const char* pattern, double value);
// printf-style formatting of one integer: "%03d", "%5i", "%x"; the length
// modifier is supplied, so the pattern is written as for an int.
std::string FormatInt(const char* pattern, long long value);

// Short date then long time: "yyyy-mm-dd hh:mm:ss" in local time.
std::string DateTimeToStr(std::time_t when);

// Whole-text conversions; leading/trailing spaces allowed, anything else left
// over makes the conversion fail. Floats use '.', an optional sign and an
// optional exponent; "inf", "nan", hexadecimal floats and values too large
// for a double fail; values too small for a double read as 0.
std::optional<double> TryStrToFloat(std::string_view text);
// Decimal, or hexadecimal with '$' or '0x' (after an optional sign); decimal
// values outside the 32-bit range fail; hexadecimal takes up to 32 bits, so
// "$FFFFFFFF" is -1.
std::optional<int> TryStrToInt(std::string_view text);

std::string Trim(std::string_view text);
bool SameText(std::string_view a, std::string_view b); // case-insensitive ASCII

} // namespace ostrander
