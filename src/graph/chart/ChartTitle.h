#pragma once

#include <QFont>
#include <QRect>
#include <QStringList>

class TChart;

// A title, subtitle, foot or subfoot: lines of text centred above or below the plot.
class TChartTitle {
public:
    explicit TChartTitle(TChart* chart, int pixelSize);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    QStringList Text() const { return text_; }
    void SetText(const QStringList& text);
    const QFont& Font() const { return font_; }

    // Only a visible title with some text takes room and can be hit.
    bool Shown() const;
    QRect Rect() const { return rect_; }

private:
    friend class TChart;

    TChart* chart_;
    bool visible_ = true;
    QStringList text_;
    QFont font_;
    QRect rect_;
};
