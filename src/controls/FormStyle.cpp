#include "controls/FormStyle.h"

#include <QVariant>
#include <QWidget>

namespace {
void styleControl(QWidget* w)
{
    const QVariant height = w->property("fontHeight");
    const QVariant bold = w->property("fontBold");
    if (height.isValid() || bold.isValid()) {
        QFont f = w->font();
        if (height.isValid())
            f.setPixelSize(height.toInt());
        f.setBold(bold.toBool());
        w->setFont(f);
    }
    const QVariant color = w->property("fontColor");
    if (color.isValid()) {
        QPalette p = w->palette();
        p.setColor(QPalette::WindowText, QColor(color.toString()));
        p.setColor(QPalette::Text, QColor(color.toString()));
        w->setPalette(p);
        w->setProperty("captionColor", QColor(color.toString()));
    }
    const QVariant background = w->property("backgroundColor");
    if (background.isValid()) {
        QPalette p = w->palette();
        QString name = background.toString();
        p.setColor(QPalette::Window, name == "buttonface" ? p.color(QPalette::Button) : QColor(name));
        w->setPalette(p);
        w->setAutoFillBackground(true);
    }
}
} // namespace

void FormStyle::Apply(QWidget* form, int windowFontHeight)
{
    QFont f(FontFamily);
    f.setPixelSize(windowFontHeight);
    form->setFont(f);
    QPalette p = form->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    form->setPalette(p);
    form->setAutoFillBackground(true);
    for (QWidget* w : form->findChildren<QWidget*>())
        styleControl(w);
}
