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

    addStackedSeries(upper, clTestRed, { 100, 300, 200 });
    addStackedSeries(lower, clTestRed, { 100, 300, 200 });
    const QRect upperPlot = layoutChart(upper, 600, 200).plotRect;
    const TChartLayout lowerLayout = layoutChart(lower, 600, 200);
    const QRect lowerPlot = lowerLayout.plotRect;
    EXPECT_EQ(upperPlot.y(), 4);
    EXPECT_EQ(upperPlot.y() + upperPlot.height(), 200);
    EXPECT_EQ(lowerPlot.y(), 0);
    EXPECT_EQ(lowerPlot.y() + lowerPlot.height(), 200 - 10 - 21);
    // Same label room, title font and margin: the time axes line up. The title is 13 pixels
    // high, the tick band 2 + 1 + 4.
    EXPECT_EQ(upperPlot.x(), lowerPlot.x());
    EXPECT_EQ(upperPlot.x(), 10 + 13 + 45 + 7);
    EXPECT_EQ(upperPlot.x() + upperPlot.width(), 600 - 20);
    const TAxisLayout& time = lowerLayout.axes[asBottom];
    EXPECT_EQ(time.labelsRoom, 15);
    EXPECT_EQ(time.lineRect, QRect(lowerPlot.x(), lowerPlot.bottom() + 2, lowerPlot.width() + 1, 2));
}

TEST(ChartLayout, PercentMarginsAreRoundedDown)
{
    TChart chart;
    chart.SetAxisVisible(false);
    chart.Legend().SetVisible(false);
    EXPECT_EQ(chart.MarginUnits(), muPercent);
    // 3 % of 250 is 7.5, 4 % of 130 is 5.2.
    EXPECT_EQ(layoutChart(chart, 250, 130).plotRect, QRect(7, 5, 250 - 14, 130 - 10));
}

TEST(ChartLayout, TitlesWithTextAndAnUnplacedLegendTakeRoom)
{
    TChart chart;
    usePlainLayout(chart);
    chart.SetAxisVisible(false);
    addStackedSeries(chart, clTestRed, { 1, 2 })->SetTitle(QStringLiteral("one"));
    addStackedSeries(chart, clTestBlue, { 1, 2 })->SetTitle(QStringLiteral("two"));
    chart.SubTitle().SetText({ QString() });
    EXPECT_EQ(layoutChart(chart, 400, 200).plotRect, QRect(10, 10, 380, 180)) << "an empty title takes no room";

    chart.Title().SetText({ QStringLiteral("Traffic") });
    chart.Foot().SetText({ QStringLiteral("a"), QStringLiteral("b") });
    chart.Legend().SetVisible(true);
    TChartLayout layout = layoutChart(chart, 400, 200);
    EXPECT_EQ(layout.titles[tpTitle], QRect(10, 10, 380, 15));
    EXPECT_EQ(layout.titles[tpFoot], QRect(10, 164, 380, 26));
    EXPECT_TRUE(layout.titles[tpSubTitle].isNull());
    // Rows of 14 pixels, 4 pixels of padding around; the symbol, a gap and "one" make 36.
    EXPECT_EQ(layout.legend.rect, QRect(346, 25, 44, 36));
    EXPECT_EQ(layout.legend.itemRects, (std::vector<QRect> { QRect(346, 29, 44, 14), QRect(346, 43, 44, 14) }));
    EXPECT_EQ(layout.legend.alignedAt, QPoint(346, 25));
    EXPECT_EQ(layout.plotRect, QRect(10, 25, 346 - 5 - 10, 139));

    chart.Legend().SetLeft(5);
    layout = layoutChart(chart, 400, 200);
    EXPECT_EQ(layout.plotRect, QRect(10, 25, 380, 139)) << "a placed legend takes no room";
    EXPECT_EQ(layout.legend.rect, QRect(5, 0, 44, 36));
    EXPECT_FALSE(layout.legend.alignedAt);
}

TEST(ChartLayout, AlignedLegendsGiveUpTheirBandOnTheirSide)
{
    TChart chart;
    usePlainLayout(chart);
    chart.SetAxisVisible(false);
    chart.Legend().SetVisible(true);
    addStackedSeries(chart, clTestRed, { 1, 2 })->SetTitle(QStringLiteral("one"));
    addStackedSeries(chart, clTestBlue, { 1, 2 })->SetTitle(QStringLiteral("two"));
    const struct {
        TLegendAlignment alignment;
        QRect legend;
        QRect plot;
    } cases[] = {
        { laLeft, QRect(10, 10, 44, 36), QRect(59, 10, 331, 180) },
        { laRight, QRect(346, 10, 44, 36), QRect(10, 10, 331, 180) },
        { laTop, QRect(178, 10, 44, 36), QRect(10, 51, 380, 139) },
        { laBottom, QRect(178, 154, 44, 36), QRect(10, 10, 380, 139) },
    };
    for (const auto& c : cases) {
        chart.Legend().SetAlignment(c.alignment);
        chart.Legend().SetResizeChart(true);
        TChartLayout layout = layoutChart(chart, 400, 200);
        EXPECT_EQ(layout.legend.rect, c.legend) << c.alignment;
        EXPECT_EQ(layout.plotRect, c.plot) << c.alignment;
        chart.Legend().SetResizeChart(false);
        layout = layoutChart(chart, 400, 200);
        EXPECT_EQ(layout.legend.rect, c.legend) << c.alignment;
        EXPECT_EQ(layout.plotRect, QRect(10, 10, 380, 180)) << c.alignment;
    }
}

TEST(ChartLayout, LegendRowsBelowTheChartsBottomAreLeftOut)
{
    TChart chart;
    usePlainLayout(chart);
    chart.Legend().SetVisible(true);
    chart.Legend().SetTitleText(QStringLiteral("Computer:"));
    for (int i = 0; i < 5; ++i)
        addStackedSeries(chart, clTestRed, { 1, 2 })->SetTitle(QStringLiteral("host"));
    chart.Legend().SetTop(150);
    chart.Legend().SetLeft(300);
    // Below its title row the legend has 200 - 150 - 22 pixels, room for two rows of 14.
    TChartLayout layout = layoutChart(chart, 400, 200);
    EXPECT_EQ(layout.legend.itemRects.size(), 2u);
    EXPECT_EQ(layout.legend.rect, QRect(300, 150, 8 + 9 * 6, 3 * 14 + 8));

    chart.Legend().SetTop(179);
    layout = layoutChart(chart, 400, 200);
    EXPECT_TRUE(layout.legend.rect.isEmpty()) << "not even one row fits";
    EXPECT_TRUE(layout.legend.itemRects.empty());

    // A lone series lists its values, but never more rows than the chart is high.
    chart.SeriesList().Clear();
    TAreaSeries* lone = addStackedSeries(chart, clTestRed, {});
    for (int i = 0; i < 500; ++i)
        lone->AddPoint(i, i);
    chart.Legend().SetTop(0);
    layout = layoutChart(chart, 400, 200);
    EXPECT_EQ(layout.legend.items.size(), size_t(200 / 14 + 1));
    EXPECT_EQ(layout.legend.itemRects.size(), size_t((200 - 22) / 14));
    EXPECT_EQ(layout.legend.items[3].text, QStringLiteral("3"));
}

TEST(ChartLayout, VerticalLabelsOfTheRangeStepToRoundNumbersThatFit)
{
    TChart chart;
    usePlainLayout(chart);
    chart.BottomAxis().SetVisible(false);
    chart.LeftAxis().SetMinMax(0, 1234);
    // 200 pixels of 13-pixel labels: 14 fit, 1234 / 15 steps up to 100.
    const TChartLayout layout = layoutChart(chart, 300, 220);
    const TAxisLayout& axis = layout.axes[asLeft];
    ASSERT_EQ(axis.scale.Size(), 200);
    EXPECT_EQ(axis.increment, 100);
    ASSERT_EQ(axis.labelValues.size(), 13u);
    EXPECT_EQ(axis.labelValues.front(), 1200);
    EXPECT_EQ(axis.labelValues.back(), 0);
    // "1,200" is the widest label: 5 characters.
    EXPECT_EQ(axis.measuredLabels, 30);
    EXPECT_EQ(layout.plotRect.x(), 10 + 7 + 30);
    EXPECT_FALSE(layout.axes[asBottom].drawn);
    EXPECT_TRUE(layout.axes[asBottom].lineRect.isNull());
}

TEST(ChartLayout, LayingOutLeavesTheLastDrawingAsItWas)
{
    TChart chart;
    usePlainLayout(chart);
    chart.Legend().SetVisible(true);
    addStackedSeries(chart, clTestRed, { 10, 20, 30 });
    addStackedSeries(chart, clTestBlue, { 5, 5, 5 });
    renderChart(chart, 600, 300);
    const QRect plot = chart.PlotRect();
    const QRect legend = chart.Legend().Rect();
    const int legendLeft = chart.Legend().Left();
    const int labels = chart.LeftAxis().MeasuredLabelsSize();
    // The drawing kept the layout its fonts give.
    const TChartLayout drawn = LayoutChart(chart, QRect(0, 0, 600, 300), TFontTextMeasurer());
    EXPECT_EQ(drawn.plotRect, plot);
    EXPECT_EQ(drawn.legend.rect, legend);
    EXPECT_EQ(drawn.axes[asLeft].labelValues, chart.LeftAxis().LabelPositions());

    addStackedSeries(chart, clTestGreen, { 1000, 1000, 1000 });
    chart.LeftAxis().SetLabelsSize(80);
    const TChartLayout other = layoutChart(chart, 200, 100);
    ASSERT_NE(other.plotRect, plot);
    EXPECT_EQ(chart.PlotRect(), plot);
    EXPECT_EQ(chart.Legend().Rect(), legend);
    EXPECT_EQ(chart.Legend().Left(), legendLeft);
    EXPECT_EQ(chart.LeftAxis().MeasuredLabelsSize(), labels);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 35);
}

TEST(AxisRange, AutomaticLimitsFollowTheStacksAndAreKeptInTheFields)
{
    TChart chart;
    usePlainLayout(chart);
    addStackedSeries(chart, clTestRed, { 10, 20, 30 });
    addStackedSeries(chart, clTestBlue, { 5, 5, 5 });
    TChartLayout layout = layoutChart(chart, 300, 200);
    const TAxisScale& value = layout.axes[asLeft].scale;
    EXPECT_EQ(value.minimum, 5);
    EXPECT_EQ(value.maximum, 35);
    EXPECT_EQ(layout.axes[asBottom].scale.maximum, 2);
    EXPECT_EQ(chart.AxisMaxValue(chart.BottomAxis()), 2);
    EXPECT_EQ(value.CalcPosValue(35), layout.plotRect.y());
    EXPECT_EQ(value.CalcPosValue(5), layout.plotRect.y() + layout.plotRect.height());

    // Only a drawing writes the automatic limits back.
    EXPECT_EQ(chart.LeftAxis().Maximum(), 0);
    renderChart(chart, 300, 200);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 35);
    EXPECT_EQ(chart.LeftAxis().Minimum(), 5);
    EXPECT_EQ(chart.BottomAxis().Maximum(), 2);
    EXPECT_EQ(chart.LeftAxis().CalcPosValue(35), chart.PlotRect().y());

    chart.LeftAxis().SetAutomaticMinimum(false);
    EXPECT_FALSE(chart.LeftAxis().Automatic());
    chart.LeftAxis().SetMinimum(0);
    chart.LeftAxis().SetAutomaticMaximum(false);
    chart.LeftAxis().SetMaximum(1000);
    layout = layoutChart(chart, 300, 200);
    EXPECT_EQ(layout.axes[asLeft].scale.maximum, 1000);
    EXPECT_EQ(layout.axes[asLeft].scale.minimum, 0);
    chart.LeftAxis().SetAutomaticMaximum(true);
    chart.LeftAxis().SetAutomaticMinimum(true);
    EXPECT_TRUE(chart.LeftAxis().Automatic());
}

TEST(AxisRange, EmptyOrAllZeroChartsKeepTheirZeroLineAtTheAxisStart)
{
    TChart chart;
    usePlainLayout(chart);
    TChartLayout layout = layoutChart(chart, 300, 200);
    const TAxisLayout& empty = layout.axes[asLeft];
    EXPECT_FALSE(empty.scale.ZeroRange());
    EXPECT_EQ(empty.scale.minimum, 0);
    EXPECT_EQ(empty.scale.maximum, 1);
    EXPECT_EQ(empty.scale.CalcPosValue(0), layout.plotRect.y() + layout.plotRect.height());

    // An idle upload chart: its zero line must meet the download chart's at the top edge, with a
    // scale of distinct labels rather than one "0" across the middle.
    addStackedSeries(chart, clTestRed, { 0, 0, 0 });
    addStackedSeries(chart, clTestBlue, { 0, 0, 0 });
    chart.LeftAxis().SetInverted(true);
    layout = layoutChart(chart, 300, 200);
    EXPECT_EQ(layout.axes[asLeft].scale.CalcPosValue(0), layout.plotRect.y());
    EXPECT_EQ(layout.axes[asLeft].labelValues, (std::vector<double> { 1, 0 })); // few points: whole units
    chart.LeftAxis().Grid().SetVisible(false);
    chart.BottomAxis().Grid().SetVisible(false);
    const QImage image = renderChart(chart, 300, 200);
    const QRect inverted = chart.PlotRect();
    const int middle = inverted.y() + inverted.height() / 2;
    EXPECT_EQ(pixel(image, inverted.x() + 50, middle), QColor(Qt::white)) << "nothing drawn across the middle";

    chart.LeftAxis().SetInverted(false);
    // A fixed maximum that new data's automatic minimum overtakes: the two trade places.
    chart.SeriesList().Clear();
    renderChart(chart, 300, 200);
    chart.LeftAxis().SetAutomaticMaximum(false);
    chart.LeftAxis().SetMaximum(20);
    addStackedSeries(chart, clTestRed, { 50, 60 });
    layout = layoutChart(chart, 300, 200);
    EXPECT_EQ(layout.axes[asLeft].scale.minimum, 20);
    EXPECT_EQ(layout.axes[asLeft].scale.maximum, 50);
    renderChart(chart, 300, 200);
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
    EXPECT_EQ(layoutChart(chart, 400, 200).legend.rect.topLeft(), QPoint(oldLeft, 4));

    chart.Legend().SetLeft(30);
    EXPECT_EQ(layoutChart(chart, 400, 200).legend.rect.topLeft(), QPoint(30, 4));
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

// Kept sizes are the font's own, font by font, also once the store is full and starts afresh.
TEST(TextMeasuring, KeptSizesAreTheFontsOwnFontByFont)
{
    QFont small("DejaVu Sans"), bold("DejaVu Sans");
    small.setPixelSize(9);
    bold.setPixelSize(13);
    bold.setBold(true);
    TFontTextMeasurer plain;
    TCachingTextMeasurer kept;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 5000; i += 7) {
            const QString text = QString::number(i * 37) + (i % 3 ? " kbit/s" : "");
            for (int f = 0; f < 12; ++f) {
                QFont font = f % 2 ? small : bold;
                font.setPixelSize(font.pixelSize() + f / 2);
                ASSERT_EQ(kept.Width(font, text), plain.Width(font, text)) << text.toStdString() << " font " << f;
                ASSERT_EQ(kept.Height(font), plain.Height(font)) << f;
            }
        }
    }
}

TEST(ChartLayout, ThePanelsColourSurroundsTheBackWallAndNeverShowsInIt)
{
    TChart chart;
    chart.SetAxisVisible(false);
    chart.Legend().SetVisible(false);
    chart.SetColor(clTestRed);
    chart.SetBackWallColor(clTestBlue);
    for (const auto& [width, height] : { std::pair { 250, 130 }, std::pair { 3, 2 }, std::pair { 401, 77 } }) {
        const QImage image = renderChart(chart, width, height);
        const QRect plot = layoutChart(chart, width, height).plotRect;
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                wrong += image.pixelColor(x, y) != ToQColor(plot.contains(x, y) ? clTestBlue : clTestRed);
        EXPECT_EQ(wrong, 0) << width << " x " << height << ", plot " << plot.x() << "," << plot.y() << " "
                            << plot.width() << " x " << plot.height();
    }
}
