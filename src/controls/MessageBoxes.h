#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

// The standard error box: the message with a full stop added unless it ends in one, the
// application's title as caption, an error icon and an OK button.
QString ErrorBoxText(const QString& message);
void ShowErrorBox(const QString& message);
void ShowErrorBox(const std::exception& error);

// The standard message box with an OK button and the application's title as caption.
void ShowMessage(const QString& text);

// Tests replace the modal boxes with a recorder: kind is "error" or "message".
using MessageBoxSink = std::function<void(const QString& kind, const QString& caption, const QString& text)>;
void SetMessageBoxSinkForTesting(MessageBoxSink sink);

// Runs a handler the window system called: whatever escapes it is shown in the error box,
// the handler is abandoned and the program goes on.
void RunGuarded(const std::function<void()>& handler);
