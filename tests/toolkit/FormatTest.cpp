#include "toolkit/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ostrander;

TEST(FormatFloat, Patterns) {
    struct Case {
        const char* pattern;
        double value;
        const char* text;
    };
    const Case cases[] = {
        // Whole numbers, half away from zero on both sides.
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"0", 3.5, "4"},
        {"0", 123.4, "123"},
        {"0", 0.49999, "0"},
        {"0", -0.4, "0"}, // no negative zero
        {"0", -0.0, "0"},
        {"0", 1064, "1064"},
        {"0", 12345678901.2, "12345678901"},
        {"0", 1e20, "100000000000000000000"},
        // One and four places.
        {"0.0", 1.25, "1.3"},
        {"0.0", -1.25, "-1.3"},
        {"0.0", 0.05, "0.1"},
        {"0.0", 0.04, "0.0"},
        {"0.0", -0.04, "0.0"},
        {"0.0", 9.96, "10.0"},
        {"0.0", 350, "350.0"},
        {"0.0", 1.005, "1.0"},
        {"0.0000", 0.5, "0.5000"},
        {"0.0000", 1.00005, "1.0001"},
        {"0.0000", 0.00001234, "0.0000"},
        {"0.0000", 0.00005, "0.0001"},
        {"0.0000", 1000000.00001, "1000000.0000"},
        {"0.00", 1.005, "1.01"}, // taken as the decimal 1.005, not its binary neighbour
        // Scientific: exponent sign only when negative, at least two digits.
        {"0.000E-00", 2.5, "2.500E00"},
        {"0.000E-00", 0.0000123, "1.230E-05"},
        {"0.000E-00", -30, "-3.000E01"},
        {"0.000E-00", 0, "0.000E00"},
        {"0.000E-00", 9.9996, "1.000E01"},
        {"0.000E-00", 9.9994, "9.999E00"},
        {"0.000E-00", 1.23456e-120, "1.235E-120"},
        {"0.000E+00", 2.5, "2.500E+00"},
        {"0.0e-0", 0.00042, "4.2e-4"},
        // Optional digits, thousands, literal text, sections, empty pattern.
        {"#.##", 0.5, ".5"},
        {"0.##", 2, "2"},
        {"0.0#", 2.125, "2.13"},
        {"#,##0", 1234567, "1,234,567"},
        {"0 V", 12.6, "13 V"},
        {"\"x=\"0.0", 1.25, "x=1.3"},
        {"0.0;(0.0)", -1.25, "-1.3"},
        {"", 1.2, "1.2"},
        // Not a number.
        {"0.0", std::nan(""), "NAN"},
        {"0.0", std::numeric_limits<double>::infinity(), "INF"},
        {"0.0", -std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " of " + std::to_string(c.value));
        EXPECT_EQ(FormatFloat(c.pattern, c.value), c.text);
    }
}

TEST(FloatToStr, GeneralTextWithFifteenDigits) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {1.2, "1.2"},
        {2, "2"},
        {0, "0"},
        {-0.0, "0"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"}, // 15 digits hide the binary error
        {1.5, "1.5"},
        {100, "100"},
        {0.0001, "0.0001"},
        {0.00001, "0.00001"},
        {0.000001, "1E-6"},
        {-2.5e-7, "-2.5E-7"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1e20, "1E20"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FloatToStr(c.value), c.text);
    }
}

TEST(FloatToStr, ExactTextReadsBackToTheSameDouble) {
    const double values[] = {
        0.1 + 0.2,          1.0 / 3.0, 12.5, 1e-300, 5e-324, -1.7976931348623157e308,
        3.0000000000000004, 0.1};
    for (double v : values) {
        std::string text = FloatToStrExact(v);
        SCOPED_TRACE(text);
        auto back = TryStrToFloat(text);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, v);
    }
    // Where 15 digits suffice the text is FloatToStr's.
    EXPECT_EQ(FloatToStrExact(12.5), "12.5");
    EXPECT_EQ(FloatToStrExact(0.1), "0.1");
    EXPECT_EQ(FloatToStrExact(0.1 + 0.2), "0.30000000000000004");
}

TEST(FormatC, PrintfPatterns) {
    EXPECT_EQ(FormatC("%4.0fV", 300.0), " 300V");
    EXPECT_EQ(FormatC("%4.0fV", 0.4), "   0V");
    EXPECT_EQ(FormatC("%4.0fV", -12.0), " -12V");
    EXPECT_EQ(FormatC("%.2f", 1.5), "1.50");
    EXPECT_EQ(FormatC("%4.0fV", 1e300).size(), 302u); // longer than any fixed buffer
    EXPECT_EQ(FormatInt("%03d", 7), "007");
    EXPECT_EQ(FormatInt("Pattern%03d", 12), "Pattern012");
    EXPECT_EQ(FormatInt("Voltage%d", 1234567890123LL), "Voltage1234567890123");
    EXPECT_EQ(FormatInt("%x", 255), "ff");
    EXPECT_EQ(FormatInt("%5ld|", -3), "   -3|");
}

TEST(DateTimeToStr, ShortDateThenLongTime) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    t.tm_isdst = -1;
    EXPECT_EQ(DateTimeToStr(std::mktime(&t)), "2024-03-05 07:08:09");
}

TEST(TryStrToFloat, WholeTextOrNothing) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"2.5", 2.5},
        {"  -2.5 ", -2.5},
        {"+3", 3.0},
        {"1e3", 1000.0},
        {"1.5E-3", 0.0015},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e-400", 0.0},
        {"1e400", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"12abc", std::nullopt},
        {"1,5", std::nullopt},
        {"1.2.3", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {"-", std::nullopt},
        {"e5", std::nullopt},
        {"1e", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TryStrToFloat(c.text), c.value);
    }
}

TEST(TryStrToInt, DecimalAndHexadecimal) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"42", 42},
        {" -42 ", -42},
        {"+7", 7},
        {"$1F", 31},
        {"$1f", 31},
        {"-$10", -16},
        {"0x10", 16},
        {"$FFFFFFFF", -1},
        {"$7FFFFFFF", 2147483647},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"1.0", std::nullopt},
        {"12abc", std::nullopt},
        {"1F", std::nullopt},
        {"$1G", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TryStrToInt(c.text), c.value);
    }
}
