#include "table/Formatting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace {

class FormattingTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = FormatSettings(); }
    void TearDown() override { FormatSettings() = saved_; }
    void useSeparators(char thousands, char decimal)
    {
        FormatSettings().ThousandSeparator = thousands;
        FormatSettings().DecimalSeparator = decimal;
    }

private:
    TFormatSettings saved_;
};

struct Case {
    bool bits;
    int64_t value;
    bool perSecond;
    const char* english;
    const char* german;
};

constexpr int64_t TiB = int64_t(1) << 40;

const Case table[] = {
    { false, 0, false, "", "" },
    { false, 0, true, "", "" },
    { false, 1, true, "0.00 kB/s", "0,00 kB/s" },
    { false, 128, true, "0.13 kB/s", "0,13 kB/s" },
    { false, 1536, false, "1.50 kB", "1,50 kB" },
    { false, 1048575, true, "1,024.00 kB/s", "1.024,00 kB/s" },
    { false, 1048576, false, "1.00 MB", "1,00 MB" },
    { false, 1073741823, false, "1,024.00 MB", "1.024,00 MB" },
    { false, 1073741824, false, "1.00 GB", "1,00 GB" },
    { false, 5 * TiB, false, "5,120.00 GB", "5.120,00 GB" },
    { false, -2048, false, "-2.00 kB", "-2,00 kB" },
    { false, -1, false, "0.00 kB", "0,00 kB" },
    { false, -6, false, "-0.01 kB", "-0,01 kB" },
    { false, -5 * (int64_t(1) << 30), false, "-5,242,880.00 kB", "-5.242.880,00 kB" },
    { true, 0, true, "", "" },
    { true, 1, true, "0.01 kb/s", "0,01 kb/s" },
    { true, 124999, true, "999.99 kb/s", "999,99 kb/s" },
    { true, 125000, true, "1.00 Mb/s", "1,00 Mb/s" },
    { true, 124999999, true, "1,000.00 Mb/s", "1.000,00 Mb/s" },
    { true, 125000000, true, "1.00 Gb/s", "1,00 Gb/s" },
    { true, 125000000, false, "1.00 Gb", "1,00 Gb" },
    { true, -1, true, "-0.01 kb/s", "-0,01 kb/s" },
    { true, -125000000, true, "-1,000,000.00 kb/s", "-1.000.000,00 kb/s" },
};

TEST_F(FormattingTest, TextsInBothLocales)
{
    for (const Case& c : table) {
        useSeparators(',', '.');
        const std::string english = c.bits ? FormatBits(c.value, c.perSecond) : FormatBytes(c.value, c.perSecond);
        useSeparators('.', ',');
        const std::string german = c.bits ? FormatBits(c.value, c.perSecond) : FormatBytes(c.value, c.perSecond);
        EXPECT_EQ(english, c.english) << c.value;
        EXPECT_EQ(german, c.german) << c.value;
    }
}

TEST_F(FormattingTest, LocaleWithoutGroupingWritesPlainDigits)
{
    useSeparators(0, '.');
    EXPECT_EQ(FormatBytes(1048575, true), "1024.00 kB/s");
    EXPECT_EQ(FormatBytes(5 * TiB, false), "5120.00 GB");
    useSeparators(' ', ',');
    EXPECT_EQ(FormatBits(124999999, true), "1 000,00 Mb/s");
}

// Halves are decided on the first 18 digits of the double: 1.125 is one exactly and rounds up,
// while the double nearest 1.005 lies just below it.
TEST_F(FormattingTest, HalvesAreDecidedOnTheDoublesDigits)
{
    EXPECT_EQ(FormatBits(140625, true), "1.13 Mb/s");
    EXPECT_EQ(FormatBits(-140625, true), "-1,125.00 kb/s");
    EXPECT_EQ(FormatBits(125625, true), "1.00 Mb/s");
    EXPECT_EQ(FormatBits(140625000, false), "1.13 Gb");
    EXPECT_EQ(FormatAmount(0.125), "0.13");
    EXPECT_EQ(FormatAmount(-0.125), "-0.13");
    EXPECT_EQ(FormatAmount(-0.004), "0.00");
    EXPECT_EQ(FormatAmount(0.005), "0.01"); // the double is 0.005000000000000000104...
    EXPECT_EQ(FormatAmount(1.005), "1.00"); // the double is 1.004999999999999893...
    EXPECT_EQ(FormatAmount(999.995), "1,000.00"); // the double is 999.995000000000004547...
    // 19 digits, the last a 5: the 18-digit view rounds it up before the two decimals are taken.
    EXPECT_EQ(FormatAmount(1000000000000000.125), "1,000,000,000,000,000.13");
}

TEST_F(FormattingTest, ExtremeCountsNeitherOverflowNorLoseTheSign)
{
    EXPECT_EQ(FormatBytes(INT64_MAX, false), "8,589,934,592.00 GB");
    EXPECT_EQ(FormatBytes(INT64_MIN, true), "-9,007,199,254,740,992.00 kB/s");
    EXPECT_EQ(FormatBits(INT64_MIN, true), ""); // x 8 wraps to 0
    EXPECT_EQ(FormatBits(INT64_MAX / 8, true), "9,223,372,036.85 Gb/s");
    EXPECT_EQ(FormatBits(INT64_MAX, true), "-0.01 kb/s"); // x 8 wraps to -8
    EXPECT_EQ(FormatAmount(1e300).size(), 301u + 100u + 3u);
}

// The integer shortcuts must give exactly what writing the quotient's double would.
TEST_F(FormattingTest, FastTextsMatchTheQuotientsDouble)
{
    std::mt19937_64 rng(3);
    auto check = [](int64_t v) {
        if (v != 0) {
            const int shift = v >= (int64_t(1) << 30) ? 30 : v >= (int64_t(1) << 20) ? 20 : 10;
            const char* unit = shift == 30 ? " GB" : shift == 20 ? " MB" : " kB";
            ASSERT_EQ(FormatBytes(v, false), FormatAmount(double(v) / double(int64_t(1) << shift)) + unit) << v;
        }
        // Written over a cell's old text, long or short, the text is the same.
        std::string cell = v % 2 ? "a former text long enough to be held on the heap" : "x";
        FormatBytesTo(cell, v, true, FormatSettings());
        ASSERT_EQ(cell, v == 0 ? "" : FormatBytes(v, false) + "/s") << v;
        const auto b = static_cast<int64_t>(static_cast<uint64_t>(v) * 8u);
        if (b != 0) {
            const double d = b >= 1000000000 ? 1e9 : b >= 1000000 ? 1e6 : 1e3;
            const char* unit = d == 1e9 ? " Gb" : d == 1e6 ? " Mb" : " kb";
            ASSERT_EQ(FormatBits(v, false), FormatAmount(double(b) / d) + unit) << v;
        }
        FormatBitsTo(cell, v, false, FormatSettings());
        ASSERT_EQ(cell, b == 0 ? "" : FormatBits(v, false)) << v;
    };
    for (int i = 0; i < 200000; ++i) {
        const int bitsWide = 1 + static_cast<int>(rng() % 62);
        const int64_t v = static_cast<int64_t>(rng() >> (64 - bitsWide));
        check(v);
        check(-v);
    }
    // Near the halves: exact quarters and eighths of the units and their neighbours.
    for (int64_t base : { int64_t(125), int64_t(125000), int64_t(125000000), int64_t(1024), int64_t(1) << 20 }) {
        for (int64_t k = 1; k < 4000; ++k) {
            for (int64_t d = -1; d <= 1; ++d) {
                check(k * base / 8 + d);
                check(-(k * base / 8 + d));
            }
        }
    }
}

} // namespace
