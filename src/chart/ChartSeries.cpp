#include "chart/ChartSeries.h"

#include "chart/TChart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

TChartSeries::TChartSeries(QObject* owner)
    : QObject(owner)
{
}

TChartSeries::~TChartSeries()
{
    if (chart_) {
        chart_->seriesList_.remove(this);
        chart_->Invalidate();
    }
}

int TChartSeries::AddPoint(double x, double y, const QString& label, TColor color)
{
    const int count = PointCount();
    int index = count;
    if (xValues_.Order() == loAscending && count > 0 && !(x >= xValues_.values_.back())) {
        // After the last point whose X is not above x. In rising values that is where the points
        // above x begin; a history replay pads young series from the right, one point at the front
        // at a time.
        const std::vector<double>& values = xValues_.values_;
        if (xValues_.rising_) {
            index = int(std::upper_bound(values.begin(), values.end(), x) - values.begin());
        } else {
            int i = count - 1;
            while (i >= 0 && values[size_t(i)] > x)
                --i;
            index = i + 1;
        }
    }
    xValues_.Insert(index, x);
    yValues_.Insert(index, y);
    if (!colors_.empty() || color != clDefault) {
        colors_.resize(size_t(count), clDefault);
        colors_.insert(colors_.begin() + index, color);
    }
    if (!labels_.empty() || !label.isEmpty()) {
        labels_.resize(size_t(count));
        labels_.insert(labels_.begin() + index, label);
    }
    if (active_)
        repaint();
    return index;
}

void TChartSeries::AddPoints(const std::vector<double>& xs, double y)
{
    if (xs.empty())
        return;
    const std::vector<double>& values = xValues_.values_;
    bool front = xValues_.Order() == loAscending && xValues_.rising_ && !std::isnan(y)
        && (values.empty() || xs.front() < values.front());
    for (size_t i = 0; front && i < xs.size(); ++i)
        front = !std::isnan(xs[i]) && (i == 0 || xs[i] <= xs[i - 1]);
    if (!front) {
        for (double x : xs)
            AddPoint(x, y);
        return;
    }
    // One at a time, each would land before all the others; together they are the given X values
    // reversed, in front of the old points.
    const size_t count = values.size();
    xValues_.InsertFront(xs.rbegin(), xs.rend());
    yValues_.InsertFront(xs.size(), y);
    if (!colors_.empty()) {
        colors_.resize(count, clDefault);
        colors_.insert(colors_.begin(), xs.size(), clDefault);
    }
    if (!labels_.empty()) {
        labels_.resize(count);
        labels_.insert(labels_.begin(), xs.size(), QString());
    }
    if (active_)
        repaint();
}

void TChartSeries::DeletePoint(int index)
{
    const int count = PointCount();
    if (index < 0 || index >= count)
        throw EChartError(ChartErrorText("Series Delete: ValueIndex %d out of bounds (0 to %d).", index, count - 1));
    xValues_.Delete(index);
    yValues_.Delete(index);
    if (size_t(index) < colors_.size())
        colors_.erase(colors_.begin() + index);
    if (size_t(index) < labels_.size())
        labels_.erase(labels_.begin() + index);
    if (active_)
        repaint();
}

void TChartSeries::Clear()
{
    xValues_.Clear();
    yValues_.Clear();
    colors_.clear();
    labels_.clear();
    repaint();
}

TColor TChartSeries::PointColor(int index) const
{
    if (index >= 0 && size_t(index) < colors_.size() && colors_[size_t(index)] != clDefault)
        return colors_[size_t(index)];
    return color_;
}

QString TChartSeries::PointLabel(int index) const
{
    if (index >= 0 && size_t(index) < labels_.size())
        return labels_[size_t(index)];
    return QString();
}

void TChartSeries::SetParentChart(TChart* chart)
{
    if (chart_ == chart)
        return;
    if (chart_) {
        chart_->seriesList_.remove(this);
        chart_->Invalidate();
        chart_ = nullptr;
    }
    if (!chart)
        return;
    chart_ = chart;
    if (chart->seriesList_.IndexOf(this) < 0)
        chart->seriesList_.append(this);
    if (color_ == clDefault)
        color_ = chart->defaultSeriesColor(chart->seriesList_.IndexOf(this));
    chart->Invalidate();
}

void TChartSeries::SetTitle(const QString& title)
{
    if (title_ == title)
        return;
    title_ = title;
    repaint();
}

void TChartSeries::SetSeriesColor(TColor color)
{
    if (color_ == color)
        return;
    color_ = color;
    repaint();
}

void TChartSeries::SetActive(bool active)
{
    if (active_ == active)
        return;
    active_ = active;
    repaint();
}

void TChartSeries::SetShowInLegend(bool show)
{
    if (showInLegend_ == show)
        return;
    showInLegend_ = show;
    repaint();
}

void TChartSeries::SetVertAxis(TVertAxis axis)
{
    if (vertAxis_ == axis)
        return;
    vertAxis_ = axis;
    repaint();
}

void TChartSeries::SetHorizAxis(THorizAxis axis)
{
    if (horizAxis_ == axis)
        return;
    horizAxis_ = axis;
    repaint();
}

const TChartAxis* TChartSeries::GetVertAxis() const
{
    if (!chart_)
        return nullptr;
    return vertAxis_ == aLeftAxis ? &chart_->LeftAxis() : &chart_->RightAxis();
}

const TChartAxis* TChartSeries::GetHorizAxis() const
{
    if (!chart_)
        return nullptr;
    return horizAxis_ == aBottomAxis ? &chart_->BottomAxis() : &chart_->TopAxis();
}

int TChartSeries::SeriesPointAt(int, int) const
{
    return -1;
}

bool TChartSeries::SameKind(const TChartSeries& other) const
{
    return metaObject()->inherits(other.metaObject()) || other.metaObject()->inherits(metaObject());
}

void TChartSeries::Draw(QPainter&) const
{
}

void TChartSeries::DrawLegendSymbol(QPainter& painter, const QRect& rect, TColor color) const
{
    painter.fillRect(rect, ToQColor(color));
}

void TChartSeries::repaint() const
{
    if (chart_)
        chart_->Invalidate();
}

void TChartSeries::calcVisibleRange()
{
    firstVisible_ = lastVisible_ = -1;
    const int count = PointCount();
    const TChartAxis* axis = GetHorizAxis();
    if (count == 0 || !axis)
        return;
    if (xValues_.Order() != loAscending) {
        firstVisible_ = 0;
        lastVisible_ = count - 1;
        return;
    }
    const TAxisScale& scale = axis->Scale();
    const double* begin = xValues_.Data();
    const double* end = begin + count;
    int first = int(std::lower_bound(begin, end, scale.minimum) - begin);
    int last = int(std::upper_bound(begin, end, scale.maximum) - begin) - 1;
    if (first < count && last >= 0 && first <= last) {
        firstVisible_ = first;
        lastVisible_ = last;
    }
}
