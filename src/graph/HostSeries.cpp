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

int HostSeries::FindSeriesByAddress(TChart& chart, const std::string& address)
{
    const int32_t tag = IPToInt(address);
    TChartSeriesList& list = chart.SeriesList();
    for (int i = 0; i < list.Count(); ++i)
        if (list.Item(i)->Tag() == tag)
            return i;
    return -1;
}

void HostSeries::AddHostSample(
    TChart& chart, double sampleIndex, int position, const std::string& name, const std::string& address, double value)
{
    TChartSeriesList& list = chart.SeriesList();
    int index = FindSeriesByAddress(chart, address);
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
    series->SetTag(IPToInt(address));
    const std::string& title = name.empty() ? address : name;
    series->SetTitle(DisplayText(title));
    while (series->PointCount() > WindowPoints)
        series->DeletePoint(0);
    // Hosts that share a series (duplicate or unreadable addresses) leave the list shorter than
    // the positions; such a series goes to the last place rather than abandoning the snapshot.
    const int target = std::min(position, list.Count() - 1);
    if (index != target)
        list.Move(index, target);
}

void HostSeries::PadSeries(TChart& chart, double sampleIndex)
{
    TChartSeriesList& list = chart.SeriesList();
    std::vector<double> past;
    for (int i = 0; i < list.Count(); ++i) {
        TChartSeries* series = list.Item(i);
        past.clear();
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
        AddHostSample(download, sampleIndex, s.Position, s.Name, s.Address, double(s.RecvRate) * speedScale);
        AddHostSample(upload, sampleIndex, s.Position, s.Name, s.Address, double(s.SendRate) * speedScale);
    }
}
