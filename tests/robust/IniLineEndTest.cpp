// Names and values that hold a lone CR: what is read is what a save writes,
// so a file read, written and read again keeps its names and values.
#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostrander;

TEST(IniLineEnds, LoneCarriageReturnsReadAsTheSpacesTheyAreWrittenAs) {
    struct Case {
        const char* text;
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"[S]\nk=0.0019\r=0\r\n", "S", "k", "0.0019 =0"},
        {"[S]\nPattern\rName=Flat\r\n", "S", "Pattern Name", "Flat"},
        {"[A\rB]\nk=v\n", "A B", "k", "v"},
        {"[S]\r\nk=\rv\r\n", "S", "k", "v"}, // at the ends it is trimmed
        {"[S]\rk=v\n", "S", "", ""},    // a lone CR does not end the line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const IniFile read = IniFile::FromText(c.text);
        ASSERT_EQ(read.ReadSections().size(), 1u);
        EXPECT_EQ(read.ReadSections()[0], c.section);
        if (*c.key == '\0') {
            EXPECT_TRUE(read.ReadSection(c.section).empty());
            continue;
        }
        EXPECT_EQ(read.ReadString(c.section, c.key, "missing"), c.value);

        IniFile written;
        written.WriteString(read.ReadSections()[0], read.ReadSection(c.section)[0],
                            read.ReadString(c.section, c.key, ""));
        const IniFile again = IniFile::FromText(written.ToText());
        EXPECT_EQ(again.ReadSections(), read.ReadSections());
        EXPECT_EQ(again.ReadString(c.section, c.key, "missing"), c.value);
    }
}
