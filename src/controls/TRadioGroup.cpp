#include "controls/TRadioGroup.h"

#include <QDynamicPropertyChangeEvent>
#include <QRadioButton>
#include <QVariant>

TRadioGroup::TRadioGroup(QWidget* parent)
    : QGroupBox(parent)
{
    group_.setExclusive(true);
    connect(&group_, &QButtonGroup::idClicked, this, [this](int) { emit Click(); });
}

void TRadioGroup::SetItems(const QStringList& items)
{
    for (QAbstractButton* b : group_.buttons()) {
        group_.removeButton(b);
        delete b;
    }
    items_ = items;
    for (int i = 0; i < items_.size(); ++i) {
        auto* b = new QRadioButton(items_[i], this);
        b->setObjectName(objectName() + "_item" + QString::number(i));
        group_.addButton(b, i);
        b->show();
    }
    // The form may state the selection before it states the items.
    if (property("itemIndex").isValid())
        SetItemIndex(property("itemIndex").toInt());
    placeButtons();
}

int TRadioGroup::ItemIndex() const
{
    return group_.checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton* b = group_.button(index))
        b->setChecked(true);
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return qobject_cast<QRadioButton*>(group_.button(index));
}

bool TRadioGroup::event(QEvent* e)
{
    if (e->type() == QEvent::DynamicPropertyChange) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName();
        if (name == "items")
            SetItems(property("items").toStringList());
        else if (name == "itemIndex")
            SetItemIndex(property("itemIndex").toInt());
    }
    return QGroupBox::event(e);
}

void TRadioGroup::resizeEvent(QResizeEvent* e)
{
    QGroupBox::resizeEvent(e);
    placeButtons();
}

void TRadioGroup::placeButtons()
{
    const int n = int(items_.size());
    if (n == 0)
        return;
    const int top = 15, bottom = 4;
    const int rowHeight = std::max(1, (height() - top - bottom) / n);
    for (int i = 0; i < n; ++i) {
        if (QAbstractButton* b = group_.button(i))
            b->setGeometry(8, top + i * rowHeight, std::max(0, width() - 12), std::min(rowHeight, 17));
    }
}
