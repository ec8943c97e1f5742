#include "controls/AlignLayout.h"

#include "controls/TPanel.h"

#include <QEvent>
#include <QObject>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

const char* const AlignProperty = "align";
const char* const AnchorsProperty = "anchors";
const char* const RightDistanceProperty = "_rightDistance";
const char* const BusyProperty = "_aligning";

QString alignOf(const QWidget* w)
{
    return w->property(AlignProperty).toString();
}

QRect clientArea(QWidget* container)
{
    QRect r = container->rect();
    if (auto* panel = qobject_cast<TPanel*>(container)) {
        int b = panel->BevelWidth();
        r.adjust(b, b, -b, -b);
    }
    return r;
}

class AlignWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Resize)
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w)
            return false;
        // A container's own resize re-lays its children; an aligned child resized by code
        // (a chart given a new height) makes its siblings follow at once.
        if (w->property("_alignContainer").toBool())
            AlignLayout::Apply(w);
        if (!alignOf(w).isEmpty() && w->parentWidget())
            AlignLayout::Apply(w->parentWidget());
        return false;
    }
};

AlignWatcher* watcher()
{
    static AlignWatcher* instance = new AlignWatcher();
    return instance;
}

} // namespace

void AlignLayout::Install(QWidget* container)
{
    container->setProperty("_alignContainer", true);
    container->installEventFilter(watcher());
    const int width = container->width();
    for (QObject* o : container->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child)
            continue;
        if (child->property(AnchorsProperty).toString().contains("right"))
            child->setProperty(RightDistanceProperty, width - (child->x() + child->width()));
        if (!alignOf(child).isEmpty()) {
            child->installEventFilter(watcher());
            Install(child);
        }
    }
    Apply(container);
}

void AlignLayout::Apply(QWidget* container)
{
    if (container->property(BusyProperty).toBool())
        return;
    container->setProperty(BusyProperty, true);

    QRect area = clientArea(container);
    std::vector<QWidget*> tops, bottoms, lefts, rights, clients;
    for (QObject* o : container->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child || child->isWindow())
            continue;
        const QString a = alignOf(child);
        if (a == "top")
            tops.push_back(child);
        else if (a == "bottom")
            bottoms.push_back(child);
        else if (a == "left")
            lefts.push_back(child);
        else if (a == "right")
            rights.push_back(child);
        else if (a == "client")
            clients.push_back(child);
        else if (child->property(RightDistanceProperty).isValid())
            child->move(
                container->width() - child->property(RightDistanceProperty).toInt() - child->width(), child->y());
    }
    auto byY = [](QWidget* a, QWidget* b) { return a->y() < b->y(); };
    auto byX = [](QWidget* a, QWidget* b) { return a->x() < b->x(); };
    std::stable_sort(tops.begin(), tops.end(), byY);
    std::stable_sort(bottoms.begin(), bottoms.end(), [&](QWidget* a, QWidget* b) { return byY(b, a); });
    std::stable_sort(lefts.begin(), lefts.end(), byX);
    std::stable_sort(rights.begin(), rights.end(), [&](QWidget* a, QWidget* b) { return byX(b, a); });

    for (QWidget* w : tops) {
        w->setGeometry(area.left(), area.top(), area.width(), w->height());
        area.setTop(area.top() + w->height());
    }
    for (QWidget* w : bottoms) {
        w->setGeometry(area.left(), area.bottom() + 1 - w->height(), area.width(), w->height());
        area.setBottom(area.bottom() - w->height());
    }
    for (QWidget* w : lefts) {
        w->setGeometry(area.left(), area.top(), w->width(), std::max(0, area.height()));
        area.setLeft(area.left() + w->width());
    }
    for (QWidget* w : rights) {
        w->setGeometry(area.right() + 1 - w->width(), area.top(), w->width(), std::max(0, area.height()));
        area.setRight(area.right() - w->width());
    }
    for (QWidget* w : clients)
        w->setGeometry(area.left(), area.top(), std::max(0, area.width()), std::max(0, area.height()));

    container->setProperty(BusyProperty, false);
}
