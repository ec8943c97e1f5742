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

// Compares and exchanges places of the "Current speed" order for the lines' quicksort.
struct TRankingSort {
    std::vector<TSnapshot::TRankedHost>& Ranking;
    int operator()(int a, int b) const { return CompareCurrentSpeed(Ranking[a].Traffic, Ranking[b].Traffic); }
};
struct TRankingExchange {
    std::vector<TSnapshot::TRankedHost>& Ranking;
    void operator()(int a, int b) const { std::swap(Ranking[a], Ranking[b]); }
};

// The host at a place of the order (0-based), its place settled first.
int HostAtPlace(TSnapshot& snapshot, int place)
{
    TRankingSort compare { snapshot.Ranking };
    TRankingExchange exchange { snapshot.Ranking };
    snapshot.Order.Settle(place, compare, exchange);
    return snapshot.Ranking[size_t(place)].Host;
}

std::string_view AddressOf(const TStringList& lines, const TSnapshot& snapshot, int k)
{
    return std::string_view(lines[k + 1].data(), snapshot.HostNumbers[size_t(k)].AddressLength);
}

// The name of host line k, from the known names while the address there is the same.
const std::string& NameOf(TSnapshot& snapshot, TQuickList& names, int k, std::string_view address)
{
    TSnapshot::TKnownName& entry = snapshot.KnownNames[size_t(k)];
    if (!entry.Known || entry.Address != address) {
        entry.Name = names.Lookup(address);
        entry.Address.assign(address);
        entry.Known = true;
    }
    return entry.Name;
}

bool NameKnown(const TSnapshot& snapshot, int k, std::string_view address)
{
    const TSnapshot::TKnownName& entry = snapshot.KnownNames[size_t(k)];
    return entry.Known && entry.Address == address;
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

namespace {

bool computeSnapshot(const TStringList& lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result)
{
    const int lineCount = lines.Count();
    // The service's first line is its header and its last the closing line; the rest are hosts.
    const int hostCount = lineCount >= 2 ? lineCount - 2 : 0;
    const bool bySpeed = options.Order == THostOrder::CurrentSpeed;
    const bool live = options.Mode == TSnapshotMode::Live;
    const bool activeOnly = options.ActiveOnly;
    const TFormatSettings& fs = options.Separators;

    std::vector<THostNumbers>& hosts = result.HostNumbers;
    std::vector<TSnapshot::TRankedHost>& ranking = result.Ranking;
    std::vector<int>& rowHosts = result.RowHosts;
    hosts.resize(size_t(hostCount));
    ranking.clear();
    rowHosts.clear();
    int64_t totalSendRate = 0, totalRecvRate = 0, totalSent = 0, totalReceived = 0;
    int busyHosts = 0;
    bool busyRateWithoutTraffic = false, trafficWithoutBusyRate = false;
    // Each line's text lies apart from the others; at many hosts it is no longer in the cache
    // when it is read, so the text a few lines on is asked for while this one is read.
    constexpr int readAhead = 6;
    for (int k = 0; k < hostCount; ++k) {
        const std::string& line = lines[k + 1];
        if (k + readAhead < hostCount)
            __builtin_prefetch(lines[k + 1 + readAhead].data());
        const std::string_view plain = StripMarkup(line);
        const THostNumbers& host = hosts[size_t(k)] = ReadHostNumbers(plain);
        totalSent = WrappingAdd(totalSent, host.Sent);
        totalReceived = WrappingAdd(totalReceived, host.Received);
        totalSendRate = WrappingAdd(totalSendRate, host.SendRate);
        totalRecvRate = WrappingAdd(totalRecvRate, host.RecvRate);
        const int64_t rateSum = WrappingAdd(host.SendRate, host.RecvRate);
        if (bySpeed) {
            // The order reads the whole line as it came, markup and all.
            int64_t traffic = rateSum;
            if (plain.size() != line.size()) {
                const THostNumbers raw = ReadHostNumbers(line);
                traffic = WrappingAdd(raw.SendRate, raw.RecvRate);
            }
            ranking.push_back({ traffic, k });
            busyHosts += traffic > 0 ? 1 : 0;
            busyRateWithoutTraffic = busyRateWithoutTraffic || (rateSum > 0 && traffic <= 0);
            trafficWithoutBusyRate = trafficWithoutBusyRate || (rateSum <= 0 && traffic > 0);
        } else if (live && (k + 1 < HostRanks::ActiveRuleFrom || !activeOnly || rateSum > 0)) {
            // In the service's order idle hosts from the thirtieth on are left out when only
            // active ones are listed.
            rowHosts.push_back(k);
        }
    }

    const int graphed = std::min(GraphedHosts, hostCount);
    result.Order.Start(bySpeed ? hostCount : 0);
    result.RowsByPlace = false;
    if (bySpeed && live) {
        // In "Current speed" order the table lists the hosts with traffic, which the order puts
        // first: its rows are the first places, settled as they are read. Only when markup made a
        // line's order disagree with its rates must the order be settled to see which are listed.
        if (!busyRateWithoutTraffic && !trafficWithoutBusyRate) {
            result.RowsByPlace = true;
        } else {
            const int places = busyRateWithoutTraffic ? hostCount : busyHosts;
            for (int place = 0; place < places; ++place) {
                const THostNumbers& host = hosts[size_t(HostAtPlace(result, place))];
                if (WrappingAdd(host.SendRate, host.RecvRate) > 0)
                    rowHosts.push_back(ranking[size_t(place)].Host);
            }
        }
    }
    const int writtenRows = result.RowsByPlace ? busyHosts : int(rowHosts.size());

    // Names found last poll hold while the directory is the same; a reload changes its stamps.
    TSnapshot::TDirectoryState directory { &names, names.ChangeStamp(), names.KeyIndex().ChangeStamp(), names.Count() };
    if (live) {
        if (!(directory == result.NamesFrom))
            for (TSnapshot::TKnownName& entry : result.KnownNames)
                entry.Known = false;
        result.KnownNames.resize(size_t(hostCount));
    }

    // The graph: one sample for each of the first hosts of the order, named in a live snapshot.
    if (bySpeed)
        for (int place = 0; place < graphed; ++place)
            HostAtPlace(result, place);
    auto hostAt = [&](int place) { return bySpeed ? ranking[size_t(place)].Host : place; };
    constexpr int lookAhead = 8;
    int64_t graphedSendRate = 0, graphedRecvRate = 0;
    int sampleCount = 0;
    for (int place = 0; place < graphed; ++place) {
        const int k = hostAt(place);
        if (live && place + lookAhead < graphed) {
            const int ahead = hostAt(place + lookAhead);
            const std::string_view aheadAddress = AddressOf(lines, result, ahead);
            if (!NameKnown(result, ahead, aheadAddress))
                names.PrefetchLookup(aheadAddress);
        }
        const THostNumbers& host = hosts[size_t(k)];
        const std::string_view address = AddressOf(lines, result, k);
        graphedRecvRate = WrappingAdd(graphedRecvRate, host.RecvRate);
        graphedSendRate = WrappingAdd(graphedSendRate, host.SendRate);
        if (size_t(sampleCount) == result.Samples.size())
            result.Samples.emplace_back();
        THostSample& sample = result.Samples[size_t(sampleCount++)];
        sample.Position = place;
        if (live)
            sample.Name = NameOf(result, names, k, address);
        else
            sample.Name.clear();
        sample.Address.assign(address);
        sample.RecvRate = host.RecvRate;
        sample.SendRate = host.SendRate;
    }
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

    result.WrittenRows = live ? writtenRows : 0;
    result.RowFormat = { options.RatesInBits, fs };
    result.Names = live ? &names : nullptr;
    result.RowCountFirst = !activeOnly;
    if (activeOnly)
        result.RowCount = result.WrittenRows + 1;
    else
        result.RowCount = bySpeed || lineCount >= 2 ? hostCount + 1 : 0;
    result.SendTotals = FormatRate(totalSendRate, options.RatesInBits, fs) + ", " + FormatBytes(totalSent, false, fs);
    result.RecvTotals
        = FormatRate(totalRecvRate, options.RatesInBits, fs) + ", " + FormatBytes(totalReceived, false, fs);
    return true;
}

} // namespace

bool ComputeSnapshot(TStringList&& lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result)
{
    if (lines.Count() == 0)
        return false;
    if (options.Mode != TSnapshotMode::Live)
        return computeSnapshot(lines, options, names, result);
    result.Lines = std::move(lines);
    return computeSnapshot(result.Lines, options, names, result);
}

bool ComputeSnapshot(const TStringList& lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result)
{
    if (lines.Count() == 0)
        return false;
    if (options.Mode != TSnapshotMode::Live)
        return computeSnapshot(lines, options, names, result);
    return ComputeSnapshot(TStringList(lines), options, names, result);
}

void ReadSnapshotRow(TSnapshot& snapshot, int i, THostRow& row)
{
    const int k = snapshot.RowsByPlace ? HostAtPlace(snapshot, i) : snapshot.RowHosts[size_t(i)];
    const THostNumbers& host = snapshot.HostNumbers[size_t(k)];
    const std::string_view address = AddressOf(snapshot.Lines, snapshot, k);
    row.Name = NameOf(snapshot, *snapshot.Names, k, address);
    row.Address.assign(address);
    row.RecvRate = host.RecvRate;
    row.SendRate = host.SendRate;
    row.Received = host.Received;
    row.Sent = host.Sent;
}
