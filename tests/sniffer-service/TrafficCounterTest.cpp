#include "TrafficCounter.h"
#include "DemoNetwork.h"
#include "ResourceText.h"

#include <gtest/gtest.h>

#include <random>

namespace {

HostAddress A(const char* text)
{
    return *HostAddress::parse(text);
}

const HostRow* find(const std::vector<HostRow>& rows, const char* address)
{
    for (const auto& r : rows)
        if (r.address == A(address))
            return &r;
    return nullptr;
}

std::vector<std::vector<HostRow>> historyBlocks(const TrafficCounter& c)
{
    std::vector<std::vector<HostRow>> blocks;
    ForEachHistoryBlock(c.historyView(), [&](const HistoryBlock& block) { blocks.push_back(block.rows()); });
    return blocks;
}

bool sameRows(const std::vector<HostRow>& a, const std::vector<HostRow>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].address != b[i].address || a[i].sendRate != b[i].sendRate || a[i].recvRate != b[i].recvRate
            || a[i].bytesSent != b[i].bytesSent || a[i].bytesReceived != b[i].bytesReceived)
            return false;
    return true;
}

} // namespace

TEST(TrafficCounter, TrafficCountsWhenItsSecondEnds)
{
    TrafficCounter c;
    c.addSent(A("10.0.0.1"), 100);
    c.addReceived(A("10.0.0.1"), 40);
    EXPECT_TRUE(c.snapshot(TrafficCounter::RateWindow::LastSecond).empty());
    c.tick();
    auto rows = c.snapshot(TrafficCounter::RateWindow::LastSecond);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].bytesSent, 100);
    EXPECT_EQ(rows[0].bytesReceived, 40);
    EXPECT_EQ(rows[0].sendRate, 100);
    EXPECT_EQ(rows[0].recvRate, 40);
}

TEST(TrafficCounter, RatesCoverTheLastSecondAndTheLastFiveSeconds)
{
    TrafficCounter c;
    // Seconds 0..6 send 100, 200, ... 700 bytes; second 7 is quiet.
    for (int s = 0; s < 8; ++s) {
        if (s < 7)
            c.addSent(A("10.0.0.1"), uint64_t(100 * (s + 1)));
        c.tick();
        auto one = c.snapshot(TrafficCounter::RateWindow::LastSecond);
        auto five = c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
        int64_t expectedOne = s < 7 ? 100 * (s + 1) : 0;
        int64_t sum = 0;
        for (int k = std::max(0, s - 4); k <= std::min(s, 6); ++k)
            sum += 100 * (k + 1);
        EXPECT_EQ(one[0].sendRate, expectedOne) << "second " << s;
        // Until five seconds have passed the average is over the seconds there are.
        EXPECT_EQ(five[0].sendRate, sum / std::min(5, s + 1)) << "second " << s;
        EXPECT_EQ(five[0].recvRate, 0);
    }
    EXPECT_EQ(c.snapshot(TrafficCounter::RateWindow::LastSecond)[0].bytesSent, 2800);
}

TEST(TrafficCounter, OrdersByDataTransferredThenAddress)
{
    TrafficCounter c;
    c.addSent(A("10.0.0.9"), 10);
    c.addReceived(A("10.0.0.2"), 500);
    c.addSent(A("10.0.0.3"), 300);
    c.addReceived(A("10.0.0.3"), 200);
    c.addSent(A("10.0.0.1"), 10);
    c.tick();
    auto rows = c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].address, A("10.0.0.2"));
    EXPECT_EQ(rows[1].address, A("10.0.0.3"));
    EXPECT_EQ(rows[2].address, A("10.0.0.1"));
    EXPECT_EQ(rows[3].address, A("10.0.0.9"));
}

TEST(TrafficCounter, ANewHostReplacesTheLongestIdleAtTheLimit)
{
    TrafficCounter c(3);
    c.addSent(A("10.0.0.1"), 1);
    c.addSent(A("10.0.0.2"), 1);
    c.addSent(A("10.0.0.3"), 1);
    c.tick();
    c.addSent(A("10.0.0.1"), 1); // .2 and .3 are now idle longer; .2 was touched first
    c.tick();
    c.addSent(A("10.0.0.3"), 1);
    c.addSent(A("10.0.0.4"), 1);
    c.tick();
    EXPECT_EQ(c.hostCount(), 3u);
    auto rows = c.snapshot(TrafficCounter::RateWindow::LastSecond);
    EXPECT_FALSE(find(rows, "10.0.0.2"));
    ASSERT_TRUE(find(rows, "10.0.0.4"));
    EXPECT_EQ(find(rows, "10.0.0.4")->bytesSent, 1);
    EXPECT_EQ(find(rows, "10.0.0.3")->bytesSent, 2);
}

TEST(TrafficCounter, AHostGivenUpAtTheLimitCountsUnderItsOwnRowWhenItComesBack)
{
    TrafficCounter c(2);
    c.addSent(A("10.0.0.1"), 1);
    c.addSent(A("10.0.0.2"), 2);
    c.tick();
    c.addSent(A("10.0.0.1"), 1);
    c.addSent(A("10.0.0.3"), 4); // takes the slot of .2, idle longest
    c.addSent(A("10.0.0.2"), 8); // back at once, in the slot of .1: never in the one .3 holds now
    c.tick();
    auto rows = c.snapshot(TrafficCounter::RateWindow::LastSecond);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_TRUE(find(rows, "10.0.0.3"));
    ASSERT_TRUE(find(rows, "10.0.0.2"));
    EXPECT_EQ(find(rows, "10.0.0.3")->bytesSent, 4);
    EXPECT_EQ(find(rows, "10.0.0.2")->bytesSent, 8);
    EXPECT_EQ(c.evictedSent(), 2u + 2u);
}

TEST(TrafficCounter, AReusedSlotInheritsNothingOfTheHostItReplaced)
{
    TrafficCounter c(1);
    for (int s = 0; s < 3; ++s) {
        c.addSent(A("10.0.0.1"), 1000);
        c.tick();
    }
    c.addReceived(A("10.0.0.2"), 7);
    c.tick();
    for (int s = 0; s < 6; ++s) {
        c.tick();
        auto rows = c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].address, A("10.0.0.2"));
        EXPECT_EQ(rows[0].bytesSent, 0);
        EXPECT_EQ(rows[0].sendRate, 0) << "the old host's seconds must not leave the window of the new one";
        EXPECT_EQ(rows[0].bytesReceived, 7);
    }
    for (const auto& block : historyBlocks(c))
        for (const auto& row : block) {
            EXPECT_EQ(row.address, A("10.0.0.2"));
            EXPECT_EQ(row.bytesSent, 0);
            EXPECT_EQ(row.sendRate, 0);
        }
}

TEST(TrafficCounter, MoreThanFourGigabytesInOneSecondIsKeptWhole)
{
    TrafficCounter c;
    const uint64_t huge = 10'000'000'000ull;
    c.addReceived(A("10.0.0.1"), huge);
    c.tick();
    c.tick();
    auto rows = c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
    EXPECT_EQ(uint64_t(rows[0].bytesReceived), huge);
    EXPECT_EQ(uint64_t(rows[0].recvRate), huge / 2);
    auto blocks = historyBlocks(c);
    EXPECT_EQ(uint64_t(blocks[98][0].bytesReceived), huge);
    EXPECT_EQ(uint64_t(blocks[98][0].recvRate), huge);
}

TEST(TrafficHistory, EveryBlockIsTheSnapshotOfItsSecond)
{
    // Random traffic from hosts that come and go quiet; the history must rebuild exactly what the
    // five-second snapshot said at the end of each of the last 100 seconds.
    TrafficCounter c;
    std::mt19937 random(5);
    std::vector<std::vector<HostRow>> served;
    for (int s = 0; s < 160; ++s) {
        int packets = int(random() % 60);
        for (int p = 0; p < packets; ++p) {
            auto host = HostAddress::fromIPv4(0x0A000000u + uint32_t(s / 2) + random() % 30);
            if (random() % 2)
                c.addSent(host, random() % 5000);
            else
                c.addReceived(host, random() % 5000);
        }
        c.tick();
        served.push_back(c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds));
    }
    auto blocks = historyBlocks(c);
    ASSERT_EQ(blocks.size(), size_t(TrafficCounter::HistorySeconds));
    for (size_t b = 0; b < blocks.size(); ++b)
        EXPECT_TRUE(sameRows(blocks[b], served[served.size() - 100 + b])) << "block " << b;
    EXPECT_TRUE(sameRows(blocks.back(), c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds)));
}

TEST(TrafficHistory, SecondsBeforeTheStartAreEmptyBlocks)
{
    TrafficCounter c;
    c.addSent(A("10.0.0.1"), 50);
    c.tick();
    c.tick();
    auto blocks = historyBlocks(c);
    ASSERT_EQ(blocks.size(), 100u);
    for (size_t b = 0; b < 98; ++b)
        EXPECT_TRUE(blocks[b].empty()) << b;
    ASSERT_EQ(blocks[98].size(), 1u);
    EXPECT_EQ(blocks[98][0].sendRate, 50);
    EXPECT_EQ(blocks[99][0].sendRate, 25);
    EXPECT_TRUE(historyBlocks(TrafficCounter()).size() == 100u);
}

TEST(DemoNetwork, IsRepeatableForASeedAndFillsTheHistory)
{
    auto run = [](uint64_t seed) {
        TrafficCounter c;
        DemoNetwork demo(DemoNetwork::DefaultHosts, seed);
        demo.prefill(c, 104);
        return ResourceText::History(c.historyView());
    };
    std::string first = run(3);
    EXPECT_EQ(first, run(3));
    EXPECT_NE(first, run(4));

    TrafficCounter c;
    DemoNetwork demo(DemoNetwork::DefaultHosts, 3);
    demo.prefill(c, 104);
    auto blocks = historyBlocks(c);
    // Every block already shows the office, with the "Other" band and some idle machines.
    for (const auto& block : blocks)
        EXPECT_GE(block.size(), 31u);
    auto now = c.snapshot(TrafficCounter::RateWindow::LastSecond);
    EXPECT_EQ(now.size(), 45u);
    size_t idle = 0, unnamed = 0;
    for (const auto& row : now)
        idle += row.sendRate + row.recvRate == 0;
    for (size_t i = 0; i < demo.hostCount(); ++i) {
        unnamed += demo.name(i).empty();
        EXPECT_LE(demo.name(i).size(), 15u);
        EXPECT_TRUE(demo.networks().contains(demo.address(i)));
    }
    EXPECT_GT(idle, 0u);
    EXPECT_GT(unnamed, 0u);
    EXPECT_LT(unnamed, 10u);
    // The heavy hosts lead the list.
    EXPECT_EQ(now[0].address, demo.address(0));

    DemoNetwork wide(1000, 1);
    EXPECT_EQ(wide.address(999).text(), "198.18.3.232");
}
