#include "app/SnifferMainForm.h"

#include "service/ServiceLocations.h"
#include "settings/SnifferSettings.h"
#include "table/QuickList.h"

void TSnifferMainForm::LoadHostNames()
{
    HostNames->SetSorted(false);
    const std::string location = SnifferSettings::Open().ReadString(
        SnifferSettings::Section, "IPSource", ServiceLocations::NameList(ServiceAddress));
    FetchLines(location, *HostNames);
    NormalizeHostNames(*HostNames);
}
