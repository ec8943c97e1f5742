#pragma once

class TChart;

// The charts' looks as the form gives them, and the adjustments the start makes.
namespace ChartDesign {

// The form's properties of the download chart or (upload) the upload chart, with its placeholder
// series, which the start takes out again.
void Apply(TChart& chart, bool upload);

// The start's adjustments of both charts: legend and margin tops, axes' label room, no legend.
void InitCharts(TChart& download, TChart& upload);

// Puts the legend a gap right of the last drawing's plot.
void PlaceLegend(TChart& chart);

} // namespace ChartDesign
