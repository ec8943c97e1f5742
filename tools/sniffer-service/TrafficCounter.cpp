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
            bytes_.push_back(uint8_t(value | 0x80));
            value >>= 7;
        }
        bytes_.push_back(uint8_t(value));
    };
    put(entry.slot - lastSlot_);
    put(entry.sent);
    put(entry.received);
    lastSlot_ = entry.slot;
}

TrafficCounter::TrafficCounter(size_t hostLimit)
    : hostLimit_(std::max<size_t>(1, std::min<size_t>(hostLimit, None - 1)))
{
    index_.reserve(std::min<size_t>(hostLimit_, 4096));
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
    Recent& recent = recent_[recentIndex(address)];
    uint32_t slot = recent.slot;
    if (slot == None || recent.address != address) {
        auto it = index_.find(address);
        slot = it != index_.end() ? it->second : insert(address);
        recent = { address, slot };
    }
    Host& h = hosts_[slot];
    if (h.lastActive != second_) {
        h.lastActive = second_;
        unlink(slot);
        pushFront(slot);
    }
    if (!h.pending) {
        h.pending = true;
        pendingSlots_.push_back(slot);
    }
    return h;
}

uint32_t TrafficCounter::insert(const HostAddress& address)
{
    uint32_t slot;
    bool pending = false;
    if (index_.size() >= hostLimit_) {
        slot = oldest_;
        unlink(slot);
        const Host& old = hosts_[slot];
        index_.erase(old.address);
        Recent& recent = recent_[recentIndex(old.address)];
        if (recent.slot == slot)
            recent = {};
        ++evicted_;
        evictedSent_ += old.sent + old.pendingSent;
        evictedReceived_ += old.received + old.pendingReceived;
        // The slot may already wait in this second's list; keep it listed once.
        pending = hosts_[slot].pending;
    } else {
        slot = uint32_t(hosts_.size());
        hosts_.emplace_back();
    }
    Host& h = hosts_[slot];
    h = Host {};
    h.address = address;
    h.firstSecond = second_;
    h.lastActive = second_;
    h.pending = pending;
    pushFront(slot);
    index_.emplace(address, slot);
    return slot;
}

void TrafficCounter::unlink(uint32_t slot)
{
    Host& h = hosts_[slot];
    if (h.newer != None)
        hosts_[h.newer].older = h.older;
    else if (newest_ == slot)
        newest_ = h.older;
    if (h.older != None)
        hosts_[h.older].newer = h.newer;
    else if (oldest_ == slot)
        oldest_ = h.newer;
    h.newer = h.older = None;
}

void TrafficCounter::pushFront(uint32_t slot)
{
    Host& h = hosts_[slot];
    h.newer = None;
    h.older = newest_;
    if (newest_ != None)
        hosts_[newest_].newer = slot;
    newest_ = slot;
    if (oldest_ == None)
        oldest_ = slot;
}

const SecondRecord* TrafficCounter::recordOf(uint64_t second) const
{
    uint64_t oldest = second_ - records_.size();
    if (second < oldest || second >= second_)
        return nullptr;
    return records_[size_t(second - oldest)].get();
}

void TrafficCounter::tick()
{
    if (auto previous = second_ > 0 ? recordOf(second_ - 1) : nullptr)
        previous->forEach([this](const SecondEntry& e) {
            hosts_[e.slot].lastSecondSent = 0;
            hosts_[e.slot].lastSecondReceived = 0;
        });

    auto record = std::make_shared<SecondRecord>();
    std::sort(pendingSlots_.begin(), pendingSlots_.end());
    for (uint32_t slot : pendingSlots_) {
        Host& h = hosts_[slot];
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
    pendingSlots_.clear();

    if (second_ >= uint64_t(AverageSeconds))
        if (auto leaving = recordOf(second_ - AverageSeconds))
            leaving->forEach([this](const SecondEntry& e) {
                Host& h = hosts_[e.slot];
                if (h.firstSecond <= second_ - AverageSeconds) {
                    h.windowSent -= e.sent;
                    h.windowReceived -= e.received;
                }
            });

    records_.push_back(std::move(record));
    // The oldest history block also needs the seconds that its average looks back on.
    while (records_.size() > size_t(HistorySeconds + AverageSeconds - 1))
        records_.pop_front();
    ++second_;
}

std::vector<HostRow> TrafficCounter::snapshot(RateWindow window) const
{
    std::vector<HostRow> rows;
    rows.reserve(index_.size());
    const uint64_t divisor = std::max<uint64_t>(1, std::min<uint64_t>(AverageSeconds, second_));
    // Every slot holds a host (a slot is only ever handed on), and they lie side by side.
    for (const Host& h : hosts_) {
        // A host first seen in the running second joins the snapshot when that second ends, as it
        // does in the history.
        if (h.firstSecond >= second_)
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
    result.reserve(index_.size());
    for (const auto& entry : index_)
        result.push_back(entry.first);
    return result;
}

HistoryView TrafficCounter::historyView() const
{
    HistoryView view;
    view.finishedSeconds = second_;
    view.hosts.resize(hosts_.size());
    for (const auto& [address, slot] : index_) {
        auto& v = view.hosts[slot];
        const Host& h = hosts_[slot];
        v.address = address;
        v.sent = h.sent;
        v.received = h.received;
        v.firstSecond = int64_t(h.firstSecond);
    }
    view.seconds.assign(records_.begin(), records_.end());
    return view;
}
