#pragma once

#include "table/Formatting.h"
#include "table/HostLine.h"

#include <cstdint>
#include <string>
#include <vector>

#include "base/QuickSort.h"
#include "base/StringList.h"

class TQuickList;

// Whether a snapshot is the service's word of this second or a block of its history: a history
// block feeds only the graph, with no table rows and no name lookups.
enum class TSnapshotMode { Live, History };

// The table's orders: by the service's own order ("Data transferred"), or by current traffic.
enum class THostOrder { DataTransferred, CurrentSpeed };

struct TSnapshotOptions {
    TSnapshotMode Mode = TSnapshotMode::Live;
    THostOrder Order = THostOrder::DataTransferred;
    // Idle hosts from the thirtieth on are left out of the table.
    bool ActiveOnly = false;
    // Rates as bits (kb/s, Mb/s, Gb/s) rather than bytes.
    bool RatesInBits = true;
    TFormatSettings Separators;
};

// One row of the table: its host's name and address, and the figures its other cells show.
struct THostRow {
    std::string Name, Address;
    int64_t RecvRate = 0, SendRate = 0, Received = 0, Sent = 0;
};

// How a row's figures are written: the rate unit and the separators.
struct TRowFormat {
    bool RatesInBits = true;
    TFormatSettings Separators;
};

// A row's figures as its cells show them, from the receive rate column on.
struct THostRowTexts {
    std::string RecvSpeed, SendSpeed, RecvTotal, SendTotal;
};

// Writes a row's figures over `texts`, reusing their storage.
void FormatRowTexts(const THostRow& row, const TRowFormat& format, THostRowTexts& texts);

// One host's point of this snapshot for the graph. Position is its series' place: 0 to 28 for the
// first hosts, the "Other" position for everyone after them together.
struct THostSample {
    int Position = 0;
    std::string Name;
    std::string Address;
    int64_t RecvRate = 0;
    int64_t SendRate = 0;
};

// What one snapshot puts on screen.
struct TSnapshot {
    // The grid's row count with its header row. Rows past the written ones keep what they showed,
    // as when the table lists every host and some were left out.
    int RowCount = 1;
    // Whether the row count is set before the rows are written (every host listed) or after.
    bool RowCountFirst = true;
    // The rows a live snapshot writes, rows 1 to WrittenRows of the table; each is worked out only
    // when it is read (ReadSnapshotRow), since a screenful of them is seen. A history block writes none.
    int WrittenRows = 0;
    TRowFormat RowFormat;
    std::string RecvTotals, SendTotals;
    std::vector<THostSample> Samples;

    // What the rows are read from, and working space kept from one snapshot to the next so that a
    // poll allocates nothing per host: a live snapshot's own lines, each host line's numbers (read
    // once), and the "Current speed" order of the hosts, settled only as far as it is read.
    TStringList Lines;
    TQuickList* Names = nullptr;
    std::vector<THostNumbers> HostNumbers;
    struct TRankedHost {
        int64_t Traffic;
        int Host;
    };
    std::vector<TRankedHost> Ranking;
    TDeferredQuickSort Order;
    // Rows are the hosts at the first places of the order, or, with RowsByPlace off, these hosts.
    bool RowsByPlace = false;
    std::vector<int> RowHosts;
    // The directory as names were last looked up in it: while it is the same, known names hold.
    struct TDirectoryState {
        const void* Names = nullptr;
        uint64_t NamesStamp = 0;
        uint64_t IndexStamp = 0;
        int NameCount = -1;
        bool operator==(const TDirectoryState& o) const
        {
            return Names == o.Names && NamesStamp == o.NamesStamp && IndexStamp == o.IndexStamp
                && NameCount == o.NameCount;
        }
    };
    TDirectoryState NamesFrom;
    // Each host line's address and name as last looked up, by the line's place: the service keeps
    // its hosts in a steady order, so with the same directory a host is looked up only when its
    // line's address changed, however the rows shift as hosts fall idle or the order moves.
    struct TKnownName {
        bool Known = false;
        std::string Address, Name;
    };
    std::vector<TKnownName> KnownNames;
};

// Computes the table rows, the totals' texts and the graph's samples of one snapshot: the service's
// header line, host lines, and its closing line. Answers false, leaving the result as it was, for
// no lines at all. Names are looked up in the directory for live snapshots only, and only for the
// hosts the table or the graph shows. A live snapshot keeps its lines for its rows.
bool ComputeSnapshot(TStringList&& lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result);
bool ComputeSnapshot(const TStringList& lines, const TSnapshotOptions& options, TQuickList& names, TSnapshot& result);

// Row i (0 to WrittenRows - 1) of a live snapshot, until the next snapshot is computed into the
// same result. Its place in the order is settled and its name looked up now, in the directory the
// snapshot was computed with, which must not have changed since.
void ReadSnapshotRow(TSnapshot& snapshot, int i, THostRow& row);

// A rate as the table shows it.
std::string FormatRate(int64_t value, bool inBits, const TFormatSettings& separators = FormatSettings());
