// Prints how fast the service counts a capture file, how long "/" and "/history" take for 10,000
// hosts and "/" for 65,536, the resident memory with 65,536 hosts and what one "/history" adds to it,
// and whether a live capture keeps up with a burst on loopback.
#include "PacketCapture.h"
#include "ResourceText.h"
#include "SnifferService.h"
#include "TrafficStore.h"
#include "support/OwnNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double threadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Timing {
    double wallMs, cpuMs, processCpuMs; // medians
};

// Wall time, the CPU time of this thread, which a busy machine disturbs less, and that of the
// whole process (over HTTP: the service's threads and the client).
template <typename F> Timing median(int runs, F&& f)
{
    std::vector<double> wall, cpu, process;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        double cpuStart = threadCpuSeconds();
        double processStart = processCpuSeconds();
        f();
        cpu.push_back((threadCpuSeconds() - cpuStart) * 1000);
        process.push_back((processCpuSeconds() - processStart) * 1000);
        wall.push_back(seconds(Clock::now() - start) * 1000);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::sort(process.begin(), process.end());
    return { wall[wall.size() / 2], cpu[cpu.size() / 2], process[process.size() / 2] };
}

// Put before "target" in a figure's line when the figure misses it.
const char* missed(bool met)
{
    return met ? "" : "MISSED ";
}

void writeCapture(const std::string& path, size_t packets, uint32_t localHosts)
{
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65535);
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    uint8_t frame[14 + 48] = {};
    frame[12] = 0x08;
    uint8_t* ip = frame + 14;
    ip[0] = 0x45;
    ip[9] = 17;
    pcap_pkthdr h {};
    h.caplen = h.len = sizeof frame;
    uint32_t x = 12345;
    for (size_t i = 0; i < packets; ++i) {
        x = x * 1103515245u + 12345u;
        uint32_t local = 0x0A000000u + (x >> 8) % localHosts;
        uint32_t remote = 0xCB007100u + (x & 0xFF);
        uint32_t size = 40 + (x >> 20) % 1460;
        bool out = (x >> 3) & 1;
        uint32_t src = out ? local : remote, dst = out ? remote : local;
        ip[2] = uint8_t(size >> 8);
        ip[3] = uint8_t(size);
        for (int k = 0; k < 4; ++k) {
            ip[12 + k] = uint8_t(src >> (24 - 8 * k));
            ip[16 + k] = uint8_t(dst >> (24 - 8 * k));
        }
        h.ts.tv_sec = 1700000000 + long(i / 100000);
        h.ts.tv_usec = long(i % 100000) * 10;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &h, frame);
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
}

void benchCaptureFile()
{
    const size_t packets = 2'000'000;
    std::string path = "/tmp/qtm-bench-" + std::to_string(getpid()) + ".pcap";
    writeCapture(path, packets, 1000);
    auto networks = *NetworkList::parse("10.0.0.0/16");
    double best = 1e9, bestCpu = 1e9;
    for (int run = 0; run < 5; ++run) {
        TrafficStore store;
        auto capture = PacketCapture::openFile(path);
        auto start = Clock::now();
        double cpuStart = threadCpuSeconds();
        capture.runFile([&](const std::vector<PacketInfo>& batch) { store.count(networks, batch); }, 0);
        bestCpu = std::min(bestCpu, threadCpuSeconds() - cpuStart);
        best = std::min(best, seconds(Clock::now() - start));
    }
    std::remove(path.c_str());
    std::printf("capture file: %.2f M packets/s counted, %.2f M per CPU second (%zu packets, 1,000 local hosts, best "
                "of 5; %starget >= 8 M per CPU second)\n",
        double(packets) / best / 1e6, double(packets) / bestCpu / 1e6, packets,
        missed(double(packets) / bestCpu >= 8e6));
}

// Every host moves data in every second, the heaviest case for the history.
void fill(TrafficCounter& c, uint32_t hosts, uint32_t activePerSecond, int secondsCount)
{
    for (int s = 0; s < secondsCount; ++s) {
        for (uint32_t k = 0; k < activePerSecond; ++k) {
            uint32_t h = (uint32_t(s) * activePerSecond + k) % hosts;
            auto a = HostAddress::fromIPv4(0x0A000000u + h);
            c.addSent(a, 100 + (h * 7 + uint32_t(s)) % 90000);
            c.addReceived(a, 200 + (h * 13 + uint32_t(s)) % 900000);
        }
        c.tick();
    }
}

// A kept-alive connection that reads whole responses in large pieces, so that the figure is the
// service's time rather than a client library's.
class LoopbackClient {
public:
    explicit LoopbackClient(int port)
        : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            std::perror("connect");
    }
    ~LoopbackClient() { close(fd_); }
    // The body's size, for a body by Content-Length or in chunks; 0 on any failure.
    size_t get(const std::string& path, const char* method = "GET")
    {
        std::string request = std::string(method) + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
            return 0;
        data_.clear();
        size_t headEnd;
        while ((headEnd = data_.find("\r\n\r\n")) == std::string::npos)
            if (!fill())
                return 0;
        const bool head = std::strcmp(method, "HEAD") == 0;
        size_t at = data_.find("Content-Length: ");
        if (at < headEnd) {
            size_t length = head ? 0 : std::stoul(data_.substr(at + 16));
            while (data_.size() < headEnd + 4 + length)
                if (!fill())
                    return 0;
            return length;
        }
        if (head || data_.find("Transfer-Encoding: chunked") > headEnd)
            return 0;
        // Chunks, read where they land: only the size lines are looked at, the data is counted.
        size_t body = 0, pos = headEnd + 4;
        std::string line;
        for (;;) {
            while (pos < data_.size()) {
                if (skip_ > 0) {
                    size_t n = std::min(skip_, data_.size() - pos);
                    pos += n;
                    skip_ -= n;
                    continue;
                }
                char c = data_[pos++];
                if (c != '\n') {
                    line += c;
                    continue;
                }
                if (line.empty() || line == "\r") { // the line end after a chunk's data
                    if (last_)
                        return last_ = false, body;
                    line.clear();
                    continue;
                }
                size_t size = std::strtoul(line.c_str(), nullptr, 16);
                line.clear();
                body += size;
                skip_ = size;
                last_ = size == 0;
            }
            data_.clear();
            pos = 0;
            if (!fill())
                return 0;
        }
    }

private:
    bool fill()
    {
        ssize_t n = recv(fd_, buffer_.data(), buffer_.size(), 0);
        if (n <= 0)
            return false;
        data_.append(buffer_.data(), size_t(n));
        return true;
    }

    int fd_;
    std::string data_;
    size_t skip_ = 0;
    bool last_ = false;
    std::vector<char> buffer_ = std::vector<char>(1 << 20);
};

void benchServing()
{
    // A one-host demo whose store is then filled by hand.
    SnifferService service(ParseServiceOptions({ "--demo", "--hosts", "1", "--listen", "127.0.0.1:0" }));
    service.store().update([](TrafficCounter& c) { fill(c, 10'000, 10'000, 104); });
    int port = service.start();
    std::string snapshot, history;
    auto snapshotBuild
        = median(20, [&] { snapshot = service.store().snapshotText(TrafficCounter::RateWindow::LastFiveSeconds); });
    auto historyBuild = median(5, [&] { history = service.store().historyText(); });
    LoopbackClient client(port);
    auto snapshotHttp = median(20, [&] { client.get("/"); });
    size_t historyBytes = 0;
    auto historyHttp = median(5, [&] { historyBytes = client.get("/history"); });
    service.stop();
    std::printf("serve \"/\" for 10,000 hosts: built in %.2f ms (%.2f ms CPU), %.2f ms over HTTP on loopback "
                "(%zu bytes; %starget < 5 ms)\n",
        snapshotBuild.wallMs, snapshotBuild.cpuMs, snapshotHttp.wallMs, snapshot.size(),
        missed(snapshotHttp.wallMs < 5));
    std::printf("serve \"/history\" for 10,000 all-active hosts: built whole in %.1f ms (%.1f ms CPU), %.1f ms over "
                "HTTP on loopback (%.1f ms CPU of service and client; %zu bytes, %zu received; %starget <= 100 ms "
                "over HTTP)\n",
        historyBuild.wallMs, historyBuild.cpuMs, historyHttp.wallMs, historyHttp.processCpuMs, history.size(),
        historyBytes, missed(historyHttp.wallMs <= 100));
}

void benchLargeSnapshot()
{
    SnifferService service(ParseServiceOptions({ "--demo", "--hosts", "1", "--listen", "127.0.0.1:0" }));
    service.store().update([](TrafficCounter& c) { fill(c, 65'536, 65'536, 6); });
    int port = service.start();
    std::string snapshot;
    auto build
        = median(20, [&] { snapshot = service.store().snapshotText(TrafficCounter::RateWindow::LastFiveSeconds); });
    LoopbackClient client(port);
    size_t bytes = 0;
    auto http = median(20, [&] { bytes = client.get("/"); });
    service.stop();
    std::printf("serve \"/\" for 65,536 hosts: built in %.2f ms (%.2f ms CPU), %.2f ms over HTTP on loopback "
                "(%.2f ms CPU of service and client; %zu bytes, %zu received; %starget <= 20 ms over HTTP)\n",
        build.wallMs, build.cpuMs, http.wallMs, http.processCpuMs, snapshot.size(), bytes, missed(http.wallMs <= 20));
}

long statusKb(const char* wanted)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == wanted) {
            status >> value;
            return value;
        }
        status.ignore(1 << 20, '\n');
    }
    return 0;
}

long residentKb()
{
    return statusKb("VmRSS:");
}

// What one "/history" request adds to the peak resident memory at 65,536 hosts that all moved data
// in every second: built whole (as the tests still build it) and as served over HTTP, in pieces. In
// a child process, whose peak is reset before each; the reading client (a few MB) is counted too.
void benchHistoryMemory()
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        auto resetPeak = [] {
            std::ofstream("/proc/self/clear_refs") << "5";
            return residentKb();
        };
        SnifferService service(ParseServiceOptions({ "--demo", "--hosts", "1", "--listen", "127.0.0.1:0" }));
        service.store().update([](TrafficCounter& c) { fill(c, 65'536, 65'536, 104); });
        int port = service.start();
        double result[6] = {};
        {
            long before = resetPeak();
            auto start = Clock::now();
            std::string built = service.store().historyText();
            result[0] = double(statusKb("VmHWM:") - before);
            result[1] = seconds(Clock::now() - start);
            result[4] = double(built.size());
        }
        LoopbackClient client(port);
        client.get("/average/1");
        long before = resetPeak();
        auto start = Clock::now();
        size_t bytes = client.get("/history");
        result[2] = double(statusKb("VmHWM:") - before);
        // The text grows a little with each second that passes meanwhile.
        result[3] = bytes > 0 ? seconds(Clock::now() - start) : -1;
        result[5] = double(bytes);
        service.stop();
        ssize_t ignored = write(fds[1], result, sizeof result);
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    double result[6] = {};
    ssize_t got = read(fds[0], result, sizeof result);
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (got == ssize_t(sizeof result))
        std::printf("one \"/history\" at 65,536 all-active hosts: built whole (%.0f MB of text) %.1f MB extra in "
                    "%.2f s; over HTTP (%.0f MB received) %.1f MB extra in %.2f s%s (%starget <= 64 MB extra)\n",
            result[4] / 1e6, result[0] / 1024, result[1], result[5] / 1e6, result[2] / 1024, result[3],
            result[3] < 0 ? " (no whole body)" : "", missed(result[3] >= 0 && result[2] / 1024 <= 64));
}

// Measured in a child process, so that nothing the other figures allocated is counted.
void benchMemory(uint32_t activePerSecond, const char* what)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        long before = residentKb();
        TrafficStore store;
        store.update([&](TrafficCounter& c) {
            fill(c, 65'536, 65'536, 1);
            fill(c, 65'536, activePerSecond, 110);
        });
        long after = residentKb();
        long result[2] = { before, after };
        ssize_t ignored = write(fds[1], result, sizeof result);
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    long result[2] = { 0, 0 };
    ssize_t got = read(fds[0], result, sizeof result);
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (got == ssize_t(sizeof result))
        std::printf("resident memory at 65,536 hosts, %s: %.1f MB for the process, %.1f MB of it counters and "
                    "history (%starget < 64 MB)\n",
            what, double(result[1]) / 1024, double(result[1] - result[0]) / 1024,
            missed(double(result[1]) / 1024 < 64));
}

// Live capture on the loopback of a namespace of its own while 500,000 datagrams are sent as fast
// as one thread can: how many the service counted and what the kernel says it dropped. In a child
// process, so that the other figures keep the machine's network.
void benchLiveBurst()
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        char report[512] = "";
        auto done = [&] {
            ssize_t ignored = write(fds[1], report, sizeof report);
            (void)ignored;
            _exit(0);
        };
        std::string problem = EnterOwnNetwork();
        if (!problem.empty()) {
            std::snprintf(report, sizeof report, "live capture burst: not measured (%s)", problem.c_str());
            done();
        }
        constexpr size_t packets = 500'000, payload = 64;
        const uint32_t from = 0x7F000002u, to = 0x7F000003u;
        auto networks = *NetworkList::parse("127.0.0.2/32,127.0.0.3/32");
        // A listener for every datagram, so that no ICMP error adds packets of its own.
        int receiver = socket(AF_INET, SOCK_DGRAM, 0), sender = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at {};
        at.sin_family = AF_INET;
        at.sin_port = htons(9003);
        at.sin_addr.s_addr = htonl(to);
        sockaddr_in self = at;
        self.sin_port = htons(9002);
        self.sin_addr.s_addr = htonl(from);
        if (bind(receiver, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0
            || bind(sender, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0) {
            std::snprintf(report, sizeof report, "live capture burst: not measured (bind: %s)", std::strerror(errno));
            done();
        }
        TrafficStore store;
        std::optional<PacketCapture> capture;
        try {
            capture.emplace(PacketCapture::openInterface("lo"));
        } catch (const std::exception& e) {
            std::snprintf(report, sizeof report, "live capture burst: not measured (%s)", e.what());
            done();
        }
        std::thread reader(
            [&] { capture->runLive([&](const std::vector<PacketInfo>& batch) { store.count(networks, batch); }); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));

        char data[payload] = {};
        std::vector<mmsghdr> messages(256);
        std::vector<iovec> pieces(messages.size());
        for (size_t i = 0; i < messages.size(); ++i) {
            pieces[i] = { data, payload };
            messages[i].msg_hdr = {};
            messages[i].msg_hdr.msg_name = &at;
            messages[i].msg_hdr.msg_namelen = sizeof at;
            messages[i].msg_hdr.msg_iov = &pieces[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        auto start = Clock::now();
        size_t sent = 0;
        while (sent < packets) {
            int n = sendmmsg(sender, messages.data(), unsigned(std::min(messages.size(), packets - sent)), 0);
            if (n <= 0)
                break;
            sent += size_t(n);
        }
        double sendSeconds = seconds(Clock::now() - start);
        // Counted when the second ends: tick until the count stops growing.
        int64_t counted = 0;
        for (int still = 0; still < 5;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            int64_t now = 0;
            store.update([&](TrafficCounter& c) {
                c.tick();
                for (const auto& row : c.snapshot(TrafficCounter::RateWindow::LastSecond))
                    if (row.address == HostAddress::fromIPv4(from))
                        now = row.bytesSent;
            });
            still = now == counted ? still + 1 : 0;
            counted = now;
        }
        double countSeconds = seconds(Clock::now() - start);
        capture->stop();
        reader.join();
        auto stats = capture->stats();
        size_t countedPackets = size_t(counted) / (payload + 28);
        std::snprintf(report, sizeof report,
            "live capture on loopback, a burst of %zu packets sent in %.2f s (%.2f M/s): %zu counted, %zu lost; "
            "kernel drops %llu, interface drops %llu (%starget 0 lost)",
            sent, sendSeconds, double(sent) / sendSeconds / 1e6, countedPackets, sent - countedPackets,
            (unsigned long long)stats.kernelDrops, (unsigned long long)stats.interfaceDrops,
            missed(countedPackets == sent));
        (void)countSeconds;
        close(sender);
        close(receiver);
        done();
    }
    close(fds[1]);
    char report[512] = "";
    ssize_t got = read(fds[0], report, sizeof report);
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (got == ssize_t(sizeof report))
        std::printf("%s\n", report);
}

} // namespace

int main()
{
    benchMemory(5'000, "5,000 active each second");
    benchMemory(65'536, "all active every second");
    benchHistoryMemory();
    benchCaptureFile();
    benchServing();
    benchLargeSnapshot();
    benchLiveBurst();
    return 0;
}
