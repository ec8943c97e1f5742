#pragma once

#include <chrono>

// Keeps a slow service from taking the window away from its user. A fetch blocks the window while
// it runs; after one that kept it waiting long, the next fetch that no user asked for (a poll, a
// name refresh) waits until the window has had a moment to handle what the user did meanwhile.
class TFetchPace {
public:
    using Clock = std::chrono::steady_clock;

    TFetchPace(Clock::duration slowFrom, Clock::duration rest);

    void FetchTook(Clock::time_point start, Clock::time_point end);
    // How long such a fetch must still wait; zero when it may start now.
    Clock::duration WaitBefore(Clock::time_point now) const;

private:
    Clock::duration slowFrom_;
    Clock::duration rest_;
    Clock::time_point restUntil_ {};
};
