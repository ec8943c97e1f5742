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

HistoryBlocks::HistoryBlocks(HistoryView view)
    : view_(std::move(view))
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    last_ = int64_t(view_.finishedSeconds) - 1;
    first_ = last_ - TrafficCounter::HistorySeconds + 1;
    oldestRecord_ = int64_t(view_.finishedSeconds) - int64_t(view_.seconds.size());
    second_ = first_ - 1;
    const size_t n = view_.hosts.size();

    sent_.resize(n);
    received_.resize(n);
    windowSent_.resize(n);
    windowReceived_.resize(n);
    total_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        sent_[i] = view_.hosts[i].sent;
        received_[i] = view_.hosts[i].received;
    }
    for (int64_t s = last_; s > first_; --s)
        forEachEntry(s, [&](const SecondEntry& e) {
            sent_[e.slot] -= e.sent;
            received_[e.slot] -= e.received;
        });
    for (int64_t s = first_ - window + 1; s <= first_; ++s)
        forEachEntry(s, [&](const SecondEntry& e) {
            windowSent_[e.slot] += e.sent;
            windowReceived_[e.slot] += e.received;
        });

    // Each block adds the hosts first counted in its second.
    for (uint32_t i = 0; i < n; ++i)
        if (view_.hosts[i].firstSecond != INT64_MAX)
            joining_.push_back(i);
    std::sort(joining_.begin(), joining_.end(),
        [&](uint32_t a, uint32_t b) { return view_.hosts[a].firstSecond < view_.hosts[b].firstSecond; });
    order_.reserve(joining_.size());
}

template <typename Apply> void HistoryBlocks::forEachEntry(int64_t second, Apply&& apply) const
{
    if (second < oldestRecord_ || second > last_)
        return;
    const SecondRecord* r = view_.seconds[size_t(second - oldestRecord_)].get();
    if (!r)
        return;
    const size_t n = view_.hosts.size();
    // A slot reused by a newer host must not inherit the traffic of the host it replaced.
    r->forEach([&](const SecondEntry& e) {
        if (e.slot < n && view_.hosts[e.slot].firstSecond <= second)
            apply(e);
    });
}

bool HistoryBlocks::next()
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    if (second_ >= last_)
        return false;
    const int64_t s = ++second_;
    if (s > first_) {
        forEachEntry(s, [&](const SecondEntry& e) {
            sent_[e.slot] += e.sent;
            received_[e.slot] += e.received;
            windowSent_[e.slot] += e.sent;
            windowReceived_[e.slot] += e.received;
        });
        forEachEntry(s - window, [&](const SecondEntry& e) {
            windowSent_[e.slot] -= e.sent;
            windowReceived_[e.slot] -= e.received;
        });
    }
    while (joined_ < joining_.size() && view_.hosts[joining_[joined_]].firstSecond <= s)
        order_.push_back(joining_[joined_++]);
    for (uint32_t slot : order_)
        total_[slot] = sent_[slot] + received_[slot];
    sortByDataTransferred(order_, total_, view_);
    return true;
}

HistoryBlock HistoryBlocks::block() const
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    const uint64_t divisor = uint64_t(std::max<int64_t>(1, std::min<int64_t>(window, second_ + 1)));
    return HistoryBlock { view_, order_, sent_, received_, windowSent_, windowReceived_, divisor };
}

void ForEachHistoryBlock(const HistoryView& view, const std::function<void(const HistoryBlock&)>& block)
{
    HistoryBlocks blocks(view);
    while (blocks.next())
        block(blocks.block());
}
