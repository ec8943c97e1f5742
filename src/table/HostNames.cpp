#include "app/SnifferMainForm.h"

#include "table/QuickList.h"

void TSnifferMainForm::LoadHostNames()
{
}
