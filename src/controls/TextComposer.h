#pragma once

#include <QFont>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;

// Draws one-line texts of printable ASCII from glyphs and pair spacings shaped once per font,
// pixel for pixel as QPainter::drawText draws them. The table writes about a hundred new figures
// a second, and shaping each of them anew was the largest part of an idle second's paint.
//
// A character is composed only when the font shapes it alone into one glyph of its own face, and
// two neighbours only when the font shapes the pair into those same two glyphs: kerning is then
// the pair's spacing, and a pair the font joins or substitutes (a ligature) is never composed.
// Each character and each pair is shaped on first use. Anything else, and any text the composer
// refuses, is left to drawText.
class TTextComposer {
public:
    TTextComposer();
    ~TTextComposer();
    TTextComposer(const TTextComposer&) = delete;
    TTextComposer& operator=(const TTextComposer&) = delete;

    // Draws text with the left end of its baseline at origin, in the painter's font and pen, as
    // painter.drawText(origin, text) would. False, with nothing drawn, for a text it cannot compose
    // and for a painter that is turned, scaled or moved by part of a pixel.
    bool Draw(QPainter& painter, const QPoint& origin, const QString& text);

    // The width QFontMetrics(font).boundingRect gives text laid out on one line, left or right
    // aligned, in a font of a set pixel size. False for a text it cannot compose.
    bool Width(const QFont& font, const QString& text, int& width);

    // Longer texts are left to drawText: a cell shows far fewer characters than this.
    static constexpr qsizetype MaxComposed = 256;

private:
    class TFontGlyphs;
    TFontGlyphs& glyphsFor(const QFont& font, const QPaintDevice* device);
    // Lays text out in font for device: its glyphs and their places in indexes_ and positions_
    // when asked, and its natural width. Null for a text it cannot compose.
    TFontGlyphs* compose(
        const QFont& font, const QPaintDevice* device, const QString& text, bool placeGlyphs, qreal& width);

    // A table keeps every font few: regular and bold cells, and the header's.
    static constexpr size_t MaxFonts = 4;
    std::vector<std::unique_ptr<TFontGlyphs>> fonts_;
    size_t next_ = 0;
    // Kept from text to text, so that a draw does not allocate them anew.
    QList<quint32> indexes_;
    QList<QPointF> positions_;
};
