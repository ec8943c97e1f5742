#include "controls/AutoSizeLabel.h"

#include <QLabel>

void SetLabelCaption(QLabel* label, const QString& caption)
{
    label->setText(caption);
    label->resize(label->sizeHint().width(), label->height());
}
