// Names from files printed on a terminal: every control character and every
// byte that is not UTF-8 comes out as a visible escape, the rest unchanged.
#include "toolkit/TerminalText.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrander {
namespace {

struct SafeCase {
    const char* what;
    std::string text;
    std::string shown;
};

TEST(TerminalSafe, EscapesWhatATerminalWouldObey) {
    const SafeCase cases[] = {
        {"plain text", "Hex 19 [v2] ~x", "Hex 19 [v2] ~x"},
        {"line ends and tab", "a\nb\r\tc", "a\\nb\\r\\tc"},
        {"NUL and bell", std::string("a\0b\x07", 4), "a\\x00b\\x07"},
        {"DEL", "x\x7fy", "x\\x7fy"},
        {"window title (OSC)", "\x1b]0;owned\x07Hex", "\\x1b]0;owned\\x07Hex"},
        {"clear screen and colour", "\x1b[2J\x1b[31mred", "\\x1b[2J\\x1b[31mred"},
        {"C1 CSI and OSC in UTF-8", "a\xc2\x9b" "2Jb\xc2\x9d", "a\\u009b2Jb\\u009d"},
        {"C1 as raw bytes", "a\x9b" "2J\x85", "a\\x9b2J\\x85"},
        {"UTF-8 letters kept", "\xc3\xa9t\xc3\xa9 \xc2\xb5m \xe2\x82\xac \xf0\x9f\x98\x80",
         "\xc3\xa9t\xc3\xa9 \xc2\xb5m \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"no-break space kept (first after C1)", "a\xc2\xa0z", "a\xc2\xa0z"},
        {"Latin-1 byte", "\xe9t\xe9", "\\xe9t\\xe9"},
        {"overlong ESC", "\xc0\x9b", "\\xc0\\x9b"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"cut sequence at the end", "ok\xe2\x82", "ok\\xe2\\x82"},
        {"empty", "", ""},
    };
    for (const SafeCase& c : cases)
        EXPECT_EQ(TerminalSafe(c.text), c.shown) << c.what;
}

TEST(TerminalSafe, NothingBelowSpaceOrInC1Survives) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    all += "\xc2\x80\xc2\x9f";
    const std::string shown = TerminalSafe(all);
    for (const char ch : shown) {
        const auto c = static_cast<unsigned char>(ch);
        EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "byte " << int(c) << " left in the output";
    }
}

} // namespace
} // namespace ostrander
