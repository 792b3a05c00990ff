#include "toolkit/TerminalText.h"

#include <cstdio>

namespace ostrander {

namespace {

// The length of the valid UTF-8 sequence starting at text[i] (2 to 4), or 0
// when none starts there: no overlong forms, no surrogates, nothing past
// U+10FFFF.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

} // namespace

std::string TerminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += text[i++];
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
            ++i;
        } else if (c < 0x80) { // the other C0 controls and DEL
            AppendEscape(out, "\\x%02x", c);
            ++i;
        } else if (const std::size_t length = Utf8Length(text, i); length == 0) {
            AppendEscape(out, "\\x%02x", c);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            // U+0080 .. U+009F: the C1 controls (CSI, OSC, ...).
            AppendEscape(out, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace ostrander
