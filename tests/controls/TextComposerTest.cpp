#include "controls/TextComposer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <gtest/gtest.h>

#include <random>

namespace {

const QSize Canvas(360, 40);
// Off the pixel grid's origin, as a cell of a widget painted into its window is.
const QPoint Offset(7, 3);
const QPoint Baseline(5, 22);

QFont fontOf(const char* family, int pixels, bool bold)
{
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

std::vector<QFont> fonts()
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    return { QApplication::font(), bold, fontOf("Liberation Sans", 11, false), fontOf("Liberation Sans", 11, true),
        fontOf("DejaVu Sans", 15, false) };
}

QImage blank()
{
    QImage image(Canvas, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void prepare(QPainter& painter, const QFont& font, const QTransform& transform = QTransform())
{
    painter.translate(Offset);
    painter.setTransform(transform, true);
    painter.setClipRect(QRect(0, 0, 300, 30));
    painter.setFont(font);
    painter.setPen(QColor(20, 40, 160));
}

QImage drawnByQt(const QFont& font, const QString& text, const QTransform& transform = QTransform())
{
    QImage image = blank();
    QPainter painter(&image);
    prepare(painter, font, transform);
    painter.drawText(Baseline, text);
    return image;
}

// What a caller of the composer draws: the composed text, or drawText's where it is refused.
QImage drawnComposed(TTextComposer& composer, const QFont& font, const QString& text, bool& composed,
    const QTransform& transform = QTransform())
{
    QImage image = blank();
    QPainter painter(&image);
    prepare(painter, font, transform);
    composed = composer.Draw(painter, Baseline, text);
    if (!composed)
        painter.drawText(Baseline, text);
    return image;
}

} // namespace

// The table's own texts, texts a font kerns, joins or spaces, and random printable ASCII, in
// several fonts drawn in turn through one composer: every pixel as drawText draws it.
TEST(TextComposer, DrawsEveryPixelAsDrawTextDoes)
{
    const QStringList texts = { QStringLiteral("307.13 kb/s"), QStringLiteral("1,022.03 kB"),
        QStringLiteral("198.18.0.1"), QStringLiteral("backup-nas"), QStringLiteral("AVAWAT To Ty Yo LT"),
        QStringLiteral("office fjord ffi fl"), QStringLiteral("  two  spaces  "),
        QStringLiteral("~`!@#$%^&*()_+{}|:<>?"), QStringLiteral("HOST"), QStringLiteral("x") };
    TTextComposer composer;
    std::mt19937 rng(7);
    for (int round = 0; round < 2; ++round) {
        for (const QFont& font : fonts()) {
            int composedCount = 0;
            QStringList all = texts;
            for (int i = 0; i < 60; ++i) {
                QString random;
                for (int n = 1 + int(rng() % 24); n > 0; --n)
                    random.append(QChar(char16_t(0x20 + rng() % 95)));
                all.append(random);
            }
            for (const QString& text : all) {
                bool composed = false;
                const QImage mine = drawnComposed(composer, font, text, composed);
                composedCount += composed;
                ASSERT_EQ(mine, drawnByQt(font, text))
                    << "\"" << text.toStdString() << "\" in " << font.toString().toStdString();
            }
            // Most of them go the composer's way, so the comparison is of its drawing.
            EXPECT_GT(composedCount, all.size() * 3 / 4) << font.toString().toStdString();
            bool composed = false;
            drawnComposed(composer, font, QStringLiteral("307.13 kb/s"), composed);
            EXPECT_TRUE(composed);
        }
    }
}

// A painter moved by part of a pixel, scaled or turned places glyphs by other rules; what is
// drawn through the composer there is still drawText's drawing.
TEST(TextComposer, DrawsAsDrawTextDoesThroughAnyTransform)
{
    TTextComposer composer;
    const QFont font = QApplication::font();
    for (const QTransform& transform : { QTransform::fromTranslate(0.5, 0), QTransform::fromTranslate(0.3, 0.7),
             QTransform::fromTranslate(0, 0.25), QTransform::fromScale(1.5, 1.5), QTransform().rotate(30) })
        for (const QString& text :
            { QStringLiteral("307.13 kb/s"), QStringLiteral("AVAWAT To"), QStringLiteral("x") }) {
            bool composed = false;
            ASSERT_EQ(drawnComposed(composer, font, text, composed, transform), drawnByQt(font, text, transform))
                << "\"" << text.toStdString() << "\" through " << transform.dx() << "," << transform.dy() << " "
                << transform.m11() << "," << transform.m12();
        }
}

// What it cannot match it leaves alone, drawing nothing: characters beyond printable ASCII,
// control characters, decorations, right-to-left painting, very long texts.
TEST(TextComposer, RefusesWhatDrawTextMustDraw)
{
    TTextComposer composer;
    auto refused = [&](const QFont& font, const QString& text, Qt::LayoutDirection direction = Qt::LeftToRight) {
        QImage image = blank();
        QPainter painter(&image);
        prepare(painter, font);
        painter.setLayoutDirection(direction);
        const bool drawn = composer.Draw(painter, Baseline, text);
        painter.end();
        return !drawn && image == blank();
    };
    const QFont font = QApplication::font();
    EXPECT_TRUE(refused(font, QString::fromUtf8("Zo\u00eb")));
    EXPECT_TRUE(refused(font, QString::fromUtf8("\u0645\u0631\u062d\u0628\u0627")));
    EXPECT_TRUE(refused(font, QStringLiteral("tab\there")));
    EXPECT_TRUE(refused(font, QString()));
    EXPECT_TRUE(refused(font, QStringLiteral("307.13 kb/s"), Qt::RightToLeft));
    EXPECT_TRUE(refused(font, QString(TTextComposer::MaxComposed + 1, QLatin1Char('8'))));
    QFont underlined = font;
    underlined.setUnderline(true);
    EXPECT_TRUE(refused(underlined, QStringLiteral("307.13 kb/s")));
    // The same texts are composed where nothing stands in the way.
    EXPECT_FALSE(refused(font, QStringLiteral("307.13 kb/s")));
    EXPECT_FALSE(refused(font, QString(TTextComposer::MaxComposed, QLatin1Char('8'))));
}
