#include "table/GetField.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct FieldCase {
    const char* text;
    char separator;
    int n;
    const char* field;
};

TEST(GetFieldTest, FieldsCountFromZeroAndAreNeverTrimmed)
{
    const FieldCase cases[] = {
        { "a,b,c", ',', 0, "a" },
        { "a,b,c", ',', 2, "c" },
        { "a,b,c", ',', 3, "" },
        { "a,b,c", ',', -1, "" },
        { "a,b,c", ',', INT_MAX, "" },
        { "a,,c", ',', 1, "" },
        { ",x", ',', 0, "" },
        { "a,", ',', 1, "" },
        { "", ',', 0, "" },
        { "no separator", ',', 0, "no separator" },
        { " a , b ", ',', 1, " b " },
        { "10.0.0.1=host=x", '=', 1, "host" },
        { "192.168.1.20", '.', 3, "20" },
        { "a;b,c", ',', 0, "a;b" },
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(GetField(c.text, c.separator, c.n), c.field) << c.text << " #" << c.n;
        EXPECT_EQ(GetFieldView(c.text, c.separator, c.n), c.field) << c.text << " #" << c.n;
    }
}

TEST(GetFieldTest, ViewPointsIntoTheText)
{
    const std::string text = "10.0.0.1,100,200";
    const std::string_view field = GetFieldView(text, ',', 1);
    EXPECT_EQ(field.data(), text.data() + 9);
    EXPECT_EQ(field, "100");
}

TEST(GetFieldTest, BytesAboveAsciiAndNulAreOrdinaryCharacters)
{
    const std::string text("a\0b\xFF"
                           "c",
        5);
    EXPECT_EQ(GetField(text, '\0', 1),
        "b\xFF"
        "c");
    EXPECT_EQ(GetField(text, '\xFF', 1), "c");
}

} // namespace
