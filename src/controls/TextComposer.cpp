#include "controls/TextComposer.h"

#include <QGlyphRun>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <array>
#include <cmath>
#include <cstdint>

namespace {

constexpr char16_t FirstComposed = 0x20;
constexpr char16_t LastComposed = 0x7E;
constexpr int ComposedChars = LastComposed - FirstComposed + 1;

struct TShaped {
    QList<QGlyphRun> Runs;
    qreal Ascent = 0;
    qreal Width = 0;
};

// The glyphs the font gives text laid out on one line, left to right, as drawText lays it out.
TShaped shape(const QString& text, const QFont& font, const QPaintDevice* device)
{
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return {};
    return { layout.glyphRuns(), line.ascent(), line.naturalTextWidth() };
}

} // namespace

// What one font, resolved for one resolution, has shown of its characters and pairs so far.
class TTextComposer::TFontGlyphs {
public:
    TFontGlyphs(const QFont& font, int dpi)
        : font_(font)
        , dpi_(dpi)
    {
    }

    bool Holds(const QFont& font, int dpi) const { return dpi_ == dpi && font_ == font; }
    const QRawFont& Face() const { return face_; }

    // The glyph of character c (an index from FirstComposed), if it is composed.
    bool Glyph(int c, const QPaintDevice* device, quint32& glyph)
    {
        if (charState_[size_t(c)] == Unknown)
            charState_[size_t(c)] = shapeChar(c, device) ? Composed : Refused;
        glyph = glyphs_[size_t(c)];
        return charState_[size_t(c)] == Composed;
    }

    // The advance of character c's glyph when nothing follows it, if the character is composed.
    bool Advance(int c, const QPaintDevice* device, qreal& advance)
    {
        quint32 glyph = 0;
        const bool composed = Glyph(c, device, glyph);
        advance = advances_[size_t(c)];
        return composed;
    }

    // How far the glyph of b starts after the glyph of a when b follows a, if the pair is composed.
    bool PairAdvance(int a, int b, const QPaintDevice* device, qreal& advance)
    {
        const size_t at = size_t(a) * ComposedChars + size_t(b);
        if (pairState_[at] == Unknown)
            pairState_[at] = shapePair(a, b, device, pairAdvance_[at]) ? Composed : Refused;
        advance = pairAdvance_[at];
        return pairState_[at] == Composed;
    }

private:
    enum : uint8_t { Unknown, Composed, Refused };

    bool shapeChar(int c, const QPaintDevice* device)
    {
        const TShaped shaped = shape(QString(QChar(char16_t(FirstComposed + c))), font_, device);
        if (shaped.Runs.size() != 1)
            return false;
        const QGlyphRun& run = shaped.Runs.front();
        if (run.glyphIndexes().size() != 1 || run.positions().front() != QPointF(0, shaped.Ascent))
            return false;
        // Every composed text is drawn in one face: a character the font takes from another one
        // is left to drawText, which draws each face's glyphs with that face.
        if (!face_.isValid())
            face_ = run.rawFont();
        else if (!(run.rawFont() == face_))
            return false;
        glyphs_[size_t(c)] = run.glyphIndexes().front();
        advances_[size_t(c)] = shaped.Width;
        return true;
    }

    bool shapePair(int a, int b, const QPaintDevice* device, qreal& advance)
    {
        quint32 first = 0;
        quint32 second = 0;
        if (!Glyph(a, device, first) || !Glyph(b, device, second))
            return false;
        QString pair;
        pair.append(QChar(char16_t(FirstComposed + a)));
        pair.append(QChar(char16_t(FirstComposed + b)));
        const TShaped shaped = shape(pair, font_, device);
        if (shaped.Runs.size() != 1 || !(shaped.Runs.front().rawFont() == face_))
            return false;
        const QList<quint32> indexes = shaped.Runs.front().glyphIndexes();
        const QList<QPointF> positions = shaped.Runs.front().positions();
        if (indexes.size() != 2 || indexes[0] != first || indexes[1] != second
            || positions[0] != QPointF(0, shaped.Ascent) || positions[1].y() != shaped.Ascent)
            return false;
        advance = positions[1].x();
        return true;
    }

    const QFont font_;
    const int dpi_;
    QRawFont face_;
    std::array<uint8_t, ComposedChars> charState_ {};
    std::array<quint32, ComposedChars> glyphs_ {};
    std::array<qreal, ComposedChars> advances_ {};
    std::array<uint8_t, ComposedChars * ComposedChars> pairState_ {};
    std::array<qreal, ComposedChars * ComposedChars> pairAdvance_ {};
};

TTextComposer::TTextComposer() = default;
TTextComposer::~TTextComposer() = default;

TTextComposer::TFontGlyphs& TTextComposer::glyphsFor(const QFont& font, const QPaintDevice* device)
{
    const int dpi = device ? device->logicalDpiY() : 0;
    for (const std::unique_ptr<TFontGlyphs>& kept : fonts_)
        if (kept->Holds(font, dpi))
            return *kept;
    auto glyphs = std::make_unique<TFontGlyphs>(font, dpi);
    if (fonts_.size() < MaxFonts) {
        fonts_.push_back(std::move(glyphs));
        return *fonts_.back();
    }
    std::unique_ptr<TFontGlyphs>& replaced = fonts_[next_];
    next_ = (next_ + 1) % MaxFonts;
    replaced = std::move(glyphs);
    return *replaced;
}

bool TTextComposer::Draw(QPainter& painter, const QPoint& origin, const QString& text)
{
    // Printable ASCII holds no right-to-left character, so a direction taken from the text is left to right.
    if (painter.layoutDirection() == Qt::RightToLeft || painter.pen().style() == Qt::NoPen)
        return false;
    // Glyphs placed off whole pixels, or turned, are placed by drawText's own rules.
    const QTransform& transform = painter.transform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx())
        || transform.dy() != std::floor(transform.dy()))
        return false;
    qreal width = 0;
    TFontGlyphs* glyphs = compose(painter.font(), painter.device(), text, true, width);
    if (!glyphs)
        return false;
    QGlyphRun run;
    run.setRawFont(glyphs->Face());
    run.setGlyphIndexes(indexes_);
    run.setPositions(positions_);
    painter.drawGlyphRun(origin, run);
    return true;
}

TTextComposer::TFontGlyphs* TTextComposer::compose(
    const QFont& font, const QPaintDevice* device, const QString& text, bool placeGlyphs, qreal& width)
{
    // Lines and decorations are drawText's to draw.
    const qsizetype count = text.size();
    if (count == 0 || count > MaxComposed || font.underline() || font.overline() || font.strikeOut())
        return nullptr;
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < count; ++i)
        if (chars[i].unicode() < FirstComposed || chars[i].unicode() > LastComposed)
            return nullptr;

    TFontGlyphs& glyphs = glyphsFor(font, device);
    indexes_.clear();
    positions_.clear();
    qreal x = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const int c = chars[i].unicode() - FirstComposed;
        quint32 glyph = 0;
        if (!glyphs.Glyph(c, device, glyph))
            return nullptr;
        if (placeGlyphs) {
            indexes_.append(glyph);
            positions_.append(QPointF(x, 0));
        }
        qreal advance = 0;
        if (i + 1 < count ? !glyphs.PairAdvance(c, chars[i + 1].unicode() - FirstComposed, device, advance)
                          : !glyphs.Advance(c, device, advance))
            return nullptr;
        x += advance;
    }
    width = x;
    return &glyphs;
}

bool TTextComposer::Width(const QFont& font, const QString& text, int& width)
{
    qreal natural = 0;
    // A font of a set pixel size has the same glyphs at every resolution, so it is shaped without one.
    // Spaces at the end take no room in a line's natural width.
    if (font.pixelSize() <= 0 || text.isEmpty() || text.back() == QLatin1Char(' ')
        || !compose(font, nullptr, text, false, natural))
        return false;
    width = int(std::ceil(natural));
    return true;
}
