#include "MonitorFixture.h"

#include "chart/AreaSeries.h"
#include "controls/TRadioGroup.h"
#include "graph/HostSeries.h"
#include "table/HostColors.h"

#include <QRadioButton>

#include <cmath>

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

class HostSeriesTest : public MonitorTest {
protected:
    void add(TChart& chart, int position, const std::string& address, double value, const std::string& name = "")
    {
        probe().AddHostSample(&chart, position, name, address, value);
    }
    std::string title(int i) { return chartIn().SeriesList().Item(i)->Title().toStdString(); }
};

TEST_F(HostSeriesTest, NewHostGetsASeriesAtItsRankAndIsPaddedTo100)
{
    add(chartIn(), 0, "198.18.0.1", 5);
    add(chartIn(), 0, "198.18.0.2", 7, "beta"); // outranks the first
    ASSERT_EQ(chartIn().SeriesList().Count(), 2);
    EXPECT_EQ(title(0), "beta");
    EXPECT_EQ(title(1), "198.18.0.1");
    auto* s = chartIn().SeriesList().Item(0);
    EXPECT_EQ(s->Tag(), IPToInt("198.18.0.2"));
    probe().SampleIndex() = 1;
    probe().PadSeries(&chartIn());
    ASSERT_EQ(s->PointCount(), 100);
    EXPECT_EQ(s->XValues().Value(0), -99);
    EXPECT_EQ(s->XValues().Value(99), 0);
    EXPECT_EQ(s->YValues().Value(98), 0);
    EXPECT_EQ(s->YValues().Value(99), 7);
    EXPECT_EQ(probe().FindSeriesByAddress(&chartIn(), "198.18.0.1"), 1);
    EXPECT_EQ(probe().FindSeriesByAddress(&chartIn(), "198.18.0.3"), -1);
}

TEST_F(HostSeriesTest, AFullChartHandsIndex28ToANewHostWithoutItsHistory)
{
    for (int i = 0; i < 30; ++i) {
        for (int k = 0; k < 100; ++k)
            add(chartIn(), i, "198.18.1." + std::to_string(i + 1), double(i + 1));
    }
    ASSERT_EQ(chartIn().SeriesList().Count(), 30);
    probe().SampleIndex() = 500;
    add(chartIn(), 3, "198.18.2.1", 1000, "newcomer");
    EXPECT_EQ(chartIn().SeriesList().Count(), 30);
    auto* s = chartIn().SeriesList().Item(3);
    EXPECT_EQ(title(3), "newcomer");
    EXPECT_EQ(s->Tag(), IPToInt("198.18.2.1"));
    ASSERT_EQ(s->PointCount(), 1); // the former host's traffic is not the newcomer's
    probe().SampleIndex() = 501;
    probe().PadSeries(&chartIn());
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
    form->rgSpeedClick(form.get());
    control<TRadioGroup>("RadioGroup1")->Button(1)->click();
    std::vector<Host> hosts = Hosts(31);
    service.Set("/", Snapshot(hosts));
    PollOnce();
    ASSERT_EQ(chartIn().SeriesList().Count(), 30);
    ASSERT_EQ(title(28), hosts[28].address);

    // A quiet newcomer first falls into "Other", then becomes the busiest host.
    Host riser = { "198.18.9.9", 1, 3 };
    hosts.push_back(riser);
    service.Set("/", Snapshot(hosts));
    PollOnce();
    hosts.back().send = 900000;
    hosts.back().recv = 1000000;
    service.Set("/", Snapshot(hosts));
    PollOnce();

    ASSERT_EQ(title(0), riser.address);
    for (TChart* chart : { &chartIn(), &chartOut() }) {
        for (int i = 0; i < chart->SeriesList().Count(); ++i) {
            TChartSeries* s = chart->SeriesList().Item(i);
            ASSERT_EQ(s->PointCount(), 100) << i;
            const Host* own = nullptr;
            for (const Host& h : hosts)
                if (s->Title().toStdString() == h.address)
                    own = &h;
            if (!own)
                continue; // "Other"
            const double rate = (chart == &chartIn() ? own->recv : own->send) * 0.008;
            for (int k = 0; k < 100; ++k) {
                const double y = s->YValues().Value(k);
                EXPECT_TRUE(y == 0 || std::abs(y - rate) < 1e-9)
                    << s->Title().toStdString() << " point " << k << " shows " << y;
            }
        }
    }
    TChartSeries* s = chartIn().SeriesList().Item(0);
    EXPECT_DOUBLE_EQ(s->YValues().Value(99), 8000);
}

TEST_F(HostSeriesTest, ColoursFollowThePosition)
{
    for (int i = 0; i < 3; ++i)
        add(chartOut(), i, "198.18.0." + std::to_string(i + 1), 1);
    probe().ApplySeriesColors(&chartOut());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(chartOut().SeriesList().Item(i)->SeriesColor(), SwapRB(HostColors[i]));
    add(chartOut(), 0, "198.18.0.3", 1); // moves to the front
    probe().ApplySeriesColors(&chartOut());
    EXPECT_EQ(chartOut().SeriesList().Item(0)->SeriesColor(), SwapRB(HostColors[0]));
    EXPECT_EQ(chartOut().SeriesList().Item(0)->Title(), "198.18.0.3");
}
