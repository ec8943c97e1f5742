#pragma once

#include <QString>

class QLabel;

// Sets a label's caption and lets its width follow the text, as the form's labels size
// themselves to their captions; the top-left corner and the height stay.
void SetLabelCaption(QLabel* label, const QString& caption);
