#include "controls/AutoSizeLabel.h"

#include "controls/TextComposer.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QTextDocument>
#include <QVariant>

#include <algorithm>

namespace {
// Below this a caption is no longer readable; it is cut at the label's room instead.
constexpr int SmallestPixelSize = 8;

// A caption of plain text without word wrap is measured with one text layout; any other label
// asks its size hint. Setting a text that is not empty takes away any picture, so a label whose
// text has just been set needs no look at its pictures, each a copy.
bool plainCaption(const QLabel* label)
{
    const QString& text = label->text();
    const bool plain
        = label->textFormat() == Qt::PlainText || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(text));
    return !text.isEmpty() && plain && !label->wordWrap() && label->buddy() == nullptr;
}

bool measuredOnce(const QLabel* label)
{
    return plainCaption(label) && label->pixmap().isNull() && label->picture().isNull();
}

// The labels of one window measure their captions with one composer, which lives as long as the window.
TTextComposer& captionComposer(const QLabel* label)
{
    struct TKeptComposer : QObject {
        using QObject::QObject;
        TTextComposer Composer;
    };
    static const QString name = QStringLiteral("captionComposer");
    QWidget* window = label->window();
    QObject* kept = window->findChild<QObject*>(name, Qt::FindDirectChildrenOnly);
    if (!kept) {
        kept = new TKeptComposer(window);
        kept->setObjectName(name);
    }
    return static_cast<TKeptComposer*>(kept)->Composer;
}

// Without word wrap the size hint lays such a caption out at three widths that cannot change it;
// this is the same measure once, with the same margins, indent and minimum, in the given font.
int plainCaptionWidth(const QLabel* label, const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString text = label->text();
    const Qt::LayoutDirection direction = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int align = int(QStyle::visualAlignment(direction, label->alignment()));
    int extra = 2 * label->margin();
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() != 0)
        indent = metrics.horizontalAdvance(QLatin1Char('x')) - label->margin() * 2;
    if (indent > 0 && (align & (Qt::AlignLeft | Qt::AlignRight)) != 0)
        extra += indent;
    const QMargins margins = label->contentsMargins();
    const int outside = margins.left() + margins.right();
    const int room = std::max(2000, label->minimumWidth()) - extra - outside;
    // A label expands tabs, a flag its alignment does not show.
    const int flags = (align & ~(Qt::AlignVCenter | Qt::AlignHCenter)) | Qt::TextExpandTabs;
    // The totals change every second; their glyphs were shaped before.
    int width = 0;
    if ((flags & Qt::AlignJustify) != 0 || !captionComposer(label).Width(font, text, width))
        width = metrics.boundingRect(0, 0, room, 2000, flags, text).width();
    return std::max(width + extra + outside, label->minimumWidth());
}
} // namespace

int CaptionWidth(const QLabel* label)
{
    return measuredOnce(label) ? plainCaptionWidth(label, label->font()) : label->sizeHint().width();
}

void SetLabelCaption(QLabel* label, const QString& caption)
{
    label->setText(caption);
    // The form's maximum width is the room up to the label's neighbour. A caption too long for it
    // steps down from the label's own font size until it fits, rather than running under the
    // neighbour; a shorter one gets the full size back.
    const int room = label->maximumWidth();
    const QVariant designSize = label->property("fontHeight");
    int width = 0;
    if (designSize.isValid() && room < QWIDGETSIZE_MAX) {
        QFont font = label->font();
        int size = designSize.toInt();
        // A plain caption is measured in each size's metrics and the label takes the size found;
        // setting every size on the way made each poll of a long caption change the label's font
        // twice or more. Any other caption is measured by the label in each size.
        const bool once = plainCaption(label);
        for (;;) {
            // The label's own size is kept as it is: the font set again would look its glyphs
            // up anew.
            const bool ownSize
                = font.pixelSize() == size && (font.resolveMask() & QFont::SizeResolved) && font == label->font();
            if (!ownSize)
                font.setPixelSize(size);
            if (once) {
                width = plainCaptionWidth(label, ownSize ? label->font() : font);
            } else {
                label->setFont(font);
                width = label->sizeHint().width();
            }
            if (size <= SmallestPixelSize || width <= room)
                break;
            --size;
        }
        if (once && !(font == label->font() && font.resolveMask() == label->font().resolveMask()))
            label->setFont(font);
    } else {
        width = CaptionWidth(label);
    }
    label->resize(std::min(width, room), label->height());
}
