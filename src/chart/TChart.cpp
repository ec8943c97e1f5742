#include "chart/TChart.h"

#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {
// Colours for series that join without one; the graph recolours them within the same tick.
constexpr TColor defaultColors[] = { 0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0x808080, 0xFF00FF, 0x808000, 0x800000,
    0x000080, 0x00FF00, 0x008080, 0x800080, 0xC0C0C0, 0xFFFF00 };
} // namespace

// Builds the stack cache for the time of one drawing or query unless one is already in place.
class StackCacheScope {
public:
    template <typename Build>
    StackCacheScope(bool& valid, Build build)
        : valid_(valid)
        , owner_(!valid)
    {
        if (owner_)
            build();
    }
    ~StackCacheScope()
    {
        if (owner_)
            valid_ = false;
    }

private:
    bool& valid_;
    bool owner_;
};

TChart::TChart(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    // Every paint fills the chart's whole area first, so what lies under it need not be painted
    // each time a point arrives.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TChart::~TChart()
{
    // The series die after this body, as children of the chart; they must not reach back into it.
    for (TChartSeries* series : seriesList_.items_)
        series->chart_ = nullptr;
    seriesList_.items_.clear();
}

void TChart::SetNumberSeparators(const TNumberSeparators& separators)
{
    if (separators.thousands == separators_.thousands && separators.decimal == separators_.decimal)
        return;
    separators_ = separators;
    Invalidate();
}

void TChart::SetHint(const QString& hint)
{
    if (hint_ == hint)
        return;
    hint_ = hint;
    updateToolTip();
}

void TChart::SetShowHint(bool show)
{
    if (showHint_ == show)
        return;
    showHint_ = show;
    updateToolTip();
}

void TChart::updateToolTip()
{
    setToolTip(showHint_ ? hint_ : QString());
}

void TChart::Invalidate()
{
    ++repaintRequests_;
    // One update of the whole chart is on its way until the next paint; asking again for every
    // point a history replay adds only costs the window system's bookkeeping.
    if (updatePending_)
        return;
    update();
    updatePending_ = isVisible() && updatesEnabled();
}

TColor TChart::defaultSeriesColor(int index) const
{
    constexpr int count = int(sizeof defaultColors / sizeof defaultColors[0]);
    return defaultColors[(index < 0 ? 0 : index) % count];
}

bool TChart::seriesOnAxis(const TChartSeries& series, const TChartAxis& axis) const
{
    return axis.Horizontal() ? series.GetHorizAxis() == &axis : series.GetVertAxis() == &axis;
}

double TChart::AxisMaxValue(const TChartAxis& axis) const
{
    return axisExtreme(axis, true);
}

double TChart::AxisMinValue(const TChartAxis& axis) const
{
    return axisExtreme(axis, false);
}

double TChart::axisExtreme(const TChartAxis& axis, bool largest) const
{
    StackCacheScope scope(stackCache_.valid, [this] { buildStackCache(); });
    bool found = false;
    double result = 0;
    for (const TChartSeries* series : seriesList_) {
        if (!series->Active() || series->PointCount() == 0 || !seriesOnAxis(*series, axis))
            continue;
        double v;
        if (axis.Horizontal())
            v = largest ? series->MaxXValue() : series->MinXValue();
        else
            v = largest ? series->SeriesMaxValue() : series->SeriesMinValue();
        if (std::isnan(v))
            continue;
        result = found ? (largest ? std::max(result, v) : std::min(result, v)) : v;
        found = true;
    }
    return result;
}

void TChart::buildStackCache() const
{
    StackCache& cache = stackCache_;
    cache.series.clear();
    cache.counts.clear();
    cache.valid = false;
    if (seriesList_.Count() == 0)
        return;
    // The running sums equal the walk over earlier series only when every series stacks with
    // every other, which holds when they are all of one class.
    const QMetaObject* kind = seriesList_.items_.front()->metaObject();
    size_t longest = 0;
    for (const TChartSeries* series : seriesList_) {
        if (series->metaObject() != kind)
            return;
        longest = std::max(longest, size_t(series->PointCount()));
    }
    const size_t floorCount = size_t(seriesList_.Count()) * longest;
    // The store keeps its room for the next drawing, but not the room of a far larger chart
    // drawn long ago.
    if (cache.positiveBelow.capacity() > 4 * floorCount + 4096) {
        std::vector<double>().swap(cache.positiveBelow);
        std::vector<double>().swap(cache.negativeBelow);
    }
    cache.stride = longest;
    cache.positiveBelow.resize(floorCount);
    cache.negativeBelow.resize(floorCount);
    cache.positiveTotal.assign(longest, 0.0);
    cache.negativeTotal.assign(longest, 0.0);
    double* positive = cache.positiveTotal.data();
    double* negative = cache.negativeTotal.data();
    int slot = 0;
    for (const TChartSeries* series : seriesList_) {
        const size_t count = size_t(series->PointCount());
        const size_t at = size_t(slot) * longest;
        std::copy(positive, positive + count, cache.positiveBelow.begin() + long(at));
        std::copy(negative, negative + count, cache.negativeBelow.begin() + long(at));
        cache.series.push_back(series);
        cache.counts.push_back(count);
        series->cacheSlot_ = slot++;
        if (!series->Active())
            continue;
        const double* y = series->YValues().Data();
        for (size_t i = 0; i < count; ++i) {
            if (y[i] > 0)
                positive[i] += y[i];
            else if (y[i] < 0)
                negative[i] += y[i];
        }
    }
    cache.valid = true;
}

bool TChart::cachedStackSum(const TChartSeries& series, int index, bool includeSelf, double& sum) const
{
    const StackCache& cache = stackCache_;
    const int slot = series.cacheSlot_;
    if (!cache.valid || slot < 0 || size_t(slot) >= cache.series.size() || cache.series[size_t(slot)] != &series
        || index < 0 || index >= series.PointCount() || size_t(index) >= cache.counts[size_t(slot)])
        return false;
    const bool positive = series.YValues().Data()[index] >= 0;
    const size_t at = size_t(slot) * cache.stride + size_t(index);
    if (includeSelf)
        sum = positive ? cache.positiveTotal[size_t(index)] : cache.negativeTotal[size_t(index)];
    else
        sum = positive ? cache.positiveBelow[at] : cache.negativeBelow[at];
    return true;
}

bool TChart::cachedStackFloors(const TChartSeries& series, TStackFloors& floors) const
{
    const StackCache& cache = stackCache_;
    const int slot = series.cacheSlot_;
    if (!cache.valid || slot < 0 || size_t(slot) >= cache.series.size() || cache.series[size_t(slot)] != &series)
        return false;
    const size_t at = size_t(slot) * cache.stride;
    floors = { cache.positiveBelow.data() + at, cache.negativeBelow.data() + at,
        int(std::min(cache.counts[size_t(slot)], size_t(series.PointCount()))) };
    return true;
}

void TChart::paint(QPainter& painter, const QRect& rect)
{
    StackCacheScope scope(stackCache_.valid, [this] { buildStackCache(); });
    lastLayout_ = LayoutChart(*this, rect, measurer_);
    keepDrawnProperties();
    // Series find their points in view from the axes of this drawing.
    for (TChartSeries* series : seriesList_)
        series->calcVisibleRange();
    draw(painter, lastLayout_);
}

void TChart::keepDrawnProperties()
{
    for (TChartAxis* axis : { &leftAxis_, &topAxis_, &rightAxis_, &bottomAxis_ })
        axis->KeepAutomaticLimits(lastLayout_.axes[axis->Side()].scale);
    // Reading Left and Top tells where the legend is; a later custom position starts from there.
    if (lastLayout_.legend.alignedAt)
        legend_.KeepAlignedPlace(*lastLayout_.legend.alignedAt);
}

void TChart::draw(QPainter& painter, const TChartLayout& layout)
{
    const QRect& rect = layout.bounds;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Both colours are opaque, so the panel's colour goes only where the back wall does not: the
    // plot is most of the chart, and filling it twice was much of a chart's drawing.
    const QColor panel = ToQColor(color_);
    for (const QRect& part : QRegion(rect).subtracted(layout.plotRect))
        painter.fillRect(part, panel);
    painter.fillRect(layout.plotRect, ToQColor(backWallColor_));
    auto drawAxes = [&] {
        for (const TChartAxis* axis : { &leftAxis_, &topAxis_, &rightAxis_, &bottomAxis_ }) {
            const TAxisLayout& placed = layout.axes[axis->Side()];
            if (placed.drawn)
                axis->Draw(painter, placed, layout.plotRect, rect, separators_);
        }
    };
    if (axisBehind_)
        drawAxes();
    painter.save();
    if (clipPoints_)
        painter.setClipRect(layout.seriesClip, Qt::IntersectClip);
    for (const TChartSeries* series : seriesList_)
        if (series->Active())
            series->Draw(painter);
    painter.restore();
    if (!axisBehind_)
        drawAxes();

    painter.setPen(Qt::black);
    for (TTitlePlace place : { tpTitle, tpSubTitle, tpFoot, tpSubFoot }) {
        const QRect& titleRect = layout.titles[place];
        if (titleRect.isNull())
            continue;
        const TChartTitle& title = TitleAt(place);
        painter.setFont(title.Font());
        painter.drawText(
            titleRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, title.Text().join(QLatin1Char('\n')));
    }
    legend_.Draw(painter, layout.legend);
    painter.restore();
}

const TChartAxis& TChart::AxisAt(TAxisSide side) const
{
    switch (side) {
    case asLeft:
        return leftAxis_;
    case asTop:
        return topAxis_;
    case asRight:
        return rightAxis_;
    case asBottom:
        break;
    }
    return bottomAxis_;
}

const TChartTitle& TChart::TitleAt(TTitlePlace place) const
{
    switch (place) {
    case tpTitle:
        return title_;
    case tpSubTitle:
        return subTitle_;
    case tpFoot:
        return foot_;
    case tpSubFoot:
        break;
    }
    return subFoot_;
}

TChartClickedPart TChart::PartAtPoint(int x, int y) const
{
    StackCacheScope scope(stackCache_.valid, [this] { buildStackCache(); });
    TChartClickedPart part;
    if (legend_.Visible() && legend_.CustomPosition()) {
        const int item = legend_.ItemAt(x, y);
        if (item >= 0) {
            part.Part = cpLegend;
            part.PointIndex = item;
            return part;
        }
    }
    bool anyActive = false;
    for (int i = seriesList_.Count() - 1; i >= 0; --i) {
        TChartSeries* series = seriesList_.items_[size_t(i)];
        if (!series->Active())
            continue;
        anyActive = true;
        const int point = series->SeriesPointAt(x, y);
        if (point >= 0) {
            part.Part = cpSeries;
            part.PointIndex = point;
            part.Series = series;
            return part;
        }
    }
    for (const TChartAxis* axis : { &leftAxis_, &topAxis_, &rightAxis_, &bottomAxis_ }) {
        if (axis->Clicked(x, y)) {
            part.Part = cpAxis;
            part.Axis = const_cast<TChartAxis*>(axis);
            return part;
        }
    }
    if (legend_.Visible() && !legend_.CustomPosition()) {
        const int item = legend_.ItemAt(x, y);
        if (item >= 0) {
            part.Part = cpLegend;
            part.PointIndex = item;
            return part;
        }
    }
    const std::pair<const TChartTitle*, TChartClickedPartStyle> titles[]
        = { { &title_, cpTitle }, { &subTitle_, cpSubTitle }, { &foot_, cpFoot }, { &subFoot_, cpSubFoot } };
    for (const auto& [title, style] : titles) {
        if (title->Rect().contains(x, y)) {
            part.Part = style;
            return part;
        }
    }
    const QRect& plot = lastLayout_.plotRect;
    if (anyActive && x >= plot.x() && x <= plot.x() + plot.width() && y >= plot.y() && y <= plot.y() + plot.height())
        part.Part = cpChartRect;
    return part;
}

void TChart::paintEvent(QPaintEvent*)
{
    updatePending_ = false;
    QPainter painter(this);
    paint(painter, rect());
}

void TChart::hideEvent(QHideEvent* event)
{
    // A hidden widget's pending update is dropped.
    updatePending_ = false;
    QWidget::hideEvent(event);
}

void TChart::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit MouseMoved(event->modifiers(), p.x(), p.y());
    QWidget::mouseMoveEvent(event);
}

void TChart::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const TChartClickedPart part = PartAtPoint(p.x(), p.y());
    if (part.Part == cpSeries && part.Series)
        emit ClickSeries(part.Series, part.PointIndex);
    QWidget::mousePressEvent(event);
}
