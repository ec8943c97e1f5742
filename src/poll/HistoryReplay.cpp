#include "poll/HistoryReplay.h"

#include "poll/HistoryBlocks.h"
#include "service/FetchLimits.h"
#include "service/ServiceAccess.h"

bool ReplayHistory(
    TServiceAccess& service, const std::string& location, const std::function<bool(const TStringList& block)>& apply)
{
    bool applied = false;
    THistoryBlocks blocks(
        [&](const TStringList& block) { applied = apply(block) || applied; }, FetchLimits().MaxHistoryBlockBytes);
    service.FetchLineStream(location, [&](std::string_view line) { return blocks.AddLine(line); });
    return applied;
}
