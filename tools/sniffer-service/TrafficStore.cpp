#include "TrafficStore.h"

#include "ResourceText.h"

#include <algorithm>

void TrafficStore::count(const NetworkList& networks, const std::vector<PacketInfo>& packets)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : packets)
        CountPacket(counter_, networks, macs_, p);
}

void TrafficStore::tick()
{
    std::lock_guard<std::mutex> lock(mutex_);
    counter_.tick();
}

std::string TrafficStore::snapshotText(TrafficCounter::RateWindow window) const
{
    std::vector<HostRow> rows;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows = counter_.snapshot(window);
    }
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [](const HostRow& r) { return !r.address.isIPv4(); }), rows.end());
    return ResourceText::Snapshot(rows);
}

std::string TrafficStore::historyText() const
{
    return ResourceText::History(historyView());
}

HistoryView TrafficStore::historyView() const
{
    HistoryView view;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        view = counter_.historyView();
    }
    // A slot that is never counted is what an IPv6 host becomes for the history.
    for (auto& host : view.hosts)
        if (!host.address.isIPv4())
            host.firstSecond = INT64_MAX;
    return view;
}

std::vector<HostAddress> TrafficStore::addresses() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counter_.addresses();
}

size_t TrafficStore::hostCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counter_.hostCount();
}

void TrafficStore::fillMetrics(MetricsInput& input) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    input.hosts = counter_.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
    input.hostsTracked = counter_.hostCount();
    input.hostsEvicted = counter_.hostsEvicted();
    input.evictedSent = counter_.evictedSent();
    input.evictedReceived = counter_.evictedReceived();
}
