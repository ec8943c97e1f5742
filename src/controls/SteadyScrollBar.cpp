#include "controls/SteadyScrollBar.h"

#include <QStyleOptionSlider>

TSteadyScrollBar::TSteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
}

bool TSteadyScrollBar::Look::operator==(const Look& other) const
{
    return Rect == other.Rect && SubLine == other.SubLine && AddLine == other.AddLine && Slider == other.Slider
        && Groove == other.Groove && State == other.State && Empty == other.Empty;
}

std::optional<TSteadyScrollBar::Look> TSteadyScrollBar::look() const
{
    // Fusion, when its bars do not fade in and out, paints from these alone; any other style may read
    // the range itself, so it repaints as usual.
    if (style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0
        || style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this))
        return std::nullopt;
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    const auto part = [&](QStyle::SubControl control) {
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, control, this);
    };
    return Look { option.rect, part(QStyle::SC_ScrollBarSubLine), part(QStyle::SC_ScrollBarAddLine),
        part(QStyle::SC_ScrollBarSlider), part(QStyle::SC_ScrollBarGroove), option.state,
        option.minimum == option.maximum };
}

void TSteadyScrollBar::sliderChange(SliderChange change)
{
    if (change == SliderRangeChange && painted_ && painted_ == look())
        return;
    QScrollBar::sliderChange(change);
}

void TSteadyScrollBar::paintEvent(QPaintEvent* event)
{
    painted_ = look();
    QScrollBar::paintEvent(event);
}
