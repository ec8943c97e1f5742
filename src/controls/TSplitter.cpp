#include "controls/TSplitter.h"

#include "controls/AlignLayout.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariant>

#include <algorithm>

TSplitter::TSplitter(QWidget* parent)
    : QWidget(parent)
{
}

bool TSplitter::vertical() const
{
    const QString a = property("align").toString();
    return a == "left" || a == "right";
}

QWidget* TSplitter::Neighbour() const
{
    if (!parentWidget())
        return nullptr;
    const QString a = property("align").toString();
    for (QObject* o : parentWidget()->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w == this || w->property("align").toString() != a)
            continue;
        if ((a == "left" && w->geometry().right() + 1 == x()) || (a == "right" && w->x() == geometry().right() + 1)
            || (a == "top" && w->geometry().bottom() + 1 == y())
            || (a == "bottom" && w->y() == geometry().bottom() + 1))
            return w;
    }
    return nullptr;
}

void TSplitter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    if (property("beveled").toBool()) {
        p.setPen(palette().color(QPalette::Light));
        if (vertical())
            p.drawLine(0, 0, 0, height() - 1);
        else
            p.drawLine(0, 0, width() - 1, 0);
        p.setPen(palette().color(QPalette::Dark));
        if (vertical())
            p.drawLine(width() - 1, 0, width() - 1, height() - 1);
        else
            p.drawLine(0, height() - 1, width() - 1, height() - 1);
    }
}

void TSplitter::mousePressEvent(QMouseEvent* event)
{
    QWidget* n = Neighbour();
    if (event->button() != Qt::LeftButton || !n)
        return;
    dragging_ = true;
    pressPos_ = event->globalPosition().toPoint();
    startSize_ = vertical() ? n->width() : n->height();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event)
{
    QWidget* n = Neighbour();
    if (!dragging_ || !n)
        return;
    const QPoint delta = event->globalPosition().toPoint() - pressPos_;
    const QString a = property("align").toString();
    int change = vertical() ? delta.x() : delta.y();
    if (a == "right" || a == "bottom")
        change = -change;
    if (vertical())
        n->resize(std::clamp(startSize_ + change, n->minimumWidth(), n->maximumWidth()), n->height());
    else
        n->resize(n->width(), std::clamp(startSize_ + change, n->minimumHeight(), n->maximumHeight()));
    AlignLayout::Apply(parentWidget());
}

void TSplitter::mouseReleaseEvent(QMouseEvent*)
{
    dragging_ = false;
}
