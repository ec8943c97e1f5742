#pragma once

#include <QString>

class QLabel;

// Sets a label's caption and lets its width follow the text, as the form's labels size
// themselves to their captions; the top-left corner and the height stay. A label never grows past
// its maximum width: a longer caption is set in a smaller font.
void SetLabelCaption(QLabel* label, const QString& caption);

// The width of the label's size hint. A caption of plain text without word wrap is measured with
// one text layout, not the three the size hint makes; any other label asks its size hint.
int CaptionWidth(const QLabel* label);
