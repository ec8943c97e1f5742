#include "base/DateTime.h"

#include <chrono>
#include <ctime>

namespace {
std::function<TDateTime()>& clockOverride()
{
    static std::function<TDateTime()> clock;
    return clock;
}
} // namespace

TDateTime Now()
{
    if (clockOverride())
        return clockOverride()();
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local {};
    localtime_r(&t, &local);
    // Local wall clock: the UTC offset of this moment shifts the day count, as a desktop clock reads.
    double seconds
        = double(duration_cast<microseconds>(now.time_since_epoch()).count()) / 1e6 + double(local.tm_gmtoff);
    return seconds / 86400.0 + 25569.0;
}

double DaysToSeconds(TDateTime days)
{
    return days * 24 * 60 * 60;
}

void SetClockForTesting(std::function<TDateTime()> clock)
{
    clockOverride() = std::move(clock);
}
