#include "controls/EventBinding.h"

#include "controls/MessageBoxes.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QEvent>
#include <QMetaMethod>
#include <QVariant>
#include <QWidget>

namespace {

// Carries one control event to the form's handler of the given name.
class EventRelay : public QObject {
    Q_OBJECT
public:
    EventRelay(QObject* form, QObject* control, QByteArray handler)
        : QObject(control)
        , form_(form)
        , control_(control)
        , handler_(std::move(handler))
    {
    }

public slots:
    void fire() { EventBinding::Invoke(form_, handler_.constData(), control_); }
    void fireInt(int) { fire(); }
    void fireMouse(Qt::KeyboardModifiers shift, int x, int y)
    {
        const QByteArray signature
            = QMetaObject::normalizedSignature(handler_ + "(QObject*,Qt::KeyboardModifiers,int,int)");
        int index = form_->metaObject()->indexOfMethod(signature);
        if (index < 0)
            return;
        QMetaMethod method = form_->metaObject()->method(index);
        RunGuarded([&] {
            method.invoke(form_, Qt::DirectConnection, Q_ARG(QObject*, control_), Q_ARG(Qt::KeyboardModifiers, shift),
                Q_ARG(int, x), Q_ARG(int, y));
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == control_ && event->type() == QEvent::Resize)
            fire();
        return false;
    }

private:
    QObject* form_;
    QObject* control_;
    QByteArray handler_;
};

bool hasSignal(QObject* o, const char* signature)
{
    return o->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(signature)) >= 0;
}

void bind(QObject* form, QObject* control)
{
    const QByteArray onClick = control->property("onClick").toByteArray();
    if (!onClick.isEmpty()) {
        auto* relay = new EventRelay(form, control, onClick);
        if (hasSignal(control, "Click()"))
            QObject::connect(control, SIGNAL(Click()), relay, SLOT(fire()));
        else if (qobject_cast<QAbstractButton*>(control))
            QObject::connect(control, SIGNAL(clicked()), relay, SLOT(fire()));
    }
    const QByteArray onChange = control->property("onChange").toByteArray();
    if (!onChange.isEmpty() && qobject_cast<QAbstractSlider*>(control))
        QObject::connect(
            control, SIGNAL(valueChanged(int)), new EventRelay(form, control, onChange), SLOT(fireInt(int)));
    const QByteArray onResize = control->property("onResize").toByteArray();
    if (!onResize.isEmpty())
        control->installEventFilter(new EventRelay(form, control, onResize));
    // A chart's click on a series; its handler takes the sender alone, so the signal's own
    // arguments (series and point) are dropped on the way.
    const QByteArray onClickSeries = control->property("onClickSeries").toByteArray();
    if (!onClickSeries.isEmpty() && hasSignal(control, "ClickSeries(TChartSeries*,int)"))
        QObject::connect(control, SIGNAL(ClickSeries(TChartSeries*, int)), new EventRelay(form, control, onClickSeries),
            SLOT(fire()));
    const QByteArray onMouseMove = control->property("onMouseMove").toByteArray();
    if (!onMouseMove.isEmpty() && hasSignal(control, "MouseMoved(Qt::KeyboardModifiers,int,int)"))
        QObject::connect(control, SIGNAL(MouseMoved(Qt::KeyboardModifiers, int, int)),
            new EventRelay(form, control, onMouseMove), SLOT(fireMouse(Qt::KeyboardModifiers, int, int)));
}

} // namespace

bool EventBinding::Invoke(QObject* form, const char* handler, QObject* sender)
{
    const QByteArray signature = QMetaObject::normalizedSignature(QByteArray(handler) + "(QObject*)");
    int index = form->metaObject()->indexOfMethod(signature);
    if (index < 0)
        return false;
    QMetaMethod method = form->metaObject()->method(index);
    RunGuarded([&] { method.invoke(form, Qt::DirectConnection, Q_ARG(QObject*, sender)); });
    return true;
}

void EventBinding::BindByName(QWidget* form)
{
    for (QObject* o : form->findChildren<QObject*>())
        bind(form, o);
}

#include "EventBinding.moc"
