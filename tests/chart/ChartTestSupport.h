#pragma once

#include "chart/TChart.h"

#include <QImage>
#include <QPainter>

#include <initializer_list>

// Colours chosen to be told apart at a glance in probed pixels.
constexpr TColor clTestRed = 0x0000FF;
constexpr TColor clTestBlue = 0xFF0000;
constexpr TColor clTestGreen = 0x00FF00;

inline QImage renderChart(TChart& chart, int width, int height)
{
    chart.resize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    chart.paint(painter, QRect(0, 0, width, height));
    return image;
}

// Text of fixed sizes, so that layout figures hold whatever fonts are installed: a line is the
// font's pixel height plus 2, every character 6 pixels wide.
class TFixedTextMeasurer : public TTextMeasurer {
public:
    int Height(const QFont& font) const override { return font.pixelSize() + 2; }
    int Width(const QFont&, const QString& text) const override { return 6 * int(text.size()); }
};

inline TChartLayout layoutChart(const TChart& chart, int width, int height)
{
    return LayoutChart(chart, QRect(0, 0, width, height), TFixedTextMeasurer());
}

inline QColor pixel(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

// A stacked area series of the traffic graph, attached to chart, with Y values at X 0, 1, 2, ...
inline TAreaSeries* addStackedSeries(TChart& chart, TColor color, std::initializer_list<double> values)
{
    auto* series = new TAreaSeries(&chart);
    series->SetMultiArea(TAreaSeries::maStacked);
    series->LinePen().SetVisible(false);
    series->AreaLinesPen().SetVisible(false);
    series->SetParentChart(&chart);
    series->SetSeriesColor(color);
    int x = 0;
    for (double v : values)
        series->AddPoint(x++, v);
    return series;
}

// A chart laid out in plain pixels with no titles or legend, so that probes can be computed.
inline void usePlainLayout(TChart& chart)
{
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.SetMarginTop(10);
    chart.SetMarginRight(10);
    chart.SetMarginBottom(10);
    chart.Legend().SetVisible(false);
    chart.RightAxis().SetVisible(false);
    chart.TopAxis().SetVisible(false);
}
