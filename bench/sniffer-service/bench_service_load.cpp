// Prints what the service holds under load and abuse on loopback: many monitors polling "/" once
// a second, slow connections that trickle a request head, a request with thousands of ranges,
// pipelined requests, and how long a stop takes with all of that connected.
//
// bench_service_load [CLIENTS] [SECONDS]   (defaults 500 and 20)
#include "SnifferService.h"
#include "support/BenchClock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using BenchClock::Clock;

double nowMs(Clock::time_point origin)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - origin).count();
}

// A connection from its own loopback address (127.a.b.c), as monitors on different hosts would be.
int connectFrom(uint32_t source, int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(source);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// Takes whole responses (head and Content-Length body) off the front of a buffer.
size_t takeResponses(std::string& in)
{
    size_t taken = 0;
    for (;;) {
        size_t end = in.find("\r\n\r\n");
        if (end == std::string::npos)
            return taken;
        size_t length = 0;
        size_t at = in.find("Content-Length: ");
        if (at != std::string::npos && at < end)
            length = std::strtoul(in.c_str() + at + 16, nullptr, 10);
        if (in.size() < end + 4 + length)
            return taken;
        in.erase(0, end + 4 + length);
        ++taken;
    }
}

struct Connection {
    enum class Kind { Poller, Slow } kind;
    int fd = -1;
    double nextAt = 0; // ms since the run's start
    double sentAt = 0;
    bool waiting = false;
    bool closed = false;
    double closedAt = 0;
    size_t answers = 0, polls = 0;
    std::string in;
};

struct RunResult {
    std::vector<double> latencies; // of pollers, ms
    size_t pollers = 0, pollersAllAnswered = 0, pollersNeverAnswered = 0, polls = 0, answers = 0;
    size_t slow = 0, slowClosed = 0;
    double slowClosedMedianMs = 0;
    std::vector<Connection> connections;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Pollers send "GET /" once a second at spread phases and wait for each answer before the next;
// slow connections send one byte of an endless request head every slowIntervalMs. Leaves the
// connections open in the result so that a stop can be timed with them connected.
RunResult drive(int port, size_t pollers, size_t slow, double seconds, double slowIntervalMs)
{
    RunResult r;
    int ep = epoll_create1(0);
    // Slow connections come first, so that the pollers are the newcomers.
    for (size_t i = 0; i < pollers + slow; ++i) {
        Connection c;
        c.kind = i >= slow ? Connection::Kind::Poller : Connection::Kind::Slow;
        uint32_t n = uint32_t(c.kind == Connection::Kind::Poller ? i - slow : i);
        uint32_t base = c.kind == Connection::Kind::Poller ? 0x7F0A0000u : 0x7F140000u;
        c.fd = connectFrom(base + (n / 200) * 256 + 1 + n % 200, port);
        if (c.fd < 0) {
            std::perror("connect");
            continue;
        }
        c.nextAt = c.kind == Connection::Kind::Poller ? 1000.0 * double(n) / double(std::max<size_t>(pollers, 1)) : 0;
        r.connections.push_back(std::move(c));
    }
    for (size_t k = 0; k < r.connections.size(); ++k) {
        epoll_event e {};
        e.events = EPOLLIN;
        e.data.u64 = k;
        epoll_ctl(ep, EPOLL_CTL_ADD, r.connections[k].fd, &e);
    }
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const std::string slowHead = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Trickle: ";
    auto origin = Clock::now();
    double endMs = seconds * 1000;
    std::vector<epoll_event> events(256);
    while (nowMs(origin) < endMs) {
        double now = nowMs(origin);
        for (auto& c : r.connections) {
            if (c.closed || now < c.nextAt)
                continue;
            if (c.kind == Connection::Kind::Poller) {
                c.nextAt += 1000;
                if (c.waiting)
                    continue; // a monitor waits for its answer before it asks again
                ++c.polls;
                if (send(c.fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
                    c.waiting = true;
                    c.sentAt = nowMs(origin);
                }
            } else {
                char byte = c.polls < slowHead.size() ? slowHead[c.polls] : 'a';
                ++c.polls;
                c.nextAt += slowIntervalMs;
                if (send(c.fd, &byte, 1, MSG_NOSIGNAL) != 1 && !c.closed) {
                    c.closed = true;
                    c.closedAt = now;
                }
            }
        }
        int n = epoll_wait(ep, events.data(), int(events.size()), 2);
        for (int k = 0; k < n; ++k) {
            auto& c = r.connections[events[size_t(k)].data.u64];
            char buffer[65536];
            for (;;) {
                ssize_t got = recv(c.fd, buffer, sizeof buffer, 0);
                if (got > 0) {
                    c.in.append(buffer, size_t(got));
                    continue;
                }
                if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                    c.closed = true;
                    c.closedAt = nowMs(origin);
                    epoll_ctl(ep, EPOLL_CTL_DEL, c.fd, nullptr);
                }
                break;
            }
            if (c.kind == Connection::Kind::Poller && c.waiting && takeResponses(c.in) > 0) {
                c.waiting = false;
                ++c.answers;
                r.latencies.push_back(nowMs(origin) - c.sentAt);
            }
        }
    }
    close(ep);
    std::vector<double> slowCloses;
    for (const auto& c : r.connections) {
        if (c.kind == Connection::Kind::Poller) {
            ++r.pollers;
            r.polls += c.polls;
            r.answers += c.answers;
            r.pollersAllAnswered += c.polls > 0 && c.answers == c.polls;
            r.pollersNeverAnswered += c.answers == 0;
        } else {
            ++r.slow;
            if (c.closed) {
                ++r.slowClosed;
                slowCloses.push_back(c.closedAt);
            }
        }
    }
    r.slowClosedMedianMs = percentile(slowCloses, 0.5);
    return r;
}

void closeAll(RunResult& r)
{
    for (auto& c : r.connections)
        close(c.fd);
    r.connections.clear();
}

void benchLoad(int port, size_t clients, double seconds)
{
    auto r = drive(port, clients, 0, seconds, 0);
    closeAll(r);
    std::printf("%zu keep-alive clients polling \"/\" once a second for %.0f s, 1,000 hosts:\n", clients, seconds);
    std::printf("  clients all of whose polls were answered: %zu of %zu, never answered: %zu (target: all)\n",
        r.pollersAllAnswered, r.pollers, r.pollersNeverAnswered);
    std::printf("  answers: %zu of %zu polls; answer time median %.2f ms, 99th percentile %.2f ms, max %.2f ms "
                "(target 99th <= 50 ms)\n",
        r.answers, r.polls, percentile(r.latencies, 0.5), percentile(r.latencies, 0.99), percentile(r.latencies, 1.0));
}

// One normal poller beside 100 slow connections, then a stop with them still connected.
void benchSlowAndStop(SnifferService& service, int port)
{
    auto alone = drive(port, 1, 0, 5, 0);
    closeAll(alone);
    auto r = drive(port, 1, 100, 12, 1000);
    std::printf("one poller beside 100 connections trickling a request head at one byte a second, for 12 s:\n");
    std::printf("  poller answered %zu of %zu polls, 99th percentile %.2f ms (alone: %zu of %zu, %.2f ms; target: "
                "unaffected)\n",
        r.answers, r.polls, percentile(r.latencies, 0.99), alone.answers, alone.polls,
        percentile(alone.latencies, 0.99));
    std::printf("  slow connections closed by the service: %zu of %zu, median after %.1f s (target: all, after a "
                "head deadline of a few seconds)\n",
        r.slowClosed, r.slow, r.slowClosedMedianMs / 1000);
    // Fresh slow connections for the stop, since the first ones may have been closed already.
    std::vector<int> held;
    const std::string part = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Trickle: a";
    for (uint32_t i = 0; i < 100; ++i) {
        int fd = connectFrom(0x7F1E0000u + (i / 200) * 256 + 1 + i % 200, port);
        if (fd >= 0) {
            send(fd, part.data(), part.size(), MSG_NOSIGNAL);
            held.push_back(fd);
        }
    }
    auto start = Clock::now();
    service.stop();
    std::printf("  stop with 100 slow connections and 1 keep-alive client connected: %.0f ms (target <= 2,000 ms)\n",
        BenchClock::msSince(start));
    for (int fd : held)
        close(fd);
    closeAll(r);
}

// Bytes the service sends for one request before it closes or goes quiet (read up to a cap).
size_t answerBytes(int port, const std::string& request, size_t cap, double limitMs)
{
    int fd = connectFrom(0x7F280001u, port);
    if (fd < 0)
        return 0;
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    size_t total = 0;
    auto start = Clock::now();
    char buffer[1 << 16];
    while (total < cap && BenchClock::msSince(start) < limitMs) {
        ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN))
            break;
        if (got < 0) {
            usleep(1000);
            continue;
        }
        total += size_t(got);
    }
    close(fd);
    return total;
}

void benchRangesAndPipelining(int port)
{
    std::string ranged = "GET /history HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=0-";
    for (int i = 1; i < 2000; ++i)
        ranged += ",0-";
    ranged += "\r\nConnection: close\r\n\r\n";
    size_t plain
        = answerBytes(port, "GET /history HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 64 << 20, 30000);
    size_t got = answerBytes(port, ranged, 64 << 20, 30000);
    std::printf(
        "45 hosts: \"/history\" with 2,000 ranges in a %zu-byte request: %.2f MB sent%s (whole \"/history\": %.2f MB; "
        "target: about one body)\n",
        ranged.size(), double(got) / 1e6, got >= (64u << 20) ? " before the bench stopped reading" : "",
        double(plain) / 1e6);

    int fd = connectFrom(0x7F280002u, port);
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "GET /average/1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    send(fd, many.data(), many.size(), MSG_NOSIGNAL);
    std::string in;
    size_t answers = 0;
    bool closed = false;
    auto start = Clock::now();
    char buffer[1 << 16];
    while (answers < 1000 && BenchClock::msSince(start) < 5000) {
        ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN)) {
            closed = true;
            break;
        }
        if (got < 0) {
            usleep(1000);
            continue;
        }
        in.append(buffer, size_t(got));
        answers += takeResponses(in);
    }
    close(fd);
    std::printf(
        "45 hosts: 1,000 pipelined requests in one write: %zu answered in %.0f ms, then %s (target: all in order, or "
        "a clean close after the first)\n",
        answers, BenchClock::msSince(start),
        answers == 1000 ? "done"
            : closed    ? "closed"
                        : "silence");
}

} // namespace

int main(int argc, char** argv)
{
    size_t clients = argc > 1 ? size_t(std::max(1, std::atoi(argv[1]))) : 500;
    double seconds = argc > 2 ? std::max(2.0, std::atof(argv[2])) : 20;
    rlimit files {};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    SnifferService service(ParseServiceOptions({ "--demo", "--hosts", "1000", "--listen", "127.0.0.1:0" }));
    int port = service.start();
    benchLoad(port, clients, seconds);
    {
        // The demo's 45 hosts: thousands of ranges over a larger history would only measure the
        // machine's memory.
        SnifferService small(ParseServiceOptions({ "--demo", "--listen", "127.0.0.1:0" }));
        benchRangesAndPipelining(small.start());
        small.stop();
    }
    benchSlowAndStop(service, port);
    return 0;
}
