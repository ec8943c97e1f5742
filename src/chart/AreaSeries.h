#pragma once

#include "chart/AxisScale.h"
#include "chart/ChartSeries.h"

#include <QPoint>

#include <algorithm>
#include <vector>

enum TCustomSeriesStack { cssNone, cssStack, cssStack100 };

// A series drawn as a band between a floor and a top line; stacked series start their band
// where the same-kind series before them in the chart end theirs.
class TCustomSeries : public TChartSeries {
    Q_OBJECT
public:
    explicit TCustomSeries(QObject* owner = nullptr);

    TChartPen& LinePen() { return linePen_; }
    const TChartPen& LinePen() const { return linePen_; }
    TChartPen& AreaLinesPen() { return areaLinesPen_; }
    const TChartPen& AreaLinesPen() const { return areaLinesPen_; }

    TCustomSeriesStack Stacked() const { return stacked_; }
    bool DrawArea() const { return drawArea_; }
    void SetDrawArea(bool drawArea);
    bool ClickableLine() const { return clickableLine_; }
    void SetClickableLine(bool clickable) { clickableLine_ = clickable; }
    // clDefault: the area follows the point and series colours.
    TColor AreaColor() const { return areaColor_; }
    void SetAreaColor(TColor color);

    // The floor of point index: the sum of the values at the same index of the active
    // same-kind series before this one, counting only values of this point's sign.
    double StackBase(int index) const;
    // The same sum over all those series, this one included.
    double StackTotal(int index) const;

    // Pixel positions of point index on the axes of the last drawing.
    int CalcXPos(int index) const;
    int CalcTopPos(int index) const;
    int CalcFloorPos(int index) const;

    double SeriesMaxValue() const override;
    double SeriesMinValue() const override;
    int SeriesPointAt(int px, int py) const override;
    void Draw(QPainter& painter) const override;

private:
    friend class TAreaSeries;

    void setStackedOnly(TCustomSeriesStack stacked) { stacked_ = stacked; }
    struct PointPos {
        int x;
        int top;
        int floor;
    };
    // A piece with no height at either end.
    static bool flatPiece(const PointPos& a, const PointPos& b) { return a.top == a.floor && b.top == b.floor; }
    static int runLength(const std::vector<PointPos>& pos, int first, int turns);
    double stackSum(int index, bool includeSelf) const;
    static int clampedPos(const TAxisScale& vertical, double value)
    {
        // Nothing is drawn past the bottom edge of the plot, where an inverted axis puts large values.
        return std::min(vertical.CalcPosValue(value), vertical.endPos);
    }
    PointPos pointPos(int index) const;
    // The same with the axes' scales, and perhaps the floors of the stack, looked up once for a
    // whole drawing.
    PointPos pointPos(int index, const TAxisScale& horizontal, const TAxisScale& vertical,
        const TStackFloors* floors = nullptr) const;
    // StackBase, read straight from the floors where they hold the point.
    double stackBase(int index, const TStackFloors* floors) const;
    // The largest (or smallest) of result and the tops of this series' stack.
    double stackedExtreme(double result, bool largest) const;
    // The floors kept for this series in the current drawing, if any.
    bool stackFloors(TStackFloors& floors) const;
    void drawPieces(QPainter& painter, const std::vector<PointPos>& pos, int firstIndex) const;

    TChartPen linePen_;
    TChartPen areaLinesPen_;
    TCustomSeriesStack stacked_ = cssNone;
    bool drawArea_ = false;
    bool clickableLine_ = true;
    TColor areaColor_ = clDefault;
};

// The series of the traffic graph: one filled area per host.
class TAreaSeries : public TCustomSeries {
    Q_OBJECT
public:
    enum TMultiArea { maNone, maStacked, maStacked100 };

    explicit TAreaSeries(QObject* owner = nullptr);

    TMultiArea MultiArea() const;
    // Also applies the mode to every series of the same kind in the chart, as stacking only
    // makes sense for all of them together.
    void SetMultiArea(TMultiArea multiArea);
};
