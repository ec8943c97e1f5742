#include "ChartTestSupport.h"

#include <QPointer>

#include <gtest/gtest.h>

namespace {

// The two charts of the traffic graph as the main window sets them up.
void setUpUpperChart(TChart& chart)
{
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.SetMarginTop(4);
    chart.SetMarginRight(20);
    chart.SetMarginBottom(0);
    chart.SetTitleVisible(false);
    chart.LeftAxis().SetLabelsSize(45);
    chart.LeftAxis().Title().SetCaption(QStringLiteral("Download (kbits/s)"));
    TChartAxis& bottom = chart.BottomAxis();
    bottom.AxisPen().SetVisible(false);
    bottom.SetLabels(false);
    bottom.SetTickLength(0);
    bottom.SetMinorTickLength(0);
    bottom.SetTickOnLabelsOnly(false);
    bottom.Title().SetVisible(false);
    chart.RightAxis().SetVisible(false);
    chart.TopAxis().SetVisible(false);
    chart.Legend().SetTop(4);
    chart.Legend().SetVisible(false);
}

void setUpLowerChart(TChart& chart)
{
    setUpUpperChart(chart);
    chart.SetMarginTop(0);
    chart.SetMarginBottom(10);
    chart.LeftAxis().SetInverted(true);
    chart.LeftAxis().Title().SetCaption(QStringLiteral("Upload (kbits/s)"));
    TChartAxis& bottom = chart.BottomAxis();
    bottom.AxisPen().SetVisible(true);
    bottom.SetLabels(true);
    bottom.SetLabelsSize(15);
    bottom.SetTickLength(3);
    bottom.SetTickInnerLength(1);
    chart.Legend().SetTop(0);
    chart.Legend().SetResizeChart(false);
}

TEST(ChartLayout, BottomAxesOfTheGraphTakeNoneAndTwentyOnePixels)
{
    TChart upper;
    TChart lower;
    setUpUpperChart(upper);
    setUpLowerChart(lower);
    EXPECT_EQ(upper.BottomAxis().RoomSize(13, 13), 0);
    EXPECT_EQ(lower.BottomAxis().TickBandSize(), 6);
    EXPECT_EQ(lower.BottomAxis().RoomSize(13, 13), 21);

    for (TChart* chart : { &upper, &lower }) {
        addStackedSeries(*chart, clTestRed, { 100, 300, 200 });
        renderChart(*chart, 600, 200);
    }
    EXPECT_EQ(upper.PlotRect().y(), 4);
    EXPECT_EQ(upper.PlotRect().y() + upper.PlotRect().height(), 200);
    EXPECT_EQ(lower.PlotRect().y(), 0);
    EXPECT_EQ(lower.PlotRect().y() + lower.PlotRect().height(), 200 - 10 - 21);
    // Same label room, title font and margin: the time axes line up.
    EXPECT_EQ(upper.PlotRect().x(), lower.PlotRect().x());
    EXPECT_EQ(upper.PlotRect().x(), 10 + 13 + 45 + 7);
    EXPECT_EQ(upper.PlotRect().x() + upper.PlotRect().width(), 600 - 20);
}

TEST(ChartLayout, PercentMarginsAreRoundedDown)
{
    TChart chart;
    chart.SetAxisVisible(false);
    chart.Legend().SetVisible(false);
    EXPECT_EQ(chart.MarginUnits(), muPercent);
    renderChart(chart, 250, 130);
    // 3 % of 250 is 7.5, 4 % of 130 is 5.2.
    EXPECT_EQ(chart.PlotRect(), QRect(7, 5, 250 - 14, 130 - 10));
}

TEST(ChartLayout, TitlesWithTextAndAnUnplacedLegendTakeRoom)
{
    TChart chart;
    usePlainLayout(chart);
    chart.SetAxisVisible(false);
    addStackedSeries(chart, clTestRed, { 1, 2 })->SetTitle(QStringLiteral("one"));
    addStackedSeries(chart, clTestBlue, { 1, 2 })->SetTitle(QStringLiteral("two"));
    renderChart(chart, 400, 200);
    const QRect bare = chart.PlotRect();
    EXPECT_EQ(bare, QRect(10, 10, 380, 180));

    chart.Title().SetText({ QStringLiteral("Traffic") });
    chart.Legend().SetVisible(true);
    renderChart(chart, 400, 200);
    EXPECT_GT(chart.PlotRect().y(), bare.y());
    EXPECT_LT(chart.PlotRect().right(), bare.right() - 20);
    EXPECT_GT(chart.Legend().Rect().x(), chart.PlotRect().right());

    chart.Legend().SetLeft(5);
    renderChart(chart, 400, 200);
    EXPECT_EQ(chart.PlotRect().width(), bare.width());
    EXPECT_EQ(chart.Legend().Rect().topLeft(), QPoint(5, chart.Legend().Top()));
}

TEST(AxisRange, AutomaticLimitsFollowTheStacksAndAreKeptInTheFields)
{
    TChart chart;
    usePlainLayout(chart);
    addStackedSeries(chart, clTestRed, { 10, 20, 30 });
    addStackedSeries(chart, clTestBlue, { 5, 5, 5 });
    renderChart(chart, 300, 200);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 35);
    EXPECT_EQ(chart.LeftAxis().Minimum(), 5);
    EXPECT_EQ(chart.BottomAxis().Maximum(), 2);
    EXPECT_EQ(chart.AxisMaxValue(chart.BottomAxis()), 2);
    EXPECT_EQ(chart.LeftAxis().CalcPosValue(35), chart.PlotRect().y());
    EXPECT_EQ(chart.LeftAxis().CalcPosValue(5), chart.PlotRect().y() + chart.PlotRect().height());

    chart.LeftAxis().SetAutomaticMinimum(false);
    EXPECT_FALSE(chart.LeftAxis().Automatic());
    chart.LeftAxis().SetMinimum(0);
    chart.LeftAxis().SetAutomaticMaximum(false);
    chart.LeftAxis().SetMaximum(1000);
    renderChart(chart, 300, 200);
    EXPECT_EQ(chart.LeftAxis().Scale().maximum, 1000);
    EXPECT_EQ(chart.LeftAxis().Scale().minimum, 0);
    chart.LeftAxis().SetAutomaticMaximum(true);
    chart.LeftAxis().SetAutomaticMinimum(true);
    EXPECT_TRUE(chart.LeftAxis().Automatic());
}

TEST(AxisRange, EmptyOrAllZeroChartsKeepTheirZeroLineAtTheAxisStart)
{
    TChart chart;
    usePlainLayout(chart);
    renderChart(chart, 300, 200);
    EXPECT_FALSE(chart.LeftAxis().Scale().ZeroRange());
    EXPECT_EQ(chart.LeftAxis().Scale().minimum, 0);
    EXPECT_EQ(chart.LeftAxis().Scale().maximum, 1);
    const QRect plot = chart.PlotRect();
    EXPECT_EQ(chart.LeftAxis().CalcPosValue(0), plot.y() + plot.height());

    // An idle upload chart: its zero line must meet the download chart's at the top edge, with a
    // scale of distinct labels rather than one "0" across the middle.
    addStackedSeries(chart, clTestRed, { 0, 0, 0 });
    addStackedSeries(chart, clTestBlue, { 0, 0, 0 });
    chart.LeftAxis().SetInverted(true);
    chart.LeftAxis().Grid().SetVisible(false);
    chart.BottomAxis().Grid().SetVisible(false);
    const QImage image = renderChart(chart, 300, 200);
    const QRect inverted = chart.PlotRect();
    EXPECT_EQ(chart.LeftAxis().CalcPosValue(0), inverted.y());
    EXPECT_EQ(chart.LeftAxis().LabelPositions(), (std::vector<double> { 1, 0 })); // few points: whole units
    const int middle = inverted.y() + inverted.height() / 2;
    EXPECT_EQ(pixel(image, inverted.x() + 50, middle), QColor(Qt::white)) << "nothing drawn across the middle";

    chart.LeftAxis().SetInverted(false);
    // A fixed maximum that new data's automatic minimum overtakes: the two trade places.
    chart.SeriesList().Clear();
    renderChart(chart, 300, 200);
    chart.LeftAxis().SetAutomaticMaximum(false);
    chart.LeftAxis().SetMaximum(20);
    addStackedSeries(chart, clTestRed, { 50, 60 });
    renderChart(chart, 300, 200);
    EXPECT_EQ(chart.LeftAxis().Scale().minimum, 20);
    EXPECT_EQ(chart.LeftAxis().Scale().maximum, 50);
    EXPECT_LE(chart.LeftAxis().Minimum(), chart.LeftAxis().Maximum());
}

TEST(AxisRange, LimitsOnTheWrongSideAreRefusedAndKeepTheOldValue)
{
    TChart chart;
    usePlainLayout(chart);
    addStackedSeries(chart, clTestRed, { 10, 100 });
    renderChart(chart, 300, 200);
    TChartAxis& axis = chart.LeftAxis();
    ASSERT_EQ(axis.Minimum(), 10);
    try {
        axis.SetMaximum(5);
        FAIL() << "a maximum below the minimum must be refused";
    } catch (const EChartError& e) {
        EXPECT_STREQ(e.what(), "Axis Maximum Value must be >= Minimum");
    }
    EXPECT_EQ(axis.Maximum(), 100);
    try {
        axis.SetMinimum(101);
        FAIL() << "a minimum above the maximum must be refused";
    } catch (const EChartError& e) {
        EXPECT_STREQ(e.what(), "Axis Minimum Value must be <= Maximum");
    }
    EXPECT_EQ(axis.Minimum(), 10);
    EXPECT_NO_THROW(axis.SetMaximum(10));
}

TEST(SeriesListOrder, MoveReordersWithoutRepaintAndRefusesTargetsOutside)
{
    TChart chart;
    auto* a = addStackedSeries(chart, clTestRed, { 1 });
    auto* b = addStackedSeries(chart, clTestBlue, { 1 });
    auto* c = addStackedSeries(chart, clTestGreen, { 1 });
    const int repaints = chart.RepaintRequests();
    chart.SeriesList().Move(2, 0);
    EXPECT_EQ(chart.SeriesList().Item(0), c);
    EXPECT_EQ(chart.SeriesList().Item(1), a);
    EXPECT_EQ(chart.SeriesList().Item(2), b);
    chart.SeriesList().Move(1, 1);
    chart.SeriesList().Move(5, 5);
    EXPECT_EQ(chart.RepaintRequests(), repaints);
    try {
        chart.SeriesList().Move(0, 3);
        FAIL() << "a move past the end must fail";
    } catch (const EChartError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }
    EXPECT_THROW(chart.SeriesList().Move(0, -1), EChartError);
    EXPECT_THROW(chart.SeriesList().Item(3), EChartError);
    EXPECT_EQ(chart.SeriesList().Item(0), c);
}

TEST(SeriesListClear, ClearedSeriesLeaveRangeLegendAndHitTest)
{
    TChart chart;
    usePlainLayout(chart);
    chart.Legend().SetVisible(true);
    chart.Legend().SetLeft(0);
    QPointer<TAreaSeries> owned = addStackedSeries(chart, clTestRed, { 50, 50, 50 });
    addStackedSeries(chart, clTestBlue, { 50, 50, 50 });
    TAreaSeries foreign;
    foreign.SetParentChart(&chart);
    foreign.AddPoint(0, 500);
    QImage image = renderChart(chart, 300, 200);
    ASSERT_EQ(chart.AxisMaxValue(chart.LeftAxis()), 500);
    ASSERT_FALSE(chart.Legend().Rect().isEmpty());
    const QPoint inside(chart.BottomAxis().CalcPosValue(1), chart.LeftAxis().CalcPosValue(75));
    ASSERT_EQ(chart.PartAtPoint(inside.x(), inside.y()).Part, cpSeries);

    chart.SeriesList().Clear();
    EXPECT_EQ(chart.SeriesList().Count(), 0);
    EXPECT_TRUE(owned.isNull());
    EXPECT_EQ(foreign.ParentChart(), nullptr);
    EXPECT_EQ(chart.AxisMaxValue(chart.LeftAxis()), 0);
    EXPECT_EQ(chart.PartAtPoint(inside.x(), inside.y()).Part, cpNone);
    image = renderChart(chart, 300, 200);
    EXPECT_TRUE(chart.Legend().Rect().isEmpty());
    EXPECT_EQ(pixel(image, inside.x(), inside.y()), QColor(Qt::white));
}

TEST(LegendPosition, WritingTopKeepsTheOldLeftUntilLeftIsWritten)
{
    TChart chart;
    usePlainLayout(chart);
    chart.Legend().SetVisible(true);
    addStackedSeries(chart, clTestRed, { 1, 2 });
    addStackedSeries(chart, clTestBlue, { 1, 2 });
    renderChart(chart, 400, 200);
    EXPECT_FALSE(chart.Legend().CustomPosition());
    const int oldLeft = chart.Legend().Left();
    EXPECT_EQ(chart.Legend().Rect().x(), oldLeft);

    chart.Legend().SetTop(4);
    EXPECT_TRUE(chart.Legend().CustomPosition());
    EXPECT_EQ(chart.Legend().Left(), oldLeft);
    renderChart(chart, 400, 200);
    EXPECT_EQ(chart.Legend().Rect().topLeft(), QPoint(oldLeft, 4));

    chart.Legend().SetLeft(30);
    renderChart(chart, 400, 200);
    EXPECT_EQ(chart.Legend().Rect().topLeft(), QPoint(30, 4));
}

TEST(Repainting, OnlyWritesThatChangeSomethingRepaint)
{
    TChart chart;
    chart.SetMarginLeft(10);
    chart.LeftAxis().SetLabelsSize(45);
    chart.LeftAxis().Title().SetCaption(QStringLiteral("Download"));
    chart.Legend().SetTop(4);
    chart.Legend().SetVisible(false);
    chart.LeftAxis().SetAutomaticMaximum(false);
    chart.LeftAxis().SetMaximum(1250);
    const int before = chart.RepaintRequests();

    chart.SetMarginLeft(10);
    chart.LeftAxis().SetLabelsSize(45);
    chart.LeftAxis().Title().SetCaption(QStringLiteral("Download"));
    chart.Legend().SetTop(4);
    chart.Legend().SetVisible(false);
    chart.Legend().SetCustomPosition(true);
    chart.LeftAxis().SetAutomaticMaximum(false);
    chart.LeftAxis().SetMaximum(1250);
    chart.BottomAxis().AxisPen().SetWidth(2);
    chart.SetHint(QStringLiteral("host"));
    EXPECT_EQ(chart.RepaintRequests(), before);

    const std::function<void()> changes[] = {
        [&] { chart.SetMarginRight(190); },
        [&] { chart.SetMarginUnits(muPixels); },
        [&] { chart.LeftAxis().SetLabelsSize(40); },
        [&] { chart.LeftAxis().Title().SetCaption(QStringLiteral("Upload")); },
        [&] { chart.LeftAxis().SetInverted(true); },
        [&] { chart.Legend().SetLeft(100); },
        [&] { chart.Legend().SetVisible(true); },
        [&] { chart.Legend().SetTitleText(QStringLiteral("Computer:")); },
        [&] { chart.BottomAxis().AxisPen().SetVisible(false); },
        [&] { chart.LeftAxis().SetMaximum(10000); },
    };
    int expected = before;
    for (const auto& change : changes) {
        change();
        EXPECT_EQ(chart.RepaintRequests(), ++expected);
    }
}

} // namespace
