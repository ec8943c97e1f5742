#include "chart/ChartTitle.h"

#include "chart/ChartAxis.h"
#include "chart/TChart.h"

TChartTitle::TChartTitle(TChart* chart, TTitlePlace place, int pixelSize)
    : chart_(chart)
    , place_(place)
    , font_(ChartFont(pixelSize))
{
}

void TChartTitle::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    chart_->Invalidate();
}

void TChartTitle::SetText(const QStringList& text)
{
    if (text_ == text)
        return;
    text_ = text;
    chart_->Invalidate();
}

bool TChartTitle::Shown() const
{
    if (!visible_)
        return false;
    for (const QString& line : text_)
        if (!line.isEmpty())
            return true;
    return false;
}

QRect TChartTitle::Rect() const
{
    return chart_->LastLayout().titles[place_];
}
