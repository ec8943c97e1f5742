#include "chart/ChartLegend.h"

#include "chart/ChartAxis.h"
#include "chart/ChartLayout.h"
#include "chart/ChartSeries.h"
#include "chart/TChart.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int padding = 4;
constexpr int symbolWidth = 14;
constexpr int symbolGap = 4;
} // namespace

TChartLegend::TChartLegend(TChart* chart)
    : chart_(chart)
    , font_(ChartFont())
{
}

void TChartLegend::changed()
{
    if (chart_)
        chart_->Invalidate();
}

void TChartLegend::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    changed();
}

void TChartLegend::SetAlignment(TLegendAlignment alignment)
{
    if (alignment_ == alignment)
        return;
    alignment_ = alignment;
    changed();
}

void TChartLegend::SetLegendStyle(TLegendStyle style)
{
    if (style_ == style)
        return;
    style_ = style;
    changed();
}

void TChartLegend::SetResizeChart(bool resize)
{
    if (resizeChart_ == resize)
        return;
    resizeChart_ = resize;
    changed();
}

void TChartLegend::SetCustomPosition(bool custom)
{
    if (customPosition_ == custom)
        return;
    customPosition_ = custom;
    changed();
}

void TChartLegend::SetLeft(int left)
{
    if (left_ == left && customPosition_)
        return;
    left_ = left;
    customPosition_ = true;
    changed();
}

void TChartLegend::SetTop(int top)
{
    if (top_ == top && customPosition_)
        return;
    top_ = top;
    customPosition_ = true;
    changed();
}

void TChartLegend::SetTitleText(const QString& text)
{
    if (titleText_ == text)
        return;
    titleText_ = text;
    changed();
}

std::vector<TChartLegend::Item> TChartLegend::Items(int limit) const
{
    std::vector<Item> items;
    if (!chart_)
        return items;
    std::vector<const TChartSeries*> active;
    for (const TChartSeries* series : chart_->SeriesList())
        if (series->Active())
            active.push_back(series);
    const bool listSeries = style_ == lsSeries || (style_ == lsAuto && active.size() > 1);
    if (listSeries) {
        for (const TChartSeries* series : active)
            if (series->ShowInLegend() && int(items.size()) < limit)
                items.push_back({ series->Title(), series->SeriesColor(), series });
    } else if (!active.empty()) {
        const TChartSeries* series = active.front();
        const double* y = series->YValues().Data();
        for (int i = 0; i < series->PointCount() && i < limit; ++i)
            items.push_back({ FormatAxisValue(y[i], chart_->NumberSeparators()), series->PointColor(i), series });
    }
    return items;
}

int TChartLegend::RowHeight(const TTextMeasurer& measurer) const
{
    return measurer.Height(font_) + 1;
}

int TChartLegend::titleLineCount() const
{
    return titleText_.isEmpty() ? 0 : int(titleText_.count(QLatin1Char('\n'))) + 1;
}

QSize TChartLegend::SizeFor(const std::vector<Item>& items, int count, const TTextMeasurer& measurer) const
{
    int textWidth = 0;
    for (int i = 0; i < count && size_t(i) < items.size(); ++i)
        textWidth = std::max(textWidth, measurer.Width(font_, items[size_t(i)].text));
    int width = symbolWidth + symbolGap + textWidth;
    if (!titleText_.isEmpty())
        for (const QString& line : titleText_.split(QLatin1Char('\n')))
            width = std::max(width, measurer.Width(font_, line));
    return QSize(width + 2 * padding, (titleLineCount() + count) * RowHeight(measurer) + 2 * padding);
}

const TLegendLayout& TChartLegend::lastLayout() const
{
    if (!chart_) {
        static const TLegendLayout undrawn;
        return undrawn;
    }
    return chart_->LastLayout().legend;
}

QRect TChartLegend::Rect() const
{
    return lastLayout().rect;
}

int TChartLegend::ItemAt(int x, int y) const
{
    const TLegendLayout& layout = lastLayout();
    if (!layout.rect.contains(x, y))
        return -1;
    for (size_t i = 0; i < layout.itemRects.size(); ++i)
        if (layout.itemRects[i].contains(x, y))
            return int(i);
    return -1;
}

void TChartLegend::KeepAlignedPlace(const QPoint& place)
{
    left_ = place.x();
    top_ = place.y();
}

void TChartLegend::Draw(QPainter& painter, const TLegendLayout& layout) const
{
    const QRect& rect = layout.rect;
    const std::vector<QRect>& itemRects = layout.itemRects;
    const std::vector<Item>& items = layout.items;
    if (rect.isEmpty())
        return;
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.setFont(font_);
    const int row = RowHeight();
    int y = rect.y() + padding;
    if (!titleText_.isEmpty()) {
        for (const QString& line : titleText_.split(QLatin1Char('\n'))) {
            texts_.Draw(painter, QRect(rect.x() + padding, y, rect.width() - 2 * padding, row),
                Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, line);
            y += row;
        }
    }
    for (size_t i = 0; i < itemRects.size() && i < items.size(); ++i) {
        const QRect& itemRect = itemRects[i];
        const QRect symbol(itemRect.x() + padding, itemRect.y() + 2, symbolWidth, std::max(1, row - 4));
        if (items[i].series)
            items[i].series->DrawLegendSymbol(painter, symbol, items[i].color);
        painter.setPen(Qt::black);
        texts_.Draw(painter, QRect(symbol.right() + 1 + symbolGap, itemRect.y(), itemRect.width(), row),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, items[i].text);
    }
}
