#include "MonitorFixture.h"

#include "base/DateTime.h"
#include "chart/AreaSeries.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

std::string history(int blocks, int hosts, const std::string& separator = "###")
{
    std::string text;
    for (int b = 0; b < blocks; ++b)
        text += Snapshot(Hosts(hosts)) + separator + "\r\n";
    return text;
}

} // namespace

class PollTest : public MonitorTest {
protected:
    double seconds = 0;
    void SetUp() override
    {
        MonitorTest::SetUp();
        SetClockForTesting([this] { return 46000.0 + seconds / 86400.0; });
        form->rgSpeedClick(form.get());
        service.Set("/", Snapshot(Hosts(3)));
        service.Set("/history", history(4, 2));
        service.ClearRequests();
    }
    void TearDown() override
    {
        SetClockForTesting(nullptr);
        MonitorTest::TearDown();
    }
    void tick() { form->Timer1Timer(form.get()); }
    std::string lastRequest() { return service.Requests().empty() ? "" : service.Requests().back(); }
};

TEST_F(PollTest, FirstTickIsLiveAndGapsAboveFiveSecondsReplayTheHistory)
{
    tick();
    EXPECT_EQ(lastRequest(), "/");
    EXPECT_EQ(probe().SampleIndex(), 1);
    seconds += 5; // exactly five seconds is no gap
    tick();
    EXPECT_EQ(lastRequest(), "/");
    EXPECT_EQ(chartIn().SeriesList().Count(), 3);
    seconds += 5.001;
    tick();
    EXPECT_EQ(lastRequest(), "/history");
    EXPECT_EQ(probe().SampleIndex(), 2 + 4);
    EXPECT_EQ(chartIn().SeriesList().Count(), 2); // cleared, then rebuilt from two-host blocks
    seconds -= 100; // a clock turned back gives a live poll
    tick();
    EXPECT_EQ(lastRequest(), "/");
}

TEST_F(PollTest, ReplayTimeIsNotAGapButASlowLivePollIs)
{
    tick();
    seconds += 6;
    // The replay itself takes 20 seconds of wall clock; the tick after it is still live.
    service.Set("/history", history(1, 2));
    auto replays = [this] {
        auto r = service.Requests();
        return std::count(r.begin(), r.end(), "/history");
    };
    const auto before = replays();
    SetClockForTesting(
        [this, replays, before] { return 46000.0 + (seconds + (replays() > before ? 20 : 0)) / 86400.0; });
    tick();
    EXPECT_EQ(lastRequest(), "/history");
    seconds += 1;
    tick();
    EXPECT_EQ(lastRequest(), "/");

    // A live poll that takes more than five seconds makes the next tick a gap.
    seconds += 1;
    tick();
    seconds += 5.5; // the previous tick started 5.5 seconds ago
    tick();
    EXPECT_EQ(lastRequest(), "/history");
}

TEST_F(PollTest, ClearKeepsTheTableAndTheSampleIndex)
{
    tick();
    tick();
    ASSERT_EQ(probe().SampleIndex(), 2);
    control<QPushButton>("ClearBtn")->click();
    EXPECT_EQ(chartIn().SeriesList().Count(), 0);
    EXPECT_EQ(chartOut().SeriesList().Count(), 0);
    EXPECT_EQ(cell(2, 1), Hosts(3)[0].address);
    EXPECT_NE(control<QLabel>("IRLabel")->text(), "IRLabel");
    EXPECT_TRUE(control<QLabel>("StartedLabel")->text().startsWith("Started: "));
    tick();
    EXPECT_EQ(chartIn().SeriesList().Item(0)->XValues().Value(99), 2); // continues after the last X
}

TEST_F(PollTest, StopThenStartAfterMoreThanFiveSecondsReplays)
{
    form->StartBtnClick(form.get());
    EXPECT_TRUE(probe().Timer1()->isActive());
    tick();
    form->Button2Click(form.get());
    EXPECT_FALSE(probe().Timer1()->isActive());
    seconds += 8;
    form->StartBtnClick(form.get());
    tick();
    EXPECT_EQ(lastRequest(), "/history");
}

TEST_F(PollTest, HistoryBlocksEndAtExactSeparatorLinesOnly)
{
    service.Set("/history",
        Snapshot(Hosts(1)) + "###<br>\r\n" + Snapshot(Hosts(2)) + "### \r\n" + Snapshot(Hosts(3)) + "###\r\n"
            + Snapshot(Hosts(4)));
    probe().LoadHistory();
    // Two blocks: the first, and the second with its "### " line and the third snapshot as data.
    EXPECT_EQ(probe().SampleIndex(), 2);
    service.Set("/history", Snapshot(Hosts(5)));
    probe().LoadHistory();
    EXPECT_EQ(probe().SampleIndex(), 2);
    EXPECT_EQ(probe().HttpClient() != nullptr, true); // a fresh client fetched the history
}

TEST_F(PollTest, FailingTicksKeepTheTimerRunningAndTheLastTick)
{
    service.Remove("/");
    tick();
    EXPECT_GT(probe().LastTick(), 0); // a tick without data still completes
    const double last = probe().LastTick();
    seconds += 1;
    tick();
    EXPECT_GT(probe().LastTick(), last);
}

TEST_F(PollTest, ALiveTickIsTimedFromItsStart)
{
    // The poll itself takes 3 seconds of wall clock.
    auto livePolls = [this] {
        auto r = service.Requests();
        return double(std::count(r.begin(), r.end(), "/"));
    };
    SetClockForTesting([this, livePolls] { return 46000.0 + (seconds + 3 * livePolls()) / 86400.0; });
    const TDateTime start = Now();
    tick();
    EXPECT_EQ(probe().LastTick(), start);
    seconds += 2.5; // 2.5 seconds after the poll ended, 5.5 after it started
    tick();
    EXPECT_EQ(lastRequest(), "/history");
}

// The gap test at its boundary, on clock readings whose differences are exact: doubling a time is
// exact, so a tick at 2t measures exactly t since a tick at t.
TEST_F(PollTest, FiveSecondsExactlyIsNoGapAndTheNextRepresentableTimeIs)
{
    double fiveSeconds = 5.0 / 86400;
    while (DaysToSeconds(fiveSeconds) > 5)
        fiveSeconds = std::nextafter(fiveSeconds, 0.0);
    while (DaysToSeconds(fiveSeconds) < 5)
        fiveSeconds = std::nextafter(fiveSeconds, 1.0);
    ASSERT_EQ(DaysToSeconds(fiveSeconds), 5.0);
    double justOver = fiveSeconds;
    while (DaysToSeconds(justOver) <= 5)
        justOver = std::nextafter(justOver, 1.0);
    ASSERT_LT(DaysToSeconds(justOver), 5.000001);

    for (double interval : { fiveSeconds, justOver }) {
        SCOPED_TRACE(DaysToSeconds(interval));
        CreateForm();
        form->rgSpeedClick(form.get());
        double now = interval;
        SetClockForTesting([&now] { return now; });
        service.ClearRequests();
        tick();
        ASSERT_EQ(probe().LastTick(), interval);
        now = 2 * interval;
        ASSERT_EQ(now - probe().LastTick(), interval);
        tick();
        EXPECT_EQ(lastRequest(), interval == fiveSeconds ? "/" : "/history");
    }
    SetClockForTesting(nullptr);
}
