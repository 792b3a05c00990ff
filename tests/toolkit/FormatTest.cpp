#include "toolkit/Format.h"

#include <gtest/gtest.h>

using namespace ostrander;

TEST(Format, PatternsOfTheDesign) {
    struct Case { const char* pattern; double value; const char* text; };
    const Case cases[] = {
        {"0.000E-00", 2.5, "2.500E00"},
        {"0.000E-00", 0.0000123, "1.230E-05"},
        {"0.000E-00", -30, "-3.000E01"},
        {"0", 2.5, "3"},
        {"0.0", 1.25, "1.3"},
        {"0.0000", 0.5, "0.5000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(FormatFloat(c.pattern, c.value), c.text);
    }
    EXPECT_EQ(FloatToStr(1.2), "1.2");
    EXPECT_EQ(FloatToStr(2), "2");
    EXPECT_EQ(FloatToStr(0), "0");
    EXPECT_EQ(FloatToStr(0.000001), "1E-6");
}
