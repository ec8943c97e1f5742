#include "PacketCapture.h"
#include "PacketFiles.h"
#include "SnifferService.h"
#include "TrafficStore.h"
#include "support/OwnNetwork.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <pcap/pcap.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The whole executable moves into a network namespace of its own before any test runs, so the
// capture sees only the datagrams the tests send, and nothing can leave the machine.
bool g_inOwnNamespace = false;
std::string g_namespaceProblem;

class OwnNetworkNamespace : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_namespaceProblem = EnterOwnNetwork();
        g_inOwnNamespace = g_namespaceProblem.empty();
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new OwnNetworkNamespace);

int boundUdpSocket(uint32_t address, uint16_t port)
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Port of the receiving socket of each address; every datagram has a listener, so no ICMP
// error adds traffic of its own.
uint16_t portOf(uint32_t address)
{
    return uint16_t(9000 + (address & 0xFF));
}

struct Totals {
    int64_t sent = 0, received = 0;
    bool operator==(const Totals& o) const { return sent == o.sent && received == o.received; }
};

std::map<std::string, Totals> totalsOf(const std::vector<HostRow>& rows)
{
    std::map<std::string, Totals> result;
    for (const auto& r : rows)
        result[r.address.text()] = { r.bytesSent, r.bytesReceived };
    return result;
}

std::vector<HostRow> rowsOf(TrafficStore& store)
{
    std::vector<HostRow> rows;
    store.update([&](TrafficCounter& c) { rows = c.snapshot(TrafficCounter::RateWindow::LastSecond); });
    return rows;
}

void sendAll(const std::vector<Datagram>& datagrams, std::map<uint32_t, int>& sockets)
{
    for (const auto& d : datagrams) {
        std::vector<char> payload(d.payload, 'x');
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(portOf(d.destination));
        to.sin_addr.s_addr = htonl(d.destination);
        ASSERT_EQ(
            sendto(sockets[d.source], payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            ssize_t(payload.size()));
    }
}

} // namespace

TEST(LiveCapture, CountsExactBytesAndDirectionsOfSentDatagrams)
{
    if (!g_inOwnNamespace)
        GTEST_SKIP() << "no network namespace of our own (" << g_namespaceProblem << ")";

    const uint32_t a = Ip("127.0.0.2"), b = Ip("127.0.0.3"), outside = Ip("127.0.0.9");
    const auto networks = *NetworkList::parse("127.0.0.2/32,127.0.0.3/32");
    std::vector<Datagram> datagrams;
    for (int i = 0; i < 5; ++i)
        datagrams.push_back({ a, b, 100 });
    for (int i = 0; i < 3; ++i)
        datagrams.push_back({ b, a, 1000 });
    for (int i = 0; i < 4; ++i)
        datagrams.push_back({ a, outside, 10 });
    datagrams.push_back({ outside, b, 1 });

    std::map<uint32_t, int> sockets;
    for (uint32_t address : { a, b, outside }) {
        sockets[address] = boundUdpSocket(address, portOf(address));
        ASSERT_GE(sockets[address], 0) << std::strerror(errno);
    }

    TrafficStore store;
    auto capture = PacketCapture::openInterface("lo");
    std::thread reader(
        [&] { capture.runLive([&](const std::vector<PacketInfo>& batch) { store.count(networks, batch); }); });
    // The handle is active once opened; a short pause lets the reader enter its loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    ASSERT_NO_FATAL_FAILURE(sendAll(datagrams, sockets));

    const std::map<std::string, Totals> expected = {
        { "127.0.0.2", { 5 * 128 + 4 * 38, 3 * 1028 } },
        { "127.0.0.3", { 3 * 1028, 5 * 128 + 29 } },
    };
    std::map<std::string, Totals> live;
    for (int wait = 0; wait < 50 && live != expected; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        store.tick();
        live = totalsOf(rowsOf(store));
    }
    capture.stop();
    reader.join();
    for (auto& s : sockets)
        close(s.second);
    EXPECT_EQ(live, expected) << "hosts seen: " << live.size();

    // The same packets from a capture file give the same totals.
    std::string path = "/tmp/qtm-live-" + std::to_string(getpid()) + ".pcap";
    WriteCaptureFile(path, DLT_EN10MB, datagrams);
    TrafficStore replayed;
    auto file = PacketCapture::openFile(path);
    EXPECT_EQ(file.runFile([&](const std::vector<PacketInfo>& batch) { replayed.count(networks, batch); }, 0), "");
    std::remove(path.c_str());
    replayed.tick();
    EXPECT_EQ(totalsOf(rowsOf(replayed)), live);
}

TEST(LiveCapture, MissingInterfaceIsNamedInTheError)
{
    if (!g_inOwnNamespace)
        GTEST_SKIP() << "no network namespace of our own (" << g_namespaceProblem << ")";
    try {
        PacketCapture::openInterface("eth7");
        FAIL() << "opened";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "no such interface: eth7");
    }
}

TEST(LiveCapture, TheServiceServesWhatItCapturedOnTheInterface)
{
    if (!g_inOwnNamespace)
        GTEST_SKIP() << "no network namespace of our own (" << g_namespaceProblem << ")";
    const uint32_t a = Ip("127.0.0.5"), b = Ip("127.0.0.6");
    std::map<uint32_t, int> sockets = { { a, boundUdpSocket(a, portOf(a)) }, { b, boundUdpSocket(b, portOf(b)) } };
    ASSERT_GE(sockets[a], 0);
    ASSERT_GE(sockets[b], 0);

    // The service runs in this test's namespace too, so it sees only these datagrams.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(SNIFFER_SERVICE_EXE, SNIFFER_SERVICE_EXE, "--interface", "lo", "--network", "127.0.0.5/32,127.0.0.6/32",
            "--listen", "127.0.0.1:0", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string output;
    int port = 0;
    for (int i = 0; i < 100 && port == 0; ++i) {
        pollfd p { out[0], POLLIN, 0 };
        if (poll(&p, 1, 100) > 0) {
            char buffer[256];
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            output.append(buffer, size_t(n));
        }
        auto at = output.find("127.0.0.1:");
        if (at != std::string::npos && output.find('\n', at) != std::string::npos)
            port = std::stoi(output.substr(at + 10));
    }
    ASSERT_NE(port, 0) << output;

    std::vector<Datagram> datagrams(6, Datagram { a, b, 472 });
    datagrams.push_back({ b, a, 2 });
    sendAll(datagrams, sockets);

    std::string body, expectedA = "\n127.0.0.5,", expectedTotals = ",3000,30\n";
    httplib::Client client("127.0.0.1", port);
    for (int wait = 0; wait < 40; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        auto res = client.Get("/");
        if (res && res->body.find(expectedTotals) != std::string::npos) {
            body = res->body;
            break;
        }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    for (auto& s : sockets)
        close(s.second);
    // 127.0.0.5 sent six packets of 500 bytes and got one of 30; 127.0.0.6 the other way round.
    EXPECT_NE(body.find(expectedA), std::string::npos) << body;
    EXPECT_NE(body.find(expectedTotals), std::string::npos) << body;
    EXPECT_NE(body.find(",30,3000\n"), std::string::npos) << body;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

namespace {

// Status line of a GET of "/" from the given source address to the given service.
std::string statusFrom(uint32_t source, uint32_t address, int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from {}, to {};
    from.sin_family = to.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(source);
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(uint16_t(port));
    timeval limit { 10, 0 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0
        && connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        const std::string request = "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, size_t(n));
    } else {
        reply = std::string("connect: ") + std::strerror(errno);
    }
    close(fd);
    return reply.substr(0, reply.find("\r\n"));
}

struct ServedService {
    explicit ServedService(std::vector<std::string> args)
        : service(ParseServiceOptions(args), "/nonexistent")
    {
        port = service.start();
    }
    ~ServedService() { service.stop(); }
    SnifferService service;
    int port = 0;
};

} // namespace

TEST(ClientAccess, OnANetworkAddressOnlyAllowedClientsAreServed)
{
    if (!g_inOwnNamespace)
        GTEST_SKIP() << "no network namespace of our own (" << g_namespaceProblem << ")";
    // A network address of this namespace's own, on its loopback device.
    ASSERT_EQ(std::system("ip addr add 10.9.0.1/24 dev lo && ip addr add 10.9.0.2/24 dev lo "
                          "&& ip addr add 10.9.0.3/24 dev lo"),
        0);
    const uint32_t server = Ip("10.9.0.1"), friendly = Ip("10.9.0.2"), stranger = Ip("10.9.0.3"),
                   local = Ip("127.0.0.1");

    {
        // By default only the machine itself may read the service.
        ServedService s({ "--demo", "--listen", "10.9.0.1:0" });
        testing::internal::CaptureStderr();
        EXPECT_EQ(statusFrom(local, server, s.port), "HTTP/1.1 200 OK");
        EXPECT_EQ(statusFrom(stranger, server, s.port), "HTTP/1.1 403 Forbidden");
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("refused 10.9.0.3 (403)"), std::string::npos) << log;
    }
    {
        ServedService s({ "--demo", "--listen", "10.9.0.1:0", "--allow", "10.9.0.2/32,192.0.2.0/24" });
        testing::internal::CaptureStderr();
        EXPECT_EQ(statusFrom(friendly, server, s.port), "HTTP/1.1 200 OK");
        EXPECT_EQ(statusFrom(stranger, server, s.port), "HTTP/1.1 403 Forbidden");
        // The list replaces the default: the machine itself is not in it.
        EXPECT_EQ(statusFrom(local, server, s.port), "HTTP/1.1 403 Forbidden");
        testing::internal::GetCapturedStderr();
        EXPECT_NE(s.service.metricsText().find("quorvel_sniffer_http_refused_requests_total 2\n"), std::string::npos);
    }
    {
        // On a loopback address only the machine's own programs can connect: all are served.
        ServedService s({ "--demo", "--listen", "127.0.0.1:0", "--allow", "192.0.2.0/24" });
        EXPECT_EQ(statusFrom(local, local, s.port), "HTTP/1.1 200 OK");
    }
}
