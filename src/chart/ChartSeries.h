#pragma once

#include "chart/ChartTypes.h"
#include "chart/ChartValueList.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The floors of one stacked series at each of its points, as a drawing keeps them: the sums of the
// positive and of the negative values of the series below it.
struct TStackFloors {
    const double* Positive = nullptr;
    const double* Negative = nullptr;
    int Count = 0;
};

class QPainter;
class QRect;
class TChart;
class TChartAxis;

enum TVertAxis { aLeftAxis, aRightAxis };
enum THorizAxis { aBottomAxis, aTopAxis };

// A list of points (X, Y) drawn on a chart. The owner given at creation destroys it; belonging
// to a chart (ParentChart) is separate from that.
class TChartSeries : public QObject {
    Q_OBJECT
public:
    explicit TChartSeries(QObject* owner = nullptr);
    ~TChartSeries() override;

    TChartValueList& XValues() { return xValues_; }
    const TChartValueList& XValues() const { return xValues_; }
    TChartValueList& YValues() { return yValues_; }
    const TChartValueList& YValues() const { return yValues_; }
    int PointCount() const { return xValues_.Count(); }

    // Inserts in X order when XValues is ascending (a point with an X already present goes after
    // it) and returns the index the point got.
    int AddPoint(double x, double y, const QString& label = QString(), TColor color = clDefault);
    // Adds points of one Y value, unlabelled and in the series colour, at the given X values in
    // their order: the same points as AddPoint one by one. Falling X values that all lie before the
    // first point, the past a young series is filled with, go to the front in one move.
    void AddPoints(const std::vector<double>& xs, double y);
    void DeletePoint(int index);
    void Clear();

    // The colour point index is drawn in: its own, or the series colour.
    TColor PointColor(int index) const;
    bool HasPointColors() const { return !colors_.empty(); }
    QString PointLabel(int index) const;

    TChart* ParentChart() const { return chart_; }
    void SetParentChart(TChart* chart);

    QString Title() const { return title_; }
    void SetTitle(const QString& title);
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t tag) { tag_ = tag; }
    TColor SeriesColor() const { return color_; }
    void SetSeriesColor(TColor color);
    bool Active() const { return active_; }
    void SetActive(bool active);
    bool ShowInLegend() const { return showInLegend_; }
    void SetShowInLegend(bool show);

    TVertAxis VertAxis() const { return vertAxis_; }
    void SetVertAxis(TVertAxis axis);
    THorizAxis HorizAxis() const { return horizAxis_; }
    void SetHorizAxis(THorizAxis axis);
    // The chart's axes this series is drawn against; null while it belongs to no chart.
    const TChartAxis* GetVertAxis() const;
    const TChartAxis* GetHorizAxis() const;

    // Points in view at the last drawing; both -1 when none is.
    int FirstValueIndex() const { return firstVisible_; }
    int LastValueIndex() const { return lastVisible_; }

    // The extent this series asks of its axes.
    virtual double SeriesMaxValue() const { return yValues_.MaxValue(); }
    virtual double SeriesMinValue() const { return yValues_.MinValue(); }
    double MaxXValue() const { return xValues_.MaxValue(); }
    double MinXValue() const { return xValues_.MinValue(); }

    // The point under a pixel of the last drawing, or -1.
    virtual int SeriesPointAt(int px, int py) const;

    // Series of the same kind stack on each other: one's class is the other's or derives from it.
    bool SameKind(const TChartSeries& other) const;

    virtual void Draw(QPainter& painter) const;
    virtual void DrawLegendSymbol(QPainter& painter, const QRect& rect, TColor color) const;

protected:
    void repaint() const;

private:
    friend class TChart;
    friend class TChartSeriesList;

    void calcVisibleRange();

    TChartValueList xValues_ { loAscending };
    TChartValueList yValues_ { loNone };
    std::vector<TColor> colors_;
    std::vector<QString> labels_;
    TChart* chart_ = nullptr;
    QString title_;
    int32_t tag_ = 0;
    TColor color_ = clDefault;
    bool active_ = true;
    bool showInLegend_ = true;
    TVertAxis vertAxis_ = aLeftAxis;
    THorizAxis horizAxis_ = aBottomAxis;
    int firstVisible_ = -1;
    int lastVisible_ = -1;
    mutable int cacheSlot_ = -1;
};
