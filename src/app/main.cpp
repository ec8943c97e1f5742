#include "app/SnifferMainForm.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Traffic Monitor");
    TSnifferMainForm form;
    // Restored, the window stands centred at its design size; it starts maximized.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), form.size());
        frame.moveCenter(screen->availableGeometry().center());
        form.move(frame.topLeft());
    }
    form.showMaximized();
    return app.exec();
}
