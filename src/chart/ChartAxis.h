#pragma once

#include "chart/AxisScale.h"
#include "chart/ChartTypes.h"
#include "chart/LineStamp.h"
#include "chart/LineTextCache.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QPainter;
class TChart;
class TChartAxis;
struct TAxisLayout;

enum TAxisSide { asLeft, asTop, asRight, asBottom };

// The caption beside an axis, turned by 90 degrees on the left axis.
class TAxisTitle {
public:
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    int Angle() const { return angle_; }
    void SetAngle(int angle);
    // 0: as high as the title font.
    int TitleSize() const { return titleSize_; }
    void SetTitleSize(int size);
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font);

    // Whether the text runs along its axis, so that its height is the room it takes.
    bool RunsAlongAxis(bool horizontalAxis) const;

private:
    friend class TChartAxis;
    explicit TAxisTitle(TChartAxis* axis, int angle);
    void changed();

    TChartAxis* axis_;
    QString caption_;
    bool visible_ = true;
    int angle_;
    int titleSize_ = 0;
    QFont font_;
};

// One of the chart's four axes: its range, labels, ticks and grid, and the mapping of values
// to pixels of the last drawing.
class TChartAxis {
public:
    TChartAxis(TChart* chart, TAxisSide side);
    TChartAxis(const TChartAxis&) = delete;
    TChartAxis& operator=(const TChartAxis&) = delete;

    TAxisSide Side() const { return side_; }
    bool Horizontal() const { return side_ == asTop || side_ == asBottom; }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool automatic);
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool automatic);
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool automatic);
    // While a limit is automatic it holds the value of the last drawing.
    double Maximum() const { return maximum_; }
    void SetMaximum(double maximum);
    double Minimum() const { return minimum_; }
    void SetMinimum(double minimum);
    void SetMinMax(double minimum, double maximum);
    bool Inverted() const { return inverted_; }
    void SetInverted(bool inverted);

    bool Labels() const { return labels_; }
    void SetLabels(bool labels);
    // 0: as wide (vertical axis) or as high (horizontal axis) as the labels are.
    int LabelsSize() const { return labelsSize_; }
    void SetLabelsSize(int size);
    int LabelsSeparation() const { return labelsSeparation_; }
    void SetLabelsSeparation(int percent);
    const QFont& LabelsFont() const { return labelsFont_; }
    void SetLabelsFont(const QFont& font);
    // 0: chosen from the room the labels need.
    double Increment() const { return increment_; }
    void SetIncrement(double increment);

    int TickLength() const { return tickLength_; }
    void SetTickLength(int length);
    int TickInnerLength() const { return tickInnerLength_; }
    void SetTickInnerLength(int length);
    int MinorTickLength() const { return minorTickLength_; }
    void SetMinorTickLength(int length);
    int MinorTickCount() const { return minorTickCount_; }
    void SetMinorTickCount(int count);
    bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
    void SetTickOnLabelsOnly(bool onLabelsOnly);

    TChartPen& AxisPen() { return axisPen_; }
    const TChartPen& AxisPen() const { return axisPen_; }
    TChartPen& Ticks() { return ticks_; }
    TChartPen& TicksInner() { return ticksInner_; }
    TChartPen& MinorTicks() { return minorTicks_; }
    TChartPen& Grid() { return grid_; }
    const TChartPen& Grid() const { return grid_; }
    TAxisTitle& Title() { return title_; }
    const TAxisTitle& Title() const { return title_; }

    // The room between the plot and the labels: the axis line and the longer of the ticks.
    int TickBandSize() const;
    // All the room the axis takes beside the plot, given the measured extent of its labels
    // (used while LabelsSize is 0, and on a vertical axis whenever it is wider than LabelsSize)
    // and of its title (used while TitleSize is 0).
    int RoomSize(int measuredLabels, int measuredTitle) const;
    int LabelsRoomFor(int measuredLabels) const;

    // The state of the last drawing, as the chart laid it out.
    const TAxisLayout& LastLayout() const;
    const TAxisScale& Scale() const;
    int CalcPosValue(double value) const { return Scale().CalcPosValue(value); }
    double CalcPosPoint(int pixel) const { return Scale().CalcPosPoint(pixel); }
    double CurrentIncrement() const;
    // The extent of the widest label of the last drawing (width on a vertical axis, height on a
    // horizontal one), whatever LabelsSize is.
    int MeasuredLabelsSize() const;
    const std::vector<double>& LabelPositions() const;
    bool Drawn() const;
    // Whether a pixel lies on the axis line of the last drawing.
    bool Clicked(int x, int y) const;

    // After each drawing the chart hands back the range it used: an automatic limit holds it
    // until the next one. Fixed limits stay as set.
    void KeepAutomaticLimits(const TAxisScale& drawn);

    // Draws grid, ticks, line, labels and title as placed by layout around plot; bounds is the
    // whole chart, which a long title is kept inside.
    void Draw(QPainter& painter, const TAxisLayout& layout, const QRect& plot, const QRect& bounds,
        const TNumberSeparators& separators) const;

private:
    friend class TAxisTitle;

    void changed();
    void drawGrid(QPainter& painter, const TAxisLayout& layout, const QRect& plot) const;
    std::vector<double> tickValues(const TAxisLayout& layout) const;
    struct TTitleFit {
        QString Caption;
        QFont Font;
        int Length = 0;
        QString Text;
        int HalfWidth = 0;
    };
    // The title as it fits a length, shortened with an ellipsis where needed, and half its width.
    const TTitleFit& titleFit(int length) const;

    TChart* chart_;
    TAxisSide side_;
    bool visible_ = true;
    bool automatic_ = true;
    bool automaticMaximum_ = true;
    bool automaticMinimum_ = true;
    double maximum_ = 0;
    double minimum_ = 0;
    bool inverted_ = false;
    bool labels_ = true;
    int labelsSize_ = 0;
    int labelsSeparation_ = 10;
    QFont labelsFont_;
    double increment_ = 0;
    int tickLength_ = 4;
    int tickInnerLength_ = 0;
    int minorTickLength_ = 2;
    int minorTickCount_ = 3;
    bool tickOnLabelsOnly_ = true;
    TChartPen axisPen_ { clBlack, 2 };
    TChartPen ticks_ { clGray };
    TChartPen ticksInner_ { clGray };
    TChartPen minorTicks_ { clGray };
    TChartPen grid_ { clGray, 1, TChartPen::psDot };
    TAxisTitle title_;
    // What drawing keeps for the next drawing.
    mutable TLineTextCache labelTexts_;
    // The title has a font of its own; in the labels' cache it would empty that cache every drawing.
    mutable TLineTextCache titleTexts_;
    mutable TLineStamp gridStamp_;
    mutable std::optional<TTitleFit> titleFit_;
};

// The font of axis labels, titles and legend: a sans-serif face at a pixel height.
QFont ChartFont(int pixelSize = 11);
