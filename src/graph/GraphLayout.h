#pragma once

#include <optional>

// The graph panel's arithmetic: two charts share its height so that one pixel is the same rate in
// both, their value axes share one label room, and the legend sits beside the taller one.
namespace GraphLayout {

constexpr int LegendMarginRight = 190;
constexpr int PlainMarginRight = 20;
// The upload chart's time axis: its 2-pixel line, the gap and the 3-pixel ticks.
constexpr int BottomAxisExtra = 6;
// The least room of the value axes' numbers.
constexpr int ValueLabelsSize = 45;
// The legend's distance from the right edge of its chart's plot.
constexpr int LegendGap = 20;

// The room of both value axes: the wider of the last drawing's numbers, never below the least.
int SharedLabelsSize(int downloadMeasured, int uploadMeasured);

// The pixels below the upload chart's plot: its margin, the time axis' numbers and line.
int UploadChartBelowPlot(int marginBottom, int bottomLabelsSize);

// The plots' height to share: the panel less the download chart's top margin and what lies below
// the upload plot.
int ShareableHeight(int panelHeight, int downloadMarginTop, int belowUploadPlot);

// The upload plot's height out of avail for the upload and download peaks (or the fixed maxima),
// or nothing when the split is undefined (all zero, not finite) and the heights stay as they are.
// Never outside 0..avail.
std::optional<int> UploadPlotHeight(int avail, double uploadPeak, double downloadPeak, bool automatic);

// Whether the legend goes on the download chart: the taller one, the download chart on a tie or
// when the maxima are fixed.
bool LegendOnDownload(int downloadHeight, int uploadHeight, bool automatic);

} // namespace GraphLayout
