#include "toolkit/Format.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ostrander {

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r' || text[b] == '\n'))
        ++b;
    while (e > b &&
           (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r' || text[e - 1] == '\n'))
        --e;
    return std::string(text.substr(b, e - b));
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

namespace {

// Decimal digits of |value| rounded half away from zero to `decimals` places,
// as text without a point: returns the integer-part digits and the fraction digits.
void FixedDigits(double value, int decimals, std::string& intPart, std::string& fracPart) {
    char buf[512];
    // %.*f rounds the binary value exactly; nudge ties away from zero the way
    // decimal rounding of the printed 17-digit value would.
    double a = std::fabs(value);
    std::snprintf(buf, sizeof buf, "%.17g", a);
    double shown = std::strtod(buf, nullptr);
    double scale = std::pow(10.0, decimals);
    double scaled = shown * scale;
    double floorScaled = std::floor(scaled);
    if (scaled - floorScaled == 0.5 || std::fabs(scaled - floorScaled - 0.5) < 1e-9 * std::max(1.0, scaled))
        a = (floorScaled + 1.0) / scale;
    std::snprintf(buf, sizeof buf, "%.*f", decimals, a);
    std::string s(buf);
    auto dot = s.find('.');
    if (dot == std::string::npos) {
        intPart = s;
        fracPart.clear();
    } else {
        intPart = s.substr(0, dot);
        fracPart = s.substr(dot + 1);
    }
}

bool AllZero(const std::string& s) {
    for (char c : s)
        if (c != '0')
            return false;
    return true;
}

} // namespace

std::string FormatFloat(std::string_view pattern, double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";

    // Split the pattern into mantissa and exponent parts.
    std::size_t ePos = std::string_view::npos;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if ((pattern[i] == 'E' || pattern[i] == 'e') && (pattern[i + 1] == '+' || pattern[i + 1] == '-')) {
            ePos = i;
            break;
        }
    }
    std::string_view mant = pattern.substr(0, ePos);
    std::size_t dot = mant.find('.');
    std::string_view intPat = mant.substr(0, dot);
    std::string_view fracPat = dot == std::string_view::npos ? std::string_view{} : mant.substr(dot + 1);
    int minInt = 0;
    for (char c : intPat)
        if (c == '0')
            ++minInt;
    int minFrac = 0, maxFrac = 0;
    for (char c : fracPat) {
        if (c == '0') {
            ++minFrac;
            ++maxFrac;
        } else if (c == '#') {
            ++maxFrac;
        }
    }
    bool negative = std::signbit(value) && value != 0.0;

    std::string intDigits, fracDigits, expText;
    if (ePos != std::string_view::npos) {
        char eChar = pattern[ePos];
        bool plus = pattern[ePos + 1] == '+';
        int expDigits = 0;
        for (std::size_t i = ePos + 2; i < pattern.size() && pattern[i] == '0'; ++i)
            ++expDigits;
        int intCount = std::max(1, minInt);
        double a = std::fabs(value);
        int exponent = 0;
        if (a != 0.0) {
            exponent = static_cast<int>(std::floor(std::log10(a))) - (intCount - 1);
            double m = a / std::pow(10.0, exponent);
            std::string ip, fp;
            FixedDigits(m, maxFrac, ip, fp);
            if (static_cast<int>(ip.size()) > intCount) { // rounding carried a digit
                ++exponent;
                m = a / std::pow(10.0, exponent);
                FixedDigits(m, maxFrac, ip, fp);
            } else if (static_cast<int>(ip.size()) < intCount || ip == "0") {
                // log10 rounding: one place too far
                --exponent;
                m = a / std::pow(10.0, exponent);
                FixedDigits(m, maxFrac, ip, fp);
            }
            intDigits = ip;
            fracDigits = fp;
        } else {
            intDigits = std::string(intCount, '0');
            fracDigits = std::string(maxFrac, '0');
        }
        std::string digits = std::to_string(std::abs(exponent));
        while (static_cast<int>(digits.size()) < expDigits)
            digits.insert(digits.begin(), '0');
        expText = std::string(1, eChar) + (exponent < 0 ? "-" : (plus ? "+" : "")) + digits;
    } else {
        FixedDigits(value, maxFrac, intDigits, fracDigits);
        if (intDigits == "0" && minInt == 0)
            intDigits.clear();
        while (static_cast<int>(intDigits.size()) < minInt)
            intDigits.insert(intDigits.begin(), '0');
    }
    // Drop optional trailing fraction digits.
    while (static_cast<int>(fracDigits.size()) > minFrac && !fracDigits.empty() && fracDigits.back() == '0')
        fracDigits.pop_back();
    if (negative && AllZero(intDigits) && AllZero(fracDigits))
        negative = false;
    std::string out = negative ? "-" : "";
    out += intDigits;
    if (!fracDigits.empty())
        out += "." + fracDigits;
    if (out.empty() || out == "-")
        out += "0";
    out += expText;
    return out;
}

std::string FloatToStr(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == 0.0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value); // 15 significant digits
    std::string s(buf);
    auto e = s.find('e');
    int exponent = std::atoi(s.c_str() + e + 1);
    std::string mant = s.substr(0, e);
    bool negative = mant[0] == '-';
    if (negative)
        mant.erase(0, 1);
    std::string digits;
    for (char c : mant)
        if (c != '.')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exponent < -5 || exponent >= 15) {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::string(exponent < 0 ? "-" : "") + std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out += "0." + std::string(-exponent - 1, '0') + digits;
    } else {
        int intLen = exponent + 1;
        if (static_cast<int>(digits.size()) <= intLen) {
            out += digits + std::string(intLen - digits.size(), '0');
        } else {
            out += digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    }
    return out;
}

std::string FormatC(const char* pattern, double value) {
    char buf[256];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

std::string FormatInt(const char* pattern, long long value) {
    char buf[256];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

std::string DateTimeToStr(std::time_t when) {
    std::tm tmv{};
    localtime_r(&when, &tmv);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tmv);
    return buf;
}

std::optional<double> TryStrToFloat(std::string_view text) {
    std::string t = Trim(text);
    if (t.empty())
        return std::nullopt;
    // Only digits, sign, point and exponent: no inf/nan/hex floats.
    for (char c : t) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size())
        return std::nullopt;
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> TryStrToInt(std::string_view text) {
    std::string t = Trim(text);
    if (t.empty())
        return std::nullopt;
    bool negative = false;
    std::size_t i = 0;
    if (t[i] == '+' || t[i] == '-') {
        negative = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return std::nullopt;
    long long v = 0;
    for (; i < t.size(); ++i) {
        int d;
        char c = t[i];
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL)
            return std::nullopt;
    }
    if (base == 16 && !negative && v > INT_MAX && v <= 0xFFFFFFFFLL)
        return static_cast<int>(static_cast<unsigned int>(v)); // $FFFFFFFF is -1 as in 32-bit hex
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return std::nullopt;
    return static_cast<int>(v);
}

} // namespace ostrander
