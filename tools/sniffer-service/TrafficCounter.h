#pragma once

#include "HostAddress.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

// What one host line of a snapshot carries.
struct HostRow {
    HostAddress address;
    int64_t sendRate = 0; // bytes per second
    int64_t recvRate = 0;
    int64_t bytesSent = 0;
    int64_t bytesReceived = 0;
    uint64_t firstSecond = 0; // the second in which the host was first counted
};

// Orders rows as the monitor shows them under "Data transferred": most data first; the address
// breaks ties so that equal hosts keep their places from one second to the next.
void SortByDataTransferred(std::vector<HostRow>& rows);

struct SecondEntry {
    uint32_t slot;
    uint64_t sent;
    uint64_t received;
};

// Traffic of one finished second: only the hosts that moved data in it, in slot order, packed as
// variable-length numbers (slot step, sent, received). A hundred seconds of a busy network then
// take a few bytes per host and second instead of sixteen or more.
class SecondRecord {
public:
    void append(const SecondEntry& entry);
    void shrink() { bytes_.shrink_to_fit(); }
    template <typename Apply> void forEach(Apply&& apply) const;

private:
    std::vector<uint8_t> bytes_;
    uint32_t lastSlot_ = 0;
};

// A consistent copy of what the history is made from, taken under the service's lock so that the
// long formatting of "/history" runs without it.
struct HistoryView {
    struct Host {
        HostAddress address;
        uint64_t sent = 0; // totals at the end of the last finished second
        uint64_t received = 0;
        int64_t firstSecond = INT64_MAX; // the second in which the host was first counted; unused slots never
    };
    std::vector<Host> hosts; // by slot
    std::vector<std::shared_ptr<const SecondRecord>> seconds; // oldest first
    uint64_t finishedSeconds = 0; // number of seconds finished since the start
};

// Per-host byte counters with rates over the last 1 and 5 finished seconds and the traffic of the
// last seconds for the history. At most hostLimit hosts are kept; a new host then replaces the one
// that has been idle longest, so memory stays bounded whatever the network does.
// Not thread-safe: the service serialises access with its own lock.
class TrafficCounter {
public:
    static constexpr size_t DefaultHostLimit = 65536;
    static constexpr int HistorySeconds = 100;
    static constexpr int AverageSeconds = 5;

    explicit TrafficCounter(size_t hostLimit = DefaultHostLimit);

    void addSent(const HostAddress& host, uint64_t bytes);
    void addReceived(const HostAddress& host, uint64_t bytes);
    // Closes the current second: its traffic enters the totals, the rates and the history.
    void tick();

    size_t hostCount() const { return index_.size(); }
    size_t hostLimit() const { return hostLimit_; }
    // What the hosts given up at the cap had counted, so that sums over all hosts never shrink.
    uint64_t hostsEvicted() const { return evicted_; }
    uint64_t evictedSent() const { return evictedSent_; }
    uint64_t evictedReceived() const { return evictedReceived_; }
    uint64_t finishedSeconds() const { return second_; }

    enum class RateWindow { LastSecond, LastFiveSeconds };
    // Every host, ordered by data transferred.
    std::vector<HostRow> snapshot(RateWindow window) const;
    std::vector<HostAddress> addresses() const;
    HistoryView historyView() const;

private:
    static constexpr uint32_t None = UINT32_MAX;
    struct Host {
        HostAddress address;
        uint64_t sent = 0, received = 0;
        uint64_t pendingSent = 0, pendingReceived = 0;
        uint64_t lastSecondSent = 0, lastSecondReceived = 0;
        uint64_t windowSent = 0, windowReceived = 0; // sums over the last AverageSeconds seconds
        uint64_t firstSecond = 0;
        uint64_t lastActive = 0;
        uint32_t newer = None, older = None; // idle order, most recently active first
        bool pending = false;
    };

    Host& touch(const HostAddress& address);
    uint32_t insert(const HostAddress& address);
    void unlink(uint32_t slot);
    void pushFront(uint32_t slot);
    const SecondRecord* recordOf(uint64_t second) const;

    size_t hostLimit_;
    std::vector<Host> hosts_;
    std::unordered_map<HostAddress, uint32_t, HostAddressHash> index_;
    // The slots of hosts counted lately, by hash: most packets come from a host seen a moment ago,
    // and this spares them the index. An entry always names the slot's current host.
    struct Recent {
        HostAddress address;
        uint32_t slot = None;
    };
    static constexpr int RecentBits = 12;
    // The high bits of a product: the address hash alone differs little in its low bits.
    static size_t recentIndex(const HostAddress& a)
    {
        return size_t((uint64_t(a.hash()) * 0x9E3779B97F4A7C15ull) >> (64 - RecentBits));
    }
    std::vector<Recent> recent_ = std::vector<Recent>(size_t(1) << RecentBits);
    uint32_t newest_ = None, oldest_ = None;
    std::vector<uint32_t> pendingSlots_;
    uint64_t second_ = 0; // the second being counted; also the number of finished seconds
    std::deque<std::shared_ptr<const SecondRecord>> records_; // the last seconds, oldest first
    uint64_t evicted_ = 0, evictedSent_ = 0, evictedReceived_ = 0;
};

// One second of the history: the hosts known at its end, in the order of "/", with the totals at
// its end and the sums over the five seconds up to it.
struct HistoryBlock {
    const HistoryView& view;
    const std::vector<uint32_t>& order; // slots
    const std::vector<uint64_t>& sent;
    const std::vector<uint64_t>& received;
    const std::vector<uint64_t>& windowSent;
    const std::vector<uint64_t>& windowReceived;
    uint64_t divisor;

    size_t size() const { return order.size(); }
    HostRow row(size_t i) const;
    std::vector<HostRow> rows() const;
};

template <typename Apply> void SecondRecord::forEach(Apply&& apply) const
{
    const uint8_t* p = bytes_.data();
    const uint8_t* end = p + bytes_.size();
    auto next = [&p]() {
        uint64_t value = 0;
        for (int shift = 0;; shift += 7) {
            uint8_t b = *p++;
            value |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return value;
        }
    };
    uint32_t slot = 0;
    while (p < end) {
        slot += uint32_t(next());
        uint64_t sent = next();
        uint64_t received = next();
        apply(SecondEntry { slot, sent, received });
    }
}

// Rebuilds, second by second, the snapshot the service would have served at the end of each of the
// last HistorySeconds seconds (oldest first), one block per next(), so that a reader can stop and
// go on between blocks. Seconds before the start give empty blocks, so there are always
// HistorySeconds of them. Holds a few numbers per host, never the text.
class HistoryBlocks {
public:
    explicit HistoryBlocks(HistoryView view);
    HistoryBlocks(const HistoryBlocks&) = delete;
    HistoryBlocks& operator=(const HistoryBlocks&) = delete;

    // Moves on to the next block; false after the last one.
    bool next();
    // The current block; valid after a next() that gave true, until the following next().
    HistoryBlock block() const;
    const HistoryView& view() const { return view_; }

private:
    template <typename Apply> void forEachEntry(int64_t second, Apply&& apply) const;

    HistoryView view_;
    int64_t first_ = 0, last_ = 0, oldestRecord_ = 0;
    int64_t second_ = 0; // the current block's second; first_ - 1 before the first next()
    std::vector<uint64_t> sent_, received_, windowSent_, windowReceived_, total_;
    std::vector<uint32_t> joining_; // hosts by the second they were first counted in
    size_t joined_ = 0;
    std::vector<uint32_t> order_;
};

// Calls block for each block of HistoryBlocks, oldest first.
void ForEachHistoryBlock(const HistoryView& view, const std::function<void(const HistoryBlock&)>& block);
