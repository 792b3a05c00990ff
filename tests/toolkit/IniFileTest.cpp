#include "toolkit/IniFile.h"

#include <gtest/gtest.h>

using ostrander::IniFile;

TEST(IniFile, ReadsSectionsKeysAndTypedValuesCaseInsensitively) {
    IniFile f = IniFile::FromText("junk before\r\n[General]\r\n FileType = Mirror Info \r\n"
                                  "Count=$1F\r\nBad=12abc\r\nF=2.5\r\nnoequals\r\n\r\n[DM Model]\nX=1\n");
    EXPECT_EQ(f.ReadSections(), (std::vector<std::string>{"General", "DM Model"}));
    EXPECT_EQ(f.ReadString("general", "FILETYPE", ""), "Mirror Info");
    EXPECT_EQ(f.ReadInteger("General", "Count", 0), 31);
    EXPECT_EQ(f.ReadInteger("General", "Bad", 7), 7);
    EXPECT_DOUBLE_EQ(f.ReadFloat("General", "F", 0), 2.5);
    EXPECT_DOUBLE_EQ(f.ReadFloat("General", "Bad", -1), -1);
    EXPECT_TRUE(f.ReadBool("dm model", "x", false));
}
