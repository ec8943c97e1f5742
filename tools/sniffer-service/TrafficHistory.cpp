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
    : m_view(std::move(view))
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    m_last = int64_t(m_view.finishedSeconds) - 1;
    m_first = m_last - TrafficCounter::HistorySeconds + 1;
    m_oldestRecord = int64_t(m_view.finishedSeconds) - int64_t(m_view.seconds.size());
    m_second = m_first - 1;
    const size_t n = m_view.hosts.size();

    m_sent.resize(n);
    m_received.resize(n);
    m_windowSent.resize(n);
    m_windowReceived.resize(n);
    m_total.resize(n);
    for (size_t i = 0; i < n; ++i) {
        m_sent[i] = m_view.hosts[i].sent;
        m_received[i] = m_view.hosts[i].received;
    }
    for (int64_t s = m_last; s > m_first; --s)
        forEachEntry(s, [&](const SecondEntry& e) {
            m_sent[e.slot] -= e.sent;
            m_received[e.slot] -= e.received;
        });
    for (int64_t s = m_first - window + 1; s <= m_first; ++s)
        forEachEntry(s, [&](const SecondEntry& e) {
            m_windowSent[e.slot] += e.sent;
            m_windowReceived[e.slot] += e.received;
        });

    // Each block adds the hosts first counted in its second.
    for (uint32_t i = 0; i < n; ++i)
        if (m_view.hosts[i].firstSecond != INT64_MAX)
            m_joining.push_back(i);
    std::sort(m_joining.begin(), m_joining.end(),
        [&](uint32_t a, uint32_t b) { return m_view.hosts[a].firstSecond < m_view.hosts[b].firstSecond; });
    m_order.reserve(m_joining.size());
}

template <typename Apply> void HistoryBlocks::forEachEntry(int64_t second, Apply&& apply) const
{
    if (second < m_oldestRecord || second > m_last)
        return;
    const SecondRecord* r = m_view.seconds[size_t(second - m_oldestRecord)].get();
    if (!r)
        return;
    const size_t n = m_view.hosts.size();
    // A slot reused by a newer host must not inherit the traffic of the host it replaced.
    r->forEach([&](const SecondEntry& e) {
        if (e.slot < n && m_view.hosts[e.slot].firstSecond <= second)
            apply(e);
    });
}

bool HistoryBlocks::next()
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    if (m_second >= m_last)
        return false;
    const int64_t s = ++m_second;
    if (s > m_first) {
        forEachEntry(s, [&](const SecondEntry& e) {
            m_sent[e.slot] += e.sent;
            m_received[e.slot] += e.received;
            m_windowSent[e.slot] += e.sent;
            m_windowReceived[e.slot] += e.received;
        });
        forEachEntry(s - window, [&](const SecondEntry& e) {
            m_windowSent[e.slot] -= e.sent;
            m_windowReceived[e.slot] -= e.received;
        });
    }
    while (m_joined < m_joining.size() && m_view.hosts[m_joining[m_joined]].firstSecond <= s)
        m_order.push_back(m_joining[m_joined++]);
    for (uint32_t slot : m_order)
        m_total[slot] = m_sent[slot] + m_received[slot];
    sortByDataTransferred(m_order, m_total, m_view);
    return true;
}

HistoryBlock HistoryBlocks::block() const
{
    constexpr int64_t window = TrafficCounter::AverageSeconds;
    const uint64_t divisor = uint64_t(std::max<int64_t>(1, std::min<int64_t>(window, m_second + 1)));
    return HistoryBlock { m_view, m_order, m_sent, m_received, m_windowSent, m_windowReceived, divisor };
}

void ForEachHistoryBlock(const HistoryView& view, const std::function<void(const HistoryBlock&)>& block)
{
    HistoryBlocks blocks(view);
    while (blocks.next())
        block(blocks.block());
}
