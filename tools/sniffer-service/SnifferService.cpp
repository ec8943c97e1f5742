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
    : options_(options)
    , networks_(options.networks)
    , access_(options.listenHost, options.allow)
    , http_({
          counted(0, [this] { return store_.snapshotText(TrafficCounter::RateWindow::LastFiveSeconds); }),
          counted(1, [this] { return store_.snapshotText(TrafficCounter::RateWindow::LastSecond); }),
          {}, // "/history" is sent in pieces, below
          counted(3, [this] { return ResourceText::NameList(ipv4Names()); }),
          counted(4, [this] { return metricsText(); }),
          [this](const std::string& client) { return allowClient(client); },
          [this] { return historyPieces(); },
      })
{
    switch (options.mode) {
    case ServiceOptions::Mode::Demo:
        demo_.emplace(options.demoHosts, options.seed);
        networks_ = demo_->networks();
        break;
    case ServiceOptions::Mode::Live:
        capture_.emplace(PacketCapture::openInterface(options.interface));
        break;
    case ServiceOptions::Mode::File:
        capture_.emplace(PacketCapture::openFile(options.captureFile));
        break;
    }

    if (!options.namesFile.empty()) {
        names_.loadNamesFile(options.namesFile);
        if (names_.skippedLines() > 0)
            std::cerr << "sniffer-service: skipped " << names_.skippedLines() << " malformed lines of "
                      << options.namesFile << "\n";
    } else if (demo_) {
        for (size_t i = 0; i < demo_->hostCount(); ++i)
            names_.set(demo_->address(i), demo_->name(i));
    } else {
        names_.loadHostsFile(hostsFile, networks_);
    }

    // The first history replay of the monitor should show a full graph.
    uint64_t finished = 0;
    store_.update([&](TrafficCounter& c) {
        if (demo_)
            demo_->prefill(c, TrafficCounter::HistorySeconds + TrafficCounter::AverageSeconds - 1);
        finished = c.finishedSeconds();
    });
    firstSecondTime_ = int64_t(std::time(nullptr)) - int64_t(finished);
}

std::map<HostAddress, std::string> SnifferService::ipv4Names() const
{
    // The monitor matches names to the IPv4 rows of "/"; IPv6 names serve /metrics only.
    auto names = names_.copy();
    for (auto it = names.begin(); it != names.end();)
        it = it->first.isIPv4() ? std::next(it) : names.erase(it);
    return names;
}

BodyPieces SnifferService::historyPieces()
{
    ++requests_[2];
    // The view is taken with the first piece, so that a HEAD answer costs nothing; the pieces are
    // small enough that a slow client holds little more than the view.
    return [this, writer = std::shared_ptr<ResourceText::HistoryWriter>()](std::string& piece) mutable {
        if (!writer)
            writer = std::make_shared<ResourceText::HistoryWriter>(store_.historyView());
        writer->write(piece, HistoryPieceBytes);
    };
}

std::function<std::string()> SnifferService::counted(size_t resource, std::function<std::string()> body)
{
    return [this, resource, body = std::move(body)] {
        ++requests_[resource];
        return body();
    };
}

bool SnifferService::allowClient(const std::string& clientAddress)
{
    if (access_.allows(clientAddress))
        return true;
    ++refused_;
    // One line per second at most, so that a client knocking in a loop cannot flood the log.
    std::lock_guard<std::mutex> lock(refusalLogMutex_);
    auto now = std::chrono::steady_clock::now();
    if (now - lastRefusalLog_ < std::chrono::seconds(1)) {
        ++refusalsNotLogged_;
        return false;
    }
    std::cerr << "sniffer-service: refused " << clientAddress << " (403): not in the --allow list";
    if (refusalsNotLogged_ > 0)
        std::cerr << "; " << refusalsNotLogged_ << " more refusals since the last notice";
    std::cerr << std::endl;
    refusalsNotLogged_ = 0;
    lastRefusalLog_ = now;
    return false;
}

std::string SnifferService::metricsText()
{
    MetricsInput input;
    store_.fillMetrics(input);
    input.names = names_.copy();
    input.firstSecondTime = firstSecondTime_;
    if (capture_) {
        auto stats = capture_->stats();
        input.packetsSeen = stats.packetsSeen;
        input.kernelDrops = stats.kernelDrops;
        input.interfaceDrops = stats.interfaceDrops;
    }
    if (options_.mode == ServiceOptions::Mode::File) {
        input.replaying = true;
        auto progress = capture_->progress();
        input.fileBytesRead = progress.bytesRead;
        input.fileBytes = progress.fileBytes;
        std::lock_guard<std::mutex> lock(mutex_);
        input.replayFinished = replayDone_;
    }
    for (size_t i = 0; i < requests_.size(); ++i)
        input.requests.emplace_back(ResourcePaths[i], requests_[i].load());
    input.refusedRequests = refused_;
    input.version = QTM_VERSION;
    input.mode = options_.mode == ServiceOptions::Mode::Demo ? "demo"
        : options_.mode == ServiceOptions::Mode::Live        ? "interface"
                                                             : "file";
    return MetricsText(input);
}

void SnifferService::checkDrops()
{
    uint64_t drops = capture_->stats().kernelDrops;
    std::string notice = KernelDropNotice(dropsLogged_, drops, DropCheckSeconds);
    if (!notice.empty())
        std::cerr << "sniffer-service: " << notice << std::endl;
    dropsLogged_ = drops;
}

SnifferService::~SnifferService()
{
    stop();
}

int SnifferService::start()
{
    int port = http_.bind(options_.listenHost, options_.listenPort);
    server_ = std::thread([this] { http_.run(); });
    if (!http_.waitUntilRunning(std::chrono::seconds(10)))
        throw Exception("the HTTP server did not start");
    ticker_ = std::thread([this] { tickerLoop(); });
    if (capture_) {
        source_ = std::thread([this] {
            auto sink = [this](const std::vector<PacketInfo>& batch) { store_.count(networks_, batch); };
            std::string error = options_.mode == ServiceOptions::Mode::Live ? capture_->runLive(sink)
                                                                            : capture_->runFile(sink, options_.speed);
            if (!error.empty())
                std::cerr << "sniffer-service: capture stopped: " << error << "\n";
            std::lock_guard<std::mutex> lock(mutex_);
            replayDone_ = true;
            wake_.notify_all();
        });
    } else {
        replayDone_ = true;
    }
    if (options_.resolve)
        resolver_ = std::thread([this] { resolverLoop(); });
    return port;
}

void SnifferService::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        wake_.notify_all();
    }
    if (capture_)
        capture_->stop();
    http_.stop();
    for (auto* t : { &source_, &ticker_, &server_, &resolver_ })
        if (t->joinable())
            t->join();
}

bool SnifferService::waitForReplay(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, limit, [this] { return replayDone_; });
}

void SnifferService::tickerLoop()
{
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + std::chrono::seconds(1);
    uint64_t ticks = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_until(lock, next, [this] { return stopping_; })) {
        lock.unlock();
        store_.update([&](TrafficCounter& c) {
            if (demo_)
                demo_->step(c, c.finishedSeconds());
            c.tick();
        });
        if (capture_ && options_.mode == ServiceOptions::Mode::Live && ++ticks % DropCheckSeconds == 0)
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
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(2), [this] { return stopping_; })) {
        lock.unlock();
        int budget = 32;
        for (const auto& address : store_.addresses()) {
            if (budget == 0 || stopping_)
                break;
            if (asked.count(address) || names_.contains(address))
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
                names_.set(address, name.substr(0, name.find('.')));
            }
        }
        lock.lock();
    }
}
