#include "chart/AxisScale.h"
#include "chart/ChartTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

TAxisScale verticalScale(int start, int end, double minimum, double maximum, bool inverted = false)
{
    TAxisScale scale;
    scale.startPos = start;
    scale.endPos = end;
    scale.minimum = minimum;
    scale.maximum = maximum;
    scale.inverted = inverted;
    return scale;
}

TEST(AxisScale, VerticalValuesMapFromTheBottomAndRoundTiesToEven)
{
    const TAxisScale scale = verticalScale(0, 10, 0, 4);
    EXPECT_EQ(scale.CalcPosValue(0), 10);
    EXPECT_EQ(scale.CalcPosValue(4), 0);
    EXPECT_EQ(scale.CalcPosValue(1), 8); // 7.5
    EXPECT_EQ(scale.CalcPosValue(3), 2); // 2.5

    const TAxisScale inverted = verticalScale(0, 10, 0, 4, true);
    EXPECT_EQ(inverted.CalcPosValue(0), 0);
    EXPECT_EQ(inverted.CalcPosValue(1), 2); // 2.5
    EXPECT_EQ(inverted.CalcPosValue(3), 8); // 7.5
    EXPECT_DOUBLE_EQ(inverted.CalcPosPoint(5), 2);
}

TEST(AxisScale, HorizontalValuesMapFromTheLeftAndBack)
{
    TAxisScale scale = verticalScale(100, 300, 10, 20);
    scale.horizontal = true;
    EXPECT_EQ(scale.CalcPosValue(10), 100);
    EXPECT_EQ(scale.CalcPosValue(15), 200);
    EXPECT_DOUBLE_EQ(scale.CalcPosPoint(200), 15);
    scale.inverted = true;
    EXPECT_EQ(scale.CalcPosValue(10), 300);
}

TEST(AxisScale, ZeroRangePutsEveryValueAtTheCentre)
{
    const TAxisScale scale = verticalScale(20, 120, 5, 5);
    EXPECT_TRUE(scale.ZeroRange());
    EXPECT_EQ(scale.CalcPosValue(5), 70);
    EXPECT_EQ(scale.CalcPosValue(-1e9), 70);
}

TEST(AxisScale, AbsurdValuesStayWithinPaintableRange)
{
    const TAxisScale scale = verticalScale(0, 100, 0, 1e-300);
    const int high = scale.CalcPosValue(1e300);
    EXPECT_LT(high, 0);
    EXPECT_GT(high, -(1 << 25));
    EXPECT_EQ(RoundPixel(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundPixel(std::numeric_limits<double>::infinity()), 1 << 24);
}

// Pixel rounding takes a shortcut past the library's nearbyint; it must land on the same pixel
// for every position a chart can map, ties and the ends of the range included.
TEST(AxisScale, PixelRoundingIsNearbyintTiesToEven)
{
    std::vector<double> positions = { 0.0, -0.0, 0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.49999999999999994,
        -0.49999999999999994, 4503599627370495.5, 1e-310, -1e-310, 16777215.5, -16777215.5, 16777216.0, -16777216.0,
        16777216.5, 8388607.5, 123.50000000000001, 123.49999999999999 };
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> wide(-(1 << 24), 1 << 24), narrow(-600, 600);
    for (int i = 0; i < 200000; ++i) {
        positions.push_back(wide(rng));
        positions.push_back(narrow(rng));
        positions.push_back(std::floor(narrow(rng)) + 0.5);
    }
    for (double p : positions) {
        if (std::fabs(p) > (1 << 24))
            continue;
        ASSERT_EQ(RoundPixel(p), int(std::nearbyint(p))) << std::hexfloat << p;
    }
    EXPECT_EQ(RoundPixel(16777216.5), 1 << 24);
    EXPECT_EQ(RoundPixel(-1e300), -(1 << 24));
}

TEST(LabelIncrement, NextStepFollowsOneTwoFiveAcrossDecades)
{
    const double steps[][2] = { { 0.07, 0.1 }, { 0.1, 0.2 }, { 0.2, 0.5 }, { 0.5, 1 }, { 1, 2 }, { 1.5, 2 }, { 2, 5 },
        { 4.9, 5 }, { 5, 10 }, { 7, 10 }, { 10, 20 }, { 82.3, 100 }, { 1000, 2000 } };
    for (const auto& step : steps)
        EXPECT_NEAR(NextLabelStep(step[0]), step[1], step[1] * 1e-12) << step[0];
    for (double v : { 0.1, 1.0, 10.0, 1e-5, 1e5 })
        EXPECT_GT(NextLabelStep(v), v);
}

TEST(LabelIncrement, TwoHundredPixelAxisOfThirteenPixelLabelsStepsTo100)
{
    EXPECT_EQ(LabelCountThatFits(200, 13, 10), 14);
    const double increment = CalcLabelIncrement(1234, 200, 13, 10, 1000);
    EXPECT_DOUBLE_EQ(increment, 100);

    const std::vector<double> labels = LabelValues(0, 1234, increment);
    ASSERT_EQ(labels.size(), 13u);
    EXPECT_DOUBLE_EQ(labels.front(), 1200);
    EXPECT_DOUBLE_EQ(labels.back(), 0);
    EXPECT_EQ(FormatAxisValue(labels.front()), "1,200");
}

TEST(LabelIncrement, SparseDataAndDegenerateRanges)
{
    // 3 / 15 = 0.2 steps to 0.5; with fewer points than labels the increment is held at 1.
    EXPECT_DOUBLE_EQ(CalcLabelIncrement(3, 200, 13, 10, 1000), 0.5);
    EXPECT_DOUBLE_EQ(CalcLabelIncrement(3, 200, 13, 10, 5), 1);
    EXPECT_DOUBLE_EQ(CalcLabelIncrement(0, 200, 13, 10, 1000), 1);
    EXPECT_GE(CalcLabelIncrement(1e-20, 200, 13, 10, 1000), 1e-12);
    EXPECT_EQ(LabelCountThatFits(200, 0, 10), 1);
    EXPECT_GT(CalcLabelIncrement(std::numeric_limits<double>::infinity(), 200, 13, 10, 1000), 0);
    EXPECT_GT(CalcLabelIncrement(1e300, 0, 13, 10, 1000), 0);
}

TEST(LabelIncrement, LabelValuesKeepTheUpperEndAndNeverRunAway)
{
    const std::vector<double> tenths = LabelValues(0, 0.3, 0.1);
    ASSERT_EQ(tenths.size(), 4u);
    EXPECT_NEAR(tenths.front(), 0.3, 1e-12);

    EXPECT_TRUE(LabelValues(0, 1e300, 1e-12).empty());
    EXPECT_TRUE(LabelValues(std::nan(""), 1, 1).empty());
    // Multiples beyond 2^53 cannot be counted down one by one; the walk must still end.
    EXPECT_EQ(LabelValues(0x1p60, 0x1p60 + 0x1p12, 1).size(), 4097u);
    EXPECT_EQ(LabelValues(-250, -50, 100).size(), 2u);
}

TEST(AxisValueFormat, GroupsThousandsAndShowsUpToThreeDecimals)
{
    EXPECT_EQ(FormatAxisValue(0), "0");
    EXPECT_EQ(FormatAxisValue(999), "999");
    EXPECT_EQ(FormatAxisValue(1234), "1,234");
    EXPECT_EQ(FormatAxisValue(1000000), "1,000,000");
    EXPECT_EQ(FormatAxisValue(1234567.891), "1,234,567.891");
    EXPECT_EQ(FormatAxisValue(0.5), "0.5");
    EXPECT_EQ(FormatAxisValue(2.00049), "2");
    EXPECT_EQ(FormatAxisValue(-1200), "-1,200");
    EXPECT_EQ(FormatAxisValue(-0.0001), "0");
    EXPECT_EQ(FormatAxisValue(0.1 + 0.2), "0.3");

    TNumberSeparators german;
    german.thousands = QLatin1Char('.');
    german.decimal = QLatin1Char(',');
    EXPECT_EQ(FormatAxisValue(1234.5, german), "1.234,5");
}

} // namespace
