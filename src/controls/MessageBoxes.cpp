#include "controls/MessageBoxes.h"

#include "controls/DisplayText.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MessageBoxSink& sink()
{
    static MessageBoxSink s;
    return s;
}

QString applicationTitle()
{
    QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

void show(QMessageBox::Icon icon, const QString& kind, const QString& text)
{
    if (sink()) {
        sink()(kind, applicationTitle(), text);
        return;
    }
    QMessageBox box(icon, applicationTitle(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}
} // namespace

QString ErrorBoxText(const QString& message)
{
    return message.endsWith('.') ? message : message + '.';
}

void ShowErrorBox(const QString& message)
{
    show(QMessageBox::Critical, "error", ErrorBoxText(message));
}

void ShowErrorBox(const std::exception& error)
{
    ShowErrorBox(DisplayText(error.what()));
}

void ShowMessage(const QString& text)
{
    show(QMessageBox::NoIcon, "message", text);
}

void SetMessageBoxSinkForTesting(MessageBoxSink s)
{
    sink() = std::move(s);
}

void RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowErrorBox(e);
    }
}
