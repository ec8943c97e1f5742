#include "chart/ChartAxis.h"

#include "chart/ChartLayout.h"
#include "chart/TChart.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

QFont ChartFont(int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

TAxisTitle::TAxisTitle(TChartAxis* axis, int angle)
    : axis_(axis)
    , angle_(angle)
    , font_(ChartFont())
{
}

void TAxisTitle::SetCaption(const QString& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    changed();
}

void TAxisTitle::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    changed();
}

void TAxisTitle::SetAngle(int angle)
{
    angle = ((angle % 360) + 360) % 360;
    if (angle_ == angle)
        return;
    angle_ = angle;
    changed();
}

void TAxisTitle::SetTitleSize(int size)
{
    if (titleSize_ == size)
        return;
    titleSize_ = size;
    changed();
}

void TAxisTitle::SetFont(const QFont& font)
{
    if (font_ == font)
        return;
    font_ = font;
    changed();
}

bool TAxisTitle::RunsAlongAxis(bool horizontalAxis) const
{
    const bool turned = angle_ == 90 || angle_ == 270;
    return horizontalAxis ? !turned : turned;
}

void TAxisTitle::changed()
{
    axis_->changed();
}

TChartAxis::TChartAxis(TChart* chart, TAxisSide side)
    : chart_(chart)
    , side_(side)
    , labelsFont_(ChartFont())
    , title_(this, side == asLeft ? 90 : (side == asRight ? 270 : 0))
{
    for (TChartPen* pen : { &axisPen_, &ticks_, &ticksInner_, &minorTicks_, &grid_ })
        pen->SetOnChange([this] { changed(); });
}

void TChartAxis::changed()
{
    if (chart_)
        chart_->Invalidate();
}

void TChartAxis::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    changed();
}

void TChartAxis::SetAutomatic(bool automatic)
{
    if (automatic_ == automatic && automaticMaximum_ == automatic && automaticMinimum_ == automatic)
        return;
    automatic_ = automaticMaximum_ = automaticMinimum_ = automatic;
    changed();
}

void TChartAxis::SetAutomaticMaximum(bool automatic)
{
    if (automaticMaximum_ == automatic)
        return;
    automaticMaximum_ = automatic;
    automatic_ = automatic && automaticMinimum_;
    changed();
}

void TChartAxis::SetAutomaticMinimum(bool automatic)
{
    if (automaticMinimum_ == automatic)
        return;
    automaticMinimum_ = automatic;
    automatic_ = automatic && automaticMaximum_;
    changed();
}

void TChartAxis::SetMaximum(double maximum)
{
    if (maximum < minimum_)
        throw EChartError("Axis Maximum Value must be >= Minimum");
    if (maximum_ == maximum)
        return;
    maximum_ = maximum;
    changed();
}

void TChartAxis::SetMinimum(double minimum)
{
    if (minimum > maximum_)
        throw EChartError("Axis Minimum Value must be <= Maximum");
    if (minimum_ == minimum)
        return;
    minimum_ = minimum;
    changed();
}

void TChartAxis::SetMinMax(double minimum, double maximum)
{
    if (maximum < minimum)
        throw EChartError("Axis Maximum Value must be >= Minimum");
    if (minimum_ == minimum && maximum_ == maximum && !automaticMaximum_ && !automaticMinimum_)
        return;
    minimum_ = minimum;
    maximum_ = maximum;
    automatic_ = automaticMaximum_ = automaticMinimum_ = false;
    changed();
}

void TChartAxis::SetInverted(bool inverted)
{
    if (inverted_ == inverted)
        return;
    inverted_ = inverted;
    changed();
}

void TChartAxis::SetLabels(bool labels)
{
    if (labels_ == labels)
        return;
    labels_ = labels;
    changed();
}

void TChartAxis::SetLabelsSize(int size)
{
    if (labelsSize_ == size)
        return;
    labelsSize_ = size;
    changed();
}

void TChartAxis::SetLabelsSeparation(int percent)
{
    if (labelsSeparation_ == percent)
        return;
    labelsSeparation_ = percent;
    changed();
}

void TChartAxis::SetLabelsFont(const QFont& font)
{
    if (labelsFont_ == font)
        return;
    labelsFont_ = font;
    changed();
}

void TChartAxis::SetIncrement(double increment)
{
    if (!(increment >= 0))
        increment = 0;
    if (increment_ == increment)
        return;
    increment_ = increment;
    changed();
}

void TChartAxis::SetTickLength(int length)
{
    if (tickLength_ == length)
        return;
    tickLength_ = length;
    changed();
}

void TChartAxis::SetTickInnerLength(int length)
{
    if (tickInnerLength_ == length)
        return;
    tickInnerLength_ = length;
    changed();
}

void TChartAxis::SetMinorTickLength(int length)
{
    if (minorTickLength_ == length)
        return;
    minorTickLength_ = length;
    changed();
}

void TChartAxis::SetMinorTickCount(int count)
{
    count = std::clamp(count, 0, 100);
    if (minorTickCount_ == count)
        return;
    minorTickCount_ = count;
    changed();
}

void TChartAxis::SetTickOnLabelsOnly(bool onLabelsOnly)
{
    if (tickOnLabelsOnly_ == onLabelsOnly)
        return;
    tickOnLabelsOnly_ = onLabelsOnly;
    changed();
}

int TChartAxis::TickBandSize() const
{
    const int line = axisPen_.Visible() ? axisPen_.Width() + 1 : 0;
    const int ticks = ticks_.Visible() ? tickLength_ : 0;
    const int minor = minorTicks_.Visible() ? minorTickLength_ : 0;
    return std::max(0, line + std::max(ticks, minor));
}

int TChartAxis::RoomSize(int measuredLabels, int measuredTitle) const
{
    int room = TickBandSize();
    if (labels_)
        room += LabelsRoomFor(measuredLabels);
    if (title_.Visible() && !title_.Caption().isEmpty())
        room += title_.TitleSize() != 0 ? title_.TitleSize() : measuredTitle;
    return std::max(0, room);
}

int TChartAxis::LabelsRoomFor(int measuredLabels) const
{
    if (labelsSize_ == 0)
        return measuredLabels;
    // Labels wider than the room set for them would be drawn over the axis title.
    return Horizontal() ? labelsSize_ : std::max(labelsSize_, measuredLabels);
}

const TAxisLayout& TChartAxis::LastLayout() const
{
    if (!chart_) {
        static const TChartLayout undrawn;
        return undrawn.axes[side_];
    }
    return chart_->LastLayout().axes[side_];
}

const TAxisScale& TChartAxis::Scale() const
{
    return LastLayout().scale;
}

double TChartAxis::CurrentIncrement() const
{
    return LastLayout().increment;
}

int TChartAxis::MeasuredLabelsSize() const
{
    return LastLayout().measuredLabels;
}

const std::vector<double>& TChartAxis::LabelPositions() const
{
    return LastLayout().labelValues;
}

bool TChartAxis::Drawn() const
{
    return LastLayout().drawn;
}

bool TChartAxis::Clicked(int x, int y) const
{
    const TAxisLayout& layout = LastLayout();
    return layout.drawn && !layout.lineRect.isEmpty() && layout.lineRect.adjusted(-2, -2, 2, 2).contains(x, y);
}

void TChartAxis::KeepAutomaticLimits(const TAxisScale& drawn)
{
    if (automaticMinimum_)
        minimum_ = drawn.minimum;
    if (automaticMaximum_)
        maximum_ = drawn.maximum;
}

std::vector<double> TChartAxis::tickValues(const TAxisLayout& layout) const
{
    // With labels off, ticks and grid stay only while they are not tied to drawn labels.
    if (labels_ || !tickOnLabelsOnly_)
        return layout.labelValues;
    return {};
}

void TChartAxis::drawGrid(QPainter& painter, const TAxisLayout& layout, const QRect& plot) const
{
    if (!grid_.Visible())
        return;
    const TAxisScale& scale = layout.scale;
    const std::vector<double> ticks = tickValues(layout);
    if (ticks.empty())
        return;
    QPen pen(ToQColor(grid_.Color()), std::max(1, grid_.Width()));
    pen.setStyle(grid_.Style() == TChartPen::psDot ? Qt::DotLine : Qt::SolidLine);
    // Every grid line of an axis has the same pen and length, so one stamp draws them all.
    for (double value : ticks) {
        const int p = scale.CalcPosValue(value);
        if (Horizontal())
            gridStamp_.Draw(painter, pen, QPoint(p, plot.y()), plot.height(), Qt::Vertical);
        else
            gridStamp_.Draw(painter, pen, QPoint(plot.x(), p), plot.width(), Qt::Horizontal);
    }
    painter.setPen(pen);
}

void TChartAxis::Draw(QPainter& painter, const TAxisLayout& layout, const QRect& plot, const QRect& bounds,
    const TNumberSeparators& separators) const
{
    const TAxisScale& scale = layout.scale;
    const int labelsRoom = layout.labelsRoom;
    const int titleRoom = layout.titleRoom;
    const int left = plot.x();
    const int top = plot.y();
    const int right = left + plot.width();
    const int bottom = top + plot.height();
    const int width = axisPen_.Visible() ? axisPen_.Width() : 0;
    const int lineBand = axisPen_.Visible() ? width + 1 : 0;
    const int band = TickBandSize();
    // Right and bottom axes start their room at the plot's far edge, left and top ones end it
    // just before the plot's first pixel.
    const bool farSide = side_ == asRight || side_ == asBottom;
    const int edge = side_ == asLeft ? left : side_ == asRight ? right : side_ == asTop ? top : bottom;

    // A rectangle of `length` pixels starting `offset` pixels out from the plot edge, at pos.
    auto outward = [&](int offset, int length, int pos, int thickness) {
        const int from = farSide ? edge + offset : edge - offset - length;
        return Horizontal() ? QRect(pos, from, thickness, length) : QRect(from, pos, length, thickness);
    };

    drawGrid(painter, layout, plot);

    const std::vector<double> ticks = tickValues(layout);
    auto drawTicks = [&](const TChartPen& pen, int offset, int length, const std::vector<double>& values, bool inward) {
        if (!pen.Visible() || length <= 0)
            return;
        const QColor color = ToQColor(pen.Color());
        for (double value : values) {
            const int p = scale.CalcPosValue(value);
            QRect r;
            if (inward) {
                const int from = farSide ? edge - length : edge;
                r = Horizontal() ? QRect(p, from, 1, length) : QRect(from, p, length, 1);
            } else {
                r = outward(offset, length, p, 1);
            }
            painter.fillRect(r, color);
        }
    };

    std::vector<double> minor;
    if (!ticks.empty() && minorTickCount_ > 0 && minorTickLength_ > 0 && minorTicks_.Visible()) {
        const double step = layout.increment / (minorTickCount_ + 1);
        std::vector<double> bases = ticks;
        bases.push_back(ticks.back() - layout.increment);
        for (double base : bases)
            for (int j = 1; j <= minorTickCount_; ++j) {
                const double v = base + j * step;
                if (v >= scale.minimum && v <= scale.maximum)
                    minor.push_back(v);
            }
    }
    drawTicks(minorTicks_, lineBand, minorTickLength_, minor, false);
    drawTicks(ticks_, lineBand, tickLength_, ticks, false);
    drawTicks(ticksInner_, 0, tickInnerLength_, ticks, true);

    if (!layout.lineRect.isEmpty())
        painter.fillRect(layout.lineRect, ToQColor(axisPen_.Color()));

    if (labels_ && labelsRoom > 0) {
        painter.setFont(labelsFont_);
        painter.setPen(Qt::black);
        for (double value : layout.labelValues) {
            const int p = scale.CalcPosValue(value);
            const QString text = FormatAxisValue(value, separators);
            const QRect area = outward(band, labelsRoom, 0, 0);
            QRect r;
            int align;
            if (Horizontal()) {
                r = QRect(p - 500, area.y(), 1000, labelsRoom);
                align = Qt::AlignHCenter | (farSide ? Qt::AlignTop : Qt::AlignBottom);
            } else {
                r = QRect(area.x(), p - 500, labelsRoom, 1000);
                align = Qt::AlignVCenter | (farSide ? Qt::AlignLeft : Qt::AlignRight);
            }
            labelTexts_.Draw(painter, r, align | Qt::TextDontClip | Qt::TextSingleLine, text);
        }
    }

    // A title longer than the chart along its axis (an upload chart squeezed to its time axis)
    // is shortened with an ellipsis rather than cut to an unreadable middle piece.
    const bool upright = title_.RunsAlongAxis(true);
    const int titleLength = upright ? bounds.width() : bounds.height();
    const TTitleFit& fit = titleFit(titleLength - 4);
    const QString& titleText = fit.Text;
    if (titleRoom > 0 && titleText.size() > 1) {
        const int offset = band + (labels_ ? labelsRoom : 0);
        const QRect area = outward(offset, titleRoom, 0, 0);
        painter.setFont(title_.Font());
        painter.setPen(Qt::black);
        painter.save();
        // Centred on the plot, but moved inward where that would run the text past the chart.
        const int half = fit.HalfWidth;
        auto within = [half](int middle, int from, int to) {
            return from + half <= to - half ? std::clamp(middle, from + half, to - half) : (from + to) / 2;
        };
        QPoint centre;
        if (Horizontal())
            centre = QPoint(upright ? within((left + right) / 2, bounds.left(), bounds.right()) : (left + right) / 2,
                area.y() + titleRoom / 2);
        else
            centre = QPoint(area.x() + titleRoom / 2,
                upright ? (top + bottom) / 2 : within((top + bottom) / 2, bounds.top(), bounds.bottom()));
        painter.translate(centre);
        painter.rotate(-title_.Angle());
        titleTexts_.Draw(
            painter, QRect(-1000, -titleRoom, 2000, 2 * titleRoom), Qt::AlignCenter | Qt::TextDontClip, titleText);
        painter.restore();
    }
}

const TChartAxis::TTitleFit& TChartAxis::titleFit(int length) const
{
    // The title is measured for every drawing but changes seldom.
    if (!titleFit_ || titleFit_->Length != length || titleFit_->Caption != title_.Caption()
        || !(titleFit_->Font == title_.Font())) {
        const QFontMetrics metrics(title_.Font());
        const QString text = metrics.elidedText(title_.Caption(), Qt::ElideRight, length);
        titleFit_ = TTitleFit { title_.Caption(), title_.Font(), length, text, metrics.horizontalAdvance(text) / 2 };
    }
    return *titleFit_;
}
