#include "poll/PollCycle.h"
#include "service/FetchPace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Records which steps a tick ran; each step may move the clock, as real fetches take time.
class RecordingSteps : public TPollSteps {
public:
    std::vector<std::string> calls;
    bool answer = true;
    bool throwOnPoll = false;
    std::function<void()> duringPoll, duringReplay;
    std::vector<std::pair<bool, TDateTime>> answers;

    void ClearGraph() override { calls.push_back("clear"); }
    bool ReplayHistory() override
    {
        calls.push_back("replay");
        if (duringReplay)
            duringReplay();
        return answer;
    }
    bool PollSnapshot() override
    {
        calls.push_back("poll");
        if (duringPoll)
            duringPoll();
        if (throwOnPoll)
            throw std::runtime_error("Grid cell out of range");
        return answer;
    }
    void ServiceAnswered(bool answered, TDateTime askedAt) override { answers.emplace_back(answered, askedAt); }
    void FinishTick() override { calls.push_back("finish"); }
    std::string last() const { return calls.size() >= 2 ? calls[calls.size() - 2] : ""; }
};

constexpr double Day = 86400;

} // namespace

// The gap rule with a clock of the test's own, no window and no service.
class PollCycleTest : public ::testing::Test {
protected:
    TFetchPace pace { std::chrono::milliseconds(1000), std::chrono::milliseconds(250) };
    double seconds = 0;
    TPollCycle cycle { pace, [this] { return 46000.0 + seconds / Day; } };
    RecordingSteps steps;

    void tick() { cycle.Tick(steps); }
};

TEST_F(PollCycleTest, LiveTicksUntilMoreThanFiveSecondsPassThenAReplayAfterAClear)
{
    tick();
    EXPECT_EQ(steps.calls, (std::vector<std::string> { "poll", "finish" }));
    seconds += 5; // exactly five seconds is no gap
    tick();
    EXPECT_EQ(steps.last(), "poll");
    seconds += 5.001;
    steps.calls.clear();
    tick();
    EXPECT_EQ(steps.calls, (std::vector<std::string> { "clear", "replay", "finish" }));
    seconds -= 100; // a clock turned back gives a live poll
    tick();
    EXPECT_EQ(steps.last(), "poll");
}

TEST_F(PollCycleTest, AReplayCountsFromItsEndAndALivePollFromItsStart)
{
    tick();
    seconds += 6;
    steps.duringReplay = [this] { seconds += 20; }; // the replay itself takes 20 seconds
    tick();
    ASSERT_EQ(steps.last(), "replay");
    EXPECT_DOUBLE_EQ(cycle.LastTick(), 46000.0 + 26 / Day);
    seconds += 1;
    tick();
    EXPECT_EQ(steps.last(), "poll");

    // A live poll that takes 3 seconds is timed from its start: 2.5 seconds after it ended is a gap.
    steps.duringPoll = [this] { seconds += 3; };
    seconds += 1;
    const TDateTime start = 46000.0 + seconds / Day;
    tick();
    EXPECT_EQ(cycle.LastTick(), start);
    steps.duringPoll = nullptr;
    seconds += 2.5;
    tick();
    EXPECT_EQ(steps.last(), "replay");
}

// On clock readings whose differences are exact: doubling a time is exact, so a tick at 2t
// measures exactly t since a tick at t.
TEST_F(PollCycleTest, FiveSecondsExactlyIsNoGapAndTheNextRepresentableTimeIs)
{
    double fiveSeconds = 5.0 / Day;
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
        double now = interval;
        TPollCycle exact(pace, [&now] { return now; });
        RecordingSteps s;
        exact.Tick(s);
        ASSERT_EQ(exact.LastTick(), interval);
        now = 2 * interval;
        ASSERT_EQ(now - exact.LastTick(), interval);
        EXPECT_EQ(exact.IsGap(now), interval != fiveSeconds);
    }
}

TEST_F(PollCycleTest, AnUnansweredTickStillCompletesAndAFailingOneLeavesNoTrace)
{
    steps.answer = false;
    tick();
    ASSERT_EQ(steps.answers.size(), 1u);
    EXPECT_FALSE(steps.answers[0].first);
    EXPECT_EQ(steps.answers[0].second, 46000.0);
    EXPECT_EQ(cycle.LastTick(), 46000.0); // a tick without data still completes
    EXPECT_EQ(steps.last(), "poll");

    steps.throwOnPoll = true;
    steps.calls.clear();
    seconds += 1;
    EXPECT_NO_THROW(tick());
    EXPECT_EQ(steps.calls, (std::vector<std::string> { "poll" })); // no finish
    EXPECT_EQ(cycle.LastTick(), 46000.0);
    EXPECT_EQ(steps.answers.size(), 1u);
}

TEST_F(PollCycleTest, ATickDueRightAfterASlowFetchIsLeftOut)
{
    const auto now = TFetchPace::Clock::now();
    pace.FetchTook(now - std::chrono::milliseconds(1500), now);
    tick();
    EXPECT_TRUE(steps.calls.empty());
    EXPECT_EQ(cycle.LastTick(), 0);
}
