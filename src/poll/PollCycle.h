#pragma once

#include "base/DateTime.h"

#include <functional>

class TFetchPace;

// What one tick does to the window, step by step; the cycle decides which steps run.
class TPollSteps {
public:
    virtual ~TPollSteps() = default;
    // Empties the graph before a replay.
    virtual void ClearGraph() = 0;
    // Rebuilds the graph from the service's history; answers whether a snapshot was applied.
    virtual bool ReplayHistory() = 0;
    // Polls and shows one live snapshot; answers whether one was applied.
    virtual bool PollSnapshot() = 0;
    // Whether the tick that started at askedAt brought the service's word.
    virtual void ServiceAnswered(bool answered, TDateTime askedAt) = 0;
    // What every completed tick ends with: colours and the charts' arrangement.
    virtual void FinishTick() = 0;
};

// The poll's rhythm: each tick polls a live snapshot, except after a gap of more than five seconds
// since the last tick, when the history is replayed instead. Errors of a tick are discarded.
class TPollCycle {
public:
    using TClock = std::function<TDateTime()>;

    static constexpr double GapSeconds = 5;

    // The pace tells when fetches have just held the window too long; the clock gives the time.
    explicit TPollCycle(TFetchPace& pace, TClock clock = Now);

    // Whether a tick at now comes after a gap.
    bool IsGap(TDateTime now) const;
    void Tick(TPollSteps& steps);

    // The time of the last completed tick: its start for a live poll, its end for a replay
    // (the replay stands for the whole gap); 0 before the first.
    TDateTime& LastTick() { return lastTick_; }

private:
    TFetchPace& pace_;
    TClock clock_;
    TDateTime lastTick_ = 0;
};
