#include "app/SnifferMainForm.h"

#include "graph/chart/TChart.h"

int TSnifferMainForm::FindSeriesByAddress(TChart*, const std::string&) const
{
    return -1;
}

void TSnifferMainForm::AddHostSample(TChart*, int, const std::string&, const std::string&, double)
{
}

void TSnifferMainForm::PadSeries(TChart*)
{
}

void TSnifferMainForm::ApplySeriesColors(TChart*)
{
}
