#include "app/SnifferMainForm.h"

#include "controls/TStringGrid.h"

void TSnifferMainForm::StringGrid1DrawCell(TGridCanvas&, int, int, const QRect&, const TGridDrawState&)
{
}
