#include "graph/GraphLayout.h"

#include <gtest/gtest.h>

#include <limits>

using namespace GraphLayout;

TEST(GraphLayoutArithmetic, TheSplitMakesOnePixelTheSameRateInBothCharts)
{
    // A 488-pixel panel: 4 above the download plot, 31 below the upload plot.
    const int avail = ShareableHeight(488, 4, UploadChartBelowPlot(10, 15));
    ASSERT_EQ(avail, 453);
    EXPECT_EQ(UploadPlotHeight(avail, 100, 300, true), 113);
    // 453 x 21 / 151 is exactly 63; 21 / 151 first would leave 62.99... and lose the pixel.
    EXPECT_EQ(UploadPlotHeight(avail, 21, 130, true), 63);
    EXPECT_EQ(UploadPlotHeight(avail, 50, 0, true), 453);
    // Fixed maxima split by their ratio.
    EXPECT_EQ(UploadPlotHeight(avail, 1, 1, false), 453 / 2);
}

TEST(GraphLayoutArithmetic, AnUndefinedSplitLeavesTheHeightsAndBadPeaksStayInsideThePanel)
{
    EXPECT_EQ(UploadPlotHeight(453, 0, 0, true), std::nullopt);
    EXPECT_EQ(UploadPlotHeight(453, std::numeric_limits<double>::infinity(), 1, true), std::nullopt);
    EXPECT_EQ(UploadPlotHeight(453, std::numeric_limits<double>::quiet_NaN(), 1, true), std::nullopt);
    EXPECT_EQ(UploadPlotHeight(453, -100, 150, true), 0);
    EXPECT_EQ(UploadPlotHeight(453, 100, -50, true), 453);
    EXPECT_EQ(UploadPlotHeight(-20, 1, 1, true), 0); // a panel smaller than its margins
}

TEST(GraphLayoutArithmetic, TheLegendGoesOnTheTallerChartAndTheDownloadChartOnATie)
{
    EXPECT_TRUE(LegendOnDownload(244, 244, true));
    EXPECT_FALSE(LegendOnDownload(244, 245, true));
    EXPECT_TRUE(LegendOnDownload(100, 300, false)); // fixed maxima keep it on the download chart
}

TEST(GraphLayoutArithmetic, BothValueAxesTakeTheWiderLabelsButNeverLessThanTheLeast)
{
    EXPECT_EQ(SharedLabelsSize(0, 0), ValueLabelsSize);
    EXPECT_EQ(SharedLabelsSize(61, 48), 61);
    EXPECT_EQ(SharedLabelsSize(30, 72), 72);
}
