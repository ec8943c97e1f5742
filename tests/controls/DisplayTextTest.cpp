#include "controls/DisplayText.h"

#include <gtest/gtest.h>

#include <string>

TEST(DisplayTextTest, Utf8WhereValidLatin1ForEveryOtherByte)
{
    EXPECT_EQ(DisplayText("B\xC3\xBCro"), QString::fromUtf8("B\xC3\xBCro"));
    EXPECT_EQ(DisplayText("B\xFCro"), QString::fromUtf8("B\xC3\xBCro"));
    // One name may mix both: an old Latin-1 letter beside a UTF-8 one.
    EXPECT_EQ(DisplayText("\xE9t\xC3\xA9"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(DisplayText("PC \xF0\x9F\x96\xA5"), QString::fromUtf8("PC \xF0\x9F\x96\xA5"));
    EXPECT_EQ(DisplayText("x\xED\xA0\x80"), QString::fromLatin1("x\xED\xA0\x80"));
    EXPECT_EQ(DisplayText(std::string("a\0b", 3)), QString::fromLatin1("a\0b", 3));
    EXPECT_EQ(DisplayText(""), QString());
}

// The single-byte stand-in of a separator (U+00A0 in fr_FR and fr_CH) shows as that separator.
TEST(DisplayTextTest, SeparatorStandInShowsAsNoBreakSpace)
{
    EXPECT_EQ(DisplayText("1\xA0"
                          "024,00 kB/s"),
        QString::fromUtf8("1\xC2\xA0"
                          "024,00 kB/s"));
}

TEST(DisplayTextTest, LengthCapCountsCharactersNotBytes)
{
    std::string name;
    for (int i = 0; i < 20; ++i)
        name += "\xE2\x82\xAC";
    EXPECT_EQ(DisplayText(name, 15), QString(15, QChar(0x20AC)));
    EXPECT_EQ(DisplayText(std::string(100000, 'x')).size(), DisplayTextLimit);
    EXPECT_EQ(DisplayText("abc", 0), QString());
}
