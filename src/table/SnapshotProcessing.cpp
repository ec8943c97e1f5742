#include "app/SnifferMainForm.h"

#include "base/StringList.h"

void TSnifferMainForm::ProcessSnapshot(const TStringList*)
{
}

std::string TSnifferMainForm::FormatSpeed(int64_t) const
{
    return {};
}

void TSnifferMainForm::TakeRegionalSettings()
{
}
