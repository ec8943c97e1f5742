#include "ChartTestSupport.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

// Red 10 and blue 20 over X 0 to 4 on a value axis fixed at 0 to 40, drawn once.
struct HitChart {
    TChart chart;
    TAreaSeries* lower;
    TAreaSeries* upper;

    HitChart()
    {
        usePlainLayout(chart);
        lower = addStackedSeries(chart, clTestRed, { 10, 10, 10, 10, 10 });
        upper = addStackedSeries(chart, clTestBlue, { 20, 20, 20, 20, 20 });
        chart.LeftAxis().SetMinMax(0, 40);
        renderChart(chart, 400, 300);
    }
    int x(double value) const { return chart.BottomAxis().CalcPosValue(value); }
    int y(double value) const { return chart.LeftAxis().CalcPosValue(value); }
    TChartClickedPart at(int px, int py) const { return chart.PartAtPoint(px, py); }
};

TEST(SeriesHitTest, TopLineWithinOnePixelAndTheAreaBelowItHit)
{
    HitChart h;
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(2), h.y(30)), 2);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(2.5), h.y(30)), 2);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(2.5), h.y(30) - 1), 2);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(2.5), h.y(30) - 2), -1);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(3.5), h.y(20)), 3);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(3.5), h.y(5)), -1);
    EXPECT_EQ(h.lower->SeriesPointAt(h.x(0.5), h.y(5)), 0);

    h.upper->SetClickableLine(false);
    h.upper->SetDrawArea(false);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(3.5), h.y(20)), -1);
    EXPECT_EQ(h.upper->SeriesPointAt(h.x(3.5), h.y(30)), 3);
}

TEST(SeriesHitTest, AHostWithNoTrafficIsFoundOnTheLineItSharesWithTheOneBelow)
{
    HitChart h;
    auto* idle = addStackedSeries(h.chart, clTestGreen, { 0, 0, 0, 0, 0 });
    renderChart(h.chart, 400, 300);
    const TChartClickedPart part = h.at(h.x(1.5), h.y(30));
    EXPECT_EQ(part.Part, cpSeries);
    EXPECT_EQ(part.Series, idle);
    EXPECT_EQ(part.PointIndex, 1);
    EXPECT_EQ(h.at(h.x(1.5), h.y(25)).Series, h.upper);
}

TEST(PartAtPoint, PartsAreFoundInTheirOrder)
{
    HitChart h;
    EXPECT_EQ(h.at(h.x(1.5), h.y(5)).Series, h.lower);
    EXPECT_EQ(h.at(h.x(1.5), h.y(5)).Part, cpSeries);

    const TChartClickedPart empty = h.at(h.x(1.5), h.y(37));
    EXPECT_EQ(empty.Part, cpChartRect);
    EXPECT_EQ(empty.Series, nullptr);
    EXPECT_EQ(empty.PointIndex, -1);

    const QRect plot = h.chart.PlotRect();
    const TChartClickedPart axis = h.at(plot.x() - 2, h.y(20));
    EXPECT_EQ(axis.Part, cpAxis);
    EXPECT_EQ(axis.Axis, &h.chart.LeftAxis());
    EXPECT_EQ(h.at(2, 2).Part, cpNone);

    // A legend placed over the plot wins over the series beneath it, and names no series.
    h.chart.Legend().SetVisible(true);
    h.chart.Legend().SetLeft(h.x(1));
    h.chart.Legend().SetTop(h.y(8));
    renderChart(h.chart, 400, 300);
    const QRect legend = h.chart.Legend().Rect();
    int itemY = legend.y();
    while (itemY < legend.bottom() && h.chart.Legend().ItemAt(legend.x() + 1, itemY) != 1)
        ++itemY;
    const TChartClickedPart item = h.at(legend.x() + 1, itemY);
    EXPECT_EQ(item.Part, cpLegend);
    EXPECT_EQ(item.PointIndex, 1);
    EXPECT_EQ(item.Series, nullptr);
}

TEST(PartAtPoint, AChartWithoutSeriesNeverReportsThePlotArea)
{
    TChart chart;
    usePlainLayout(chart);
    renderChart(chart, 300, 200);
    const QRect plot = chart.PlotRect();
    for (int x = plot.x(); x <= plot.x() + plot.width(); x += 7)
        for (int y = plot.y(); y <= plot.y() + plot.height(); y += 7)
            ASSERT_NE(chart.PartAtPoint(x, y).Part, cpChartRect) << x << "," << y;

    addStackedSeries(chart, clTestRed, { 1, 1 })->SetActive(false);
    renderChart(chart, 300, 200);
    EXPECT_NE(chart.PartAtPoint(chart.PlotRect().center().x(), chart.PlotRect().center().y()).Part, cpChartRect);
}

TEST(ChartMouse, MovesAreReportedAndClicksNameTheSeries)
{
    HitChart h;
    h.chart.show();
    std::vector<QPoint> moves;
    Qt::KeyboardModifiers modifiers;
    QObject::connect(&h.chart, &TChart::MouseMoved, [&](Qt::KeyboardModifiers m, int x, int y) {
        modifiers = m;
        moves.emplace_back(x, y);
    });
    TChartSeries* clicked = nullptr;
    int clickedIndex = -1;
    QObject::connect(&h.chart, &TChart::ClickSeries, [&](TChartSeries* series, int index) {
        clicked = series;
        clickedIndex = index;
    });

    const QPointF onUpper(h.x(3.5), h.y(25));
    QMouseEvent move(
        QEvent::MouseMove, onUpper, h.chart.mapToGlobal(onUpper), Qt::NoButton, Qt::NoButton, Qt::ShiftModifier);
    QApplication::sendEvent(&h.chart, &move);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], onUpper.toPoint());
    EXPECT_EQ(modifiers, Qt::ShiftModifier);

    QMouseEvent press(QEvent::MouseButtonPress, onUpper, h.chart.mapToGlobal(onUpper), Qt::LeftButton, Qt::LeftButton,
        Qt::NoModifier);
    QApplication::sendEvent(&h.chart, &press);
    EXPECT_EQ(clicked, h.upper);
    EXPECT_EQ(clickedIndex, 3);
}

TEST(ChartHint, TheHintIsTheTooltipWhileShowHintIsOn)
{
    TChart chart;
    chart.SetHint(QStringLiteral("192.168.1.10"));
    EXPECT_EQ(chart.toolTip(), "");
    chart.SetShowHint(true);
    EXPECT_EQ(chart.toolTip(), "192.168.1.10");
    chart.SetHint(QString());
    EXPECT_EQ(chart.toolTip(), "");
    chart.SetHint(QStringLiteral("Other"));
    EXPECT_EQ(chart.Hint(), "Other");
    EXPECT_EQ(chart.toolTip(), "Other");
    chart.SetShowHint(false);
    EXPECT_EQ(chart.toolTip(), "");
}

} // namespace
