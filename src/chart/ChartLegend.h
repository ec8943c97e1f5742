#pragma once

#include "chart/ChartTypes.h"
#include "chart/LineTextCache.h"
#include "chart/TextMeasurer.h"

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;
class TChart;
class TChartSeries;
struct TLegendLayout;

enum TLegendAlignment { laLeft, laRight, laTop, laBottom };
enum TLegendStyle { lsAuto, lsSeries, lsValues };

// The box naming the series (or the values of a lone series) beside the plot.
class TChartLegend {
public:
    struct Item {
        QString text;
        TColor color;
        const TChartSeries* series;
    };

    explicit TChartLegend(TChart* chart);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TLegendAlignment Alignment() const { return alignment_; }
    void SetAlignment(TLegendAlignment alignment);
    TLegendStyle LegendStyle() const { return style_; }
    void SetLegendStyle(TLegendStyle style);
    bool ResizeChart() const { return resizeChart_; }
    void SetResizeChart(bool resize);
    bool CustomPosition() const { return customPosition_; }
    void SetCustomPosition(bool custom);
    // Writing either corner coordinate also places the legend at a custom position.
    int Left() const { return left_; }
    void SetLeft(int left);
    int Top() const { return top_; }
    void SetTop(int top);
    QString TitleText() const { return titleText_; }
    void SetTitleText(const QString& text);
    const QFont& Font() const { return font_; }

    // What the legend lists for the chart as it is now, at most limit items.
    std::vector<Item> Items(int limit = 1 << 30) const;
    // The size of the legend with `count` of the items, all title lines included.
    QSize SizeFor(const std::vector<Item>& items, int count, const TTextMeasurer& measurer = TFontTextMeasurer()) const;
    int RowHeight(const TTextMeasurer& measurer = TFontTextMeasurer()) const;

    // From the last drawing: the legend's rectangle (empty when not drawn) and the item under a
    // pixel, or -1.
    QRect Rect() const;
    int ItemAt(int x, int y) const;

    // The chart hands back where a drawing placed a legend by its alignment, relative to the
    // chart, so that Left and Top tell it. It changes nothing else and repaints nothing.
    void KeepAlignedPlace(const QPoint& place);

    void Draw(QPainter& painter, const TLegendLayout& layout) const;

private:
    void changed();
    int titleLineCount() const;
    const TLegendLayout& lastLayout() const;

    TChart* chart_;
    bool visible_ = true;
    TLegendAlignment alignment_ = laRight;
    TLegendStyle style_ = lsAuto;
    bool resizeChart_ = true;
    bool customPosition_ = false;
    int left_ = 0;
    int top_ = 0;
    QString titleText_;
    QFont font_;
    // The titles drawn, kept for the next drawing.
    mutable TLineTextCache texts_;
};
