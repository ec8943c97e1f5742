#pragma once

#include <algorithm>

template <typename Block> void ForEachHistoryBlock(const HistoryView& view, Block&& block)
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    const int64_t last = int64_t(view.finishedSeconds) - 1;
    const int64_t first = last - TrafficCounter::HistorySeconds + 1;
    const int64_t oldestRecord = int64_t(view.finishedSeconds) - int64_t(view.seconds.size());
    auto record = [&](int64_t second) -> const SecondRecord* {
        if (second < oldestRecord || second > last)
            return nullptr;
        return view.seconds[size_t(second - oldestRecord)].get();
    };
    // A slot reused by a newer host must not inherit the traffic of the host it replaced.
    auto counts = [&](const SecondEntry& e, int64_t second) {
        return e.slot < view.hosts.size() && view.hosts[e.slot].firstSecond <= second;
    };

    const size_t n = view.hosts.size();
    std::vector<uint64_t> sent(n), received(n), windowSent(n), windowReceived(n);
    for (size_t i = 0; i < n; ++i) {
        sent[i] = view.hosts[i].sent;
        received[i] = view.hosts[i].received;
    }
    for (int64_t s = last; s > first; --s)
        if (auto r = record(s))
            for (const auto& e : *r)
                if (counts(e, s)) {
                    sent[e.slot] -= e.sent;
                    received[e.slot] -= e.received;
                }
    for (int64_t s = first - window + 1; s <= first; ++s)
        if (auto r = record(s))
            for (const auto& e : *r)
                if (counts(e, s)) {
                    windowSent[e.slot] += e.sent;
                    windowReceived[e.slot] += e.received;
                }

    std::vector<HostRow> rows;
    rows.reserve(n);
    for (int64_t s = first; s <= last; ++s) {
        if (s > first) {
            if (auto r = record(s))
                for (const auto& e : *r)
                    if (counts(e, s)) {
                        sent[e.slot] += e.sent;
                        received[e.slot] += e.received;
                        windowSent[e.slot] += e.sent;
                        windowReceived[e.slot] += e.received;
                    }
            if (auto r = record(s - window))
                for (const auto& e : *r)
                    if (counts(e, s - window)) {
                        windowSent[e.slot] -= e.sent;
                        windowReceived[e.slot] -= e.received;
                    }
        }
        rows.clear();
        if (s >= 0) {
            const uint64_t divisor = uint64_t(std::min<int64_t>(window, s + 1));
            for (size_t i = 0; i < n; ++i) {
                const auto& h = view.hosts[i];
                if (h.firstSecond > s)
                    continue;
                rows.push_back({ h.address, int64_t(windowSent[i] / divisor), int64_t(windowReceived[i] / divisor),
                    int64_t(sent[i]), int64_t(received[i]) });
            }
            SortByDataTransferred(rows);
        }
        block(const_cast<const std::vector<HostRow>&>(rows));
    }
}
