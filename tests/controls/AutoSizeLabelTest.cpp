#include "controls/AutoSizeLabel.h"

#include <QFont>
#include <QLabel>

#include <gtest/gtest.h>

#include <functional>
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
