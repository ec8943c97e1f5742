#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QTextLayout>

#include <memory>

class QPainter;

// One-line texts laid out once and drawn again and again: a chart's axis labels are mostly the same
// from one second to the next, and shaping them anew was much of drawing an axis. Draws exactly as
// QPainter::drawText(rect, flags, text) does, by the same line layout and the same placing, for an
// unclipped line: alignment flags with Qt::TextDontClip and perhaps Qt::TextSingleLine. Other flags
// and texts that are not one plain line are drawn by drawText itself.
class TLineTextCache {
public:
    void Draw(QPainter& painter, const QRect& rect, int flags, const QString& text);

private:
    struct TLine {
        QTextLayout Layout;
        // The line's glyphs, drawn straight from the kept runs; a line drawn through the layout
        // looks each of its items up and converts it again every time.
        QList<QGlyphRun> Runs;
        qreal Height = 0;
        qreal Advance = 0;
        TLine(const QString& text, const QFont& font, Qt::LayoutDirection direction);
    };
    const TLine& lineFor(QPainter& painter, const QString& text);

    static constexpr int MaxTexts = 512;
    QFont font_;
    int dpi_ = 0;
    Qt::LayoutDirection direction_ = Qt::LayoutDirectionAuto;
    QHash<QString, std::shared_ptr<TLine>> lines_;
};
