#include "SnifferService.h"

#include "ResourceText.h"
#include "base/Exception.h"

#include <cstring>
#include <ctime>
#include <iostream>
#include <netdb.h>
#include <set>
#include <sys/socket.h>

SnifferService::SnifferService(const ServiceOptions& options, const std::string& hostsFile)
    : m_options(options)
    , m_networks(options.networks)
    , m_access(options.listenHost, options.allow)
    , m_http({
          counted(0, [this] { return m_store.snapshotText(TrafficCounter::RateWindow::LastFiveSeconds); }),
          counted(1, [this] { return m_store.snapshotText(TrafficCounter::RateWindow::LastSecond); }),
          {}, // "/history" is sent in pieces, below
          counted(3, [this] { return ResourceText::NameList(ipv4Names()); }),
          counted(4, [this] { return metricsText(); }),
          [this](const std::string& client) { return allowClient(client); },
          [this] { return historyPieces(); },
      })
{
    switch (options.mode) {
    case ServiceOptions::Mode::Demo:
        m_demo.emplace(options.demoHosts, options.seed);
        m_networks = m_demo->networks();
        break;
    case ServiceOptions::Mode::Live:
        m_capture.emplace(PacketCapture::openInterface(options.interface));
        break;
    case ServiceOptions::Mode::File:
        m_capture.emplace(PacketCapture::openFile(options.captureFile));
        break;
    }

    if (!options.namesFile.empty()) {
        m_names.loadNamesFile(options.namesFile);
        if (m_names.skippedLines() > 0)
            std::cerr << "sniffer-service: skipped " << m_names.skippedLines() << " malformed lines of "
                      << options.namesFile << "\n";
    } else if (m_demo) {
        for (size_t i = 0; i < m_demo->hostCount(); ++i)
            m_names.set(m_demo->address(i), m_demo->name(i));
    } else {
        m_names.loadHostsFile(hostsFile, m_networks);
    }

    // The first history replay of the monitor should show a full graph.
    uint64_t finished = 0;
    m_store.update([&](TrafficCounter& c) {
        if (m_demo)
            m_demo->prefill(c, TrafficCounter::HistorySeconds + TrafficCounter::AverageSeconds - 1);
        finished = c.finishedSeconds();
    });
    m_firstSecondTime = int64_t(std::time(nullptr)) - int64_t(finished);
}

std::map<HostAddress, std::string> SnifferService::ipv4Names() const
{
    // The monitor matches names to the IPv4 rows of "/"; IPv6 names serve /metrics only.
    auto names = m_names.copy();
    for (auto it = names.begin(); it != names.end();)
        it = it->first.isIPv4() ? std::next(it) : names.erase(it);
    return names;
}

BodyPieces SnifferService::historyPieces()
{
    ++m_requests[2];
    // The view is taken with the first piece, so that a HEAD answer costs nothing; the pieces are
    // small enough that a slow client holds little more than the view.
    return [this, writer = std::shared_ptr<ResourceText::HistoryWriter>()](std::string& piece) mutable {
        if (!writer)
            writer = std::make_shared<ResourceText::HistoryWriter>(m_store.historyView());
        writer->write(piece, HistoryPieceBytes);
    };
}

std::function<std::string()> SnifferService::counted(size_t resource, std::function<std::string()> body)
{
    return [this, resource, body = std::move(body)] {
        ++m_requests[resource];
        return body();
    };
}

bool SnifferService::allowClient(const std::string& clientAddress)
{
    if (m_access.allows(clientAddress))
        return true;
    ++m_refused;
    // One line per second at most, so that a client knocking in a loop cannot flood the log.
    std::lock_guard<std::mutex> lock(m_refusalLogMutex);
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastRefusalLog < std::chrono::seconds(1)) {
        ++m_refusalsNotLogged;
        return false;
    }
    std::cerr << "sniffer-service: refused " << clientAddress << " (403): not in the --allow list";
    if (m_refusalsNotLogged > 0)
        std::cerr << "; " << m_refusalsNotLogged << " more refusals since the last notice";
    std::cerr << std::endl;
    m_refusalsNotLogged = 0;
    m_lastRefusalLog = now;
    return false;
}

std::string SnifferService::metricsText()
{
    MetricsInput input;
    m_store.fillMetrics(input);
    input.names = m_names.copy();
    input.firstSecondTime = m_firstSecondTime;
    if (m_capture) {
        auto stats = m_capture->stats();
        input.packetsSeen = stats.packetsSeen;
        input.kernelDrops = stats.kernelDrops;
        input.interfaceDrops = stats.interfaceDrops;
    }
    if (m_options.mode == ServiceOptions::Mode::File) {
        input.replaying = true;
        auto progress = m_capture->progress();
        input.fileBytesRead = progress.bytesRead;
        input.fileBytes = progress.fileBytes;
        std::lock_guard<std::mutex> lock(m_mutex);
        input.replayFinished = m_replayDone;
    }
    for (size_t i = 0; i < m_requests.size(); ++i)
        input.requests.emplace_back(ResourcePaths[i], m_requests[i].load());
    input.refusedRequests = m_refused;
    input.version = QTM_VERSION;
    input.mode = m_options.mode == ServiceOptions::Mode::Demo ? "demo"
        : m_options.mode == ServiceOptions::Mode::Live        ? "interface"
                                                              : "file";
    return MetricsText(input);
}

void SnifferService::checkDrops()
{
    uint64_t drops = m_capture->stats().kernelDrops;
    std::string notice = KernelDropNotice(m_dropsLogged, drops, DropCheckSeconds);
    if (!notice.empty())
        std::cerr << "sniffer-service: " << notice << std::endl;
    m_dropsLogged = drops;
}

SnifferService::~SnifferService()
{
    stop();
}

int SnifferService::start()
{
    int port = m_http.bind(m_options.listenHost, m_options.listenPort);
    m_server = std::thread([this] { m_http.run(); });
    if (!m_http.waitUntilRunning(std::chrono::seconds(10)))
        throw Exception("the HTTP server did not start");
    m_ticker = std::thread([this] { tickerLoop(); });
    if (m_capture) {
        m_source = std::thread([this] {
            auto sink = [this](const std::vector<PacketInfo>& batch) { m_store.count(m_networks, batch); };
            std::string error = m_options.mode == ServiceOptions::Mode::Live
                ? m_capture->runLive(sink)
                : m_capture->runFile(sink, m_options.speed);
            if (!error.empty())
                std::cerr << "sniffer-service: capture stopped: " << error << "\n";
            std::lock_guard<std::mutex> lock(m_mutex);
            m_replayDone = true;
            m_wake.notify_all();
        });
    } else {
        m_replayDone = true;
    }
    if (m_options.resolve)
        m_resolver = std::thread([this] { resolverLoop(); });
    return port;
}

void SnifferService::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    if (m_capture)
        m_capture->stop();
    m_http.stop();
    for (auto* t : { &m_source, &m_ticker, &m_server, &m_resolver })
        if (t->joinable())
            t->join();
}

bool SnifferService::waitForReplay(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, limit, [this] { return m_replayDone; });
}

void SnifferService::tickerLoop()
{
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + std::chrono::seconds(1);
    uint64_t ticks = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_until(lock, next, [this] { return m_stopping; })) {
        lock.unlock();
        m_store.update([&](TrafficCounter& c) {
            if (m_demo)
                m_demo->step(c, c.finishedSeconds());
            c.tick();
        });
        if (m_capture && m_options.mode == ServiceOptions::Mode::Live && ++ticks % DropCheckSeconds == 0)
            checkDrops();
        lock.lock();
        next += std::chrono::seconds(1);
        // After a suspend, count on from now instead of ticking to catch up.
        if (next < Clock::now())
            next = Clock::now() + std::chrono::seconds(1);
    }
}

void SnifferService::resolverLoop()
{
    // Each address is asked once; the set is bounded like the host table.
    std::set<HostAddress> asked;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::seconds(2), [this] { return m_stopping; })) {
        lock.unlock();
        int budget = 32;
        for (const auto& address : m_store.addresses()) {
            if (budget == 0 || m_stopping)
                break;
            if (asked.count(address) || m_names.contains(address))
                continue;
            if (asked.size() >= 2 * TrafficCounter::DefaultHostLimit)
                asked.clear();
            asked.insert(address);
            --budget;
            sockaddr_storage storage {};
            socklen_t length;
            if (address.isIPv4()) {
                auto* in = reinterpret_cast<sockaddr_in*>(&storage);
                in->sin_family = AF_INET;
                in->sin_addr.s_addr = htonl(address.ipv4());
                length = sizeof(sockaddr_in);
            } else {
                auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
                in6->sin6_family = AF_INET6;
                std::memcpy(&in6->sin6_addr, address.bytes().data(), 16);
                length = sizeof(sockaddr_in6);
            }
            char host[NI_MAXHOST];
            if (getnameinfo(reinterpret_cast<sockaddr*>(&storage), length, host, sizeof host, nullptr, 0, NI_NAMEREQD)
                == 0) {
                // Only the first label: the monitor shows 15 characters.
                std::string name(host);
                m_names.set(address, name.substr(0, name.find('.')));
            }
        }
        lock.lock();
    }
}
