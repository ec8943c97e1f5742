#include "table/SnapshotModel.h"

#include "base/QuickSort.h"
#include "base/StringList.h"
#include "base/StripMarkup.h"
#include "table/HostLine.h"
#include "table/HostRanks.h"
#include "table/QuickList.h"

#include <algorithm>

namespace {

using HostRanks::GraphedHosts;
using HostRanks::OtherPosition;

// The "Current speed" order: descending by current traffic, the sum of a line's two rates. The
// same comparison the host lines' tag sort makes, so the hosts take the places that sorting the
// lines themselves would give them, ties included.
int CompareCurrentSpeed(int64_t a, int64_t b)
{
    if (a == b)
        return 0;
    return a < b ? 1 : -1;
}

int64_t WrappingSub(int64_t a, int64_t b)
{
    return int64_t(uint64_t(a) - uint64_t(b));
}

// Orders the hosts by current traffic with the lines' quicksort. Only the first `needed` places
// are made final; the hosts after them are the same ones, in an order nobody reads.
void RankBySpeed(std::vector<TSnapshot::TRankedHost>& ranking, int needed)
{
    const int n = int(ranking.size());
    if (n < 2)
        return;
    auto byTraffic = [&ranking](int a, int b) { return CompareCurrentSpeed(ranking[a].Traffic, ranking[b].Traffic); };
    auto exchange = [&ranking](int a, int b) { std::swap(ranking[a], ranking[b]); };
    QuickSortPositions(0, n - 1, byTraffic, exchange, needed);
}

void formatRateTo(std::string& out, int64_t value, bool inBits, const TFormatSettings& separators)
{
    if (inBits)
        FormatBitsTo(out, value, true, separators);
    else
        FormatBytesTo(out, value, true, separators);
}

} // namespace

void FormatRowTexts(const THostRow& row, const TRowFormat& format, THostRowTexts& texts)
{
    formatRateTo(texts.RecvSpeed, row.RecvRate, format.RatesInBits, format.Separators);
    formatRateTo(texts.SendSpeed, row.SendRate, format.RatesInBits, format.Separators);
    FormatBytesTo(texts.RecvTotal, row.Received, false, format.Separators);
    FormatBytesTo(texts.SendTotal, row.Sent, false, format.Separators);
}

std::string FormatRate(int64_t value, bool inBits, const TFormatSettings& separators)
{
    return inBits ? FormatBits(value, true, separators) : FormatBytes(value, true, separators);
}

bool ComputeSnapshot(const TStringList& lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result)
{
    const int lineCount = lines.Count();
    if (lineCount == 0)
        return false;

    // The service's first line is its header and its last the closing line; the rest are hosts.
    const int hostCount = lineCount >= 2 ? lineCount - 2 : 0;
    const bool bySpeed = options.Order == THostOrder::CurrentSpeed;
    const bool live = options.Mode == TSnapshotMode::Live;
    const bool activeOnly = options.ActiveOnly;
    const TFormatSettings& fs = options.Separators;

    std::vector<THostNumbers>& hosts = result.HostNumbers;
    std::vector<TSnapshot::TRankedHost>& ranking = result.Ranking;
    hosts.resize(size_t(hostCount));
    ranking.clear();
    int64_t totalSendRate = 0, totalRecvRate = 0, totalSent = 0, totalReceived = 0;
    int busyHosts = 0;
    bool busyRateWithoutTraffic = false;
    for (int k = 0; k < hostCount; ++k) {
        const std::string& line = lines[k + 1];
        const std::string_view plain = StripMarkup(line);
        const THostNumbers& host = hosts[size_t(k)] = ReadHostNumbers(plain);
        totalSent = WrappingAdd(totalSent, host.Sent);
        totalReceived = WrappingAdd(totalReceived, host.Received);
        totalSendRate = WrappingAdd(totalSendRate, host.SendRate);
        totalRecvRate = WrappingAdd(totalRecvRate, host.RecvRate);
        if (bySpeed) {
            const int64_t rateSum = WrappingAdd(host.SendRate, host.RecvRate);
            // The order reads the whole line as it came, markup and all.
            int64_t traffic = rateSum;
            if (plain.size() != line.size()) {
                const THostNumbers raw = ReadHostNumbers(line);
                traffic = WrappingAdd(raw.SendRate, raw.RecvRate);
            }
            ranking.push_back({ traffic, k });
            busyHosts += traffic > 0 ? 1 : 0;
            busyRateWithoutTraffic = busyRateWithoutTraffic || (rateSum > 0 && traffic <= 0);
        }
    }

    // The places to fill: every host for the table in the service's order; in "Current speed"
    // order the table lists only hosts with traffic, which the order puts first unless markup
    // made a line's order disagree with its rates; a history block feeds only the graph.
    int places = hostCount;
    if (!live)
        places = std::min(GraphedHosts, hostCount);
    else if (bySpeed && !busyRateWithoutTraffic)
        places = std::min(std::max(busyHosts, GraphedHosts), hostCount);
    if (bySpeed)
        RankBySpeed(ranking, places);

    // Names found last poll hold while the directory is the same; a reload changes its stamps.
    TSnapshot::TDirectoryState directory { &names, names.ChangeStamp(), names.KeyIndex().ChangeStamp(), names.Count() };
    const bool sameDirectory = directory == result.NamesFrom;
    const int namedRows = sameDirectory ? result.WrittenRows : 0;
    std::vector<TSnapshot::TKnownName>& known = result.KnownNames;
    if (live) {
        if (!sameDirectory)
            for (TSnapshot::TKnownName& entry : known)
                entry.Known = false;
        known.resize(size_t(hostCount));
    }
    auto addressOf = [&](int k) { return std::string_view(lines[k + 1].data(), hosts[size_t(k)].AddressLength); };
    auto nameKnown = [&](int k, std::string_view address) {
        const TSnapshot::TKnownName& entry = known[size_t(k)];
        return entry.Known && entry.Address == address;
    };
    auto nameOf = [&](int k, std::string_view address) -> const std::string& {
        TSnapshot::TKnownName& entry = known[size_t(k)];
        if (!entry.Known || entry.Address != address) {
            entry.Name = names.Lookup(address);
            entry.Address.assign(address);
            entry.Known = true;
        }
        return entry.Name;
    };
    result.RowCountFirst = !activeOnly;
    int rowCount = 0;
    int sampleCount = 0;
    int64_t graphedSendRate = 0, graphedRecvRate = 0;
    std::string name;
    auto hostAt = [&](int place) { return bySpeed ? ranking[size_t(place - 1)].Host : place - 1; };
    constexpr int lookAhead = 8;
    // While rows show the hosts they showed last poll, nothing is looked up and nothing is
    // fetched ahead; once they shift, the names of the hosts ahead are.
    bool lastRowSameHost = false;
    for (int p = 1; p <= places; ++p) {
        const int k = hostAt(p);
        if (live && !lastRowSameHost && p + lookAhead <= places) {
            const int ahead = hostAt(p + lookAhead);
            const std::string_view aheadAddress = addressOf(ahead);
            if (!nameKnown(ahead, aheadAddress))
                names.PrefetchLookup(aheadAddress);
        }
        const THostNumbers& host = hosts[size_t(k)];
        bool shown = false;
        if (live) {
            const int64_t rateSum = WrappingAdd(host.SendRate, host.RecvRate);
            const bool leftOut
                = (p >= HostRanks::ActiveRuleFrom && activeOnly && rateSum <= 0) || (bySpeed && rateSum <= 0);
            shown = !leftOut;
        }
        const bool graphed = p <= GraphedHosts;
        if (!shown && !graphed)
            continue;
        const std::string_view address = addressOf(k);
        if (shown) {
            if (size_t(rowCount) == result.Rows.size())
                result.Rows.emplace_back();
            THostRow& row = result.Rows[size_t(rowCount)];
            // The same host in the row it had last poll keeps its name.
            const bool sameHost = rowCount < namedRows && row.Address == address;
            ++rowCount;
            lastRowSameHost = sameHost;
            if (!sameHost) {
                row.Name = nameOf(k, address);
                row.Address.assign(address);
            }
            row.RecvRate = host.RecvRate;
            row.SendRate = host.SendRate;
            row.Received = host.Received;
            row.Sent = host.Sent;
            if (graphed)
                name = row.Name;
        } else if (live) {
            name = nameOf(k, address);
        }
        if (graphed) {
            graphedRecvRate = WrappingAdd(graphedRecvRate, host.RecvRate);
            graphedSendRate = WrappingAdd(graphedSendRate, host.SendRate);
            if (size_t(sampleCount) == result.Samples.size())
                result.Samples.emplace_back();
            THostSample& sample = result.Samples[size_t(sampleCount++)];
            sample.Position = p - 1;
            sample.Name = name;
            sample.Address.assign(address);
            sample.RecvRate = host.RecvRate;
            sample.SendRate = host.SendRate;
        }
    }
    result.WrittenRows = rowCount;
    result.RowFormat = { options.RatesInBits, fs };
    // Lookups may have sorted the directory for its index; its state after them is what the names
    // were found in.
    if (live) {
        directory.NamesStamp = names.ChangeStamp();
        directory.IndexStamp = names.KeyIndex().ChangeStamp();
        result.NamesFrom = directory;
    }

    // With 30 host lines or more, the hosts beyond the first 29 are drawn together as "Other":
    // everyone's traffic but theirs.
    if (hostCount >= HostRanks::ActiveRuleFrom) {
        if (size_t(sampleCount) == result.Samples.size())
            result.Samples.emplace_back();
        THostSample& other = result.Samples[size_t(sampleCount++)];
        other.Position = OtherPosition;
        other.Name = "Other";
        other.Address = "0.0.0.0";
        other.RecvRate = WrappingSub(totalRecvRate, graphedRecvRate);
        other.SendRate = WrappingSub(totalSendRate, graphedSendRate);
    }
    result.Samples.resize(size_t(sampleCount));

    if (activeOnly)
        result.RowCount = rowCount + 1;
    else
        result.RowCount = bySpeed || lineCount >= 2 ? hostCount + 1 : 0;
    result.SendTotals = FormatRate(totalSendRate, options.RatesInBits, fs) + ", " + FormatBytes(totalSent, false, fs);
    result.RecvTotals
        = FormatRate(totalRecvRate, options.RatesInBits, fs) + ", " + FormatBytes(totalReceived, false, fs);
    return true;
}
