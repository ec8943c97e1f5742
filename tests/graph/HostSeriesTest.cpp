#include "graph/HostSeries.h"
#include "base/IntegerText.h"
#include "chart/AreaSeries.h"
#include "chart/TChart.h"
#include "support/SnapshotText.h"
#include "table/GetField.h"
#include "table/HostColors.h"
#include "table/QuickList.h"
#include "table/SnapshotModel.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace HostSeries;

namespace {
int32_t bytes(int a, int b, int c, int d)
{
    return int32_t((uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | uint32_t(d));
}
} // namespace

TEST(IPToIntTest, GroupsKeepTheirLowByte)
{
    EXPECT_EQ(IPToInt("198.18.0.1"), bytes(198, 18, 0, 1));
    EXPECT_EQ(IPToInt("300.1.2.3"), bytes(44, 1, 2, 3));
    EXPECT_EQ(IPToInt("-1.0.0.0"), bytes(255, 0, 0, 0));
    EXPECT_EQ(IPToInt("1.2.3"), bytes(1, 2, 3, 0));
    EXPECT_EQ(IPToInt("1.2.3.4.5"), bytes(1, 2, 3, 4));
    EXPECT_EQ(IPToInt("a.b.c.d"), 0);
    EXPECT_EQ(IPToInt("0.0.0.0"), 0);
    EXPECT_EQ(IPToInt("$ff.0x10. 7.8"), bytes(255, 16, 7, 8));
    EXPECT_EQ(IPToInt(""), -1062731519);
}

// Series management on a chart of its own, with no window around it.
class HostSeriesTest : public ::testing::Test {
protected:
    TChart in, out;
    double sampleIndex = 0;

    void add(TChart& chart, int position, const std::string& address, double value, const std::string& name = "")
    {
        AddHostSample(chart, sampleIndex, position, name, address, value);
    }
    std::string title(int i) { return in.SeriesList().Item(i)->Title().toStdString(); }
};

TEST_F(HostSeriesTest, NewHostGetsASeriesAtItsRankAndIsPaddedTo100)
{
    add(in, 0, "198.18.0.1", 5);
    add(in, 0, "198.18.0.2", 7, "beta"); // outranks the first
    ASSERT_EQ(in.SeriesList().Count(), 2);
    EXPECT_EQ(title(0), "beta");
    EXPECT_EQ(title(1), "198.18.0.1");
    auto* s = in.SeriesList().Item(0);
    EXPECT_EQ(s->Tag(), IPToInt("198.18.0.2"));
    PadSeries(in, 1);
    ASSERT_EQ(s->PointCount(), 100);
    EXPECT_EQ(s->XValues().Value(0), -99);
    EXPECT_EQ(s->XValues().Value(99), 0);
    EXPECT_EQ(s->YValues().Value(98), 0);
    EXPECT_EQ(s->YValues().Value(99), 7);
    EXPECT_EQ(FindSeriesByAddress(in, "198.18.0.1"), 1);
    EXPECT_EQ(FindSeriesByAddress(in, "198.18.0.3"), -1);
}

TEST_F(HostSeriesTest, AFullChartHandsIndex28ToANewHostWithoutItsHistory)
{
    for (int i = 0; i < 30; ++i) {
        for (int k = 0; k < 100; ++k)
            add(in, i, "198.18.1." + std::to_string(i + 1), double(i + 1));
    }
    ASSERT_EQ(in.SeriesList().Count(), 30);
    sampleIndex = 500;
    add(in, 3, "198.18.2.1", 1000, "newcomer");
    EXPECT_EQ(in.SeriesList().Count(), 30);
    auto* s = in.SeriesList().Item(3);
    EXPECT_EQ(title(3), "newcomer");
    EXPECT_EQ(s->Tag(), IPToInt("198.18.2.1"));
    ASSERT_EQ(s->PointCount(), 1); // the former host's traffic is not the newcomer's
    PadSeries(in, 501);
    ASSERT_EQ(s->PointCount(), 100);
    EXPECT_EQ(s->XValues().Value(0), 401);
    EXPECT_EQ(s->YValues().Value(98), 0);
    EXPECT_EQ(s->YValues().Value(99), 1000);
    EXPECT_EQ(title(4), "198.18.1.4"); // the rest shifted by one
    EXPECT_EQ(title(29), "198.18.1.30");
}

// In "Current speed" order the ranking changes from one snapshot to the next; a host that enters
// the top 29 takes over a series, and every area must still show only its own host's traffic.
TEST_F(HostSeriesTest, ARankingChangeNeverDrawsOneHostsTrafficUnderAnothersName)
{
    TQuickList names;
    TSnapshotOptions options;
    options.Order = THostOrder::CurrentSpeed;
    options.ActiveOnly = true;
    const double bitsScale = 8.0 / 1000;
    auto show = [&](const std::vector<Host>& hosts) {
        TSnapshot snapshot;
        ASSERT_TRUE(ComputeSnapshot(Lines(Snapshot(hosts)), options, names, snapshot));
        AddSamples(in, out, snapshot.Samples, sampleIndex, bitsScale);
        sampleIndex += 1;
        PadSeries(in, sampleIndex);
        PadSeries(out, sampleIndex);
    };
    std::vector<Host> hosts = Hosts(31);
    show(hosts);
    ASSERT_EQ(in.SeriesList().Count(), 30);
    ASSERT_EQ(title(28), hosts[28].address);

    // A quiet newcomer first falls into "Other", then becomes the busiest host.
    Host riser = { "198.18.9.9", 1, 3 };
    hosts.push_back(riser);
    show(hosts);
    hosts.back().send = 900000;
    hosts.back().recv = 1000000;
    show(hosts);

    ASSERT_EQ(title(0), riser.address);
    for (TChart* chart : { &in, &out }) {
        for (int i = 0; i < chart->SeriesList().Count(); ++i) {
            TChartSeries* s = chart->SeriesList().Item(i);
            ASSERT_EQ(s->PointCount(), 100) << i;
            const Host* own = nullptr;
            for (const Host& h : hosts)
                if (s->Title().toStdString() == h.address)
                    own = &h;
            if (!own)
                continue; // "Other"
            const double rate = double(chart == &in ? own->recv : own->send) * bitsScale;
            for (int k = 0; k < 100; ++k) {
                const double y = s->YValues().Value(k);
                EXPECT_TRUE(y == 0 || std::abs(y - rate) < 1e-9)
                    << s->Title().toStdString() << " point " << k << " shows " << y;
            }
        }
    }
    EXPECT_DOUBLE_EQ(in.SeriesList().Item(0)->YValues().Value(99), 8000);
}

TEST_F(HostSeriesTest, ColoursFollowThePosition)
{
    for (int i = 0; i < 3; ++i)
        add(out, i, "198.18.0." + std::to_string(i + 1), 1);
    ApplySeriesColors(out);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(out.SeriesList().Item(i)->SeriesColor(), SwapRB(HostColors[i]));
    add(out, 0, "198.18.0.3", 1); // moves to the front
    ApplySeriesColors(out);
    EXPECT_EQ(out.SeriesList().Item(0)->SeriesColor(), SwapRB(HostColors[0]));
    EXPECT_EQ(out.SeriesList().Item(0)->Title(), "198.18.0.3");
}
