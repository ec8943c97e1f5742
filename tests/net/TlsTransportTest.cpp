#include "NetTestHelpers.h"

#include "net/NetExceptions.h"
#include "net/NetSSLIOHandlerSocket.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace qtm_test;

namespace {
struct Certificates {
    std::string dir;
    TScriptedServer::TLSFiles selfSigned, wrongName, expired;
};

const Certificates& certificates()
{
    static Certificates c = [] {
        Certificates made;
        char pattern[] = "/tmp/qtm-tls-XXXXXX";
        made.dir = mkdtemp(pattern);
        auto make = [&](const std::string& name, const std::string& cn, int from, int to) {
            TScriptedServer::TLSFiles files { made.dir + "/" + name + ".crt", made.dir + "/" + name + ".key" };
            MakeSelfSignedCertificate(cn, from, to, files.certificateFile, files.keyFile);
            return files;
        };
        made.selfSigned = make("self", "127.0.0.1", -1, 30);
        made.wrongName = make("wrong", "wrong.example", -1, 30);
        made.expired = make("expired", "127.0.0.1", -30, -1);
        return made;
    }();
    return c;
}

std::string secureUrl(const TScriptedServer& server, const std::string& path = "/")
{
    return "https://127.0.0.1:" + std::to_string(server.Port()) + path;
}

std::unique_ptr<TNetHTTP> tlsClient()
{
    auto client = std::make_unique<TNetHTTP>();
    ConfigureLikeMonitor(*client);
    client->SetIOHandler(new TNetSSLIOHandlerSocket);
    return client;
}

class TlsTransport : public ::testing::Test {
protected:
    void TearDown() override { SetOpenSSLLibraryNamesForTesting("", ""); }
};
} // namespace

TEST_F(TlsTransport, AnHttpsNameListLoadsAndTheConnectionIsKept)
{
    TScriptedServer server(certificates().selfSigned);
    server.AddConnection(
        { WaitRequest(), Send(Response("10.0.0.1=alpha\r\n")), WaitRequest(), Send(Response("again")) });
    auto client = tlsClient();
    EXPECT_EQ(client->Get(secureUrl(server, "/ip")), "10.0.0.1=alpha\r\n");
    EXPECT_TRUE(client->KeepAliveVerdict());
    // The session tickets that follow a TLS 1.3 handshake are neither data nor a close.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(client->Get(secureUrl(server, "/ip")), "again");
    EXPECT_EQ(server.AcceptedCount(), 1);
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_NE(
        server.Requests()[0].find("\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"), std::string::npos);
}

TEST_F(TlsTransport, UnverifiableCertificatesAreAccepted)
{
    for (const auto* files : { &certificates().wrongName, &certificates().expired }) {
        TScriptedServer server(*files);
        server.AddConnection({ WaitRequest(), Send(Response("names")) });
        auto client = tlsClient();
        EXPECT_EQ(client->Get(secureUrl(server)), "names") << files->certificateFile;
    }
}

TEST_F(TlsTransport, HttpToAnotherPortAfterHttpsGoesPlainThroughTheSameTransport)
{
    TScriptedServer secure(certificates().selfSigned);
    TScriptedServer plain;
    secure.SetRepeatingScript({ WaitRequest(), Send(Response("secure")) });
    plain.SetRepeatingScript({ WaitRequest(), Send(Response("plain")) });
    auto client = tlsClient();
    TNetIOHandler* transport = client->IOHandler();
    EXPECT_EQ(client->Get(secureUrl(secure)), "secure");
    EXPECT_EQ(client->Get(LocalUrl(plain)), "plain");
    EXPECT_EQ(client->IOHandler(), transport);
    EXPECT_TRUE(static_cast<TNetSSLIOHandlerSocket*>(transport)->PassThrough());
    ASSERT_EQ(plain.Requests().size(), 1u);
    EXPECT_EQ(plain.Requests()[0].rfind("GET / HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(client->Get(secureUrl(secure)), "secure");
    EXPECT_EQ(secure.AcceptedCount(), 2);
}

TEST_F(TlsTransport, AMissingLibraryFailsHttpsButNotPlainHttp)
{
    SetOpenSSLLibraryNamesForTesting("libqtm-missing-ssl.so.3", "libqtm-missing-crypto.so.3");
    TScriptedServer secure(certificates().selfSigned);
    secure.AddConnection({ WaitRequest() });
    auto client = tlsClient();
    std::string message = failureOf([&] { client->Get(secureUrl(secure)); });
    EXPECT_EQ(message, "Could not load SSL library. (127.0.0.1:" + std::to_string(secure.Port()) + ")");

    TScriptedServer plain;
    plain.AddConnection({ WaitRequest(), Send(Response("still works")) });
    auto other = tlsClient();
    EXPECT_EQ(other->Get(LocalUrl(plain)), "still works");

    // Loading is tried again at the next connection.
    SetOpenSSLLibraryNamesForTesting("", "");
    TScriptedServer later(certificates().selfSigned);
    later.AddConnection({ WaitRequest(), Send(Response("loaded")) });
    auto third = tlsClient();
    EXPECT_EQ(third->Get(secureUrl(later)), "loaded");
}

TEST_F(TlsTransport, TheMonitorsSwitchFromPlainToTlsSucceedsAtOnce)
{
    TScriptedServer plain;
    TScriptedServer secure(certificates().selfSigned);
    plain.AddConnection({ WaitRequest(), Send(Response("snapshot")) });
    secure.AddConnection({ WaitRequest(), Send(Response("names")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(LocalUrl(plain)), "snapshot");
    ASSERT_TRUE(client.KeepAliveVerdict());
    // What the fetcher does for an https location while a plain transport is attached.
    client.Disconnect();
    client.SetIOHandler(new TNetSSLIOHandlerSocket);
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(secureUrl(secure)), "names");
    EXPECT_TRUE(client.KeepAliveVerdict());
}

TEST_F(TlsTransport, SecureCookiesTravelOnlyEncrypted)
{
    TScriptedServer secure(certificates().selfSigned);
    TScriptedServer plain;
    secure.SetRepeatingScript(
        { WaitRequest(), Send(Response("s", "Set-Cookie: token=secret; secure; path=/\r\nSet-Cookie: id=7\r\n")) });
    plain.SetRepeatingScript({ WaitRequest(), Send(Response("p")) });
    auto client = tlsClient();
    client->Get(secureUrl(secure));
    client->Get(LocalUrl(plain));
    client->Get(secureUrl(secure));
    ASSERT_EQ(plain.Requests().size(), 1u);
    EXPECT_NE(plain.Requests()[0].find("\r\nCookie: id=7\r\n"), std::string::npos) << plain.Requests()[0];
    ASSERT_EQ(secure.Requests().size(), 2u);
    EXPECT_NE(secure.Requests()[1].find("token=secret"), std::string::npos) << secure.Requests()[1];
}

TEST_F(TlsTransport, AServerWithoutTlsFailsTheHandshake)
{
    TScriptedServer plain;
    plain.AddConnection({ Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), Close() });
    auto client = tlsClient();
    try {
        client->Get("https://127.0.0.1:" + std::to_string(plain.Port()) + "/");
        FAIL();
    } catch (const ENetOSSLConnectError& e) {
        EXPECT_EQ(std::string(e.what()), "Error connecting with SSL. (127.0.0.1:" + std::to_string(plain.Port()) + ")");
    }
    EXPECT_FALSE(client->Connected());
}

TEST_F(TlsTransport, ASilentHandshakeIsBoundedByTheExchangeLimit)
{
    TScriptedServer silent;
    silent.AddConnection({ Pause(5000) });
    auto client = tlsClient();
    client->SetExchangeTimeout(400);
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client->Get("https://127.0.0.1:" + std::to_string(silent.Port()) + "/"), ENetReadTimeout);
    EXPECT_LT(MillisecondsSince(start), 3000);
}

TEST_F(TlsTransport, ASilentHandshakeEndsAtTheReadLimit)
{
    // A fresh connection, and TLS started on a plain connection kept open on the same port.
    TScriptedServer silent, plainFirst;
    silent.AddConnection({ Pause(8000) });
    plainFirst.AddConnection({ WaitRequest(), Send(Response("plain")), Pause(8000) });
    auto client = tlsClient();
    auto start = std::chrono::steady_clock::now();
    std::string message = failureOf([&] { client->Get(secureUrl(silent)); });
    long long elapsed = MillisecondsSince(start);
    EXPECT_EQ(message.rfind("Read Timeout, last activity ", 0), 0u) << message;
    EXPECT_NE(message.find(" (127.0.0.1:" + std::to_string(silent.Port()) + ")"), std::string::npos) << message;
    EXPECT_GE(elapsed, 1900);
    EXPECT_LT(elapsed, 4000);
    EXPECT_FALSE(client->Connected());

    auto other = tlsClient();
    other->SetReadTimeout(300);
    EXPECT_EQ(other->Get(LocalUrl(plainFirst)), "plain");
    ASSERT_TRUE(other->KeepAliveVerdict());
    start = std::chrono::steady_clock::now();
    EXPECT_THROW(other->Get(secureUrl(plainFirst)), ENetReadTimeout);
    elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 2000);
    EXPECT_EQ(plainFirst.AcceptedCount(), 1);
}

TEST_F(TlsTransport, ABodyReadUntilCloseEndsAtTheTlsClose)
{
    TScriptedServer server(certificates().selfSigned);
    server.AddConnection({ WaitRequest(), Send("HTTP/1.0 200 OK\r\n\r\nline 1\nline 2\n"), Close() });
    auto client = tlsClient();
    EXPECT_EQ(client->Get(secureUrl(server)), "line 1\nline 2\n");
    EXPECT_FALSE(client->KeepAliveVerdict());
}

TEST_F(TlsTransport, PlainHttpToTheSamePortNeverWritesIntoTheTlsSession)
{
    TScriptedServer secure(certificates().selfSigned);
    secure.AddConnection({ WaitRequest(), Send(Response("secure")), WaitRequest(), Send(Response("again")) });
    auto client = tlsClient();
    EXPECT_EQ(client->Get(secureUrl(secure)), "secure");
    // The server speaks only TLS, so the plain request fails, but on a connection of its own.
    EXPECT_THROW(client->Get(LocalUrl(secure)), ENetException);
    EXPECT_EQ(secure.AcceptedCount(), 2);
    EXPECT_EQ(secure.Requests().size(), 1u);
}
