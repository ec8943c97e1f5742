#include "table/SnapshotModel.h"
#include "support/SnapshotText.h"
#include "table/HostRanks.h"
#include "table/QuickList.h"

#include <gtest/gtest.h>

#include <cstdint>

// The snapshot model on its own: the service's text in, the table's rows, the totals' texts and the
// graph's samples out.
class SnapshotModelTest : public ::testing::Test {
protected:
    TQuickList names;
    TSnapshotOptions options;
    TSnapshot result;

    void SetUp() override { options.ActiveOnly = true; } // as the window starts
    bool compute(const std::string& text) { return ComputeSnapshot(Lines(text), options, names, result); }
    THostRow row(int i)
    {
        EXPECT_LT(i, result.WrittenRows);
        THostRow r;
        ReadSnapshotRow(result, i, r);
        return r;
    }
    // Row i's figures as its cells show them.
    THostRowTexts texts(int i)
    {
        THostRowTexts t;
        FormatRowTexts(row(i), result.RowFormat, t);
        return t;
    }
    const THostSample& sample(int position)
    {
        for (const THostSample& s : result.Samples)
            if (s.Position == position)
                return s;
        ADD_FAILURE() << "no sample at " << position;
        static const THostSample none;
        return none;
    }
};

TEST_F(SnapshotModelTest, NoLinesIsNoSnapshotAndLeavesTheResultAsItWas)
{
    ASSERT_TRUE(compute(Snapshot(Hosts(3))));
    EXPECT_FALSE(compute(""));
    EXPECT_EQ(result.WrittenRows, 3);
    EXPECT_EQ(result.Samples.size(), 3u);
}

TEST_F(SnapshotModelTest, ASnapshotWithoutHostLinesStillGivesEmptyTotals)
{
    for (const char* text : { "only a header\r\nand a closing line\r\n", "one line\r\n" }) {
        ASSERT_TRUE(compute(text)) << text;
        EXPECT_EQ(result.RowCount, 1);
        EXPECT_EQ(result.WrittenRows, 0);
        EXPECT_TRUE(result.Samples.empty());
        EXPECT_EQ(result.RecvTotals, ", ");
        EXPECT_EQ(result.SendTotals, ", ");
    }
}

TEST_F(SnapshotModelTest, RowsTotalsAndSamplesOfALiveSnapshot)
{
    names.Add("198.18.0.1=alpha");
    NormalizeHostNames(names);
    ASSERT_TRUE(compute(Snapshot({ { "198.18.0.1", 1536, 128, 1048576, 1073741824 }, { "198.18.0.2", 0, 0, 0, 0 } })));
    EXPECT_EQ(result.RowCount, 3);
    ASSERT_EQ(result.WrittenRows, 2);
    const THostRow first = row(0);
    EXPECT_EQ(first.Name, "alpha");
    EXPECT_EQ(first.Address, "198.18.0.1");
    EXPECT_EQ(texts(0).RecvSpeed, "1.02 kb/s"); // 128 bytes/s in bits
    EXPECT_EQ(texts(0).SendSpeed, "12.29 kb/s");
    EXPECT_EQ(texts(0).RecvTotal, "1.00 GB");
    EXPECT_EQ(texts(0).SendTotal, "1.00 MB");
    EXPECT_EQ(row(1).Name, ""); // no name for this address
    EXPECT_EQ(texts(1).RecvSpeed, "");
    EXPECT_EQ(result.SendTotals, "12.29 kb/s, 1.00 MB");
    EXPECT_EQ(result.RecvTotals, "1.02 kb/s, 1.00 GB");
    EXPECT_EQ(sample(0).Name, "alpha");
    EXPECT_EQ(sample(0).RecvRate, 128);
    EXPECT_EQ(sample(0).SendRate, 1536);

    options.RatesInBits = false;
    options.Separators.ThousandSeparator = '.';
    options.Separators.DecimalSeparator = ',';
    ASSERT_TRUE(compute(Snapshot({ { "198.18.0.1", 1536, 128, 1048575, 0 } })));
    EXPECT_EQ(texts(0).RecvSpeed, "0,13 kB/s");
    EXPECT_EQ(texts(0).SendTotal, "1.024,00 kB");
}

TEST_F(SnapshotModelTest, FieldsAreReadByTheNumberRule)
{
    ASSERT_TRUE(compute("head\r\n198.18.0.1,$10,0x10, 5,-3<b>\r\n198.18.0.2,1 ,2x,9223372036854775808,+7\r\nend\r\n"));
    // Send 16, receive 16; " 5" reads as 5, "-3" as -3; "1 " and "2x" are not numbers.
    EXPECT_EQ(sample(0).SendRate, 16);
    EXPECT_EQ(sample(0).RecvRate, 16);
    EXPECT_EQ(texts(0).SendTotal, "0.00 kB");
    EXPECT_EQ(texts(0).RecvTotal, "0.00 kB"); // -3 bytes rounds to zero and shows no sign
    EXPECT_EQ(sample(1).SendRate, 0);
    EXPECT_EQ(texts(1).RecvTotal, "0.01 kB");
    EXPECT_EQ(texts(1).SendTotal, "");
}

// Plain digits are read on a short path; numbers on either side of its limit must read as the
// full rule reads them.
TEST_F(SnapshotModelTest, LongNumbersAroundTheDigitLimit)
{
    ASSERT_TRUE(
        compute("head\r\n198.18.0.1,999999999999999999,0\r\n198.18.0.2,9223372036854775807,0\r\n"
                "198.18.0.3,00000000000000000012,0\r\n198.18.0.4,12\xb2,0\r\n198.18.0.5,99999999999999999999,0\r\n"
                "end\r\n"));
    ASSERT_EQ(result.Samples.size(), 5u);
    EXPECT_EQ(sample(0).SendRate, 999999999999999999);
    EXPECT_EQ(sample(1).SendRate, INT64_MAX);
    EXPECT_EQ(sample(2).SendRate, 12);
    EXPECT_EQ(sample(3).SendRate, 0);
    EXPECT_EQ(sample(4).SendRate, 0);
}

TEST_F(SnapshotModelTest, FromTheThirtiethHostOnTheRestIsOneOtherSample)
{
    ASSERT_TRUE(compute(Snapshot(Hosts(29))));
    EXPECT_EQ(result.Samples.size(), 29u);

    const std::vector<Host> thirty = Hosts(30);
    ASSERT_TRUE(compute(Snapshot(thirty)));
    ASSERT_EQ(result.Samples.size(), 30u);
    const THostSample& other = sample(HostRanks::OtherPosition);
    EXPECT_EQ(other.Name, "Other");
    EXPECT_EQ(other.Address, "0.0.0.0");
    EXPECT_EQ(other.RecvRate, thirty[29].recv);

    const std::vector<Host> more = Hosts(31);
    ASSERT_TRUE(compute(Snapshot(more)));
    EXPECT_EQ(sample(HostRanks::OtherPosition).SendRate, more[29].send + more[30].send);
    for (int i = 0; i < 29; ++i)
        EXPECT_EQ(sample(i).Address, more[size_t(i)].address) << i;
}

TEST_F(SnapshotModelTest, ActiveOnlyHidesIdleHostsFromTheThirtiethOn)
{
    std::vector<Host> hosts = Hosts(35);
    hosts[5].send = hosts[5].recv = 0; // idle but in the top 29: keeps its row
    for (int i : { 28, 29, 30 }) // positions 29, 30 and 31 are idle
        hosts[size_t(i)].send = hosts[size_t(i)].recv = 0;
    ASSERT_TRUE(compute(Snapshot(hosts)));
    EXPECT_FALSE(result.RowCountFirst);
    EXPECT_EQ(result.RowCount, 1 + 33);
    EXPECT_EQ(row(5).Address, hosts[5].address);
    EXPECT_EQ(row(28).Address, hosts[28].address); // the 29th host keeps its row although idle
    EXPECT_EQ(row(29).Address, hosts[31].address); // the 30th and 31st have none

    options.ActiveOnly = false;
    ASSERT_TRUE(compute(Snapshot(hosts)));
    EXPECT_TRUE(result.RowCountFirst);
    EXPECT_EQ(result.RowCount, 36);
    EXPECT_EQ(row(30).Address, hosts[30].address);
}

TEST_F(SnapshotModelTest, CurrentSpeedOrderSortsHostLinesOnly)
{
    std::vector<Host> hosts = { { "198.18.0.1", 10, 10 }, { "198.18.0.2", 500, 500 }, { "198.18.0.3", 1, 0 },
        { "198.18.0.4", 0, 0 }, { "198.18.0.5", 70, 0 } };
    // A closing line that looks like a busy host must never be read as one.
    std::string text = "head\r\n";
    for (const Host& h : hosts)
        text += HostLine(h) + "\r\n";
    options.Order = THostOrder::CurrentSpeed;
    ASSERT_TRUE(compute(text + "198.18.9.9,99999,99999,0,0\r\n"));
    EXPECT_EQ(result.RowCount, 5); // four hosts with traffic
    ASSERT_EQ(result.WrittenRows, 4);
    EXPECT_EQ(row(0).Address, "198.18.0.2");
    EXPECT_EQ(row(1).Address, "198.18.0.5");
    EXPECT_EQ(row(2).Address, "198.18.0.1");
    EXPECT_EQ(row(3).Address, "198.18.0.3"); // the slowest host is still there
    ASSERT_EQ(result.Samples.size(), 5u);
    EXPECT_EQ(sample(4).Address, "198.18.0.4");
    EXPECT_EQ(result.SendTotals.substr(0, 9), "4.65 kb/s"); // 581 bytes/s, the closing line not counted
}

TEST_F(SnapshotModelTest, AHistoryBlockHasNoRowsAndNoNames)
{
    names.Add("198.18.0.1=alpha");
    NormalizeHostNames(names);
    options.Mode = TSnapshotMode::History;
    ASSERT_TRUE(compute(Snapshot({ { "198.18.0.1", 5, 5, 5, 5 }, { "198.18.0.9", 1, 1, 1, 1 } })));
    EXPECT_EQ(result.WrittenRows, 0);
    EXPECT_EQ(result.RowCount, 1); // only the header row with "active machines" ticked
    EXPECT_EQ(sample(0).Name, "");
    EXPECT_EQ(sample(0).Address, "198.18.0.1");
    EXPECT_EQ(result.RecvTotals, "0.05 kb/s, 0.01 kB");
}

TEST_F(SnapshotModelTest, TotalsWrapAroundInsteadOfFailing)
{
    ASSERT_TRUE(compute(Snapshot({ { "198.18.0.1", 0, 0, INT64_MAX, 0 }, { "198.18.0.2", 0, 0, 2, 0 } })));
    EXPECT_EQ(result.SendTotals, ", -9,007,199,254,740,992.00 kB");
}
