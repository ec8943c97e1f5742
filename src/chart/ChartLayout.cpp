#include "chart/ChartLayout.h"

#include "chart/TChart.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// The gap between a legend that takes room and the plot beside it.
constexpr int legendGap = 5;
// The legend's inner padding above its first item row.
constexpr int legendPadding = 4;

int marginPixels(int value, int extent, TMarginUnits units)
{
    if (units == muPixels)
        return value;
    return int(std::floor(double(extent) * value / 100.0));
}

bool seriesOnAxis(const TChartSeries& series, const TChartAxis& axis)
{
    return axis.Horizontal() ? series.GetHorizAxis() == &axis : series.GetVertAxis() == &axis;
}

// An axis is drawn while some active series is drawn against it, or while no series is active.
bool axisShown(const TChart& chart, const TChartAxis& axis)
{
    if (!chart.AxisVisible() || !axis.Visible())
        return false;
    bool anyActive = false;
    for (const TChartSeries* series : chart.SeriesList()) {
        if (!series->Active())
            continue;
        anyActive = true;
        if (seriesOnAxis(*series, axis))
            return true;
    }
    return !anyActive;
}

TAxisScale axisRange(const TChart& chart, const TChartAxis& axis)
{
    double minimum = axis.AutomaticMinimum() ? chart.AxisMinValue(axis) : axis.Minimum();
    double maximum = axis.AutomaticMaximum() ? chart.AxisMaxValue(axis) : axis.Maximum();
    // Data that is not finite would leave no scale to draw with.
    if (!std::isfinite(minimum))
        minimum = 0;
    if (!std::isfinite(maximum))
        maximum = 0;
    if (minimum > maximum)
        std::swap(minimum, maximum);
    // An empty or all-zero chart would have no scale at all and draw every value, its zero line
    // included, across the middle of the plot; one unit upward from the data keeps the zero line
    // at the axis' start. Two equal fixed limits stay as they were asked for.
    if (minimum == maximum) {
        if (axis.AutomaticMaximum())
            maximum = minimum + 1;
        else if (axis.AutomaticMinimum())
            minimum = maximum - 1;
    }
    TAxisScale scale;
    scale.minimum = minimum;
    scale.maximum = maximum;
    scale.inverted = axis.Inverted();
    scale.horizontal = axis.Horizontal();
    return scale;
}

// Chooses the increment and the label values once the axis knows its pixels.
void placeLabels(const TChart& chart, const TChartAxis& axis, TAxisLayout& layout, const TTextMeasurer& measurer)
{
    const TAxisScale& scale = layout.scale;
    const QFont& font = axis.LabelsFont();
    int labelSize;
    if (axis.Horizontal()) {
        std::vector<double> probes = { scale.minimum, scale.maximum, (scale.minimum + scale.maximum) / 2 };
        if (axis.Increment() > 0) {
            probes.push_back(scale.minimum + axis.Increment());
            probes.push_back(scale.maximum - axis.Increment());
        }
        labelSize = 0;
        for (double v : probes)
            labelSize = std::max(labelSize, measurer.Width(font, FormatAxisValue(v, chart.NumberSeparators())));
    } else {
        labelSize = measurer.Height(font);
    }
    int fewestPoints = INT_MAX;
    for (const TChartSeries* series : chart.SeriesList())
        if (series->Active())
            fewestPoints = std::min(fewestPoints, series->PointCount());
    const double increment = axis.Increment() > 0 ? axis.Increment()
                                                  : CalcLabelIncrement(scale.Range(), scale.Size(), labelSize,
                                                      axis.LabelsSeparation(), fewestPoints, AxisValueResolution);
    layout.increment = increment;
    layout.labelValues = LabelValues(scale.minimum, scale.maximum, increment);
}

int measureLabels(const TChart& chart, const TChartAxis& axis, const TAxisLayout& layout, const TTextMeasurer& measurer)
{
    const QFont& font = axis.LabelsFont();
    if (axis.Horizontal())
        return measurer.Height(font);
    int widest = 0;
    for (double v : layout.labelValues)
        widest = std::max(widest, measurer.Width(font, FormatAxisValue(v, chart.NumberSeparators())));
    return widest;
}

int measureTitle(const TChartAxis& axis, const TTextMeasurer& measurer)
{
    const TAxisTitle& title = axis.Title();
    if (title.RunsAlongAxis(axis.Horizontal()))
        return measurer.Height(title.Font());
    return measurer.Width(title.Font(), title.Caption());
}

// The room a drawn axis takes beside the plot; it also keeps the parts of it that drawing needs.
int takeAxisRoom(const TChart& chart, const TChartAxis& axis, TAxisLayout& layout, const TTextMeasurer& measurer)
{
    if (!layout.drawn)
        return 0;
    const TAxisTitle& title = axis.Title();
    const int titleSize = title.TitleSize() != 0 ? title.TitleSize() : measureTitle(axis, measurer);
    layout.measuredLabels = measureLabels(chart, axis, layout, measurer);
    layout.labelsRoom = axis.Labels() ? axis.LabelsRoomFor(layout.measuredLabels) : 0;
    layout.titleRoom = title.Visible() && !title.Caption().isEmpty() ? titleSize : 0;
    return axis.RoomSize(layout.measuredLabels, titleSize);
}

QRect axisLine(const TChartAxis& axis, const QRect& plot)
{
    const TChartPen& pen = axis.AxisPen();
    const int width = pen.Visible() ? pen.Width() : 0;
    if (!pen.Visible() || width <= 0)
        return QRect();
    const int left = plot.x();
    const int top = plot.y();
    const int right = left + plot.width();
    const int bottom = top + plot.height();
    const bool farSide = axis.Side() == asRight || axis.Side() == asBottom;
    return axis.Horizontal() ? QRect(left, farSide ? bottom + 1 : top - 1 - width, right - left + 1, width)
                             : QRect(farSide ? right + 1 : left - 1 - width, top, width, bottom - top + 1);
}
} // namespace

const QFontMetrics& TFontTextMeasurer::metrics(const QFont& font) const
{
    if (!metrics_ || !(font_ == font)) {
        font_ = font;
        metrics_.emplace(font);
    }
    return *metrics_;
}

TCachingTextMeasurer::TFontSizes& TCachingTextMeasurer::sizesOf(const QFont& font) const
{
    for (TFontSizes& sizes : fonts_)
        if (sizes.Font == font)
            return sizes;
    if (fonts_.size() >= size_t(MaxFonts))
        fonts_.clear();
    fonts_.push_back({ font, -1, {} });
    return fonts_.back();
}

int TCachingTextMeasurer::Height(const QFont& font) const
{
    TFontSizes& sizes = sizesOf(font);
    if (sizes.Height < 0)
        sizes.Height = measurer_.Height(font);
    return sizes.Height;
}

int TCachingTextMeasurer::Width(const QFont& font, const QString& text) const
{
    TFontSizes& sizes = sizesOf(font);
    const auto known = sizes.Widths.constFind(text);
    if (known != sizes.Widths.constEnd())
        return *known;
    if (sizes.Widths.size() >= MaxTexts)
        sizes.Widths.clear();
    const int width = measurer_.Width(font, text);
    sizes.Widths.insert(text, width);
    return width;
}

TChartLayout::TChartLayout()
{
    axes[asTop].scale.horizontal = true;
    axes[asBottom].scale.horizontal = true;
}

TChartLayout LayoutChart(const TChart& chart, const QRect& rect, const TTextMeasurer& measurer)
{
    TChartLayout layout;
    layout.bounds = rect;
    const int width = std::max(0, rect.width());
    const int height = std::max(0, rect.height());
    int left = rect.x() + marginPixels(chart.MarginLeft(), width, chart.MarginUnits());
    int top = rect.y() + marginPixels(chart.MarginTop(), height, chart.MarginUnits());
    int right = rect.x() + width - marginPixels(chart.MarginRight(), width, chart.MarginUnits());
    int bottom = rect.y() + height - marginPixels(chart.MarginBottom(), height, chart.MarginUnits());

    auto titleHeight
        = [&](const TChartTitle& title) { return int(title.Text().size()) * measurer.Height(title.Font()); };
    for (TTitlePlace place : { tpTitle, tpSubTitle }) {
        const TChartTitle& title = chart.TitleAt(place);
        if (title.Shown()) {
            const int h = titleHeight(title);
            layout.titles[place] = QRect(left, top, std::max(0, right - left), h);
            top += h;
        }
    }
    for (TTitlePlace place : { tpSubFoot, tpFoot }) {
        const TChartTitle& title = chart.TitleAt(place);
        if (title.Shown()) {
            const int h = titleHeight(title);
            bottom -= h;
            layout.titles[place] = QRect(left, bottom, std::max(0, right - left), h);
        }
    }

    const TChartLegend& legend = chart.Legend();
    TLegendLayout& placed = layout.legend;
    // A lone series of many points would list them all; no more rows than the chart is high.
    if (legend.Visible())
        placed.items = legend.Items(height / std::max(1, legend.RowHeight(measurer)) + 1);
    if (!placed.items.empty()) {
        const std::vector<TChartLegend::Item>& items = placed.items;
        const int row = legend.RowHeight(measurer);
        const QSize full = legend.SizeFor(items, int(items.size()), measurer);
        QPoint origin;
        if (legend.CustomPosition()) {
            origin = QPoint(rect.x() + legend.Left(), rect.y() + legend.Top());
        } else {
            switch (legend.Alignment()) {
            case laLeft:
                origin = QPoint(left, top);
                break;
            case laRight:
                origin = QPoint(right - full.width(), top);
                break;
            case laTop:
                origin = QPoint((left + right - full.width()) / 2, top);
                break;
            case laBottom:
                origin = QPoint((left + right - full.width()) / 2, bottom - full.height());
                break;
            }
        }
        // Items that do not fit above the chart's bottom edge are left out.
        const int fixedHeight = legend.SizeFor(items, 0, measurer).height();
        const int room = rect.y() + height - origin.y() - fixedHeight;
        const int count = std::min(int(items.size()), room > 0 ? room / row : 0);
        if (count > 0) {
            const QSize size = legend.SizeFor(items, count, measurer);
            if (!legend.CustomPosition() && legend.Alignment() == laBottom)
                origin.setY(bottom - size.height());
            placed.rect = QRect(origin, size);
            int y = origin.y() + fixedHeight - legendPadding;
            for (int i = 0; i < count; ++i, y += row)
                placed.itemRects.push_back(QRect(origin.x(), y, size.width(), row));
            if (!legend.CustomPosition()) {
                placed.alignedAt = origin - rect.topLeft();
                if (legend.ResizeChart()) {
                    switch (legend.Alignment()) {
                    case laLeft:
                        left += size.width() + legendGap;
                        break;
                    case laRight:
                        right -= size.width() + legendGap;
                        break;
                    case laTop:
                        top += size.height() + legendGap;
                        break;
                    case laBottom:
                        bottom -= size.height() + legendGap;
                        break;
                    }
                }
            }
        }
    }

    for (TAxisSide side : { asLeft, asTop, asRight, asBottom }) {
        const TChartAxis& axis = chart.AxisAt(side);
        layout.axes[side].drawn = axisShown(chart, axis);
        layout.axes[side].scale = axisRange(chart, axis);
    }
    auto takeRoom
        = [&](TAxisSide side) { return takeAxisRoom(chart, chart.AxisAt(side), layout.axes[side], measurer); };
    // The horizontal axes' room fixes the vertical axes' height, which their labels need before
    // their own width is known; the plot's width then places the horizontal axes' labels.
    top += takeRoom(asTop);
    bottom -= takeRoom(asBottom);
    bottom = std::max(bottom, top);
    for (TAxisSide side : { asLeft, asRight }) {
        layout.axes[side].scale.startPos = top;
        layout.axes[side].scale.endPos = bottom;
        placeLabels(chart, chart.AxisAt(side), layout.axes[side], measurer);
    }
    left += takeRoom(asLeft);
    right -= takeRoom(asRight);
    right = std::max(right, left);
    layout.plotRect = QRect(left, top, right - left, bottom - top);
    layout.seriesClip = QRect(left, top, right - left, bottom - top + 1);
    for (TAxisSide side : { asTop, asBottom }) {
        layout.axes[side].scale.startPos = left;
        layout.axes[side].scale.endPos = right;
        placeLabels(chart, chart.AxisAt(side), layout.axes[side], measurer);
    }
    for (TAxisSide side : { asLeft, asTop, asRight, asBottom })
        if (layout.axes[side].drawn)
            layout.axes[side].lineRect = axisLine(chart.AxisAt(side), layout.plotRect);
    return layout;
}
