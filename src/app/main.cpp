#include "app/SnifferMainForm.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel Traffic Monitor");
    TSnifferMainForm form;
    form.showMaximized();
    return app.exec();
}
