#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QRadioButton;

// A captioned group of radio buttons, one column, addressed by item index.
// The items come from the dynamic property "items" (a string list), the selection from "itemIndex".
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    QStringList Items() const { return items_; }
    void SetItems(const QStringList& items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Button(int index) const;

signals:
    // A user's choice of another item; selecting by code does not raise it.
    void Click();

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void placeButtons();
    QStringList items_;
    QButtonGroup group_;
};
