#include "table/SnapshotModel.h"

#include "base/IntegerText.h"
#include "base/StringList.h"
#include "base/StripMarkup.h"
#include "table/GetField.h"
#include "table/HostLine.h"
#include "table/HostRanks.h"
#include "table/QuickList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// A host line's fields the plain way: each field by the comma-field reader, each number by the
// full integer rule.
struct THostLine {
    explicit THostLine(std::string_view line)
        : text(line)
    {
    }
    std::string_view Address() const { return GetFieldView(text, ',', 0); }
    int64_t SendRate() const { return number(1); }
    int64_t RecvRate() const { return number(2); }
    int64_t Sent() const { return number(3); }
    int64_t Received() const { return number(4); }
    int64_t number(int n) const { return StrToInt64Def(GetFieldView(text, ',', n), 0); }
    std::string_view text;
};

int descendingTraffic(int64_t a, int64_t b)
{
    return a == b ? 0 : a < b ? 1 : -1;
}

// The snapshot worked out the plain way: every line read for its tag, the whole list sorted by tag,
// every host read again and looked up, whether it is shown or not.
struct TPlainSnapshot {
    TSnapshot Snapshot;
    std::vector<THostRow> Rows;
};

TPlainSnapshot plainSnapshot(TStringList work, const TSnapshotOptions& options, TQuickList& names)
{
    TPlainSnapshot plain;
    TSnapshot& result = plain.Snapshot;
    work.Delete(0);
    const bool bySpeed = options.Order == THostOrder::CurrentSpeed;
    if (bySpeed) {
        if (work.Count() > 0)
            work.Delete(work.Count() - 1);
        for (int i = 0; i < work.Count(); ++i) {
            const THostLine host(work[i]);
            work.SetTag(i, WrappingAdd(host.SendRate(), host.RecvRate()));
        }
        work.CustomSortByTag(&descendingTraffic);
        work.Insert(0, "dummy");
    } else {
        work.Insert(0, "dummy");
        work.Delete(work.Count() - 1);
    }
    const bool live = options.Mode == TSnapshotMode::Live;
    const TFormatSettings& fs = options.Separators;
    result.RowCountFirst = !options.ActiveOnly;
    int64_t sendRate = 0, recvRate = 0, sent = 0, received = 0, otherSend = 0, otherRecv = 0;
    for (int p = 1; p < work.Count(); ++p) {
        const THostLine host(StripMarkup(work[p]));
        const std::string address(host.Address());
        std::string name = live ? names.Lookup(address) : std::string();
        const int64_t rateSum = WrappingAdd(host.SendRate(), host.RecvRate());
        const bool leftOut
            = (p >= HostRanks::ActiveRuleFrom && options.ActiveOnly && rateSum <= 0) || (bySpeed && rateSum <= 0);
        if (live && !leftOut)
            plain.Rows.push_back({ name, address, host.RecvRate(), host.SendRate(), host.Received(), host.Sent() });
        sent = WrappingAdd(sent, host.Sent());
        received = WrappingAdd(received, host.Received());
        sendRate = WrappingAdd(sendRate, host.SendRate());
        recvRate = WrappingAdd(recvRate, host.RecvRate());
        if (p > HostRanks::GraphedHosts) {
            otherRecv = WrappingAdd(otherRecv, host.RecvRate());
            otherSend = WrappingAdd(otherSend, host.SendRate());
        } else {
            result.Samples.push_back({ p - 1, name, address, host.RecvRate(), host.SendRate() });
        }
    }
    result.WrittenRows = int(plain.Rows.size());
    result.RowFormat = { options.RatesInBits, fs };
    result.RowCount = options.ActiveOnly ? result.WrittenRows + 1 : work.Count();
    if (work.Count() - 1 >= HostRanks::ActiveRuleFrom)
        result.Samples.push_back({ HostRanks::OtherPosition, "Other", "0.0.0.0", otherRecv, otherSend });
    result.SendTotals = FormatRate(sendRate, options.RatesInBits, fs) + ", " + FormatBytes(sent, false, fs);
    result.RecvTotals = FormatRate(recvRate, options.RatesInBits, fs) + ", " + FormatBytes(received, false, fs);
    return plain;
}

void expectSameSamples(const std::vector<THostSample>& actual, const std::vector<THostSample>& expected,
    bool compareNames, const std::string& context)
{
    ASSERT_EQ(actual.size(), expected.size()) << context;
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].Position, expected[i].Position) << context << " sample " << i;
        EXPECT_EQ(actual[i].Address, expected[i].Address) << context << " sample " << i;
        EXPECT_EQ(actual[i].RecvRate, expected[i].RecvRate) << context << " sample " << i;
        EXPECT_EQ(actual[i].SendRate, expected[i].SendRate) << context << " sample " << i;
        if (compareNames) {
            EXPECT_EQ(actual[i].Name, expected[i].Name) << context << " sample " << i;
        }
    }
}

// A snapshot's rows, read in an order of their own, as the table reads them while it scrolls.
std::vector<THostRow> rowsOf(TSnapshot& snapshot, unsigned seed)
{
    std::vector<int> order(size_t(snapshot.WrittenRows));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    std::vector<THostRow> rows(order.size());
    for (int i : order)
        ReadSnapshotRow(snapshot, i, rows[size_t(i)]);
    return rows;
}

void expectSameSnapshot(
    TSnapshot& actual, const TSnapshot& expected, const std::vector<THostRow>& expectedRows, const std::string& context)
{
    ASSERT_EQ(actual.RowCount, expected.RowCount) << context;
    ASSERT_EQ(actual.RowCountFirst, expected.RowCountFirst) << context;
    ASSERT_EQ(actual.WrittenRows, expected.WrittenRows) << context;
    ASSERT_EQ(size_t(expected.WrittenRows), expectedRows.size()) << context;
    const std::vector<THostRow> rows = rowsOf(actual, unsigned(expectedRows.size()));
    const bool inBits = expected.RowFormat.RatesInBits;
    const TFormatSettings& fs = expected.RowFormat.Separators;
    THostRowTexts a;
    for (size_t i = 0; i < expectedRows.size(); ++i) {
        const THostRow& e = expectedRows[i];
        ASSERT_EQ(rows[i].Address, e.Address) << context << " row " << i;
        EXPECT_EQ(rows[i].Name, e.Name) << context << " row " << i;
        // Written over the texts of the row before, as the table's cells are.
        FormatRowTexts(rows[i], actual.RowFormat, a);
        EXPECT_EQ(a.RecvSpeed, FormatRate(e.RecvRate, inBits, fs)) << context << " row " << i;
        EXPECT_EQ(a.SendSpeed, FormatRate(e.SendRate, inBits, fs)) << context << " row " << i;
        EXPECT_EQ(a.RecvTotal, FormatBytes(e.Received, false, fs)) << context << " row " << i;
        EXPECT_EQ(a.SendTotal, FormatBytes(e.Sent, false, fs)) << context << " row " << i;
    }
    EXPECT_EQ(actual.SendTotals, expected.SendTotals) << context;
    EXPECT_EQ(actual.RecvTotals, expected.RecvTotals) << context;
    expectSameSamples(actual.Samples, expected.Samples, true, context);
}

void expectSameSnapshot(TSnapshot& actual, const TPlainSnapshot& expected, const std::string& context)
{
    expectSameSnapshot(actual, expected.Snapshot, expected.Rows, context);
}

// Service answers of every kind: few distinct rates so that ties abound, idle hosts, rates that
// wrap when added, numbers that are not plain digits, markup inside fields, missing and extra
// fields, and addresses that repeat.
class SnapshotGenerator {
public:
    explicit SnapshotGenerator(unsigned seed)
        : rng_(seed)
    {
    }

    TStringList Lines(int hosts)
    {
        TStringList lines;
        lines.Add("Quorvel sniffer, " + std::to_string(hosts) + " hosts");
        for (int i = 0; i < hosts; ++i)
            lines.Add(hostLine());
        if (pick(10) != 0)
            lines.Add(pick(2) ? "end" : "10.0.0.9,900,900,1,1");
        return lines;
    }

    std::string Address() { return "10.0." + std::to_string(pick(3)) + "." + std::to_string(pick(40)); }

private:
    int pick(int n) { return int(rng_() % unsigned(n)); }

    std::string number()
    {
        switch (pick(24)) {
        case 0:
            return "";
        case 1:
            return "12x";
        case 2:
            return " 77";
        case 3:
            return "$ff";
        case 4:
            return "-300";
        case 5:
            return "9223372036854775807";
        case 6:
            return "99999999999999999999";
        case 7:
            return "123456789012345678";
        case 8:
            return "1234567890123456789";
        case 9:
            return "<b>5</b>";
        case 10:
        case 11:
        case 12:
        case 13:
            return "0";
        case 14:
            return std::to_string(int64_t(1) << 40);
        default:
            return std::to_string(int64_t(pick(4)) * 1000 * (1 + pick(2)));
        }
    }

    std::string hostLine()
    {
        std::string line = Address();
        const int fields = pick(12) == 0 ? pick(6) : 4;
        for (int f = 0; f < fields; ++f)
            line += "," + number();
        if (pick(15) == 0)
            line += ",extra";
        if (pick(15) == 0)
            line.insert(size_t(pick(int(line.size()) + 1)), "<i>");
        return line;
    }

    std::mt19937 rng_;
};

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t at; (at = line.find(',', from)) != std::string::npos; from = at + 1)
        fields.push_back(line.substr(from, at - from));
    fields.push_back(line.substr(from));
    return fields;
}

TQuickList directory(SnapshotGenerator& gen, int count)
{
    TQuickList names;
    for (int i = 0; i < count; ++i)
        names.Add(gen.Address() + "=host" + std::to_string(i));
    NormalizeHostNames(names);
    return names;
}

// Whatever the options and the service's text, the snapshot is the one the plain way gives: the
// same rows in the same order, ties included, the same samples and totals; and a snapshot reused
// from poll to poll carries nothing over.
TEST(SnapshotProperty, SnapshotsAgreeWithThePlainWayOnEveryKindOfInput)
{
    SnapshotGenerator gen(5);
    TQuickList names = directory(gen, 60);
    TSnapshot reused;
    for (int round = 0; round < 400; ++round) {
        const int hosts = round % 7 == 0 ? 28 + round % 4 : int(gen.Address().size()) * (round % 13);
        const TStringList lines = gen.Lines(hosts);
        for (int variant = 0; variant < 16; ++variant) {
            TSnapshotOptions options;
            options.Mode = variant & 1 ? TSnapshotMode::History : TSnapshotMode::Live;
            options.Order = variant & 2 ? THostOrder::CurrentSpeed : THostOrder::DataTransferred;
            options.ActiveOnly = variant & 4;
            options.RatesInBits = variant & 8;
            options.Separators = round % 2 ? TFormatSettings { '.', ',' } : TFormatSettings {};
            const std::string context = "round " + std::to_string(round) + " variant " + std::to_string(variant)
                + " hosts " + std::to_string(hosts);
            ASSERT_TRUE(ComputeSnapshot(lines, options, names, reused));
            expectSameSnapshot(reused, plainSnapshot(lines, options, names), context);
            if (HasFatalFailure())
                return;
        }
    }
}

// Poll after poll most hosts stay as they were and their rows keep their texts; every host that
// changed, moved, or whose name or number style changed must still get its new texts.
TEST(SnapshotProperty, RowsKeptFromTheLastPollAreTheRowsOfThisOne)
{
    SnapshotGenerator gen(21);
    std::mt19937 rng(4);
    TQuickList names = directory(gen, 60);
    TSnapshot reused;
    TStringList lines = gen.Lines(80);
    TSnapshotOptions options;
    for (int round = 0; round < 600; ++round) {
        std::vector<std::string> text;
        for (int i = 0; i < lines.Count(); ++i)
            text.push_back(lines[i]);
        switch (rng() % 10) {
        case 7:
        case 8:
            // Hosts keep their rows while some of their figures change, one field or several.
            for (int n = 1 + int(rng() % 12); n > 0; --n) {
                std::string& line = text[1 + rng() % 80];
                const std::string other = gen.Lines(1)[1];
                std::vector<std::string> fields = splitFields(line), donor = splitFields(other);
                const size_t f = 1 + rng() % 4;
                if (f < fields.size() && f < donor.size())
                    fields[f] = donor[f];
                line = fields[0];
                for (size_t i = 1; i < fields.size(); ++i)
                    line += "," + fields[i];
            }
            break;
        case 0:
            // One host's figures change.
            text[1 + rng() % 80] = gen.Lines(1)[1];
            break;
        case 1:
            std::swap(text[1 + rng() % 80], text[1 + rng() % 80]);
            break;
        case 2: {
            // The same number of names, some of them different.
            TQuickList reloaded = directory(gen, names.Count());
            names.SetSorted(false);
            names.Clear();
            for (int i = 0; i < reloaded.Count(); ++i)
                names.Add(reloaded[i]);
            NormalizeHostNames(names);
            break;
        }
        case 3:
            options.RatesInBits = !options.RatesInBits;
            break;
        case 4:
            options.Separators
                = options.Separators.DecimalSeparator == '.' ? TFormatSettings { '.', ',' } : TFormatSettings {};
            break;
        case 5:
            options.Order
                = options.Order == THostOrder::CurrentSpeed ? THostOrder::DataTransferred : THostOrder::CurrentSpeed;
            break;
        case 6:
            options.ActiveOnly = !options.ActiveOnly;
            break;
        default:
            break;
        }
        lines.Clear();
        for (const std::string& line : text)
            lines.Add(line);
        options.Mode = rng() % 10 == 0 ? TSnapshotMode::History : TSnapshotMode::Live;
        ASSERT_TRUE(ComputeSnapshot(lines, options, names, reused));
        expectSameSnapshot(reused, plainSnapshot(lines, options, names), "round " + std::to_string(round));
        if (HasFatalFailure())
            return;
    }
}

TEST(SnapshotProperty, TheHeaderAloneOrNothingAtAll)
{
    TQuickList names;
    for (THostOrder order : { THostOrder::DataTransferred, THostOrder::CurrentSpeed }) {
        TSnapshotOptions options;
        options.Order = order;
        TStringList lines;
        lines.Add("header");
        TSnapshot snapshot;
        ASSERT_TRUE(ComputeSnapshot(lines, options, names, snapshot));
        expectSameSnapshot(snapshot, plainSnapshot(lines, options, names), "header only");
        TSnapshot before = snapshot;
        const std::vector<THostRow> rowsBefore = rowsOf(before, 1);
        EXPECT_FALSE(ComputeSnapshot(TStringList(), options, names, snapshot));
        expectSameSnapshot(snapshot, before, rowsBefore, "no lines");
    }
}

// A history block feeds only the graph and the totals; at the service's largest network its
// last block must still give the graph what the same lines give it live.
TEST(SnapshotProperty, LargeHistoryEndsOnTheSamplesAndTotalsOfTheLivePath)
{
    constexpr int hosts = 65536;
    std::mt19937 rng(9);
    TQuickList names;
    for (int i = 0; i < hosts; i += 7)
        names.Add("198.18." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "=n" + std::to_string(i));
    NormalizeHostNames(names);
    auto block = [&] {
        TStringList lines;
        lines.Add("Quorvel sniffer, 65536 hosts");
        for (int i = 0; i < hosts; ++i) {
            // Few distinct rates, so that the top 29 are decided among many ties.
            const int64_t send = rng() % 3 == 0 ? 0 : int64_t(rng() % 8) * 1000;
            const int64_t recv = rng() % 2 == 0 ? 0 : int64_t(rng() % 8) * 1000;
            lines.Add("198.18." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "," + std::to_string(send)
                + "," + std::to_string(recv) + "," + std::to_string(rng()) + "," + std::to_string(rng()));
        }
        lines.Add("end");
        return lines;
    };
    for (THostOrder order : { THostOrder::DataTransferred, THostOrder::CurrentSpeed }) {
        TSnapshotOptions history;
        history.Mode = TSnapshotMode::History;
        history.Order = order;
        history.ActiveOnly = true;
        TSnapshot replayed;
        TStringList last;
        for (int b = 0; b < 3; ++b) {
            last = block();
            ASSERT_TRUE(ComputeSnapshot(last, history, names, replayed));
        }
        TSnapshotOptions live = history;
        live.Mode = TSnapshotMode::Live;
        TSnapshot shown;
        ASSERT_TRUE(ComputeSnapshot(last, live, names, shown));
        const std::string context = order == THostOrder::CurrentSpeed ? "current speed" : "data transferred";
        ASSERT_EQ(replayed.Samples.size(), size_t(HostRanks::MaxSeries)) << context;
        expectSameSamples(replayed.Samples, shown.Samples, false, context);
        for (size_t i = 0; i + 1 < replayed.Samples.size(); ++i)
            EXPECT_EQ(replayed.Samples[i].Name, "") << context;
        EXPECT_EQ(replayed.SendTotals, shown.SendTotals) << context;
        EXPECT_EQ(replayed.RecvTotals, shown.RecvTotals) << context;
        EXPECT_EQ(replayed.WrittenRows, 0) << context;
        EXPECT_EQ(replayed.RowCount, 1) << context;
        // The live path is the plain way's too.
        expectSameSnapshot(shown, plainSnapshot(last, live, names), context);
    }
}

// The one-scan reader gives every field exactly as the field-by-field reader does.
TEST(SnapshotProperty, HostNumbersReadInOneScanAsFieldByField)
{
    SnapshotGenerator gen(13);
    std::mt19937 rng(2);
    const std::string alphabet = "0123456789,,,  -+$xXabf<>";
    std::vector<std::string> lines
        = { "", ",", "a", "a,", "a,1", "a,1,2,3,4,5", "a,,,,", "a,1,2,3,", "a,0000000000000000001,2",
              "a,9999999999999999999,1", "a,123456789012345678,1234567890123456789,99999999999999999999,-9" };
    for (int i = 0; i < 20000; ++i) {
        std::string line;
        const int length = int(rng() % 40);
        for (int c = 0; c < length; ++c)
            line += alphabet[rng() % alphabet.size()];
        lines.push_back(line);
        lines.push_back(gen.Lines(1)[1]);
    }
    // Digits are read eight at a time where the line holds eight more bytes: runs of every length
    // up to twenty, ended by bytes on either side of the digits' range, at every distance from the
    // line's end.
    const std::string enders("/:;?,, \xfa\xff\x01", 11);
    for (int i = 0; i < 20000; ++i) {
        std::string line = "a";
        for (int field = 0; field < 4; ++field) {
            line += ',';
            for (int c = int(rng() % 21); c > 0; --c)
                line += char('0' + rng() % 10);
            if (rng() % 3 == 0)
                line += enders[rng() % enders.size()];
        }
        for (int c = int(rng() % 10); c > 0; --c)
            line += enders[rng() % enders.size()];
        lines.push_back(line);
    }
    for (const std::string& line : lines) {
        const THostLine fields(line);
        const THostNumbers numbers = ReadHostNumbers(line);
        ASSERT_EQ(std::string_view(line).substr(0, numbers.AddressLength), fields.Address()) << line;
        ASSERT_EQ(numbers.SendRate, fields.SendRate()) << line;
        ASSERT_EQ(numbers.RecvRate, fields.RecvRate()) << line;
        ASSERT_EQ(numbers.Sent, fields.Sent()) << line;
        ASSERT_EQ(numbers.Received, fields.Received()) << line;
    }
}

} // namespace
