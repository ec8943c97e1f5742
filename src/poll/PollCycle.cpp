#include "poll/PollCycle.h"

#include "service/FetchPace.h"

#include <exception>

TPollCycle::TPollCycle(TFetchPace& pace, TClock clock)
    : pace_(pace)
    , clock_(std::move(clock))
{
}

bool TPollCycle::IsGap(TDateTime now) const
{
    return lastTick_ > 0 && DaysToSeconds(now - lastTick_) > GapSeconds;
}

void TPollCycle::Tick(TPollSteps& steps)
{
    // Ticks that fell due during a slow fetch would follow it at once and keep the window from its
    // user; such a tick is left out, and a slow service costs polls, not the window.
    if (pace_.WaitBefore(TFetchPace::Clock::now()) > TFetchPace::Clock::duration::zero())
        return;
    const TDateTime t0 = clock_();
    try {
        TDateTime t;
        if (IsGap(clock_())) {
            steps.ClearGraph();
            // The replay stands in for this tick's poll: without a snapshot from it, what the
            // table and labels show is as old as before the gap.
            steps.ServiceAnswered(steps.ReplayHistory(), t0);
            t = clock_();
        } else {
            steps.ServiceAnswered(steps.PollSnapshot(), t0);
            t = t0;
        }
        steps.FinishTick();
        lastTick_ = t;
    } catch (const std::exception&) {
        // A failed tick shows nothing; the next one tries again, and a long run of failures
        // turns into a gap that rebuilds the graph from the history.
    }
}
