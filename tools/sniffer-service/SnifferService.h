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

    TrafficStore& store() { return store_; }
    NameDirectory& names() { return names_; }
    // Ends when a file replay has handed on its last packet (at once in other modes).
    bool waitForReplay(std::chrono::milliseconds limit);
    // The body of "/metrics".
    std::string metricsText();

    // Seconds between two checks of the kernel's drop counter.
    static constexpr int DropCheckSeconds = 10;
    // About the size of each piece of "/history" on its way to a client. A client on the same
    // processor is woken to read after each write: pieces of 64 KB cost it ten times as many turns,
    // and a history of 10,000 hosts twice the time.
    static constexpr size_t HistoryPieceBytes = 1024 * 1024;

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

    ServiceOptions options_;
    TrafficStore store_;
    NameDirectory names_;
    NetworkList networks_;
    std::optional<DemoNetwork> demo_;
    std::optional<PacketCapture> capture_;
    ClientAccess access_;
    static constexpr const char* ResourcePaths[] = { "/", "/average/1", "/history", "/ip", "/metrics" };
    std::array<std::atomic<uint64_t>, std::size(ResourcePaths)> requests_ {};
    std::atomic<uint64_t> refused_ { 0 };
    std::mutex refusalLogMutex_;
    std::chrono::steady_clock::time_point lastRefusalLog_ {};
    uint64_t refusalsNotLogged_ = 0;
    int64_t firstSecondTime_ = 0;
    uint64_t dropsLogged_ = 0;
    HttpService http_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool replayDone_ = false;
    std::thread ticker_, source_, server_, resolver_;
};
