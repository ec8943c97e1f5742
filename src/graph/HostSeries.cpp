#include "graph/HostSeries.h"

#include "base/IntegerText.h"
#include "chart/AreaSeries.h"
#include "chart/TChart.h"
#include "controls/DisplayText.h"
#include "table/GetField.h"
#include "table/HostColors.h"
#include "table/HostRanks.h"
#include "table/SnapshotModel.h"

#include <algorithm>

using HostRanks::MaxSeries;
using HostRanks::TakeOverIndex;

int32_t HostSeries::IPToInt(std::string_view address)
{
    const std::string_view text = address.empty() ? std::string_view("192.168.1.1") : address;
    uint32_t result = 0;
    for (int k = 0; k < 4; ++k)
        result = (result << 8) | (uint32_t(StrToInt32Def(GetFieldView(text, '.', k), 0)) & 0xFFu);
    return int32_t(result);
}

namespace {

int findSeriesByTag(TChart& chart, int32_t tag)
{
    TChartSeriesList& list = chart.SeriesList();
    for (int i = 0; i < list.Count(); ++i)
        if (list.Item(i)->Tag() == tag)
            return i;
    return -1;
}

// A host's point with its series key and title worked out once for both charts.
void addHostSample(TChart& chart, double sampleIndex, int position, int32_t tag, const QString& title, double value)
{
    TChartSeriesList& list = chart.SeriesList();
    int index = findSeriesByTag(chart, tag);
    if (index == -1) {
        if (list.Count() == MaxSeries) {
            // A full chart hands the series at index 28 to the newcomer. Its points are the former
            // host's traffic and would be drawn under the newcomer's name and colour, so they go;
            // PadSeries then fills the newcomer's past with zeros like any young series.
            index = TakeOverIndex;
            list.Item(index)->Clear();
        } else {
            auto* series = new TAreaSeries(&chart);
            series->SetMultiArea(TAreaSeries::maStacked);
            series->AreaLinesPen().SetVisible(false);
            series->LinePen().SetVisible(false);
            series->SetParentChart(&chart);
            index = list.Count() - 1;
        }
    }
    TChartSeries* series = list.Item(index);
    series->AddPoint(sampleIndex, value, QString(), clDefault);
    series->SetTag(tag);
    series->SetTitle(title);
    while (series->PointCount() > HostSeries::WindowPoints)
        series->DeletePoint(0);
    // Hosts that share a series (duplicate or unreadable addresses) leave the list shorter than
    // the positions; such a series goes to the last place rather than abandoning the snapshot.
    const int target = std::min(position, list.Count() - 1);
    if (index != target)
        list.Move(index, target);
}

QString seriesTitle(const std::string& name, const std::string& address)
{
    return DisplayText(name.empty() ? address : name);
}

} // namespace

int HostSeries::FindSeriesByAddress(TChart& chart, const std::string& address)
{
    return findSeriesByTag(chart, IPToInt(address));
}

void HostSeries::AddHostSample(
    TChart& chart, double sampleIndex, int position, const std::string& name, const std::string& address, double value)
{
    addHostSample(chart, sampleIndex, position, IPToInt(address), seriesTitle(name, address), value);
}

void HostSeries::PadSeries(TChart& chart, double sampleIndex)
{
    TChartSeriesList& list = chart.SeriesList();
    std::vector<double> past;
    for (int i = 0; i < list.Count(); ++i) {
        TChartSeries* series = list.Item(i);
        past.clear();
        // A young series needs up to a whole window of zeros; taken at once, not doubling its way there.
        if (series->PointCount() < WindowPoints && past.capacity() == 0)
            past.reserve(size_t(WindowPoints));
        for (int count = series->PointCount(); count < WindowPoints; ++count)
            past.push_back(sampleIndex - count - 1);
        series->AddPoints(past, 0);
    }
}

void HostSeries::ApplySeriesColors(TChart& chart)
{
    TChartSeriesList& list = chart.SeriesList();
    for (int i = 0; i < list.Count() && i < MaxSeries; ++i)
        list.Item(i)->SetSeriesColor(SwapRB(HostColors[i]));
}

void HostSeries::AddSamples(
    TChart& download, TChart& upload, const std::vector<THostSample>& samples, double sampleIndex, double speedScale)
{
    for (const THostSample& s : samples) {
        const int32_t tag = IPToInt(s.Address);
        const QString title = seriesTitle(s.Name, s.Address);
        addHostSample(download, sampleIndex, s.Position, tag, title, double(s.RecvRate) * speedScale);
        addHostSample(upload, sampleIndex, s.Position, tag, title, double(s.SendRate) * speedScale);
    }
}
