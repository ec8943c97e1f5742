#include "app/SnifferMainForm.h"

#include "chart/TChart.h"
#include "controls/AlignLayout.h"
#include "controls/TPanel.h"
#include "controls/TRadioGroup.h"
#include "graph/ChartDesign.h"
#include "graph/GraphLayout.h"
#include "settings/SnifferSettings.h"

#include <QCheckBox>
#include <QLabel>

void TSnifferMainForm::InitCharts()
{
    ChartDesign::InitCharts(*ChartIn, *ChartOut);
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
    const int32_t inCap = SnifferSettings::LineCapacityInBit(ini);
    const int32_t outCap = SnifferSettings::LineCapacityOutBit(ini);
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
    using namespace GraphLayout;
    if (ChartIn->SeriesList().Count() == 0)
        return;
    ChartOut->SetMarginLeft(ChartIn->MarginLeft());
    // A chart widens its label room for numbers too wide for it; both take the wider of the last
    // drawing's labels so that their plots still start at the same place and the time axes line up.
    const int labels
        = SharedLabelsSize(ChartIn->LeftAxis().MeasuredLabelsSize(), ChartOut->LeftAxis().MeasuredLabelsSize());
    ChartIn->LeftAxis().SetLabelsSize(labels);
    ChartOut->LeftAxis().SetLabelsSize(labels);
    const int below = UploadChartBelowPlot(ChartOut->MarginBottom(), ChartOut->BottomAxis().LabelsSize());
    const int avail = ShareableHeight(Panel2->height(), ChartIn->MarginTop(), below);
    const bool automatic = ChartOut->LeftAxis().AutomaticMaximum();
    const double out = automatic ? ChartOut->AxisMaxValue(ChartOut->LeftAxis()) : ChartOut->LeftAxis().Maximum();
    const double in = automatic ? ChartIn->AxisMaxValue(ChartIn->LeftAxis()) : ChartIn->LeftAxis().Maximum();
    if (const std::optional<int> height = UploadPlotHeight(avail, out, in, automatic)) {
        ChartOut->resize(ChartOut->width(), *height + below);
        AlignLayout::Apply(Panel2);
    }
    ChartDesign::PlaceLegend(*ChartIn);
    ChartDesign::PlaceLegend(*ChartOut);
    if (cbLegend->isChecked()) {
        ChartIn->SetMarginRight(LegendMarginRight);
        ChartOut->SetMarginRight(LegendMarginRight);
        const bool onIn = LegendOnDownload(ChartIn->height(), ChartOut->height(), automatic);
        ChartIn->Legend().SetVisible(onIn);
        ChartOut->Legend().SetVisible(!onIn);
    } else {
        ChartIn->Legend().SetVisible(false);
        ChartOut->Legend().SetVisible(false);
        ChartIn->SetMarginRight(PlainMarginRight);
        ChartOut->SetMarginRight(PlainMarginRight);
    }
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
