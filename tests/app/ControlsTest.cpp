#include "controls/EventBinding.h"
#include "controls/TRadioGroup.h"

#include <QPushButton>
#include <QRadioButton>
#include <QVariant>

#include <gtest/gtest.h>

namespace {
class Handlers : public QWidget {
    Q_OBJECT
public:
    QStringList calls;
public slots:
    void ButtonClick(QObject* sender) { calls << "ButtonClick:" + sender->objectName(); }
    void GroupClick(QObject*) { calls << "GroupClick"; }
    void Failing(QObject*) { throw std::runtime_error("boom"); }
};
} // namespace

TEST(EventBinding, ControlsCallTheHandlerTheyNameWithThemselvesAsSender)
{
    Handlers form;
    auto* button = new QPushButton(&form);
    button->setObjectName("OkBtn");
    button->setProperty("onClick", "ButtonClick");
    auto* group = new TRadioGroup(&form);
    group->setProperty("items", QStringList({ "a", "b" }));
    group->setProperty("itemIndex", 0);
    group->setProperty("onClick", "GroupClick");
    EventBinding::BindByName(&form);
    button->click();
    EXPECT_EQ(group->ItemIndex(), 0);
    group->SetItemIndex(1); // a change by code raises no click
    group->Button(0)->click();
    EXPECT_EQ(form.calls, QStringList({ "ButtonClick:OkBtn", "GroupClick" }));
    EXPECT_FALSE(EventBinding::Invoke(&form, "NoSuchHandler", button));
}

#include "ControlsTest.moc"
