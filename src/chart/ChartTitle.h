#pragma once

#include <QFont>
#include <QRect>
#include <QStringList>

class TChart;

enum TTitlePlace { tpTitle, tpSubTitle, tpFoot, tpSubFoot };

// A title, subtitle, foot or subfoot: lines of text centred above or below the plot.
class TChartTitle {
public:
    TChartTitle(TChart* chart, TTitlePlace place, int pixelSize);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    QStringList Text() const { return text_; }
    void SetText(const QStringList& text);
    const QFont& Font() const { return font_; }

    // Only a visible title with some text takes room and can be hit.
    bool Shown() const;
    // Where the last drawing put it; null when it took no room.
    QRect Rect() const;

private:
    TChart* chart_;
    TTitlePlace place_;
    bool visible_ = true;
    QStringList text_;
    QFont font_;
};
