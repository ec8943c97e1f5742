#include "graph/chart/TChart.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// Colours for series that join without one; the graph recolours them within the same tick.
constexpr TColor defaultColors[] = { 0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0x808080, 0xFF00FF, 0x808000, 0x800000,
    0x000080, 0x00FF00, 0x008080, 0x800080, 0xC0C0C0, 0xFFFF00 };
constexpr int legendGap = 5;

int marginPixels(int value, int extent, TMarginUnits units)
{
    if (units == muPixels)
        return value;
    return int(std::floor(double(extent) * value / 100.0));
}
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
    update();
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

bool TChart::axisShown(const TChartAxis& axis) const
{
    if (!axisVisible_ || !axis.Visible())
        return false;
    bool anyActive = false;
    for (const TChartSeries* series : seriesList_) {
        if (!series->Active())
            continue;
        anyActive = true;
        if (seriesOnAxis(*series, axis))
            return true;
    }
    return !anyActive;
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

void TChart::calcAxisRange(TChartAxis& axis) const
{
    double minimum = axis.automaticMinimum_ ? AxisMinValue(axis) : axis.minimum_;
    double maximum = axis.automaticMaximum_ ? AxisMaxValue(axis) : axis.maximum_;
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
        if (axis.automaticMaximum_)
            maximum = minimum + 1;
        else if (axis.automaticMinimum_)
            minimum = maximum - 1;
    }
    if (axis.automaticMinimum_)
        axis.minimum_ = minimum;
    if (axis.automaticMaximum_)
        axis.maximum_ = maximum;
    axis.scale_.minimum = minimum;
    axis.scale_.maximum = maximum;
    axis.scale_.inverted = axis.inverted_;
    axis.scale_.horizontal = axis.Horizontal();
}

void TChart::calcAxisLabels(TChartAxis& axis) const
{
    const TAxisScale& scale = axis.scale_;
    const QFontMetrics metrics(axis.labelsFont_);
    int labelSize;
    if (axis.Horizontal()) {
        std::vector<double> probes = { scale.minimum, scale.maximum, (scale.minimum + scale.maximum) / 2 };
        if (axis.increment_ > 0) {
            probes.push_back(scale.minimum + axis.increment_);
            probes.push_back(scale.maximum - axis.increment_);
        }
        labelSize = 0;
        for (double v : probes)
            labelSize = std::max(labelSize, metrics.horizontalAdvance(FormatAxisValue(v, separators_)));
    } else {
        labelSize = metrics.height();
    }
    int fewestPoints = INT_MAX;
    for (const TChartSeries* series : seriesList_)
        if (series->Active())
            fewestPoints = std::min(fewestPoints, series->PointCount());
    const double increment = axis.increment_ > 0 ? axis.increment_
                                                 : CalcLabelIncrement(scale.Range(), scale.Size(), labelSize,
                                                     axis.labelsSeparation_, fewestPoints, AxisValueResolution);
    axis.currentIncrement_ = increment;
    axis.labelValues_ = LabelValues(scale.minimum, scale.maximum, increment);
}

int TChart::measureLabels(const TChartAxis& axis) const
{
    const QFontMetrics metrics(axis.labelsFont_);
    if (axis.Horizontal())
        return metrics.height();
    int widest = 0;
    for (double v : axis.labelValues_)
        widest = std::max(widest, metrics.horizontalAdvance(FormatAxisValue(v, separators_)));
    return widest;
}

int TChart::measureTitle(const TChartAxis& axis) const
{
    const QFontMetrics metrics(axis.title_.Font());
    if (axis.title_.RunsAlongAxis(axis.Horizontal()))
        return metrics.height();
    return metrics.horizontalAdvance(axis.title_.Caption());
}

void TChart::buildStackCache() const
{
    StackCache& cache = stackCache_;
    cache.series.clear();
    cache.positiveBelow.clear();
    cache.negativeBelow.clear();
    cache.valid = false;
    if (seriesList_.Count() == 0)
        return;
    // The running sums equal the walk over earlier series only when every series stacks with
    // every other, which holds when they are all of one class.
    const QMetaObject* kind = seriesList_.items_.front()->metaObject();
    int longest = 0;
    for (const TChartSeries* series : seriesList_) {
        if (series->metaObject() != kind)
            return;
        longest = std::max(longest, series->PointCount());
    }
    std::vector<double> positive(size_t(longest), 0.0);
    std::vector<double> negative(size_t(longest), 0.0);
    int slot = 0;
    for (const TChartSeries* series : seriesList_) {
        const size_t count = size_t(series->PointCount());
        cache.series.push_back(series);
        cache.positiveBelow.emplace_back(positive.begin(), positive.begin() + long(count));
        cache.negativeBelow.emplace_back(negative.begin(), negative.begin() + long(count));
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
    cache.positiveTotal = std::move(positive);
    cache.negativeTotal = std::move(negative);
    cache.valid = true;
}

bool TChart::cachedStackSum(const TChartSeries& series, int index, bool includeSelf, double& sum) const
{
    const StackCache& cache = stackCache_;
    const int slot = series.cacheSlot_;
    if (!cache.valid || slot < 0 || size_t(slot) >= cache.series.size() || cache.series[size_t(slot)] != &series
        || index < 0 || index >= series.PointCount() || size_t(index) >= cache.positiveBelow[size_t(slot)].size())
        return false;
    const bool positive = series.YValues().Data()[index] >= 0;
    if (includeSelf)
        sum = positive ? cache.positiveTotal[size_t(index)] : cache.negativeTotal[size_t(index)];
    else
        sum = positive ? cache.positiveBelow[size_t(slot)][size_t(index)]
                       : cache.negativeBelow[size_t(slot)][size_t(index)];
    return true;
}

void TChart::paint(QPainter& painter, const QRect& rect)
{
    StackCacheScope scope(stackCache_.valid, [this] { buildStackCache(); });
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(rect, ToQColor(color_));

    const int width = std::max(0, rect.width());
    const int height = std::max(0, rect.height());
    int left = rect.x() + marginPixels(marginLeft_, width, marginUnits_);
    int top = rect.y() + marginPixels(marginTop_, height, marginUnits_);
    int right = rect.x() + width - marginPixels(marginRight_, width, marginUnits_);
    int bottom = rect.y() + height - marginPixels(marginBottom_, height, marginUnits_);

    auto titleHeight
        = [](const TChartTitle& title) { return int(title.text_.size()) * QFontMetrics(title.font_).height(); };
    for (TChartTitle* title : { &title_, &subTitle_ }) {
        title->rect_ = QRect();
        if (title->Shown()) {
            const int h = titleHeight(*title);
            title->rect_ = QRect(left, top, std::max(0, right - left), h);
            top += h;
        }
    }
    for (TChartTitle* title : { &subFoot_, &foot_ }) {
        title->rect_ = QRect();
        if (title->Shown()) {
            const int h = titleHeight(*title);
            bottom -= h;
            title->rect_ = QRect(left, bottom, std::max(0, right - left), h);
        }
    }

    legend_.rect_ = QRect();
    legend_.itemRects_.clear();
    std::vector<TChartLegend::Item> items;
    // A lone series of many points would list them all; no more rows than the chart is high.
    if (legend_.Visible())
        items = legend_.Items(height / std::max(1, legend_.RowHeight()) + 1);
    if (!items.empty()) {
        const int row = legend_.RowHeight();
        const QSize full = legend_.SizeFor(items, int(items.size()));
        QPoint origin;
        if (legend_.CustomPosition()) {
            origin = QPoint(rect.x() + legend_.left_, rect.y() + legend_.top_);
        } else {
            switch (legend_.Alignment()) {
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
        const int fixedHeight = legend_.SizeFor(items, 0).height();
        const int room = rect.y() + height - origin.y() - fixedHeight;
        const int count = std::min(int(items.size()), room > 0 ? room / row : 0);
        if (count > 0) {
            const QSize size = legend_.SizeFor(items, count);
            if (!legend_.CustomPosition() && legend_.Alignment() == laBottom)
                origin.setY(bottom - size.height());
            legend_.rect_ = QRect(origin, size);
            int y = origin.y() + fixedHeight - 4;
            for (int i = 0; i < count; ++i, y += row)
                legend_.itemRects_.push_back(QRect(origin.x(), y, size.width(), row));
            if (!legend_.CustomPosition()) {
                // Reading Left and Top tells where the legend is; a later custom position
                // starts from there.
                legend_.left_ = origin.x() - rect.x();
                legend_.top_ = origin.y() - rect.y();
                if (legend_.ResizeChart()) {
                    switch (legend_.Alignment()) {
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

    TChartAxis* const axes[] = { &leftAxis_, &topAxis_, &rightAxis_, &bottomAxis_ };
    for (TChartAxis* axis : axes) {
        axis->drawn_ = axisShown(*axis);
        axis->labelsRoom_ = axis->titleRoom_ = axis->measuredLabels_ = 0;
        calcAxisRange(*axis);
    }
    auto takeRoom = [this](TChartAxis& axis) {
        if (!axis.drawn_)
            return 0;
        const int title = axis.title_.TitleSize() != 0 ? axis.title_.TitleSize() : measureTitle(axis);
        axis.measuredLabels_ = measureLabels(axis);
        const int labels = axis.LabelsRoomFor(axis.measuredLabels_);
        axis.labelsRoom_ = axis.labels_ ? labels : 0;
        axis.titleRoom_ = axis.title_.Visible() && !axis.title_.Caption().isEmpty() ? title : 0;
        return axis.RoomSize(axis.measuredLabels_, title);
    };
    top += takeRoom(topAxis_);
    bottom -= takeRoom(bottomAxis_);
    bottom = std::max(bottom, top);
    for (TChartAxis* axis : { &leftAxis_, &rightAxis_ }) {
        axis->scale_.startPos = top;
        axis->scale_.endPos = bottom;
        calcAxisLabels(*axis);
    }
    left += takeRoom(leftAxis_);
    right -= takeRoom(rightAxis_);
    right = std::max(right, left);
    plotRect_ = QRect(left, top, right - left, bottom - top);
    for (TChartAxis* axis : { &topAxis_, &bottomAxis_ }) {
        axis->scale_.startPos = left;
        axis->scale_.endPos = right;
        calcAxisLabels(*axis);
    }

    anyActiveAtDrawing_ = false;
    for (TChartSeries* series : seriesList_) {
        series->calcVisibleRange();
        anyActiveAtDrawing_ = anyActiveAtDrawing_ || series->Active();
    }

    painter.fillRect(plotRect_, ToQColor(backWallColor_));
    auto drawAxes = [&] {
        for (TChartAxis* axis : axes) {
            if (axis->drawn_)
                axis->draw(painter, plotRect_, rect, separators_);
            else
                axis->lineRect_ = QRect();
        }
    };
    if (axisBehind_)
        drawAxes();
    painter.save();
    if (clipPoints_)
        painter.setClipRect(QRect(left, top, right - left, bottom - top + 1), Qt::IntersectClip);
    for (const TChartSeries* series : seriesList_)
        if (series->Active())
            series->Draw(painter);
    painter.restore();
    if (!axisBehind_)
        drawAxes();

    painter.setPen(Qt::black);
    for (const TChartTitle* title : { &title_, &subTitle_, &foot_, &subFoot_ }) {
        if (title->rect_.isNull())
            continue;
        painter.setFont(title->font_);
        painter.drawText(
            title->rect_, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, title->text_.join(QLatin1Char('\n')));
    }
    legend_.draw(painter, items);
    painter.restore();
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
        if (title->rect_.contains(x, y)) {
            part.Part = style;
            return part;
        }
    }
    if (anyActive && x >= plotRect_.x() && x <= plotRect_.x() + plotRect_.width() && y >= plotRect_.y()
        && y <= plotRect_.y() + plotRect_.height())
        part.Part = cpChartRect;
    return part;
}

void TChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect());
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
