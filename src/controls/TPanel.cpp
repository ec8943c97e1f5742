#include "controls/TPanel.h"

#include <QPainter>
#include <QVariant>

TPanel::TPanel(QWidget* parent)
    : QFrame(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

QString TPanel::Caption() const
{
    return property("caption").toString();
}

void TPanel::SetCaption(const QString& caption)
{
    if (caption == Caption())
        return;
    setProperty("caption", caption);
    update();
}

int TPanel::BevelWidth() const
{
    return property("bevel").toInt();
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    QColor textColor = property("captionColor").isValid() ? property("captionColor").value<QColor>()
                                                          : palette().color(QPalette::WindowText);
    p.setPen(textColor);
    p.drawText(rect(), Qt::AlignCenter, Caption());
    int bevel = BevelWidth();
    if (bevel > 0) {
        QRect r = rect().adjusted(0, 0, -1, -1);
        for (int i = 0; i < bevel; ++i) {
            p.setPen(palette().color(QPalette::Light));
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(palette().color(QPalette::Dark));
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
            r.adjust(1, 1, -1, -1);
        }
    }
}
