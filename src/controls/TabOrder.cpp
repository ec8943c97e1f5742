#include "controls/TabOrder.h"

#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

std::vector<QWidget*> orderedChildren(QWidget* container)
{
    std::vector<QWidget*> children;
    for (QObject* o : container->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow())
            children.push_back(w);
    // Numbered controls first, in their order; the rest keep their creation order after them.
    std::stable_sort(children.begin(), children.end(), [](QWidget* a, QWidget* b) {
        QVariant x = a->property("tabOrder"), y = b->property("tabOrder");
        if (x.isValid() != y.isValid())
            return x.isValid();
        return x.isValid() && x.toInt() < y.toInt();
    });
    return children;
}

void collect(QWidget* container, std::vector<QWidget*>& chain)
{
    for (QWidget* w : orderedChildren(container)) {
        if (w->focusPolicy() != Qt::NoFocus)
            chain.push_back(w);
        collect(w, chain);
    }
}

} // namespace

void TabOrder::Apply(QWidget* form)
{
    std::vector<QWidget*> chain;
    collect(form, chain);
    for (size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
