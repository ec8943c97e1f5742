#pragma once

#include "chart/AreaSeries.h"
#include "chart/ChartAxis.h"
#include "chart/ChartLayout.h"
#include "chart/ChartLegend.h"
#include "chart/ChartSeries.h"
#include "chart/ChartSeriesList.h"
#include "chart/ChartTitle.h"
#include "chart/ChartTypes.h"

#include <QWidget>

#include <vector>

enum TMarginUnits { muPercent, muPixels };
enum TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };
enum TChartClickedPartStyle {
    cpNone,
    cpLegend,
    cpAxis,
    cpSeries,
    cpTitle,
    cpFoot,
    cpChartRect,
    cpSeriesMarks,
    cpSubTitle,
    cpSubFoot
};

// What lies under a pixel of the last drawing. Only series points and marks carry a series.
struct TChartClickedPart {
    TChartClickedPartStyle Part = cpNone;
    int PointIndex = -1;
    TChartSeries* Series = nullptr;
    TChartAxis* Axis = nullptr;
};

// The chart control of the traffic graph: series stacked in a plot framed by axes, and a legend.
// Property writes only invalidate; all layout and drawing happen in paint().
class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    TChartSeriesList& SeriesList() { return seriesList_; }
    const TChartSeriesList& SeriesList() const { return seriesList_; }

    TChartAxis& LeftAxis() { return leftAxis_; }
    const TChartAxis& LeftAxis() const { return leftAxis_; }
    TChartAxis& BottomAxis() { return bottomAxis_; }
    const TChartAxis& BottomAxis() const { return bottomAxis_; }
    TChartAxis& RightAxis() { return rightAxis_; }
    const TChartAxis& RightAxis() const { return rightAxis_; }
    TChartAxis& TopAxis() { return topAxis_; }
    const TChartAxis& TopAxis() const { return topAxis_; }
    TChartLegend& Legend() { return legend_; }
    const TChartLegend& Legend() const { return legend_; }
    const TChartAxis& AxisAt(TAxisSide side) const;

    TChartTitle& Title() { return title_; }
    TChartTitle& SubTitle() { return subTitle_; }
    TChartTitle& Foot() { return foot_; }
    TChartTitle& SubFoot() { return subFoot_; }
    const TChartTitle& TitleAt(TTitlePlace place) const;
    bool TitleVisible() const { return title_.Visible(); }
    void SetTitleVisible(bool visible) { title_.SetVisible(visible); }

    int MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(int margin) { setValue(marginLeft_, margin); }
    int MarginTop() const { return marginTop_; }
    void SetMarginTop(int margin) { setValue(marginTop_, margin); }
    int MarginRight() const { return marginRight_; }
    void SetMarginRight(int margin) { setValue(marginRight_, margin); }
    int MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(int margin) { setValue(marginBottom_, margin); }
    TMarginUnits MarginUnits() const { return marginUnits_; }
    void SetMarginUnits(TMarginUnits units) { setValue(marginUnits_, units); }

    bool AxisVisible() const { return axisVisible_; }
    void SetAxisVisible(bool visible) { setValue(axisVisible_, visible); }
    bool ClipPoints() const { return clipPoints_; }
    void SetClipPoints(bool clip) { setValue(clipPoints_, clip); }
    bool AxisBehind() const { return axisBehind_; }
    void SetAxisBehind(bool behind) { setValue(axisBehind_, behind); }
    TColor Color() const { return color_; }
    void SetColor(TColor color) { setValue(color_, color); }
    TColor BackWallColor() const { return backWallColor_; }
    void SetBackWallColor(TColor color) { setValue(backWallColor_, color); }

    const TNumberSeparators& NumberSeparators() const { return separators_; }
    void SetNumberSeparators(const TNumberSeparators& separators);

    // The tooltip text; it does not change the drawing, so writing it repaints nothing.
    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    // The plot of the last drawing. Its far edges x() + width() and y() + height() are the
    // pixels of the axes' maximum and minimum.
    QRect PlotRect() const { return lastLayout_.plotRect; }
    // Everything the last drawing placed; axes, legend and titles answer from it.
    const TChartLayout& LastLayout() const { return lastLayout_; }
    TChartClickedPart PartAtPoint(int x, int y) const;

    // The extent of the active series drawn against axis: the top of the highest stack for a
    // value axis, the largest X for a horizontal one; 0 when no series qualifies.
    double AxisMaxValue(const TChartAxis& axis) const;
    double AxisMinValue(const TChartAxis& axis) const;

    // Lays out and draws the whole chart into rect.
    void paint(QPainter& painter, const QRect& rect);

    // Inert: the form sets them, but only flat drawing without zoom or panning exists, so they
    // are kept and read back and change nothing in the drawing.
    bool View3D() const { return view3D_; }
    void SetView3D(bool view3D) { setValue(view3D_, view3D); }
    bool ZoomAllow() const { return zoomAllow_; }
    void SetZoomAllow(bool allow) { setValue(zoomAllow_, allow); }
    TPanningMode AllowPanning() const { return allowPanning_; }
    void SetAllowPanning(TPanningMode mode) { setValue(allowPanning_, mode); }

    // Marks the chart for redrawing at the next paint.
    void Invalidate();
    // How often Invalidate was called, so that callers can tell a change from a no-op.
    int RepaintRequests() const { return repaintRequests_; }

signals:
    void MouseMoved(Qt::KeyboardModifiers modifiers, int x, int y);
    void ClickSeries(TChartSeries* series, int valueIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    friend class TChartSeries;
    friend class TCustomSeries;

    template <typename T> void setValue(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        Invalidate();
    }

    TColor defaultSeriesColor(int index) const;
    bool seriesOnAxis(const TChartSeries& series, const TChartAxis& axis) const;
    // AxisMaxValue when largest, else AxisMinValue.
    double axisExtreme(const TChartAxis& axis, bool largest) const;
    void updateToolTip();
    // Keeps what outlives a drawing in the properties: automatic axis limits and the place of a
    // legend set by its alignment.
    void keepDrawnProperties();
    void draw(QPainter& painter, const TChartLayout& layout);

    // The floors of every stacked series at every index, computed once per drawing instead of
    // walking the list for each point. The floors lie series after series, `stride` apart, in
    // storage kept from one drawing to the next: each drawing builds the cache anew, and a vector
    // per series would be an allocation per series each time.
    struct StackCache {
        bool valid = false;
        std::vector<const TChartSeries*> series;
        std::vector<size_t> counts;
        size_t stride = 0;
        std::vector<double> positiveBelow;
        std::vector<double> negativeBelow;
        std::vector<double> positiveTotal;
        std::vector<double> negativeTotal;
    };
    void buildStackCache() const;
    bool cachedStackSum(const TChartSeries& series, int index, bool includeSelf, double& sum) const;
    // A series' floors as the cache holds them, for walks over all its points.
    bool cachedStackFloors(const TChartSeries& series, TStackFloors& floors) const;

    TChartSeriesList seriesList_ { this };
    TChartAxis leftAxis_ { this, asLeft };
    TChartAxis topAxis_ { this, asTop };
    TChartAxis rightAxis_ { this, asRight };
    TChartAxis bottomAxis_ { this, asBottom };
    TChartLegend legend_ { this };
    TChartTitle title_ { this, tpTitle, 13 };
    TChartTitle subTitle_ { this, tpSubTitle, 11 };
    TChartTitle foot_ { this, tpFoot, 11 };
    TChartTitle subFoot_ { this, tpSubFoot, 11 };

    int marginLeft_ = 3;
    int marginTop_ = 4;
    int marginRight_ = 3;
    int marginBottom_ = 4;
    TMarginUnits marginUnits_ = muPercent;
    bool axisVisible_ = true;
    bool clipPoints_ = true;
    bool axisBehind_ = true;
    TColor color_ = clBtnFace;
    TColor backWallColor_ = clWhite;
    TNumberSeparators separators_;
    QString hint_;
    bool showHint_ = false;
    bool updatePending_ = false;
    // Inert, see View3D.
    bool view3D_ = false;
    bool zoomAllow_ = true;
    TPanningMode allowPanning_ = pmBoth;

    TChartLayout lastLayout_;
    // Text sizes the layout asks for at every drawing.
    TCachingTextMeasurer measurer_;
    int repaintRequests_ = 0;
    mutable StackCache stackCache_;
};
