#pragma once

#include <chrono>
#include <ctime>

// The clocks the benchmarks read: wall time since a start, and processor time, which is steadier
// than the wall clock on a machine busy with other work.
namespace BenchClock {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// clockId: CLOCK_PROCESS_CPUTIME_ID for the whole process, CLOCK_THREAD_CPUTIME_ID for this thread.
inline double cpuMs(clockid_t clockId)
{
    timespec t {};
    clock_gettime(clockId, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace BenchClock
