#include "app/SnifferMainForm.h"

#include "graph/chart/TChart.h"

void TSnifferMainForm::InitCharts()
{
}

void TSnifferMainForm::InitChartAxes(TChart*)
{
}

void TSnifferMainForm::rgSpeedClick(QObject*)
{
    LoadHistory();
}

void TSnifferMainForm::cbCapacityClick(QObject*)
{
}

void TSnifferMainForm::cbLegendClick(QObject*)
{
}

void TSnifferMainForm::Panel2Resize(QObject*)
{
}

void TSnifferMainForm::ArrangeCharts()
{
}

void TSnifferMainForm::PlaceLegend(TChart*)
{
}

void TSnifferMainForm::ChartInMouseMove(QObject*, Qt::KeyboardModifiers, int, int)
{
}
