// Prints the speed of the host name directory and the rate texts for 65,536-host snapshots.
#include "support/BenchClock.h"
#include "table/Formatting.h"
#include "table/QuickList.h"

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

using BenchClock::Clock;
using BenchClock::msSince;

double cpuMs()
{
    return BenchClock::cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

int64_t byTagDescending(const TStringList& list, int a, int b)
{
    return list.Tag(b) - list.Tag(a);
}

constexpr int hostCount = 65536;

std::vector<std::string> addresses()
{
    std::vector<std::string> out;
    for (int i = 0; i < hostCount; ++i)
        out.push_back("10." + std::to_string(i / 65536 + 20) + "." + std::to_string(i / 256 % 256) + "."
            + std::to_string(i % 256));
    return out;
}

// A name list as a service sends it: shuffled, some blanks and markup to strip.
std::vector<std::string> nameLines(const std::vector<std::string>& addrs, std::mt19937& rng)
{
    std::vector<std::string> lines;
    for (size_t i = 0; i < addrs.size(); ++i) {
        std::string line = addrs[i] + (i % 3 ? "=" : " = ") + "host-" + std::to_string(i);
        if (i % 5 == 0)
            line += "<br>";
        lines.push_back(line);
    }
    std::shuffle(lines.begin(), lines.end(), rng);
    return lines;
}

} // namespace

int main()
{
    std::mt19937 rng(11);
    const std::vector<std::string> addrs = addresses();
    const std::vector<std::string> lines = nameLines(addrs, rng);

    TQuickList names;
    // One reload as the window does it: empty, add the fetched lines, normalise and sort, and the
    // first lookup builds the index. Prints the best of five.
    auto timeLoads = [&](const char* what, const std::vector<std::string>& source) {
        double bestAdd = 1e9, bestNormalise = 1e9, bestIndex = 1e9, best = 1e9, bestCpu = 1e9;
        for (int round = 0; round < 5; ++round) {
            std::vector<std::string> fetched = source;
            const double cpuStart = cpuMs();
            const auto start = Clock::now();
            names.SetSorted(false);
            names.BeginUpdate();
            names.Clear();
            for (std::string& line : fetched)
                names.Add(std::move(line));
            names.EndUpdate();
            const auto added = Clock::now();
            NormalizeHostNames(names);
            const auto normalised = Clock::now();
            names.Lookup(addrs[0]);
            bestAdd = std::min(bestAdd, std::chrono::duration<double, std::milli>(added - start).count());
            bestNormalise
                = std::min(bestNormalise, std::chrono::duration<double, std::milli>(normalised - added).count());
            bestIndex = std::min(bestIndex, msSince(normalised));
            best = std::min(best, msSince(start));
            bestCpu = std::min(bestCpu, cpuMs() - cpuStart);
        }
        std::printf("load of %d names %s: %.2f ms (processor %.2f ms; add %.2f, normalise + sort %.2f, index %.2f)\n",
            hostCount, what, best, bestCpu, bestAdd, bestNormalise, bestIndex);
    };
    timeLoads("shuffled, with blanks and markup", lines);
    // The same names fetched again: already normalised and in order, as the directory holds them.
    std::vector<std::string> inOrder;
    for (int i = 0; i < names.Count(); ++i)
        inOrder.push_back(names[i]);
    timeLoads("already in order", inOrder);

    std::vector<std::string> probes = addrs;
    std::shuffle(probes.begin(), probes.end(), rng);
    size_t found = 0;
    const int rounds = 40;
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        for (const std::string& address : probes)
            found += names.Lookup(address).size();
    const double ms = msSince(start);
    std::printf("lookups in %d names: %.2f M/s (%zu name bytes)\n", hostCount, rounds * hostCount / ms / 1000.0, found);

    std::vector<int64_t> values;
    for (int i = 0; i < hostCount; ++i)
        values.push_back(static_cast<int64_t>(rng() % 2000000000));
    size_t chars = 0;
    const auto fmtStart = Clock::now();
    for (int round = 0; round < 10; ++round)
        for (int64_t v : values)
            chars += FormatBytes(v, false).size() + FormatBits(v, true).size();
    const double fmtMs = msSince(fmtStart);
    std::printf("rate and volume texts: %.2f M/s (%zu chars)\n", 20.0 * hostCount / fmtMs / 1000.0, chars);

    // Ordering a snapshot by a precomputed key in each line's tag, as the "Current speed" order does.
    TStringList snapshot;
    for (int i = 0; i < hostCount; ++i) {
        snapshot.Add(addrs[i] + ",1,2,3,4");
        snapshot.SetTag(i, values[i]);
    }
    const auto sortStart = Clock::now();
    snapshot.CustomSort([](const TStringList& list, int a, int b, void*) {
        const int64_t d = byTagDescending(list, a, b);
        return d < 0 ? -1 : d > 0 ? 1 : 0;
    });
    std::printf("custom sort of %d snapshot lines by tag: %.2f ms\n", hostCount, msSince(sortStart));
    return 0;
}
