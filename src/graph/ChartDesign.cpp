#include "graph/ChartDesign.h"

#include "chart/AreaSeries.h"
#include "chart/TChart.h"
#include "graph/GraphLayout.h"

void ChartDesign::Apply(TChart& chart, bool upload)
{
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(upload ? 20 : 10);
    chart.SetMarginTop(upload ? 0 : 3);
    chart.SetMarginRight(10);
    chart.SetMarginBottom(upload ? 10 : 0);
    chart.SetView3D(false);
    chart.SetZoomAllow(false);
    chart.SetAllowPanning(pmNone);
    chart.SetTitleVisible(false);
    chart.RightAxis().SetVisible(false);
    chart.TopAxis().SetVisible(false);
    chart.LeftAxis().SetInverted(upload);
    TChartAxis& bottom = chart.BottomAxis();
    bottom.Title().SetVisible(false);
    bottom.SetTickOnLabelsOnly(false);
    bottom.SetMinorTickLength(0);
    if (upload) {
        bottom.SetLabels(true);
        bottom.SetLabelsSize(15);
        bottom.SetTickLength(3);
        bottom.SetTickInnerLength(1);
    } else {
        bottom.AxisPen().SetVisible(false);
        bottom.SetLabels(false);
        bottom.SetTickLength(0);
    }
    chart.Legend().SetTitleText("Computer:");
    chart.Legend().SetVisible(false);
    if (upload)
        chart.Legend().SetResizeChart(false);
    chart.SetShowHint(true);
    auto* placeholder = new TAreaSeries(&chart);
    placeholder->SetParentChart(&chart);
}

namespace {
void initChartAxes(TChart& chart)
{
    chart.LeftAxis().SetLabelsSize(GraphLayout::ValueLabelsSize);
    chart.SetMarginRight(GraphLayout::PlainMarginRight);
    chart.Legend().SetVisible(false);
}
} // namespace

void ChartDesign::InitCharts(TChart& download, TChart& upload)
{
    download.Legend().SetTop(4);
    download.SetMarginTop(4);
    upload.Legend().SetTop(0);
    initChartAxes(download);
    initChartAxes(upload);
}

void ChartDesign::PlaceLegend(TChart& chart)
{
    chart.Legend().SetCustomPosition(true);
    const QRect plot = chart.PlotRect();
    chart.Legend().SetLeft(plot.x() + plot.width() + GraphLayout::LegendGap);
}
