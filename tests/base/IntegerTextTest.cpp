#include "base/IntegerText.h"

#include <gtest/gtest.h>

TEST(IntegerText, DecimalWithSignAndLeadingSpaces)
{
    EXPECT_EQ(TryParseInt32("  42"), 42);
    EXPECT_EQ(TryParseInt32("+7"), 7);
    EXPECT_EQ(TryParseInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(TryParseInt32("2147483647"), INT32_MAX);
    EXPECT_EQ(TryParseInt32("2147483648"), std::nullopt);
    EXPECT_EQ(TryParseInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(TryParseInt64("9223372036854775808"), std::nullopt);
}

// Short numbers take a quicker path than long ones; both must agree on either side of the switch.
TEST(IntegerText, DigitCountsAroundTheRangeLimit)
{
    EXPECT_EQ(TryParseInt32("999999999"), 999999999);
    EXPECT_EQ(TryParseInt32("-999999999"), -999999999);
    EXPECT_EQ(TryParseInt32("1000000000"), 1000000000);
    EXPECT_EQ(TryParseInt32("0000000002147483647"), INT32_MAX);
    EXPECT_EQ(TryParseInt32("9999999999"), std::nullopt);
    EXPECT_EQ(TryParseInt64("999999999999999999"), 999999999999999999);
    EXPECT_EQ(TryParseInt64("-999999999999999999"), -999999999999999999);
    EXPECT_EQ(TryParseInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(TryParseInt64("00009223372036854775807"), INT64_MAX);
    EXPECT_EQ(TryParseInt64("99999999999999999999"), std::nullopt);
    EXPECT_EQ(TryParseInt64("12345678901234567 "), std::nullopt);
    EXPECT_EQ(TryParseInt64("1234567890x"), std::nullopt);
    EXPECT_EQ(TryParseInt64("-"), std::nullopt);
}

TEST(IntegerText, HexadecimalPrefixesAreTwosComplement)
{
    EXPECT_EQ(TryParseInt32("0x10"), 16);
    EXPECT_EQ(TryParseInt32("$10"), 16);
    EXPECT_EQ(TryParseInt32("x1f"), 31);
    EXPECT_EQ(TryParseInt32("0XfF"), 255);
    EXPECT_EQ(TryParseInt32("$FFFFFFFF"), -1);
    EXPECT_EQ(TryParseInt32("-$10"), -16);
    EXPECT_EQ(TryParseInt32("$000000010"), 16); // leading zeros are not significant
    EXPECT_EQ(TryParseInt32("$100000000"), std::nullopt);
    EXPECT_EQ(TryParseInt64("$FFFFFFFFFFFFFFFF"), -1);
}

TEST(IntegerText, AnythingElseIsInvalid)
{
    for (const char* bad : { "", " ", "-", "+", "0x", "$", "12abc", "1.5", "1 ", "1e3", "--1", "0x-1", "\t5" })
        EXPECT_EQ(TryParseInt32(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(TryParseInt32("\t5", LeadingBlanks::SpacesAndTabs), 5);
    EXPECT_EQ(StrToInt32Def("junk", 11), 11);
}
