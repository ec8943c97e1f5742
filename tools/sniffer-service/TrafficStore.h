#pragma once

#include "HostAddress.h"
#include "MetricsText.h"
#include "PacketCapture.h"
#include "TrafficCounter.h"

#include <mutex>
#include <string>
#include <vector>

// The counter shared by the source thread, the second ticker and the HTTP threads.
class TrafficStore {
public:
    explicit TrafficStore(size_t hostLimit = TrafficCounter::DefaultHostLimit)
        : counter_(hostLimit)
    {
    }

    void count(const NetworkList& networks, const std::vector<PacketInfo>& packets);
    template <typename Change> void update(Change&& change)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        change(counter_);
    }
    void tick();

    // "/" and "/history" hold IPv4 hosts only: the monitor keys its rows by IPv4 address.
    std::string snapshotText(TrafficCounter::RateWindow window) const;
    std::string historyText() const;
    // What "/history" is made from, taken under the lock so that the text is made without it.
    HistoryView historyView() const;
    std::vector<HostAddress> addresses() const;
    size_t hostCount() const;
    // Fills the hosts and the host table's counts of a scrape.
    void fillMetrics(MetricsInput& input) const;

private:
    mutable std::mutex mutex_;
    TrafficCounter counter_;
    MacBindings macs_;
};
