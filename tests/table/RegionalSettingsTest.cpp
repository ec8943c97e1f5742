#include "table/RegionalSettings.h"
#include "table/Formatting.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

class RegionalSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = FormatSettings(); }
    void TearDown() override { FormatSettings() = saved_; }

private:
    TFormatSettings saved_;
};

} // namespace

TEST_F(RegionalSettingsTest, SeparatorsOutsideLatin1GetSingleByteStandIns)
{
    EXPECT_EQ(SeparatorStandIn(U'\u202F'), '\xA0'); // narrow no-break space
    EXPECT_EQ(SeparatorStandIn(U'\u2009'), '\xA0'); // thin space
    EXPECT_EQ(SeparatorStandIn(U'\u2019'), '\''); // right single quote
    EXPECT_EQ(SeparatorStandIn(U'\u00A0'), '\xA0');
    EXPECT_EQ(SeparatorStandIn(U','), ',');
    EXPECT_EQ(SeparatorStandIn(U'\u066C'), 0); // Arabic thousands separator: no stand-in
    EXPECT_EQ(SeparatorStandIn(0), 0);
}

TEST_F(RegionalSettingsTest, LocalesGroupWithTheirOwnSeparatorOrItsStandIn)
{
    struct Case {
        QLocale locale;
        char thousands;
        char decimal;
    } cases[] = {
        { QLocale(QLocale::French, QLocale::France), '\xA0', ',' },
        { QLocale(QLocale::French, QLocale::Switzerland), '\xA0', ',' },
        { QLocale(QLocale::German, QLocale::Switzerland), '\'', '.' },
        { QLocale(QLocale::German, QLocale::Germany), '.', ',' },
        { QLocale(QLocale::English, QLocale::UnitedStates), ',', '.' },
    };
    for (const Case& c : cases) {
        const TFormatSettings s = RegionalFormatSettings(c.locale);
        EXPECT_EQ(s.ThousandSeparator, c.thousands) << c.locale.name().toStdString();
        EXPECT_EQ(s.DecimalSeparator, c.decimal) << c.locale.name().toStdString();
    }
}

// The chart's axis labels ask for the table's separators as characters to draw.
TEST_F(RegionalSettingsTest, TablesSeparatorsAreOfferedForDrawing)
{
    FormatSettings() = RegionalFormatSettings(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(FormatBytes(1048575, true),
        "1\xA0"
        "024,00 kB/s");
    EXPECT_EQ(DisplayThousandSeparator(), QChar(0x00A0));
    EXPECT_EQ(DisplayDecimalSeparator(), QChar(u','));
    FormatSettings() = RegionalFormatSettings(QLocale(QLocale::German, QLocale::Switzerland));
    EXPECT_EQ(FormatBytes(1048575, true), "1'024.00 kB/s");
    EXPECT_EQ(DisplayThousandSeparator(), QChar(u'\''));
    FormatSettings().ThousandSeparator = 0;
    EXPECT_TRUE(DisplayThousandSeparator().isNull());
}
