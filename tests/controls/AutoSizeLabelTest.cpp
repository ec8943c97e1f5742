#include "controls/AutoSizeLabel.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

// The caption's width is measured once where the size hint measures three times: it must be the
// size hint's width for every label setting a caption may meet, and the size hint itself where the
// single measure does not apply.
TEST(CaptionWidth, IsTheSizeHintsWidthWhateverTheLabelsSettings)
{
    const std::vector<std::function<void(QLabel&)>> settings = {
        [](QLabel&) {},
        [](QLabel& l) { l.setMargin(3); },
        [](QLabel& l) { l.setIndent(5); },
        [](QLabel& l) { l.setFrameStyle(QFrame::Box); },
        [](QLabel& l) {
            l.setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l.setLineWidth(2);
            l.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        },
        [](QLabel& l) { l.setAlignment(Qt::AlignHCenter | Qt::AlignTop); },
        [](QLabel& l) { l.setMinimumWidth(300); },
        [](QLabel& l) { l.setContentsMargins(4, 1, 7, 2); },
        [](QLabel& l) { l.setWordWrap(true); },
        [](QLabel& l) { l.setTextFormat(Qt::RichText); },
    };
    const std::vector<QString> captions = { "", " ", "IRLabel", "1.02 kb/s, 1.00 GB", "0.05 kb/s, 0.01 kB  ",
        "AVAWAY To Wo", "&Send", "a\nbb\nccc", "tab\there", "<b>bold</b> 12", QString::fromUtf8("\xD7\xA9\xD7\x9C 42"),
        QString::fromUtf8("B\xC3\xBCro 1\xC2\xA0"
                          "234,56 MB/s") };
    for (size_t s = 0; s < settings.size(); ++s)
        for (int pixels : { 8, 11, 13, 20 })
            for (bool bold : { false, true })
                for (const QString& caption : captions) {
                    QLabel label;
                    QFont font = label.font();
                    font.setPixelSize(pixels);
                    font.setBold(bold);
                    label.setFont(font);
                    settings[s](label);
                    label.setText(caption);
                    EXPECT_EQ(CaptionWidth(&label), label.sizeHint().width())
                        << "setting " << s << ", " << pixels << " px, bold " << bold << ", " << caption.toStdString();
                }
}

// Plain captions of printable ASCII are measured from glyphs shaped before: random ones, with
// the kerned and joined pairs they meet, in several faces and sizes, keep the size hint's width.
TEST(CaptionWidth, ComposedCaptionsKeepTheSizeHintsWidth)
{
    std::mt19937 rng(5);
    std::vector<QString> captions = { "198.80 Mb/s, 2.93 GB", "AVAWAT Ty Yo", "office ffi fl", "  lead", "x" };
    for (int i = 0; i < 40; ++i) {
        QString caption;
        for (int n = 1 + int(rng() % 30); n > 0; --n)
            caption.append(QChar(char16_t(0x20 + rng() % 95)));
        captions.push_back(caption);
    }
    for (const char* family : { "", "Liberation Sans", "DejaVu Sans" })
        for (int pixels : { 9, 11, 16 })
            for (bool bold : { false, true })
                for (Qt::Alignment alignment : { Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignTop })
                    for (const QString& caption : captions) {
                        QLabel label;
                        QFont font = label.font();
                        if (*family)
                            font.setFamily(QString::fromLatin1(family));
                        font.setPixelSize(pixels);
                        font.setBold(bold);
                        label.setFont(font);
                        label.setAlignment(alignment);
                        label.setText(caption);
                        ASSERT_EQ(CaptionWidth(&label), label.sizeHint().width())
                            << family << " " << pixels << " px, bold " << bold << ", \"" << caption.toStdString()
                            << "\"";
                    }
}

namespace {

// The caption's size as the label itself finds it: each size set on the label and its size
// hint read, from the design size down.
std::pair<int, int> sizeFoundByTheLabel(QLabel& label, const QString& caption, int designSize)
{
    label.setText(caption);
    QFont font = label.font();
    int size = designSize, width = 0;
    for (;;) {
        font.setPixelSize(size);
        label.setFont(font);
        width = label.sizeHint().width();
        if (size <= 8 || width <= label.maximumWidth())
            break;
        --size;
    }
    return { std::min(width, label.maximumWidth()), size };
}

class FontChangeCounter : public QObject {
public:
    int changes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        changes += event->type() == QEvent::FontChange;
        return false;
    }
};

} // namespace

// A caption too long for the label's room steps down in size until it fits. Measured size by size
// without setting each on the label, it must come out as the label's own size hint finds it, and
// the label's font change at most once for a plain caption.
TEST(SetLabelCaption, StepsDownToTheSizeTheLabelsOwnMeasureFinds)
{
    const std::vector<QString> captions = { "1.02 kb/s, 1.00 GB", "5.68 Gb/s, 504,594.76 GB",
        "25.68 Gb/s, 1,504,594.76 GB", "1,234,567,890.12 Gb/s, 8,000,000,000.00 GB", "AVAWAY To Wo", "tab\there",
        "<b>bold</b> 1,234,567.89 GB", QString::fromUtf8("\xD7\xA9\xD7\x9C 42 1,234,567 GB") };
    for (int room : { 60, 120, 198, 400 })
        for (bool bold : { false, true })
            for (int margin : { 0, 3 })
                for (int designSize : { 11, 16 }) {
                    QLabel label, reference;
                    FontChangeCounter counter;
                    label.installEventFilter(&counter);
                    for (QLabel* l : { &label, &reference }) {
                        QFont font = l->font();
                        font.setBold(bold);
                        font.setPixelSize(designSize);
                        l->setFont(font);
                        l->setMaximumWidth(room);
                        l->setMargin(margin);
                        l->setProperty("fontHeight", designSize);
                        // A caption takes the picture's place.
                        QPixmap picture(300, 30);
                        picture.fill(Qt::red);
                        l->setPixmap(picture);
                    }
                    for (const QString& caption : captions) {
                        const int sizeBefore = label.font().pixelSize();
                        counter.changes = 0;
                        SetLabelCaption(&label, caption);
                        const auto [width, size] = sizeFoundByTheLabel(reference, caption, designSize);
                        const std::string where = caption.toStdString() + ", room " + std::to_string(room);
                        EXPECT_EQ(label.width(), width) << where;
                        EXPECT_EQ(label.font().pixelSize(), size) << where;
                        EXPECT_EQ(label.font(), reference.font()) << where;
                        // Rich text is measured by the label itself, in each size on the way.
                        if (!Qt::mightBeRichText(caption)) {
                            EXPECT_EQ(counter.changes, size == sizeBefore ? 0 : 1) << where;
                        }
                    }
                }
}
