#pragma once
// Text from files (device and pattern names, paths) made safe to print on a
// terminal or into a log: nothing in it can move the cursor, clear the
// screen, set a window title or change colours.
#include <string>
#include <string_view>

namespace ostrander {

// Every control character written as a visible escape: line feed, carriage
// return and tab as \n, \r, \t; other C0 bytes, DEL and bytes that are not
// part of valid UTF-8 as \xNN; the C1 controls written in UTF-8 (U+0080 to
// U+009F) as \u0080 ... \u009f. An escape sequence loses its ESC byte and
// so is printed as plain text. Valid UTF-8 above U+009F passes unchanged.
std::string TerminalSafe(std::string_view text);

} // namespace ostrander
