#include "NetTestHelpers.h"

#include "net/NetExceptions.h"
#include "net/NetHTTP.h"
#include "net/NetTCPClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace qtm_test;

namespace {
struct Client : TNetTCPClient {
    explicit Client(uint16_t port, const std::string& host = "127.0.0.1")
    {
        SetHost(host);
        SetPort(port);
    }
    ~Client() override { Disconnect(); }
};
} // namespace

TEST(TcpConnection, LineEndingsGiveTheSameTextAndInnerCrStays)
{
    TScriptedServer server;
    server.AddConnection({ Send("one\r\ntwo\nth\rree\r\n\r\n") });
    Client c(server.Port());
    c.Connect(750);
    EXPECT_EQ(c.ReadLn(), "one");
    EXPECT_EQ(c.ReadLn(), "two");
    EXPECT_EQ(c.ReadLn(), "th\rree");
    EXPECT_EQ(c.ReadLn(), "");
}

TEST(TcpConnection, LineLengthLimitCountsACarriageReturn)
{
    const std::string line(16384, 'x');
    {
        TScriptedServer server;
        server.AddConnection({ Send(line + "\n") });
        Client c(server.Port());
        c.Connect(750);
        EXPECT_EQ(c.ReadLn(), line);
    }
    for (const std::string& text : { line + "\r\n", line + "x\n", line + "xx" }) {
        TScriptedServer server;
        server.AddConnection({ Send(text) });
        Client c(server.Port());
        c.Connect(750);
        EXPECT_THROW(c.ReadLn(), ENetReadLnMaxLineLengthExceeded);
    }
}

TEST(TcpConnection, CutLastLineFailsAsAClose)
{
    TScriptedServer server;
    server.AddConnection({ Send("whole\npartial"), Close() });
    Client c(server.Port());
    c.Connect(750);
    EXPECT_EQ(c.ReadLn(), "whole");
    EXPECT_EQ(failureOf([&] { c.ReadLn(); }), "Connection Closed Gracefully.");
    EXPECT_FALSE(c.Connected());
}

TEST(TcpConnection, LinesSurviveOneByteWrites)
{
    TScriptedServer server;
    server.AddConnection({ SendBytewise("ab\r\n\r\ncd\n") });
    Client c(server.Port());
    c.Connect(750);
    EXPECT_EQ(c.ReadLn(), "ab");
    EXPECT_EQ(c.ReadLn(), "");
    EXPECT_EQ(c.ReadLn(), "cd");
}

TEST(TcpConnection, RefusedConnectIsReportedAtTheFirstCheck)
{
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
    uint16_t port = ntohs(addr.sin_port);
    ::close(probe); // nothing listens there now

    Client c(port);
    auto start = std::chrono::steady_clock::now();
    std::string message = failureOf([&] { c.Connect(750); });
    long long elapsed = MillisecondsSince(start);
    EXPECT_EQ(message, "Socket Error #10061, Connection refused. (127.0.0.1:" + std::to_string(port) + ")");
    EXPECT_GE(elapsed, 120);
    EXPECT_LT(elapsed, 700);
    EXPECT_FALSE(c.Connected());
}

TEST(TcpConnection, ConnectToAServerThatNeverAnswersTimesOut)
{
    // A listener that never accepts, with its backlog full, leaves further SYNs unanswered.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    uint16_t port = ntohs(addr.sin_port);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    Client c(port);
    auto start = std::chrono::steady_clock::now();
    std::string message = failureOf([&] { c.Connect(750); });
    long long elapsed = MillisecondsSince(start);
    EXPECT_EQ(message, "Connect timed out. (127.0.0.1:" + std::to_string(port) + ")");
    EXPECT_GE(elapsed, 740);
    EXPECT_LT(elapsed, 5000);
    EXPECT_FALSE(c.Connected());
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}

TEST(TcpConnection, LocalhostInAnyCaseNeedsNoLookup)
{
    EXPECT_EQ(ResolveHost("lOcAlHoSt"), "127.0.0.1");
    EXPECT_EQ(ResolveHost("10.1.2.3"), "10.1.2.3");
    TScriptedServer server;
    server.AddConnection({ Send("hi\n") });
    Client c(server.Port(), "LocalHost");
    c.Connect(750);
    EXPECT_EQ(c.ReadLn(), "hi");
}

TEST(TcpConnection, SocketErrorsReadAsTheirWindowsNumbers)
{
    EXPECT_EQ(SocketErrorCodeFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorCodeFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorCodeFromErrno(ETIMEDOUT), 10060);
    EXPECT_STREQ(ENetSocketError(10065).what(), "Socket Error #10065, No route to host.");
    EXPECT_STREQ(ENetSocketError(10035).what(), "Socket Error #10035, Operation would block. ");
    EXPECT_EQ(ENetSocketError(10054).LastError(), 10054);
}

TEST(TcpConnection, SilentReadWaitsAreBoundedByReadTimeout)
{
    TScriptedServer server;
    server.AddConnection({ Pause(5000) });
    Client c(server.Port());
    c.ReadTimeout = 200;
    c.Connect(750);
    auto start = std::chrono::steady_clock::now();
    std::string message = failureOf([&] { c.ReadLn(); });
    EXPECT_EQ(message.rfind("Read Timeout, last activity ", 0), 0u) << message;
    EXPECT_GE(MillisecondsSince(start), 190);
}

TEST(TcpConnection, DisconnectFreesOnlyATransportItCreated)
{
    TScriptedServer server;
    server.SetRepeatingScript({ Send("x\n") });
    Client own(server.Port());
    own.Connect(750);
    EXPECT_NE(own.IOHandler(), nullptr);
    own.Disconnect();
    EXPECT_EQ(own.IOHandler(), nullptr);

    Client attached(server.Port());
    auto* transport = new TNetIOHandlerSocket;
    attached.SetIOHandler(transport);
    attached.Connect(750);
    attached.Disconnect();
    EXPECT_EQ(attached.IOHandler(), transport);
    attached.Connect(750);
    EXPECT_EQ(attached.ReadLn(), "x");
}

TEST(TcpConnection, ConnectingTwiceFails)
{
    TScriptedServer server;
    server.AddConnection({});
    Client c(server.Port());
    c.Connect(750);
    EXPECT_THROW(c.Connect(750), ENetAlreadyConnected);
}

TEST(NetExceptions, CallersCanCatchByTheDocumentedBases)
{
    static_assert(std::is_base_of_v<std::runtime_error, ENetException>);
    static_assert(std::is_base_of_v<ENetSilentException, ENetConnClosedGracefully>);
    static_assert(std::is_base_of_v<ENetTCPConnectionError, ENetNotConnected>);
    static_assert(std::is_base_of_v<ENetTCPConnectionError, ENetIOHandlerPropInvalid>);
    static_assert(std::is_base_of_v<ENetProtocolReplyError, ENetHTTPProtocolException>);
    static_assert(std::is_base_of_v<ENetOpenSSLLoadError, ENetOSSLCouldNotLoadSSLLibrary>);
    static_assert(std::is_base_of_v<ENetOpenSSLError, ENetOSSLConnectError>);
    static_assert(std::is_base_of_v<ENetException, ENetHTTPBodyIncomplete>);
    static_assert(std::is_base_of_v<TNetCustomHTTP, TNetHTTP>);
    static_assert(std::is_base_of_v<TNetTCPClient, TNetCustomHTTP>);
    static_assert(std::is_base_of_v<TNetTCPConnection, TNetTCPClient>);

    // The connect's " (host:port)" survives a rethrow by reference, with the class intact.
    try {
        try {
            throw ENetConnectTimeout();
        } catch (ENetException& e) {
            e.AppendMessage(" (h:1)");
            throw;
        }
    } catch (const ENetConnectTimeout& e) {
        EXPECT_STREQ(e.what(), "Connect timed out. (h:1)");
        EXPECT_EQ(e.Message(), "Connect timed out. (h:1)");
    }
}
