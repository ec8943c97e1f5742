#pragma once

#include "chart/AxisScale.h"
#include "chart/ChartLegend.h"
#include "chart/ChartTitle.h"
#include "chart/TextMeasurer.h"

#include <QRect>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class TChart;

// Where one axis stands in a drawing: its range and pixels, its labels and the room they take.
struct TAxisLayout {
    bool drawn = false;
    TAxisScale scale;
    double increment = 1;
    // Label values from the largest down.
    std::vector<double> labelValues;
    // The extent of the widest label (width on a vertical axis, height on a horizontal one).
    int measuredLabels = 0;
    int labelsRoom = 0;
    int titleRoom = 0;
    // The axis line; empty when it is hidden or the axis is not drawn.
    QRect lineRect;
};

// The legend box of a drawing, empty when none is drawn, with one rectangle per listed item.
struct TLegendLayout {
    // The series they name may be gone after the drawing that listed them; only the drawing
    // itself reads them.
    std::vector<TChartLegend::Item> items;
    QRect rect;
    std::vector<QRect> itemRects;
    // Set when the legend was placed by its alignment, not at a custom position: its top-left
    // corner relative to the chart.
    std::optional<QPoint> alignedAt;
};

// Everything a drawing of the chart places, computed before anything is painted.
struct TChartLayout {
    TChartLayout();

    QRect bounds;
    std::array<QRect, 4> titles; // by TTitlePlace; null when the title takes no room
    TLegendLayout legend;
    std::array<TAxisLayout, 4> axes; // by TAxisSide
    QRect plotRect;
    // Where series are drawn when they are clipped: the plot, one pixel taller at the bottom.
    QRect seriesClip;
};

// Lays the chart out in rect without drawing anything.
TChartLayout LayoutChart(const TChart& chart, const QRect& rect, const TTextMeasurer& measurer);
