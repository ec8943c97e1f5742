#include "app/SnifferMainForm.h"

#include "chart/AreaSeries.h"
#include "chart/TChart.h"
#include "controls/AlignLayout.h"
#include "controls/TPanel.h"
#include "controls/TRadioGroup.h"
#include "settings/SnifferSettings.h"

#include <QCheckBox>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {
constexpr int LegendMarginRight = 190;
constexpr int PlainMarginRight = 20;
constexpr int BottomAxisExtra = 6; // the 2-pixel axis line, its gap and the 3-pixel ticks
constexpr int ValueLabelsSize = 45;

// The charts' own properties as the form gives them, before InitCharts adjusts a few.
void applyChartDesign(TChart* chart, bool upload)
{
    chart->SetMarginUnits(muPixels);
    chart->SetMarginLeft(upload ? 20 : 10);
    chart->SetMarginTop(upload ? 0 : 3);
    chart->SetMarginRight(10);
    chart->SetMarginBottom(upload ? 10 : 0);
    chart->SetView3D(false);
    chart->SetZoomAllow(false);
    chart->SetAllowPanning(pmNone);
    chart->SetTitleVisible(false);
    chart->RightAxis().SetVisible(false);
    chart->TopAxis().SetVisible(false);
    chart->LeftAxis().SetInverted(upload);
    TChartAxis& bottom = chart->BottomAxis();
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
    chart->Legend().SetTitleText("Computer:");
    chart->Legend().SetVisible(false);
    if (upload)
        chart->Legend().SetResizeChart(false);
    chart->SetShowHint(true);
    // The form's placeholder series, which start-up takes out again.
    auto* placeholder = new TAreaSeries(chart);
    placeholder->SetParentChart(chart);
}
} // namespace

void TSnifferMainForm::InitCharts()
{
    ChartIn->Legend().SetTop(4);
    ChartIn->SetMarginTop(4);
    ChartOut->Legend().SetTop(0);
    InitChartAxes(ChartIn);
    InitChartAxes(ChartOut);
}

void TSnifferMainForm::InitChartAxes(TChart* chart)
{
    chart->LeftAxis().SetLabelsSize(ValueLabelsSize);
    chart->SetMarginRight(PlainMarginRight);
    chart->Legend().SetVisible(false);
}

void TSnifferMainForm::ApplyChartDesign()
{
    applyChartDesign(ChartIn, false);
    applyChartDesign(ChartOut, true);
}

void TSnifferMainForm::rgSpeedClick(QObject*)
{
    SpeedScale = rgSpeed->ItemIndex() == 0 ? 8.0 / 1000 : 1.0 / 1000;
    cbCapacityClick(this);
    LoadHistory();
    const QString unit = rgSpeed->ItemIndex() >= 0 ? rgSpeed->Items().value(rgSpeed->ItemIndex()) : QString();
    ChartIn->LeftAxis().Title().SetCaption("Download (k" + unit + ")");
    ChartOut->LeftAxis().Title().SetCaption("Upload (k" + unit + ")");
    TopPanel->SetCaption("Traffic graph - top 30 (" + unit + ")");
}

void TSnifferMainForm::cbCapacityClick(QObject*)
{
    const TIniFile ini = SnifferSettings::Open();
    const int32_t inCap
        = ini.ReadInteger(SnifferSettings::Section, "LineCapacityInBit", SnifferSettings::DefaultLineCapacity);
    const int32_t outCap
        = ini.ReadInteger(SnifferSettings::Section, "LineCapacityOutBit", SnifferSettings::DefaultLineCapacity);
    const bool automatic = !cbCapacity->isChecked();
    ChartOut->LeftAxis().SetAutomaticMaximum(automatic);
    ChartOut->LeftAxis().SetMaximum(outCap / 8.0 * SpeedScale);
    ChartIn->LeftAxis().SetAutomaticMaximum(automatic);
    ChartIn->LeftAxis().SetMaximum(inCap / 8.0 * SpeedScale);
    ArrangeCharts();
}

void TSnifferMainForm::cbLegendClick(QObject*)
{
    ArrangeCharts();
}

void TSnifferMainForm::Panel2Resize(QObject*)
{
    ArrangeCharts();
}

void TSnifferMainForm::ArrangeCharts()
{
    if (ChartIn->SeriesList().Count() == 0)
        return;
    ChartOut->SetMarginLeft(ChartIn->MarginLeft());
    // A chart widens its label room for numbers too wide for it; both take the wider of the last
    // drawing's labels so that their plots still start at the same place and the time axes line up.
    const int labels = std::max(
        { ValueLabelsSize, ChartIn->LeftAxis().MeasuredLabelsSize(), ChartOut->LeftAxis().MeasuredLabelsSize() });
    ChartIn->LeftAxis().SetLabelsSize(labels);
    ChartOut->LeftAxis().SetLabelsSize(labels);
    const int below = ChartOut->MarginBottom() + ChartOut->BottomAxis().LabelsSize() + BottomAxisExtra;
    const int avail = Panel2->height() - ChartIn->MarginTop() - below;
    const bool automatic = ChartOut->LeftAxis().AutomaticMaximum();
    double out, in;
    if (automatic) {
        out = ChartOut->AxisMaxValue(ChartOut->LeftAxis());
        in = ChartIn->AxisMaxValue(ChartIn->LeftAxis());
    } else {
        out = ChartOut->LeftAxis().Maximum();
        in = ChartIn->LeftAxis().Maximum();
    }
    // The automatic split multiplies before it divides: a ratio taken first can land a hair below
    // a whole pixel and lose it in the truncation. Fixed maxima split by their ratio.
    const double share = automatic ? avail * out / (out + in) : avail * (out / (out + in));
    // With nothing to compare (all zero) the split is undefined and the heights stay as they are.
    if (out + in != 0 && std::isfinite(share)) {
        // Bad input (negative rates) can push the ratio outside 0..1; the charts never overlap the panel.
        const double h = std::clamp(std::trunc(share), 0.0, double(std::max(avail, 0)));
        ChartOut->resize(ChartOut->width(), int(h) + below);
        AlignLayout::Apply(Panel2);
    }
    PlaceLegend(ChartIn);
    PlaceLegend(ChartOut);
    if (cbLegend->isChecked()) {
        ChartIn->SetMarginRight(LegendMarginRight);
        ChartOut->SetMarginRight(LegendMarginRight);
        const bool onIn = ChartIn->height() >= ChartOut->height() || !automatic;
        ChartIn->Legend().SetVisible(onIn);
        ChartOut->Legend().SetVisible(!onIn);
    } else {
        ChartIn->Legend().SetVisible(false);
        ChartOut->Legend().SetVisible(false);
        ChartIn->SetMarginRight(PlainMarginRight);
        ChartOut->SetMarginRight(PlainMarginRight);
    }
}

void TSnifferMainForm::PlaceLegend(TChart* chart)
{
    chart->Legend().SetCustomPosition(true);
    const QRect plot = chart->PlotRect();
    chart->Legend().SetLeft(plot.x() + plot.width() + 20);
}

void TSnifferMainForm::ChartInMouseMove(QObject* Sender, Qt::KeyboardModifiers, int X, int Y)
{
    auto* chart = qobject_cast<TChart*>(Sender);
    if (!chart)
        return;
    const TChartClickedPart part = chart->PartAtPoint(X, Y);
    if (part.Series) {
        chart->SetHint(part.Series->Title());
        lblSeries->setText("Selected series: " + part.Series->Title());
    } else {
        chart->SetHint(QString());
        lblSeries->setText("Click on a Series to identify it");
    }
}
