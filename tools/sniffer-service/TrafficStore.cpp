#include "TrafficStore.h"

#include "ResourceText.h"

#include <algorithm>

void TrafficStore::count(const NetworkList& networks, const std::vector<PacketInfo>& packets)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& p : packets)
        CountPacket(m_counter, networks, m_macs, p);
}

void TrafficStore::tick()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counter.tick();
}

std::string TrafficStore::snapshotText(TrafficCounter::RateWindow window) const
{
    std::vector<HostRow> rows;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        rows = m_counter.snapshot(window);
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
        std::lock_guard<std::mutex> lock(m_mutex);
        view = m_counter.historyView();
    }
    // A slot that is never counted is what an IPv6 host becomes for the history.
    for (auto& host : view.hosts)
        if (!host.address.isIPv4())
            host.firstSecond = INT64_MAX;
    return view;
}

std::vector<HostAddress> TrafficStore::addresses() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counter.addresses();
}

size_t TrafficStore::hostCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counter.hostCount();
}

void TrafficStore::fillMetrics(MetricsInput& input) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    input.hosts = m_counter.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
    input.hostsTracked = m_counter.hostCount();
    input.hostsEvicted = m_counter.hostsEvicted();
    input.evictedSent = m_counter.evictedSent();
    input.evictedReceived = m_counter.evictedReceived();
}
