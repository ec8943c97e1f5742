#include "TrafficCounter.h"

#include <algorithm>

HostRow HistoryBlock::row(size_t i) const
{
    uint32_t slot = order[i];
    return { view.hosts[slot].address, int64_t(windowSent[slot] / divisor), int64_t(windowReceived[slot] / divisor),
        int64_t(sent[slot]), int64_t(received[slot]) };
}

std::vector<HostRow> HistoryBlock::rows() const
{
    std::vector<HostRow> result;
    result.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        result.push_back(row(i));
    return result;
}

namespace {

// Orders slots as SortByDataTransferred orders rows. The order of one second is nearly that of the
// next, so an insertion sort from the previous order is cheap; it gives way to a full sort when the
// order has changed a lot.
void sortByDataTransferred(std::vector<uint32_t>& order, const std::vector<uint64_t>& total, const HistoryView& view)
{
    auto before = [&](uint32_t a, uint32_t b) {
        if (total[a] != total[b])
            return total[a] > total[b];
        return view.hosts[a].address < view.hosts[b].address;
    };
    const size_t limit = 16 * order.size() + 1024;
    size_t moves = 0;
    for (size_t i = 1; i < order.size(); ++i) {
        uint32_t x = order[i];
        size_t j = i;
        while (j > 0 && before(x, order[j - 1])) {
            order[j] = order[j - 1];
            --j;
            if (++moves > limit) {
                order[j] = x;
                std::sort(order.begin(), order.end(), before);
                return;
            }
        }
        order[j] = x;
    }
}

} // namespace

void ForEachHistoryBlock(const HistoryView& view, const std::function<void(const HistoryBlock&)>& block)
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    const int64_t last = int64_t(view.finishedSeconds) - 1;
    const int64_t first = last - TrafficCounter::HistorySeconds + 1;
    const int64_t oldestRecord = int64_t(view.finishedSeconds) - int64_t(view.seconds.size());
    const size_t n = view.hosts.size();
    auto record = [&](int64_t second) -> const SecondRecord* {
        if (second < oldestRecord || second > last)
            return nullptr;
        return view.seconds[size_t(second - oldestRecord)].get();
    };
    // A slot reused by a newer host must not inherit the traffic of the host it replaced.
    auto forEachEntry = [&](int64_t second, auto&& apply) {
        if (auto r = record(second))
            r->forEach([&](const SecondEntry& e) {
                if (e.slot < n && view.hosts[e.slot].firstSecond <= second)
                    apply(e);
            });
    };

    std::vector<uint64_t> sent(n), received(n), windowSent(n), windowReceived(n), total(n);
    for (size_t i = 0; i < n; ++i) {
        sent[i] = view.hosts[i].sent;
        received[i] = view.hosts[i].received;
    }
    for (int64_t s = last; s > first; --s)
        forEachEntry(s, [&](const SecondEntry& e) {
            sent[e.slot] -= e.sent;
            received[e.slot] -= e.received;
        });
    for (int64_t s = first - window + 1; s <= first; ++s)
        forEachEntry(s, [&](const SecondEntry& e) {
            windowSent[e.slot] += e.sent;
            windowReceived[e.slot] += e.received;
        });

    // Hosts by the second they were first counted in, so each block adds the newcomers.
    std::vector<uint32_t> joining;
    for (uint32_t i = 0; i < n; ++i)
        if (view.hosts[i].firstSecond != INT64_MAX)
            joining.push_back(i);
    std::sort(joining.begin(), joining.end(),
        [&](uint32_t a, uint32_t b) { return view.hosts[a].firstSecond < view.hosts[b].firstSecond; });
    size_t joined = 0;

    std::vector<uint32_t> order;
    order.reserve(joining.size());
    for (int64_t s = first; s <= last; ++s) {
        if (s > first) {
            forEachEntry(s, [&](const SecondEntry& e) {
                sent[e.slot] += e.sent;
                received[e.slot] += e.received;
                windowSent[e.slot] += e.sent;
                windowReceived[e.slot] += e.received;
            });
            forEachEntry(s - window, [&](const SecondEntry& e) {
                windowSent[e.slot] -= e.sent;
                windowReceived[e.slot] -= e.received;
            });
        }
        while (joined < joining.size() && view.hosts[joining[joined]].firstSecond <= s)
            order.push_back(joining[joined++]);
        for (uint32_t slot : order)
            total[slot] = sent[slot] + received[slot];
        sortByDataTransferred(order, total, view);
        const uint64_t divisor = uint64_t(std::max<int64_t>(1, std::min<int64_t>(window, s + 1)));
        block(HistoryBlock { view, order, sent, received, windowSent, windowReceived, divisor });
    }
}
