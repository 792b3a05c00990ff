#include "toolkit/Format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace ostrander {

std::string Trim(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = text.size();
    while (b < e && space(text[b]))
        ++b;
    while (e > b && space(text[e - 1]))
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

// A non-negative decimal number: digits d1 d2 d3 ... with the point after
// `point` digits (point may be <= 0 or beyond the digits), i.e. 0.d1d2d3 x 10^point.
struct Decimal {
    std::string digits;
    int point = 0;
};

// |value| (finite) to `significant` decimal digits, correctly rounded by to_chars.
Decimal ToDecimal(double value, int significant) {
    Decimal d;
    double a = std::fabs(value);
    if (a == 0.0) {
        d.digits = std::string(static_cast<std::size_t>(significant), '0');
        d.point = 1;
        return d;
    }
    char buf[64];
    auto res =
        std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, significant - 1);
    std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    auto e = s.find('e');
    for (char c : s.substr(0, e))
        if (c != '.')
            d.digits += c;
    int exponent = 0;
    std::string_view ex = s.substr(e + 1);
    if (!ex.empty() && ex[0] == '+')
        ex.remove_prefix(1);
    std::from_chars(ex.data(), ex.data() + ex.size(), exponent);
    d.point = exponent + 1;
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero on the digit
// after them; a carry out of the first digit adds a digit and moves the point.
void RoundTo(Decimal& d, int keep) {
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    if (keep >= static_cast<int>(d.digits.size())) {
        d.digits.append(static_cast<std::size_t>(keep) - d.digits.size(), '0');
        return;
    }
    bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (!up)
        return;
    int i = keep - 1;
    for (; i >= 0; --i) {
        if (d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
        } else {
            ++d.digits[static_cast<std::size_t>(i)];
            break;
        }
    }
    if (i < 0) {
        d.digits.insert(d.digits.begin(), '1');
        ++d.point;
    }
}

// Integer and fraction digits of |value| rounded to `decimals` places.
void FixedDigits(double value, int decimals, std::string& intPart, std::string& fracPart) {
    Decimal d = ToDecimal(value, 15);
    RoundTo(d, d.point + decimals);
    // Now digits cover exactly up to `decimals` places (or are empty when the
    // value rounds to zero at a position left of the first digit).
    intPart.clear();
    fracPart.clear();
    if (d.digits.empty() || d.point + decimals <= 0) {
        intPart.assign(1, '0');
        fracPart.assign(static_cast<std::size_t>(decimals), '0');
        return;
    }
    if (d.point <= 0) {
        intPart.assign(1, '0');
        fracPart.assign(static_cast<std::size_t>(-d.point), '0');
        fracPart += d.digits;
    } else {
        intPart = d.digits.substr(0, static_cast<std::size_t>(d.point));
        fracPart = d.digits.substr(static_cast<std::size_t>(d.point));
    }
    fracPart.resize(static_cast<std::size_t>(decimals), '0');
}

bool AllZero(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == '0'; });
}

bool IsPlaceholder(char c) {
    return c == '0' || c == '#' || c == '.' || c == ',';
}

// Literal text of a pattern piece with quotes removed.
std::string Literal(std::string_view text) {
    std::string out;
    char quote = 0;
    for (char c : text) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                out += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else {
            out += c;
        }
    }
    return out;
}

std::string GroupThousands(const std::string& digits) {
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += digits[static_cast<std::size_t>(i)];
    }
    return out;
}

// C locale for the printf-style functions, whatever the process locale is.
locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

std::string VFormat(const char* pattern, ...) {
    locale_t previous = uselocale(CLocale());
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    char buf[256];
    int n = std::vsnprintf(buf, sizeof buf, pattern, args);
    va_end(args);
    std::string out;
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) {
        out.assign(buf, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), pattern, copy);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(copy);
    uselocale(previous);
    return out;
}

} // namespace

std::string FormatFloat(std::string_view pattern, double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    pattern = pattern.substr(0, pattern.find(';'));
    if (pattern.empty())
        return FloatToStr(value);

    // Locate the number part: from the first placeholder to the last one,
    // including an exponent part.
    std::size_t first = std::string_view::npos, last = 0;
    std::size_t ePos = std::string_view::npos;
    char quote = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (IsPlaceholder(c)) {
            if (first == std::string_view::npos)
                first = i;
            last = i + 1;
        } else if ((c == 'E' || c == 'e') && first != std::string_view::npos &&
                   ePos == std::string_view::npos && i + 1 < pattern.size() &&
                   (pattern[i + 1] == '+' || pattern[i + 1] == '-')) {
            ePos = i;
            std::size_t j = i + 2;
            while (j < pattern.size() && pattern[j] == '0')
                ++j;
            last = j;
            break;
        }
    }
    if (first == std::string_view::npos) // no placeholder: the pattern is plain text
        return Literal(pattern);
    std::string prefix = Literal(pattern.substr(0, first));
    std::string suffix = Literal(pattern.substr(last));
    std::string_view number = pattern.substr(first, last - first);
    std::string_view mant =
        ePos == std::string_view::npos ? number : number.substr(0, ePos - first);
    std::size_t dot = mant.find('.');
    std::string_view intPat = mant.substr(0, dot);
    std::string_view fracPat =
        dot == std::string_view::npos ? std::string_view{} : mant.substr(dot + 1);
    int minInt = 0, allInt = 0;
    bool thousands = false;
    for (char c : intPat) {
        minInt += c == '0';
        allInt += c == '0' || c == '#';
        thousands = thousands || c == ',';
    }
    int minFrac = 0, maxFrac = 0;
    for (char c : fracPat) {
        minFrac += c == '0';
        maxFrac += c == '0' || c == '#';
    }
    bool negative = std::signbit(value);

    std::string intDigits, fracDigits, expText;
    if (ePos != std::string_view::npos) {
        char eChar = pattern[ePos];
        bool plus = pattern[ePos + 1] == '+';
        int expDigits = static_cast<int>(number.size() - (ePos - first) - 2);
        int intCount = std::max(1, allInt);
        int exponent = 0;
        if (value != 0.0) {
            Decimal d = ToDecimal(value, 15);
            RoundTo(d, intCount + maxFrac);
            d.digits.resize(static_cast<std::size_t>(intCount + maxFrac)); // a carry added a 0
            exponent = d.point - intCount;
            intDigits = d.digits.substr(0, static_cast<std::size_t>(intCount));
            fracDigits = d.digits.substr(static_cast<std::size_t>(intCount));
        } else {
            intDigits.assign(static_cast<std::size_t>(intCount), '0');
            fracDigits.assign(static_cast<std::size_t>(maxFrac), '0');
        }
        std::string digits = std::to_string(std::abs(exponent));
        if (static_cast<int>(digits.size()) < expDigits)
            digits.insert(0, static_cast<std::size_t>(expDigits) - digits.size(), '0');
        expText = std::string(1, eChar) + (exponent < 0 ? "-" : (plus ? "+" : "")) + digits;
    } else {
        FixedDigits(value, maxFrac, intDigits, fracDigits);
        if (intDigits == "0" && minInt == 0)
            intDigits.clear();
        if (static_cast<int>(intDigits.size()) < minInt)
            intDigits.insert(0, static_cast<std::size_t>(minInt) - intDigits.size(), '0');
        if (thousands)
            intDigits = GroupThousands(intDigits);
    }
    // Optional trailing fraction digits are dropped when zero.
    while (static_cast<int>(fracDigits.size()) > minFrac && fracDigits.back() == '0')
        fracDigits.pop_back();
    std::string plainInt = intDigits;
    plainInt.erase(std::remove(plainInt.begin(), plainInt.end(), ','), plainInt.end());
    if (negative && AllZero(plainInt) && AllZero(fracDigits))
        negative = false;
    std::string out = negative ? "-" : "";
    out += intDigits;
    if (!fracDigits.empty())
        out += "." + fracDigits;
    if (out.empty() || out == "-")
        out += "0";
    return prefix + out + expText + suffix;
}

std::string FloatToStrDigits(double value, int significantDigits) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == 0.0)
        return "0";
    significantDigits = std::clamp(significantDigits, 1, 17);
    Decimal d = ToDecimal(value, significantDigits);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    int exponent = d.point - 1; // value = d.ddd x 10^exponent
    std::string out = value < 0 ? "-" : "";
    if (exponent < -5 || exponent >= 15) {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += '.';
            out.append(d.digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    } else if (d.point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.point), '0');
        out += d.digits;
    } else if (static_cast<int>(d.digits.size()) <= d.point) {
        out += d.digits;
        out.append(static_cast<std::size_t>(d.point) - d.digits.size(), '0');
    } else {
        out.append(d.digits, 0, static_cast<std::size_t>(d.point));
        out += '.';
        out.append(d.digits, static_cast<std::size_t>(d.point));
    }
    return out;
}

std::string FloatToStr(double value) {
    return FloatToStrDigits(value, 15);
}

std::string FloatToStrExact(double value) {
    for (int digits = 15; digits < 17; ++digits) {
        std::string text = FloatToStrDigits(value, digits);
        auto back = TryStrToFloat(text);
        if (back && *back == value)
            return text;
    }
    return FloatToStrDigits(value, 17);
}

std::string FormatC(const char* pattern, double value) {
    return VFormat(pattern, value);
}

std::string FormatInt(const char* pattern, long long value) {
    // Give the integer conversion an "ll" length so the long long is read whole.
    std::string p(pattern ? pattern : "");
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '%')
            continue;
        if (i + 1 < p.size() && p[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < p.size() && std::strchr("-+ #0123456789.*", p[j]))
            ++j;
        std::size_t lengthStart = j;
        while (j < p.size() && std::strchr("hljztL", p[j]))
            ++j;
        if (j < p.size() && std::strchr("diouxXc", p[j])) {
            p.replace(lengthStart, j - lengthStart, p[j] == 'c' ? "" : "ll");
        }
        break;
    }
    return VFormat(p.c_str(), value);
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
    for (char c : t)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' ||
              c == 'e' || c == 'E'))
            return std::nullopt;
    const char* begin = t.data();
    const char* end = t.data() + t.size();
    bool negative = false;
    if (*begin == '+' || *begin == '-') {
        negative = *begin == '-';
        ++begin;
    }
    if (begin == end || *begin == '+' || *begin == '-')
        return std::nullopt;
    double v = 0.0;
    auto res = std::from_chars(begin, end, v, std::chars_format::general);
    if (res.ptr != end)
        return std::nullopt;
    if (res.ec == std::errc::result_out_of_range) {
        // Overflow fails; underflow reads as zero.
        double probe = strtod_l(begin, nullptr, CLocale());
        if (!std::isfinite(probe) || std::fabs(probe) > 1.0)
            return std::nullopt;
        v = probe;
    } else if (res.ec != std::errc()) {
        return std::nullopt;
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
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
    if (base == 16 && v > INT_MAX) // 32-bit hexadecimal: $FFFFFFFF is -1
        v = static_cast<int>(static_cast<unsigned int>(v));
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return std::nullopt;
    return static_cast<int>(v);
}

} // namespace ostrander
