#include "controls/AutoSizeLabel.h"

#include <QLabel>
#include <QVariant>

#include <algorithm>

namespace {
// Below this a caption is no longer readable; it is cut at the label's room instead.
constexpr int SmallestPixelSize = 8;
} // namespace

void SetLabelCaption(QLabel* label, const QString& caption)
{
    label->setText(caption);
    // The form's maximum width is the room up to the label's neighbour. A caption too long for it
    // steps down from the label's own font size until it fits, rather than running under the
    // neighbour; a shorter one gets the full size back.
    const int room = label->maximumWidth();
    const QVariant designSize = label->property("fontHeight");
    if (designSize.isValid() && room < QWIDGETSIZE_MAX) {
        QFont font = label->font();
        int size = designSize.toInt();
        for (;;) {
            font.setPixelSize(size);
            label->setFont(font);
            if (size <= SmallestPixelSize || label->sizeHint().width() <= room)
                break;
            --size;
        }
    }
    label->resize(std::min(label->sizeHint().width(), room), label->height());
}
