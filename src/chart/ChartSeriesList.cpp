#include "chart/ChartSeriesList.h"

#include "chart/ChartSeries.h"
#include "chart/ChartTypes.h"
#include "chart/TChart.h"

#include <algorithm>

TChartSeries* TChartSeriesList::Item(int index) const
{
    if (index < 0 || index >= Count())
        throw EChartError(ChartErrorText("List index out of bounds (%d)", index));
    return items_[size_t(index)];
}

int TChartSeriesList::IndexOf(const TChartSeries* series) const
{
    auto it = std::find(items_.begin(), items_.end(), series);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

void TChartSeriesList::Clear()
{
    if (items_.empty())
        return;
    std::vector<TChartSeries*> removed;
    removed.swap(items_);
    for (TChartSeries* series : removed) {
        series->chart_ = nullptr;
        // Nothing uses a cleared series again, so the ones the chart owns go now rather than
        // piling up until the window closes.
        if (series->parent() == chart_)
            delete series;
    }
    chart_->Invalidate();
}

void TChartSeriesList::Move(int from, int to)
{
    if (from == to)
        return;
    if (to < 0 || to >= Count())
        throw EChartError(ChartErrorText("List index out of bounds (%d)", to));
    if (from < 0 || from >= Count())
        throw EChartError(ChartErrorText("List index out of bounds (%d)", from));
    TChartSeries* series = items_[size_t(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, series);
}

void TChartSeriesList::remove(TChartSeries* series)
{
    auto it = std::find(items_.begin(), items_.end(), series);
    if (it != items_.end())
        items_.erase(it);
}
