#pragma once

#include "ClientAccess.h"
#include "DemoNetwork.h"
#include "HttpService.h"
#include "NameDirectory.h"
#include "PacketCapture.h"
#include "ServiceOptions.h"
#include "TrafficStore.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The whole service of one run: the traffic source chosen by the options, the second ticker, the
// names and the HTTP server, with their threads.
class SnifferService {
public:
    // Opens the source and the names; raises Exception for what the user must fix (a missing
    // interface, no capture rights, an unreadable file).
    explicit SnifferService(const ServiceOptions& options, const std::string& hostsFile = "/etc/hosts");
    ~SnifferService();

    // Binds the listening address (raises Exception) and starts every thread; returns the port.
    int start();
    void stop();

    TrafficStore& store() { return m_store; }
    NameDirectory& names() { return m_names; }
    // Ends when a file replay has handed on its last packet (at once in other modes).
    bool waitForReplay(std::chrono::milliseconds limit);
    // The body of "/metrics".
    std::string metricsText();

    // Seconds between two checks of the kernel's drop counter.
    static constexpr int DropCheckSeconds = 10;
    // About the size of each piece of "/history" on its way to a client.
    static constexpr size_t HistoryPieceBytes = 64 * 1024;

private:
    void tickerLoop();
    void resolverLoop();
    void checkDrops();
    std::map<HostAddress, std::string> ipv4Names() const;
    bool allowClient(const std::string& clientAddress);
    // "/history", made piece by piece while it is sent.
    BodyPieces historyPieces();
    // Wraps a resource so that each answer counts as served for it.
    std::function<std::string()> counted(size_t resource, std::function<std::string()> body);

    ServiceOptions m_options;
    TrafficStore m_store;
    NameDirectory m_names;
    NetworkList m_networks;
    std::optional<DemoNetwork> m_demo;
    std::optional<PacketCapture> m_capture;
    ClientAccess m_access;
    static constexpr const char* ResourcePaths[] = { "/", "/average/1", "/history", "/ip", "/metrics" };
    std::array<std::atomic<uint64_t>, std::size(ResourcePaths)> m_requests {};
    std::atomic<uint64_t> m_refused { 0 };
    std::mutex m_refusalLogMutex;
    std::chrono::steady_clock::time_point m_lastRefusalLog {};
    uint64_t m_refusalsNotLogged = 0;
    int64_t m_firstSecondTime = 0;
    uint64_t m_dropsLogged = 0;
    HttpService m_http;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    bool m_replayDone = false;
    std::thread m_ticker, m_source, m_server, m_resolver;
};
