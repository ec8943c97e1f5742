#include "table/SnapshotModel.h"

#include "base/StringList.h"
#include "base/StripMarkup.h"
#include "table/HostLine.h"
#include "table/HostRanks.h"
#include "table/QuickList.h"

namespace {

using HostRanks::GraphedHosts;
using HostRanks::OtherPosition;

// The "Current speed" order: descending by current traffic, the sum of a line's two rates, read
// once into its tag before the sort. The sort compares tags alone (CustomSortByTag), with the same
// quicksort and exchanges as a sort of the lines, ties included.
int CompareCurrentSpeed(int64_t a, int64_t b)
{
    if (a == b)
        return 0;
    return a < b ? 1 : -1;
}

} // namespace

std::string FormatRate(int64_t value, bool inBits, const TFormatSettings& separators)
{
    return inBits ? FormatBits(value, true, separators) : FormatBytes(value, true, separators);
}

bool ComputeSnapshot(TStringList lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result)
{
    if (lines.Count() == 0)
        return false;

    TStringList& work = lines;
    work.Delete(0);
    const bool bySpeed = options.Order == THostOrder::CurrentSpeed;
    if (bySpeed) {
        // The service's closing line goes before the sort, so that only host lines are ordered
        // and no real host is dropped in its place.
        if (work.Count() > 0)
            work.Delete(work.Count() - 1);
        for (int i = 0; i < work.Count(); ++i) {
            const THostLine host(work[i]);
            work.SetTag(i, WrappingAdd(host.SendRate(), host.RecvRate()));
        }
        if (work.Count() >= 2)
            work.CustomSortByTag(&CompareCurrentSpeed);
        work.Insert(0, "dummy");
    } else {
        work.Insert(0, "dummy");
        work.Delete(work.Count() - 1);
    }

    const bool live = options.Mode == TSnapshotMode::Live;
    const bool activeOnly = options.ActiveOnly;
    const TFormatSettings& fs = options.Separators;
    result.RowCountFirst = !activeOnly;
    result.Rows.clear();
    result.Samples.clear();

    int64_t totalSendRate = 0, totalRecvRate = 0, totalSent = 0, totalReceived = 0;
    int64_t otherSendRate = 0, otherRecvRate = 0;
    for (int p = 1; p < work.Count(); ++p) {
        const THostLine host(StripMarkup(work[p]));
        const int64_t sendRate = host.SendRate();
        const int64_t recvRate = host.RecvRate();
        const int64_t sent = host.Sent();
        const int64_t received = host.Received();
        std::string address(host.Address());
        std::string name = live ? names.Lookup(address) : std::string();

        if (live) {
            const int64_t rateSum = WrappingAdd(sendRate, recvRate);
            const bool leftOut
                = (p >= HostRanks::ActiveRuleFrom && activeOnly && rateSum <= 0) || (bySpeed && rateSum <= 0);
            if (!leftOut)
                result.Rows.push_back({ name, address, FormatRate(recvRate, options.RatesInBits, fs),
                    FormatRate(sendRate, options.RatesInBits, fs), FormatBytes(received, false, fs),
                    FormatBytes(sent, false, fs) });
        }
        totalSent = WrappingAdd(totalSent, sent);
        totalReceived = WrappingAdd(totalReceived, received);
        totalSendRate = WrappingAdd(totalSendRate, sendRate);
        totalRecvRate = WrappingAdd(totalRecvRate, recvRate);

        if (p > GraphedHosts) {
            otherRecvRate = WrappingAdd(otherRecvRate, recvRate);
            otherSendRate = WrappingAdd(otherSendRate, sendRate);
        } else {
            result.Samples.push_back({ p - 1, std::move(name), std::move(address), recvRate, sendRate });
        }
    }
    result.RowCount = activeOnly ? int(result.Rows.size()) + 1 : work.Count();

    // With 30 host lines or more, the hosts beyond the first 29 are drawn together as "Other".
    if (work.Count() - 1 >= HostRanks::ActiveRuleFrom)
        result.Samples.push_back({ OtherPosition, "Other", "0.0.0.0", otherRecvRate, otherSendRate });
    result.SendTotals = FormatRate(totalSendRate, options.RatesInBits, fs) + ", " + FormatBytes(totalSent, false, fs);
    result.RecvTotals
        = FormatRate(totalRecvRate, options.RatesInBits, fs) + ", " + FormatBytes(totalReceived, false, fs);
    return true;
}
