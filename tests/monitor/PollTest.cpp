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
