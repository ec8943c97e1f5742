#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TChart;
struct THostSample;

// A chart keeps one stacked series per graphed host, found by its address, over a window of the
// last 100 samples; the sample index is the x value of the newest point.
namespace HostSeries {

constexpr int WindowPoints = 100;

// A host's series key: the four dot-separated groups of its address, each read by the integer
// text rule and cut to its low byte; the empty text stands for the address 192.168.1.1.
int32_t IPToInt(std::string_view address);

// The series of the address, or -1.
int FindSeriesByAddress(TChart& chart, const std::string& address);

// The host's point at sampleIndex, in the series at the host's position: its own series if it has
// one, else a new one, or on a full chart the one at the take-over index, emptied first.
void AddHostSample(
    TChart& chart, double sampleIndex, int position, const std::string& name, const std::string& address, double value);

// Fills each series' past with zero points up to the window, so young series start at the left.
void PadSeries(TChart& chart, double sampleIndex);

// Colours every series by its position.
void ApplySeriesColors(TChart& chart);

// One snapshot's samples into the download and upload charts, rates times speedScale.
void AddSamples(
    TChart& download, TChart& upload, const std::vector<THostSample>& samples, double sampleIndex, double speedScale);

} // namespace HostSeries
