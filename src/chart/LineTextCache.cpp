#include "chart/LineTextCache.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTextLine>

#include <cmath>

namespace {

// Texts whose drawing turns characters into others (breaks, tabs, returns), that may run right to
// left or whose spaces at either end count go to drawText, which knows those rules.
bool plainLeftToRight(const QString& text)
{
    if (text.isEmpty() || text.front().isSpace() || text.back().isSpace())
        return false;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x9C || u >= 0x0590)
            return false;
    }
    return true;
}

} // namespace

TLineTextCache::TLine::TLine(const QString& text, const QFont& font, Qt::LayoutDirection direction)
    : Layout(text, font)
{
    QTextOption option;
    option.setTextDirection(direction);
    option.setAlignment(Qt::AlignLeft);
    Layout.setTextOption(option);
    Layout.setCacheEnabled(true);
    Layout.beginLayout();
    QTextLine line = Layout.createLine();
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0, 0));
    Layout.endLayout();
    Height = line.ascent() + line.descent();
    Advance = line.horizontalAdvance();
    // Lines and decorations are drawn by the layout itself.
    if (!font.underline() && !font.overline() && !font.strikeOut())
        Runs = Layout.glyphRuns();
}

const TLineTextCache::TLine& TLineTextCache::lineFor(QPainter& painter, const QString& text)
{
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 0;
    if (dpi != dpi_ || painter.layoutDirection() != direction_ || !(painter.font() == font_)
        || lines_.size() >= MaxTexts) {
        lines_.clear();
        font_ = painter.font();
        dpi_ = dpi;
        direction_ = painter.layoutDirection();
    }
    std::shared_ptr<TLine>& line = lines_[text];
    if (!line)
        line = std::make_shared<TLine>(text, font_, direction_);
    return *line;
}

void TLineTextCache::Draw(QPainter& painter, const QRect& rect, int flags, const QString& text)
{
    const int alignment = flags & int(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask);
    const int others = flags & ~(alignment | int(Qt::TextSingleLine));
    if (others != Qt::TextDontClip || (alignment & Qt::AlignJustify) || !plainLeftToRight(text)
        || painter.layoutDirection() == Qt::RightToLeft) {
        painter.drawText(rect, flags, text);
        return;
    }
    const TLine& line = lineFor(painter, text);
    qreal x = 0, y = 0;
    if (alignment & Qt::AlignBottom)
        y = rect.height() - line.Height;
    else if (alignment & Qt::AlignVCenter)
        y = (rect.height() - line.Height) / 2;
    if (alignment & Qt::AlignRight)
        x = rect.width() - line.Advance;
    else if (alignment & Qt::AlignHCenter)
        x = (rect.width() - line.Advance) / 2;
    const QPointF at(rect.x() + x, rect.y() + y);
    // A turned or scaled line's glyphs are placed by the layout's own rules.
    if (line.Runs.isEmpty() || painter.transform().type() > QTransform::TxTranslate) {
        line.Layout.lineAt(0).draw(&painter, at);
        return;
    }
    // The layout places a line in 64ths of a pixel, the start cut to them first, and the glyphs
    // after it; placed from the exact start, a glyph could fall on the next 64th.
    const QPointF cut(std::trunc(at.x() * 64) / 64, std::trunc(at.y() * 64) / 64);
    for (const QGlyphRun& run : line.Runs)
        painter.drawGlyphRun(cut, run);
}
