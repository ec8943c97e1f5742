#include "service/FetchPace.h"

TFetchPace::TFetchPace(Clock::duration slowFrom, Clock::duration rest)
    : slowFrom_(slowFrom)
    , rest_(rest)
{
}

void TFetchPace::FetchTook(Clock::time_point start, Clock::time_point end)
{
    if (end - start >= slowFrom_ && end + rest_ > restUntil_)
        restUntil_ = end + rest_;
}

TFetchPace::Clock::duration TFetchPace::WaitBefore(Clock::time_point now) const
{
    return now < restUntil_ ? restUntil_ - now : Clock::duration::zero();
}
