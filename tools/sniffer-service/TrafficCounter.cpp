#include "TrafficCounter.h"

#include <algorithm>

void SortByDataTransferred(std::vector<HostRow>& rows)
{
    // Sorting small keys and moving the rows once is much faster than sorting the rows.
    struct Key {
        uint64_t total;
        uint32_t index;
    };
    std::vector<Key> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys[i] = { uint64_t(rows[i].bytesSent) + uint64_t(rows[i].bytesReceived), uint32_t(i) };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.total != b.total)
            return a.total > b.total;
        return rows[a.index].address < rows[b.index].address;
    });
    std::vector<HostRow> sorted;
    sorted.reserve(rows.size());
    for (const auto& k : keys)
        sorted.push_back(rows[k.index]);
    rows.swap(sorted);
}

void SecondRecord::append(const SecondEntry& entry)
{
    auto put = [this](uint64_t value) {
        while (value >= 0x80) {
            m_bytes.push_back(uint8_t(value | 0x80));
            value >>= 7;
        }
        m_bytes.push_back(uint8_t(value));
    };
    put(entry.slot - m_lastSlot);
    put(entry.sent);
    put(entry.received);
    m_lastSlot = entry.slot;
}

TrafficCounter::TrafficCounter(size_t hostLimit)
    : m_hostLimit(std::max<size_t>(1, std::min<size_t>(hostLimit, None - 1)))
{
    m_index.reserve(std::min<size_t>(m_hostLimit, 4096));
}

void TrafficCounter::addSent(const HostAddress& host, uint64_t bytes)
{
    touch(host).pendingSent += bytes;
}

void TrafficCounter::addReceived(const HostAddress& host, uint64_t bytes)
{
    touch(host).pendingReceived += bytes;
}

TrafficCounter::Host& TrafficCounter::touch(const HostAddress& address)
{
    Recent& recent = m_recent[recentIndex(address)];
    uint32_t slot = recent.slot;
    if (slot == None || recent.address != address) {
        auto it = m_index.find(address);
        slot = it != m_index.end() ? it->second : insert(address);
        recent = { address, slot };
    }
    Host& h = m_hosts[slot];
    if (h.lastActive != m_second) {
        h.lastActive = m_second;
        unlink(slot);
        pushFront(slot);
    }
    if (!h.pending) {
        h.pending = true;
        m_pendingSlots.push_back(slot);
    }
    return h;
}

uint32_t TrafficCounter::insert(const HostAddress& address)
{
    uint32_t slot;
    bool pending = false;
    if (m_index.size() >= m_hostLimit) {
        slot = m_oldest;
        unlink(slot);
        const Host& old = m_hosts[slot];
        m_index.erase(old.address);
        Recent& recent = m_recent[recentIndex(old.address)];
        if (recent.slot == slot)
            recent = {};
        ++m_evicted;
        m_evictedSent += old.sent + old.pendingSent;
        m_evictedReceived += old.received + old.pendingReceived;
        // The slot may already wait in this second's list; keep it listed once.
        pending = m_hosts[slot].pending;
    } else {
        slot = uint32_t(m_hosts.size());
        m_hosts.emplace_back();
    }
    Host& h = m_hosts[slot];
    h = Host {};
    h.address = address;
    h.firstSecond = m_second;
    h.lastActive = m_second;
    h.pending = pending;
    pushFront(slot);
    m_index.emplace(address, slot);
    return slot;
}

void TrafficCounter::unlink(uint32_t slot)
{
    Host& h = m_hosts[slot];
    if (h.newer != None)
        m_hosts[h.newer].older = h.older;
    else if (m_newest == slot)
        m_newest = h.older;
    if (h.older != None)
        m_hosts[h.older].newer = h.newer;
    else if (m_oldest == slot)
        m_oldest = h.newer;
    h.newer = h.older = None;
}

void TrafficCounter::pushFront(uint32_t slot)
{
    Host& h = m_hosts[slot];
    h.newer = None;
    h.older = m_newest;
    if (m_newest != None)
        m_hosts[m_newest].newer = slot;
    m_newest = slot;
    if (m_oldest == None)
        m_oldest = slot;
}

const SecondRecord* TrafficCounter::recordOf(uint64_t second) const
{
    uint64_t oldest = m_second - m_records.size();
    if (second < oldest || second >= m_second)
        return nullptr;
    return m_records[size_t(second - oldest)].get();
}

void TrafficCounter::tick()
{
    if (auto previous = m_second > 0 ? recordOf(m_second - 1) : nullptr)
        previous->forEach([this](const SecondEntry& e) {
            m_hosts[e.slot].lastSecondSent = 0;
            m_hosts[e.slot].lastSecondReceived = 0;
        });

    auto record = std::make_shared<SecondRecord>();
    std::sort(m_pendingSlots.begin(), m_pendingSlots.end());
    for (uint32_t slot : m_pendingSlots) {
        Host& h = m_hosts[slot];
        h.pending = false;
        h.sent += h.pendingSent;
        h.received += h.pendingReceived;
        h.lastSecondSent = h.pendingSent;
        h.lastSecondReceived = h.pendingReceived;
        h.windowSent += h.pendingSent;
        h.windowReceived += h.pendingReceived;
        record->append({ slot, h.pendingSent, h.pendingReceived });
        h.pendingSent = h.pendingReceived = 0;
    }
    record->shrink();
    m_pendingSlots.clear();

    if (m_second >= uint64_t(AverageSeconds))
        if (auto leaving = recordOf(m_second - AverageSeconds))
            leaving->forEach([this](const SecondEntry& e) {
                Host& h = m_hosts[e.slot];
                if (h.firstSecond <= m_second - AverageSeconds) {
                    h.windowSent -= e.sent;
                    h.windowReceived -= e.received;
                }
            });

    m_records.push_back(std::move(record));
    // The oldest history block also needs the seconds that its average looks back on.
    while (m_records.size() > size_t(HistorySeconds + AverageSeconds - 1))
        m_records.pop_front();
    ++m_second;
}

std::vector<HostRow> TrafficCounter::snapshot(RateWindow window) const
{
    std::vector<HostRow> rows;
    rows.reserve(m_index.size());
    const uint64_t divisor = std::max<uint64_t>(1, std::min<uint64_t>(AverageSeconds, m_second));
    // Every slot holds a host (a slot is only ever handed on), and they lie side by side.
    for (const Host& h : m_hosts) {
        // A host first seen in the running second joins the snapshot when that second ends, as it
        // does in the history.
        if (h.firstSecond >= m_second)
            continue;
        HostRow row;
        row.address = h.address;
        if (window == RateWindow::LastSecond) {
            row.sendRate = int64_t(h.lastSecondSent);
            row.recvRate = int64_t(h.lastSecondReceived);
        } else {
            row.sendRate = int64_t(h.windowSent / divisor);
            row.recvRate = int64_t(h.windowReceived / divisor);
        }
        row.bytesSent = int64_t(h.sent);
        row.bytesReceived = int64_t(h.received);
        row.firstSecond = h.firstSecond;
        rows.push_back(row);
    }
    SortByDataTransferred(rows);
    return rows;
}

std::vector<HostAddress> TrafficCounter::addresses() const
{
    std::vector<HostAddress> result;
    result.reserve(m_index.size());
    for (const auto& entry : m_index)
        result.push_back(entry.first);
    return result;
}

HistoryView TrafficCounter::historyView() const
{
    HistoryView view;
    view.finishedSeconds = m_second;
    view.hosts.resize(m_hosts.size());
    for (const auto& [address, slot] : m_index) {
        auto& v = view.hosts[slot];
        const Host& h = m_hosts[slot];
        v.address = address;
        v.sent = h.sent;
        v.received = h.received;
        v.firstSecond = int64_t(h.firstSecond);
    }
    view.seconds.assign(m_records.begin(), m_records.end());
    return view;
}
