#include "ResourceText.h"
#include "TextLines.h"

#include "base/IntegerText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

namespace {

std::string field(const std::string& line, int n)
{
    std::string f;
    int count = 0;
    for (char c : line) {
        if (c == ',')
            ++count;
        else if (count == n)
            f += c;
    }
    return f;
}

HostRow row(const char* address, int64_t sendRate, int64_t recvRate, int64_t sent, int64_t received)
{
    return { *HostAddress::parse(address), sendRate, recvRate, sent, received };
}

} // namespace

TEST(ResourceText, SnapshotIsHeaderHostLinesAndClosingLine)
{
    std::vector<HostRow> rows = { row("10.0.0.2", 5, 6, 9000000000, 8), row("10.0.0.10", 0, 0, 3, 4) };
    std::string text = ResourceText::Snapshot(rows);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    ASSERT_EQ(text.back(), '\n');
    auto l = lines(text);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], "Quorvel sniffer service, 2 hosts");
    EXPECT_EQ(l[1], "10.0.0.2,5,6,9000000000,8");
    EXPECT_EQ(l[2], "10.0.0.10,0,0,3,4");
    EXPECT_EQ(l[3], ResourceText::ClosingLine);
    EXPECT_EQ(lines(ResourceText::Snapshot({})).size(), 2u);
    EXPECT_EQ(ResourceText::Header(1), "Quorvel sniffer service, 1 host");
}

TEST(ResourceText, ClosingLineStaysLastWhenTheMonitorSortsByCurrentSpeed)
{
    // The monitor drops the first line, sorts the rest by send plus receive rate (descending) and
    // then drops the last line: that must be ours, even beside idle hosts.
    std::vector<HostRow> rows = { row("10.0.0.1", 0, 0, 10, 10), row("10.0.0.2", 3, 0, 5, 5) };
    auto l = lines(ResourceText::Snapshot(rows));
    l.erase(l.begin());
    auto speed
        = [](const std::string& line) { return StrToInt64Def(field(line, 1), 0) + StrToInt64Def(field(line, 2), 0); };
    for (const auto& line : l)
        if (line != ResourceText::ClosingLine) {
            EXPECT_GT(speed(line), speed(ResourceText::ClosingLine));
        }
    EXPECT_EQ(ResourceText::Header(3).find("###"), std::string::npos);
    EXPECT_EQ(std::string(ResourceText::ClosingLine).find('<'), std::string::npos);
}

TEST(ResourceText, HistoryHasAHundredClosedBlocksOldestFirst)
{
    TrafficCounter c;
    for (int s = 0; s < 120; ++s) {
        c.addSent(*HostAddress::parse("10.0.0.1"), 10);
        if (s >= 110)
            c.addReceived(*HostAddress::parse("10.0.0.7"), 1000);
        c.tick();
    }
    auto l = lines(ResourceText::History(c.historyView()));
    ASSERT_EQ(std::count(l.begin(), l.end(), "###"), 100);
    EXPECT_EQ(l.back(), "###");
    std::vector<std::vector<std::string>> blocks(1);
    for (const auto& line : l) {
        if (line == "###")
            blocks.emplace_back();
        else
            blocks.back().push_back(line);
    }
    blocks.pop_back();
    ASSERT_EQ(blocks.size(), 100u);
    for (const auto& b : blocks) {
        ASSERT_GE(b.size(), 2u);
        EXPECT_EQ(b.front().rfind("Quorvel sniffer service, ", 0), 0u);
        EXPECT_EQ(b.back(), ResourceText::ClosingLine);
    }
    // Block 0 is second 20; 10.0.0.7 appears from second 110 (block 90), its average still
    // spread over five seconds, and leads once it has moved more data.
    EXPECT_EQ(blocks[0][1], "10.0.0.1,10,0,210,0");
    EXPECT_EQ(blocks[89].size(), 3u);
    EXPECT_EQ(blocks[90][1], "10.0.0.1,10,0,1110,0");
    EXPECT_EQ(blocks[90][2], "10.0.0.7,0,200,0,1000");
    EXPECT_EQ(blocks[99][1], "10.0.0.7,0,1000,0,10000");
    EXPECT_EQ(blocks[99][2], "10.0.0.1,10,0,1200,0");
}

TEST(ResourceText, NameListHasOneLinePerNamedHost)
{
    std::map<HostAddress, std::string> names;
    names[*HostAddress::parse("10.0.0.10")] = "printer";
    names[*HostAddress::parse("10.0.0.2")] = "pc anna";
    names[*HostAddress::parse("10.0.0.3")] = "";
    EXPECT_EQ(ResourceText::NameList(names), "10.0.0.2=pc anna\n10.0.0.10=printer\n");
    EXPECT_EQ(ResourceText::NameList({}), "");
}

TEST(ResourceText, HistoryWrittenInPiecesIsWhatEachSecondServed)
{
    // A few thousand hosts that join over time and move random amounts: the history, whole or in
    // pieces of any size, must be the "/" text of each of the last 100 seconds, byte for byte.
    // One more host writes the longest lines there are, last in each block: a long address and
    // counters past the signed range whose sum wraps to nothing.
    TrafficCounter c;
    std::mt19937 random(14);
    std::vector<std::string> served;
    const auto wide = *HostAddress::parse("1234:5678:9abc:def0:1234:5678:9abc:def0");
    for (int s = 0; s < 112; ++s) {
        c.addSent(wide, (uint64_t(1) << 63) + 7);
        c.addReceived(wide, (uint64_t(1) << 63) - 7);
        const uint32_t known = 500 + uint32_t(s) * 30;
        for (int p = 0; p < 2500; ++p) {
            auto host = HostAddress::fromIPv4(0x0A000000u + random() % known);
            if (random() % 2)
                c.addSent(host, random() % 100000);
            else
                c.addReceived(host, random() % 3000000);
        }
        c.tick();
        served.push_back(ResourceText::Snapshot(c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds)));
    }
    std::string expected;
    for (size_t s = served.size() - 100; s < served.size(); ++s)
        expected += served[s] + "###\n";
    ASSERT_GT(c.hostCount(), 3000u);
    size_t longest = 0;
    for (size_t at = 0; (at = expected.find("\n1234:", at + 1)) != std::string::npos;) {
        size_t end = expected.find('\n', at + 1);
        ASSERT_EQ(expected.compare(end, 12, "\nend of list"), 0);
        longest = std::max(longest, end - at - 1);
    }
    ASSERT_GE(longest, 120u);

    EXPECT_TRUE(ResourceText::History(c.historyView()) == expected);
    for (size_t want : { size_t(1), size_t(777), size_t(64 * 1024) }) {
        ResourceText::HistoryWriter writer(c.historyView());
        std::string whole, piece;
        size_t pieces = 0;
        for (;;) {
            piece.clear();
            writer.write(piece, want);
            if (piece.empty())
                break;
            ++pieces;
            // Whole lines, and never much more than asked for: that is all a connection holds.
            ASSERT_EQ(piece.back(), '\n');
            ASSERT_LE(piece.size(), want + 130);
            whole += piece;
        }
        EXPECT_TRUE(whole == expected) << "pieces of " << want << " bytes";
        EXPECT_GE(pieces, expected.size() / (want + 130));
        piece.clear();
        writer.write(piece, want);
        EXPECT_TRUE(piece.empty()) << "nothing after the end";
    }
}
