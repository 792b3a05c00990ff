#include "formats/VoltageFile.h"

#include "toolkit/Format.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>

namespace ostrander {

namespace {

// At most max bytes of text, cut before a UTF-8 continuation byte, "..." after.
std::string Cut(const std::string& text, std::size_t max) {
    if (text.size() <= max)
        return text;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "...";
}

std::string Shown(const std::string& name) {
    return name == "-" ? std::string("standard input") : "\"" + Cut(name, 200) + "\"";
}

bool HasLetter(std::string_view text) {
    for (const char c : text)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            return true;
    return false;
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

bool ParseVoltageLines(std::string_view text, const std::string& name,
                       std::vector<VoltageLine>& lines, std::string& error) {
    lines.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::map<int, int> seen; // display number -> line
    bool first = true;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t comma = line.find(',');
        const std::string numberText = Trim(line.substr(0, comma));
        const std::optional<int> number =
            comma == std::string::npos ? std::nullopt : ParseDecimalInteger(numberText);
        const std::optional<double> volts = comma == std::string::npos
                                                ? std::nullopt
                                                : ParseDecimalVolts(Trim(line.substr(comma + 1)));
        const bool header = first && !ParseDecimalInteger(numberText) && HasLetter(line);
        first = false;
        if (header)
            continue;
        if (!number || !volts) {
            error = Shown(name) + " line " + std::to_string(lineNumber) + ": \"" + Cut(line, 60) +
                    "\" is not NUMBER,VOLTS in decimal, such as 3,45.5";
            return false;
        }
        const int actuator = *number;
        if (const auto [at, fresh] = seen.emplace(actuator, lineNumber); !fresh) {
            error = Shown(name) + " gives actuator " + std::to_string(actuator) + " twice (lines " +
                    std::to_string(at->second) + " and " + std::to_string(lineNumber) + ")";
            return false;
        }
        lines.push_back({actuator, *volts, lineNumber});
    }
    if (lines.empty()) {
        error = Shown(name) + " holds no NUMBER,VOLTS lines";
        return false;
    }
    return true;
}

bool ReadVoltageFile(const std::string& path, std::string& text, std::string& error) {
    text.clear();
    std::FILE* file = nullptr;
    const bool standardInput = path == "-";
    if (standardInput) {
        file = stdin;
    } else {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            error = "cannot read voltages " + Shown(path) + ": " +
                    (std::filesystem::exists(path, ec) ? "it is not a file" : "no such file");
            return false;
        }
        file = std::fopen(path.c_str(), "rb");
        if (!file) {
            error = "cannot read voltages " + Shown(path) + ": " + std::strerror(errno);
            return false;
        }
    }
    char buffer[65536];
    bool tooLong = false;
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, file)) {
        text.append(buffer, got);
        if (text.size() > kMaxVoltageFileBytes) {
            tooLong = true;
            break;
        }
    }
    const bool failed = std::ferror(file) != 0;
    if (!standardInput)
        std::fclose(file);
    if (tooLong) {
        error = "voltages " + Shown(path) + " are over the limit of " +
                std::to_string(kMaxVoltageFileBytes) + " bytes";
        return false;
    }
    if (failed) {
        error = "cannot read voltages " + Shown(path);
        return false;
    }
    return true;
}

} // namespace ostrander
