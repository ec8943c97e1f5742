#include "chart/AreaSeries.h"

#include "chart/ChartGeometry.h"
#include "chart/TChart.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>

TCustomSeries::TCustomSeries(QObject* owner)
    : TChartSeries(owner)
{
    linePen_.SetOnChange([this] { repaint(); });
    areaLinesPen_.SetOnChange([this] { repaint(); });
}

void TCustomSeries::SetDrawArea(bool drawArea)
{
    if (drawArea_ == drawArea)
        return;
    drawArea_ = drawArea;
    repaint();
}

void TCustomSeries::SetAreaColor(TColor color)
{
    if (areaColor_ == color)
        return;
    areaColor_ = color;
    repaint();
}

double TCustomSeries::StackBase(int index) const
{
    return stackSum(index, false);
}

double TCustomSeries::StackTotal(int index) const
{
    return stackSum(index, true);
}

double TCustomSeries::stackSum(int index, bool includeSelf) const
{
    TChart* chart = ParentChart();
    if (!chart || index < 0 || index >= PointCount())
        return 0;
    double sum = 0;
    if (chart->cachedStackSum(*this, index, includeSelf, sum))
        return sum;
    const double v = YValues().Data()[index];
    for (const TChartSeries* other : chart->SeriesList()) {
        if (other == this && !includeSelf)
            break;
        if (!other->Active() || other->PointCount() <= index || !SameKind(*other))
            continue;
        const double w = other->YValues().Data()[index];
        if ((v >= 0 && w > 0) || (v < 0 && w < 0))
            sum += w;
    }
    return sum;
}

double TCustomSeries::stackBase(int index, const TStackFloors* floors) const
{
    if (floors && index >= 0 && index < floors->Count)
        return YValues().Data()[index] >= 0 ? floors->Positive[index] : floors->Negative[index];
    return StackBase(index);
}

bool TCustomSeries::stackFloors(TStackFloors& floors) const
{
    const TChart* chart = ParentChart();
    return chart && chart->cachedStackFloors(*this, floors);
}

TCustomSeries::PointPos TCustomSeries::pointPos(int index) const
{
    return pointPos(index, GetHorizAxis()->Scale(), GetVertAxis()->Scale());
}

TCustomSeries::PointPos TCustomSeries::pointPos(
    int index, const TAxisScale& horizontal, const TAxisScale& vertical, const TStackFloors* floors) const
{
    PointPos pos;
    pos.x = horizontal.CalcPosValue(XValues().Data()[index]);
    const double y = YValues().Data()[index];
    switch (stacked_) {
    case cssNone:
        pos.top = vertical.CalcPosValue(y);
        pos.floor = vertical.inverted ? vertical.startPos : vertical.endPos;
        break;
    case cssStack: {
        const double base = stackBase(index, floors);
        pos.top = clampedPos(vertical, base + y);
        pos.floor = clampedPos(vertical, base);
        break;
    }
    case cssStack100: {
        const double total = StackTotal(index);
        if (total != 0) {
            const double base = stackBase(index, floors);
            pos.top = clampedPos(vertical, (base + y) * 100 / total);
            pos.floor = clampedPos(vertical, base * 100 / total);
        } else {
            pos.top = pos.floor = vertical.endPos;
        }
        break;
    }
    }
    return pos;
}

int TCustomSeries::CalcXPos(int index) const
{
    if (!ParentChart() || index < 0 || index >= PointCount())
        return 0;
    return GetHorizAxis()->Scale().CalcPosValue(XValues().Data()[index]);
}

int TCustomSeries::CalcTopPos(int index) const
{
    if (!ParentChart() || index < 0 || index >= PointCount())
        return 0;
    return pointPos(index).top;
}

int TCustomSeries::CalcFloorPos(int index) const
{
    if (!ParentChart() || index < 0 || index >= PointCount())
        return 0;
    return pointPos(index).floor;
}

double TCustomSeries::stackedExtreme(double result, bool largest) const
{
    const double* y = YValues().Data();
    const int count = PointCount();
    TStackFloors floors;
    const TStackFloors* kept = stackFloors(floors) ? &floors : nullptr;
    if (kept && count <= kept->Count) {
        // The floors of every point are kept: the same sums without a call per point, as every
        // drawing and every poll's layout asks each series for both ends of its stack.
        for (int i = 0; i < count; ++i) {
            const double top = (y[i] >= 0 ? kept->Positive[i] : kept->Negative[i]) + y[i];
            result = largest ? std::max(result, top) : std::min(result, top);
        }
        return result;
    }
    for (int i = 0; i < count; ++i)
        result = largest ? std::max(result, stackBase(i, kept) + y[i]) : std::min(result, stackBase(i, kept) + y[i]);
    return result;
}

double TCustomSeries::SeriesMaxValue() const
{
    if (stacked_ == cssStack100)
        return 100;
    double result = YValues().MaxValue();
    if (stacked_ == cssStack)
        result = stackedExtreme(result, true);
    return result;
}

double TCustomSeries::SeriesMinValue() const
{
    if (stacked_ == cssStack100)
        return 0;
    double result = YValues().MinValue();
    if (stacked_ == cssStack)
        result = stackedExtreme(result, false);
    return result;
}

int TCustomSeries::SeriesPointAt(int px, int py) const
{
    if (!ParentChart() || FirstValueIndex() < 0 || LastValueIndex() < 0)
        return -1;
    const int first = clickableLine_ ? std::max(FirstValueIndex() - 1, 0) : FirstValueIndex();
    const int last = std::min(LastValueIndex(), PointCount() - 1);
    const QPoint p(px, py);
    const TAxisScale& horizontal = GetHorizAxis()->Scale();
    const TAxisScale& vertical = GetVertAxis()->Scale();
    PointPos previous {};
    for (int b = first; b <= last; ++b) {
        const PointPos pos = pointPos(b, horizontal, vertical);
        if (pos.x == px && pos.top == py)
            return b;
        if (b > first) {
            const QPoint a(previous.x, previous.top);
            const QPoint c(pos.x, pos.top);
            if (DistanceToSegment(p, a, c) <= 1)
                return b - 1;
            if (drawArea_) {
                const QPoint quad[4] = { a, c, QPoint(pos.x, pos.floor), QPoint(previous.x, previous.floor) };
                if (PointInPolygon(p, quad, 4))
                    return b - 1;
            }
        }
        previous = pos;
    }
    return -1;
}

void TCustomSeries::Draw(QPainter& painter) const
{
    const int first = FirstValueIndex();
    const int last = LastValueIndex();
    if (!ParentChart() || first < 0 || last < first)
        return;
    // The area reaches the plot's left edge from the point before the first one in view.
    const int start = (first > 0 && drawArea_) ? first - 1 : first;
    const TAxisScale& horizontal = GetHorizAxis()->Scale();
    const TAxisScale& vertical = GetVertAxis()->Scale();
    std::vector<PointPos> pos;
    pos.reserve(size_t(last - start + 1));
    TStackFloors floors;
    const TStackFloors* kept = stackFloors(floors) ? &floors : nullptr;
    if (stacked_ == cssStack && kept && last < kept->Count) {
        // What pointPos does for a stacked point with its floor kept, in one loop: a chart maps
        // every point of every series at every drawing.
        const double* xs = XValues().Data();
        const double* ys = YValues().Data();
        for (int i = start; i <= last; ++i) {
            const double base = ys[i] >= 0 ? kept->Positive[i] : kept->Negative[i];
            pos.push_back(
                { horizontal.CalcPosValue(xs[i]), clampedPos(vertical, base + ys[i]), clampedPos(vertical, base) });
        }
    } else {
        for (int i = start; i <= last; ++i)
            pos.push_back(pointPos(i, horizontal, vertical, kept));
    }
    drawPieces(painter, pos, start);
}

// How many pieces from first a run takes: as many as the top and floor lines go with no more than
// `turns` changes of direction between them, so that no scan line meets many of the run's edges,
// and none from a flat piece on.
int TCustomSeries::runLength(const std::vector<PointPos>& pos, int first, int turns)
{
    const int n = int(pos.size());
    int topDirection = 0, floorDirection = 0, seen = 0;
    int k = first + 1;
    for (; k < n; ++k) {
        const PointPos& a = pos[size_t(k - 1)];
        const PointPos& b = pos[size_t(k)];
        if (flatPiece(a, b))
            break;
        const int top = (b.top > a.top) - (b.top < a.top);
        const int floor = (b.floor > a.floor) - (b.floor < a.floor);
        if (top != 0 && topDirection != 0 && top != topDirection)
            ++seen;
        if (floor != 0 && floorDirection != 0 && floor != floorDirection)
            ++seen;
        if (seen > turns)
            break;
        if (top != 0)
            topDirection = top;
        if (floor != 0)
            floorDirection = floor;
    }
    return std::max(k - first - 1, 1);
}

void TCustomSeries::drawPieces(QPainter& painter, const std::vector<PointPos>& pos, int firstIndex) const
{
    const int n = int(pos.size());
    bool increasing = true;
    bool decreasing = true;
    for (int k = 1; k < n; ++k) {
        increasing = increasing && pos[size_t(k)].x >= pos[size_t(k - 1)].x;
        decreasing = decreasing && pos[size_t(k)].x <= pos[size_t(k - 1)].x;
    }

    painter.setPen(Qt::NoPen);
    if (drawArea_ && n > 1 && (increasing || decreasing) && (areaColor_ != clDefault || !HasPointColors())
        && !areaLinesPen_.Visible()) {
        // One colour and pieces side by side: runs of pieces are polygons between the top line and
        // the floor line, which fill the same pixels far faster than the pieces one by one. Not
        // one polygon for the whole band: the rasterizer keeps each scan line's cells in a list
        // it walks for every new cell, so a jagged band as wide as the plot costs the square of
        // its turns. A run ends after four turns of its lines, which keeps a jagged band's scan
        // lines to few edges and lets a smooth band go in few runs. Cut at the points' columns,
        // which lie on pixel boundaries, the runs fill exactly the pixels the whole band does.
        constexpr int MaxTurnsPerRun = 4;
        painter.setBrush(ToQColor(areaColor_ != clDefault ? areaColor_ : SeriesColor()));
        // A flat piece covers no pixel, yet its edges would still be walked over every scan line
        // the floor below it crosses: it is left out, so a host with no traffic in view costs
        // nothing. Runs end before one, a cut that changes no pixel either.
        QPolygon run;
        for (int first = 0; first < n - 1;) {
            if (flatPiece(pos[size_t(first)], pos[size_t(first + 1)])) {
                ++first;
                continue;
            }
            const int m = runLength(pos, first, MaxTurnsPerRun) + 1;
            run.resize(2 * m);
            for (int k = 0; k < m; ++k) {
                const PointPos& point = pos[size_t(first + k)];
                run.setPoint(k, point.x, point.top);
                run.setPoint(2 * m - 1 - k, point.x, point.floor);
            }
            painter.drawPolygon(run, Qt::OddEvenFill);
            first += m - 1;
        }
    } else if (drawArea_) {
        QPen outline
            = areaLinesPen_.Visible() ? QPen(ToQColor(areaLinesPen_.Color()), areaLinesPen_.Width()) : QPen(Qt::NoPen);
        for (int k = 1; k < n; ++k) {
            const PointPos& a = pos[size_t(k - 1)];
            const PointPos& b = pos[size_t(k)];
            if (a.x == b.x && a.top == b.top)
                continue;
            const TColor color = areaColor_ != clDefault ? areaColor_ : PointColor(firstIndex + k);
            painter.setBrush(ToQColor(color));
            painter.setPen(outline);
            const QPoint quad[4]
                = { QPoint(a.x, a.floor), QPoint(a.x, a.top), QPoint(b.x, b.top), QPoint(b.x, b.floor) };
            painter.drawPolygon(quad, 4, Qt::OddEvenFill);
        }
    }

    if (linePen_.Visible()) {
        painter.setPen(QPen(ToQColor(linePen_.Color()), linePen_.Width()));
        for (int k = 1; k < n; ++k) {
            const PointPos& a = pos[size_t(k - 1)];
            const PointPos& b = pos[size_t(k)];
            if (a.x != b.x || a.top != b.top)
                painter.drawLine(a.x, a.top, b.x, b.top);
        }
    }
}

TAreaSeries::TAreaSeries(QObject* owner)
    : TCustomSeries(owner)
{
    SetDrawArea(true);
}

TAreaSeries::TMultiArea TAreaSeries::MultiArea() const
{
    switch (Stacked()) {
    case cssStack:
        return maStacked;
    case cssStack100:
        return maStacked100;
    case cssNone:
        break;
    }
    return maNone;
}

void TAreaSeries::SetMultiArea(TMultiArea multiArea)
{
    if (multiArea == MultiArea())
        return;
    const TCustomSeriesStack stacked
        = multiArea == maStacked ? cssStack : (multiArea == maStacked100 ? cssStack100 : cssNone);
    setStackedOnly(stacked);
    if (TChart* chart = ParentChart()) {
        for (TChartSeries* other : chart->SeriesList()) {
            auto* custom = qobject_cast<TCustomSeries*>(other);
            if (custom && custom != this && SameKind(*other))
                custom->setStackedOnly(stacked);
        }
    }
    repaint();
}
