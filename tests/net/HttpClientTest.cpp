#include "NetTestHelpers.h"

#include "net/NetExceptions.h"
#include "net/NetHTTP.h"

#include <gtest/gtest.h>

using namespace qtm_test;

namespace {
const std::string kFixedHeaders
    = "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Quorvel Traffic Monitor)\r\n";

std::string hostOf(const TScriptedServer& server)
{
    return "127.0.0.1:" + std::to_string(server.Port());
}

// Runs one GET on a fresh monitor-like client and gives back the protocol error it raised.
ENetHTTPProtocolException protocolErrorOf(const std::string& reply)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(reply), Close() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    std::string sink;
    try {
        client.Get(LocalUrl(server), sink);
    } catch (const ENetHTTPProtocolException& e) {
        return e;
    }
    ADD_FAILURE() << "no protocol error for " << reply;
    return ENetHTTPProtocolException("", 0, "");
}

std::string bodyOf(const TScript& script, const std::string& path = "/")
{
    TScriptedServer server;
    server.AddConnection(script);
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    return client.Get(LocalUrl(server, path));
}
} // namespace

TEST(TNetURI, SplitsLocationsAsSent)
{
    TNetURI uri("HTTP:\\\\me:secret@Host.example:8080\\dir\\sub\\file.txt?a=1&b=2#frag");
    EXPECT_EQ(uri.Protocol, "HTTP");
    EXPECT_EQ(uri.Username, "me");
    EXPECT_EQ(uri.Password, "secret");
    EXPECT_EQ(uri.Host, "Host.example");
    EXPECT_EQ(uri.Port, "8080");
    EXPECT_EQ(uri.Path, "/dir/sub/");
    EXPECT_EQ(uri.Document, "file.txt");
    EXPECT_EQ(uri.Params, "?a=1&b=2");

    TNetURI equals("http://h/cgi/x=1/y");
    EXPECT_EQ(equals.Path, "/cgi/");
    EXPECT_EQ(equals.Document, "x");
    EXPECT_EQ(equals.Params, "=1/y");

    TNetURI fragmentInDocument("http://h/a/doc#part?q");
    EXPECT_EQ(fragmentInDocument.Document, "doc");
    EXPECT_EQ(fragmentInDocument.Params, "?q");

    TNetURI bare("http://h");
    EXPECT_EQ(bare.Path + bare.Document + bare.Params, "/");

    TNetURI noUser("http://:pw@h/");
    EXPECT_EQ(noUser.Username, "");
    EXPECT_EQ(noUser.Password, "");

    EXPECT_EQ(TNetURI::NormalizePath("/a/b/../c/./"), "/a/c/");
    EXPECT_EQ(TNetURI::NormalizePath("/../x/"), "/x/");
}

TEST(HttpRequest, RequestBytesAreExact)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(Response("ok")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(LocalUrl(server, "/a/b.txt?x=%zz&y=1#fragment")), "ok");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
        "GET /a/b.txt?x=%zz&y=1 HTTP/1.1\r\nHost: " + hostOf(server) + "\r\n" + kFixedHeaders + "\r\n");
}

TEST(HttpRequest, HostLineFollowsThePortAsWritten)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(Response("ok")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.Get("http://127.0.0.1:0" + std::to_string(server.Port()));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(
        server.Requests()[0].find("\r\nHost: 127.0.0.1:0" + std::to_string(server.Port()) + "\r\n"), std::string::npos);
    EXPECT_EQ(server.Requests()[0].rfind("GET / HTTP/1.1\r\n", 0), 0u);

    // The default ports: a bare host for 80, host:443 for https (that client has no TLS transport, so the
    // request stops before any connect).
    TNetHTTP plain;
    plain.SetConnectTimeout(750);
    EXPECT_THROW(plain.Get("https://127.0.0.9/x"), ENetIOHandlerPropInvalid);
    EXPECT_EQ(plain.Request().Host, "127.0.0.9:443");
    TNetHTTP eighty;
    eighty.SetConnectTimeout(750);
    try {
        eighty.Get("http://user@127.0.0.9:80/x");
    } catch (const ENetException&) {
    }
    EXPECT_EQ(eighty.Request().Host, "127.0.0.9");
}

TEST(HttpRequest, RelativeLocationsMergeIntoTheLastOne)
{
    TScriptedServer server;
    server.SetRepeatingScript({ WaitRequest(), Send(Response("ok")), WaitRequest(), Send(Response("ok")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.Get(LocalUrl(server, "/dir/sub/page"));
    client.Get("../other?q=1");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].rfind("GET /dir/other?q=1 HTTP/1.1\r\nHost: " + hostOf(server), 0), 0u);
}

TEST(HttpRequest, BadPortAndMissingTlsTransportFail)
{
    TNetHTTP client;
    EXPECT_THROW(client.Get("http://127.0.0.1:8o/"), EConvertError);
    TNetHTTP other;
    try {
        other.Get("https://127.0.0.1:1/");
        FAIL();
    } catch (const ENetIOHandlerPropInvalid& e) {
        EXPECT_STREQ(e.what(), "IOHandler value is not valid");
    }
}

TEST(HttpStatus, RedirectsAndNon2xxFailWithCodeAndBody)
{
    auto moved = protocolErrorOf("HTTP/1.1 301 Moved\r\nLocation: /x\r\nContent-Length: 4\r\n\r\ngone");
    EXPECT_STREQ(moved.what(), "HTTP/1.1 301 Moved");
    EXPECT_EQ(moved.ErrorCode(), 301);
    EXPECT_EQ(moved.ErrorMessage(), "gone");
    EXPECT_EQ(protocolErrorOf("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n").ErrorCode(), 302);
    EXPECT_EQ(protocolErrorOf("HTTP/1.1 200 OK\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n").ErrorCode(), 200);
    EXPECT_EQ(protocolErrorOf("HTTP/1.1 304 Not Modified\r\n\r\n").ErrorCode(), 304);
    auto missing = protocolErrorOf("HTTP/1.1 404 Not Found\r\n\r\nno such page");
    EXPECT_EQ(missing.ErrorCode(), 404);
    EXPECT_EQ(missing.ErrorMessage(), "no such page");
    EXPECT_EQ(protocolErrorOf("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n").ErrorCode(), 401);
    EXPECT_EQ(protocolErrorOf("HTTP/1.1 abc OK\r\nContent-Length: 0\r\n\r\n").ErrorCode(), -1);
    EXPECT_EQ(protocolErrorOf("garbage\r\n\r\n").ErrorCode(), -1);
}

TEST(HttpStatus, NoContentAndContinueSucceed)
{
    EXPECT_EQ(bodyOf({ WaitRequest(), Send("HTTP/1.1 204 No Content\r\n\r\n") }), "");
    EXPECT_EQ(bodyOf({ WaitRequest(), Send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n"),
                  Send(Response("after")) }),
        "after");
}

TEST(HttpStatus, SuccessHeadCutByACloseIsAnUndefinedSituation)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"), Close() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    try {
        client.Get(LocalUrl(server));
        FAIL();
    } catch (const ENetException& e) {
        EXPECT_STREQ(e.what(), "Undefined situation");
    }
}

TEST(HttpBody, EachBodyModeEndsWhereItShould)
{
    EXPECT_EQ(bodyOf({ WaitRequest(), Send(Response("counted")) }), "counted");
    EXPECT_EQ(bodyOf({ WaitRequest(),
                  Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n4 \r\ndefg\r\n0\r\n\r\n") }),
        "abcdefg");
    EXPECT_EQ(bodyOf({ WaitRequest(), Send("HTTP/1.1 200 OK\r\n\r\nuntil"), Pause(50), Send(" close"), Close() }),
        "until close");
    // A length wins over chunking; "Chunked" with a capital is not chunking, so the close ends it.
    EXPECT_EQ(bodyOf({ WaitRequest(),
                  Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde") }),
        "5\r\nab");
    EXPECT_EQ(
        bodyOf({ WaitRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n"), Close() }),
        "3\r\nabc\r\n");
    EXPECT_EQ(bodyOf({ WaitRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n") }), "");
    // A size that is not hexadecimal ends the body.
    EXPECT_EQ(
        bodyOf({ WaitRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\nzz\r\n\r\n") }),
        "ab");
}

TEST(HttpBody, ChunkExtensionsAreIgnoredNotTakenForTheEnd)
{
    EXPECT_EQ(bodyOf({ WaitRequest(),
                  Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=v\r\nhello\r\n0;x\r\n\r\n") }),
        "hello");
}

TEST(HttpBody, ACloseInsideAChunkedBodyFails)
{
    TScriptedServer server;
    server.AddConnection(
        { WaitRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nonly part"), Close() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_THROW(client.Get(LocalUrl(server)), ENetConnClosedGracefully);
}

TEST(HttpBody, ACountedBodyCutByACloseFailsAndClosesTheConnection)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), Close() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    std::string sink;
    try {
        client.Get(LocalUrl(server), sink);
        FAIL();
    } catch (const ENetHTTPBodyIncomplete& e) {
        EXPECT_STREQ(e.what(), "Connection closed after 3 of 10 body bytes.");
    }
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.KeepAliveVerdict());
}

TEST(HttpBody, EveryLineSplitOfOneByteWritesReadsTheSame)
{
    const std::string reply = "HTTP/1.1 200 OK\r\nX-A: 1\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nab\r\n\r\n0\r\n\r\n";
    EXPECT_EQ(bodyOf({ WaitRequest(), SendBytewise(reply) }), "ab\r\n");
}

namespace {
// Bytes that differ at every offset, so that a piece out of place or lost shows.
std::string patterned(size_t size)
{
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = char('a' + (i * 7 + (i >> 13)) % 26);
    return text;
}
} // namespace

// Bodies of several megabytes go straight into the text in large receives over memory mapped
// ahead of them: every byte must land in its place, after what the text held, and never past the
// body's end.
TEST(HttpBody, ALargeBodyLandsWholeInItsTextAndLeavesTheNextResponse)
{
    const std::string big = patterned(9 * 1024 * 1024 + 17);
    const std::string reply = Response(big);
    const size_t split = reply.size() / 3 + 5;
    TScriptedServer server;
    // The next response follows the body in the same write: it must stay for the next request.
    server.AddConnection({ WaitRequest(), Send(reply.substr(0, split)), Pause(30),
        Send(reply.substr(split) + Response("next")), WaitRequest() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    std::string text = "kept:";
    client.Get(LocalUrl(server), text);
    ASSERT_EQ(text.size(), 5 + big.size());
    EXPECT_TRUE(text.compare(0, 5, "kept:") == 0);
    EXPECT_TRUE(text.compare(5, std::string::npos, big) == 0);
    EXPECT_EQ(client.Get(LocalUrl(server)), "next");

    // Chunks of several megabytes appended one after another.
    const std::string first = big.substr(0, 5 * 1024 * 1024), second = big.substr(first.size());
    char sizes[64];
    std::snprintf(sizes, sizeof sizes, "%zx", first.size());
    std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(sizes) + "\r\n" + first;
    std::snprintf(sizes, sizeof sizes, "%zx", second.size());
    chunked += "\r\n" + std::string(sizes) + "\r\n" + second + "\r\n0\r\n\r\n";
    EXPECT_TRUE(bodyOf({ WaitRequest(), Send(chunked) }) == big);
}

TEST(HttpBody, ALargeBodyCutByACloseKeepsExactlyWhatArrived)
{
    const std::string big = patterned(9 * 1024 * 1024);
    const std::string reply = Response(big);
    const size_t arrived = 6 * 1024 * 1024 + 3;
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(reply.substr(0, reply.size() - big.size() + arrived)), Close() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    std::string text;
    try {
        client.Get(LocalUrl(server), text);
        FAIL();
    } catch (const ENetHTTPBodyIncomplete& e) {
        EXPECT_EQ(std::string(e.what()),
            "Connection closed after " + std::to_string(arrived) + " of " + std::to_string(big.size())
                + " body bytes.");
    }
    EXPECT_TRUE(text == big.substr(0, arrived));
    EXPECT_FALSE(client.Connected());
}

TEST(HttpKeepAlive, CloseValuesInAnyCaseEndTheConnection)
{
    for (const char* value : { "close", "CLOSE", "  cLoSe  " }) {
        TScriptedServer server;
        server.SetRepeatingScript({ WaitRequest(), Send(Response("x", std::string("Connection:") + value + "\r\n")) });
        TNetHTTP client;
        ConfigureLikeMonitor(client);
        client.Get(LocalUrl(server));
        EXPECT_FALSE(client.KeepAliveVerdict()) << value;
        client.Get(LocalUrl(server));
        EXPECT_EQ(server.AcceptedCount(), 2) << value;
    }
    TScriptedServer proxy;
    proxy.AddConnection({ WaitRequest(), Send(Response("x", "Proxy-Connection: Close\r\n")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.Get(LocalUrl(proxy));
    EXPECT_FALSE(client.KeepAliveVerdict());
}

TEST(HttpKeepAlive, AnOpenHttp10ReplyWithoutCloseIsKept)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\na"), WaitRequest(),
        Send("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nb") });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_FALSE(client.KeepAliveVerdict());
    EXPECT_EQ(client.Get(LocalUrl(server)), "a");
    EXPECT_TRUE(client.KeepAliveVerdict());
    EXPECT_EQ(client.Get(LocalUrl(server)), "b");
    EXPECT_EQ(server.AcceptedCount(), 1);
}

TEST(HttpKeepAlive, ReadUntilCloseMeansTheNextRequestConnectsAnew)
{
    TScriptedServer server;
    server.SetRepeatingScript({ WaitRequest(), Send("HTTP/1.1 200 OK\r\n\r\nbody"), Close() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(LocalUrl(server)), "body");
    EXPECT_FALSE(client.KeepAliveVerdict());
    EXPECT_EQ(client.Get(LocalUrl(server)), "body");
    EXPECT_EQ(server.AcceptedCount(), 2);
}

TEST(HttpKeepAlive, ServerCloseBetweenRequestsIsNoticedAndReconnected)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(Response("first")), Pause(50), Close() });
    server.AddConnection({ WaitRequest(), Send(Response("second")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(LocalUrl(server)), "first");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(client.Get(LocalUrl(server)), "second");
    EXPECT_EQ(server.AcceptedCount(), 2);

    TScriptedServer resetting;
    resetting.AddConnection({ WaitRequest(), Send(Response("first")), Pause(50), Reset() });
    resetting.AddConnection({ WaitRequest(), Send(Response("again")) });
    TNetHTTP other;
    ConfigureLikeMonitor(other);
    EXPECT_EQ(other.Get(LocalUrl(resetting)), "first");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(other.Get(LocalUrl(resetting)), "again");
}

TEST(HttpKeepAlive, BytesAfterAResponseStartTheNextOne)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(Response("one") + Response("two")), WaitRequest() });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(LocalUrl(server)), "one");
    EXPECT_EQ(client.Get(LocalUrl(server)), "two");
    EXPECT_EQ(server.AcceptedCount(), 1);
}

TEST(HttpKeepAlive, AnotherHostOrPortClosesTheOpenConnection)
{
    TScriptedServer a, b;
    a.SetRepeatingScript({ WaitRequest(), Send(Response("a")), WaitRequest(), Send(Response("a")) });
    b.SetRepeatingScript({ WaitRequest(), Send(Response("b")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_EQ(client.Get(LocalUrl(a)), "a");
    EXPECT_EQ(client.Get(LocalUrl(a)), "a");
    EXPECT_EQ(a.AcceptedCount(), 1);
    EXPECT_EQ(client.Get(LocalUrl(b)), "b");
    EXPECT_EQ(client.Get(LocalUrl(a)), "a");
    EXPECT_EQ(a.AcceptedCount(), 2);
    // The same server under another host name is another host.
    EXPECT_EQ(client.Get("http://localhost:" + std::to_string(a.Port()) + "/"), "a");
    EXPECT_EQ(a.AcceptedCount(), 3);
}

TEST(HttpBounds, AStalledServerTimesOutAndTheConnectionCloses)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), Pause(3000) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.SetReadTimeout(300);
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.Get(LocalUrl(server)), ENetReadTimeout);
    EXPECT_GE(MillisecondsSince(start), 290);
    EXPECT_FALSE(client.Connected());
}

TEST(HttpBounds, ATricklingServerIsCutAtTheExchangeLimit)
{
    TScriptedServer server;
    server.AddConnection(
        { WaitRequest(), SendBytewise("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'x'), 50) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.SetExchangeTimeout(600);
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.Get(LocalUrl(server)), ENetReadTimeout);
    long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 590);
    EXPECT_LT(elapsed, 2500);
}

TEST(HttpBounds, BodiesBeyondTheLimitFailInEveryMode)
{
    for (const std::string& reply : {
             std::string("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\nx"),
             std::string("HTTP/1.1 200 OK\r\n\r\n") + std::string(200, 'x'),
             std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\n") + std::string(100, 'x')
                 + "\r\n64\r\n" + std::string(100, 'x') + "\r\n0\r\n\r\n",
         }) {
        TScriptedServer server;
        server.AddConnection({ WaitRequest(), Send(reply), Pause(2000) });
        TNetHTTP client;
        ConfigureLikeMonitor(client);
        client.SetMaxBodySize(150);
        EXPECT_THROW(client.Get(LocalUrl(server)), ENetHTTPBodyTooLarge) << reply.substr(0, 40);
        EXPECT_FALSE(client.Connected());
    }
}

TEST(HttpBounds, ABodyEndedByTheCloseMayFillTheCapButNotPassIt)
{
    for (size_t extra : { 0, 1 }) {
        TScriptedServer server;
        server.AddConnection({ WaitRequest(), Send("HTTP/1.1 200 OK\r\n\r\n" + patterned(300000 + extra)), Close() });
        TNetHTTP client;
        ConfigureLikeMonitor(client);
        client.SetMaxBodySize(300000);
        std::string text;
        if (extra == 0) {
            client.Get(LocalUrl(server), text);
            EXPECT_TRUE(text == patterned(300000));
        } else {
            EXPECT_THROW(client.Get(LocalUrl(server), text), ENetHTTPBodyTooLarge);
        }
    }
}

TEST(HttpBounds, EndlessHeadsAndInterimRepliesFail)
{
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 1000; ++i)
        head += "X-Line: " + std::to_string(i) + "\r\n";
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(head + "\r\n"), Pause(2000) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_THROW(client.Get(LocalUrl(server)), ENetHTTPHeadTooLarge);

    std::string continues;
    for (int i = 0; i < 10; ++i)
        continues += "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(bodyOf({ WaitRequest(), Send(continues + Response("ten")) }), "ten");
    TScriptedServer chatty;
    chatty.AddConnection({ WaitRequest(), Send(continues + continues), Pause(2000) });
    TNetHTTP other;
    ConfigureLikeMonitor(other);
    EXPECT_THROW(other.Get(LocalUrl(chatty)), ENetHTTPHeadTooLarge);
}

TEST(HttpCredentials, EachServerGetsItsOwnCredentialsAndNoOneElses)
{
    // Two servers on two ports of one host, each with credentials of its own, and a third with none.
    TScriptedServer a, b, c;
    for (TScriptedServer* server : { &a, &b, &c })
        server->SetRepeatingScript({ WaitRequest(), Send(Response("ok")), WaitRequest(), Send(Response("ok")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    auto at = [](const TScriptedServer& server, const std::string& userInfo, const std::string& path) {
        return "http://" + userInfo + "127.0.0.1:" + std::to_string(server.Port()) + path;
    };
    client.Get(at(a, "u1:p1@", "/"));
    client.Get(at(a, "", "/later"));
    client.Get(at(b, "u2:p2@", "/ip"));
    client.Get(at(b, "", "/ip"));
    client.Get(at(a, "", "/again"));
    client.Get(at(c, "", "/"));
    client.Get(at(b, "", "/ip"));
    // The same server under another name is another server.
    client.Get("http://localhost:" + std::to_string(a.Port()) + "/");
    // A later location's own user info replaces what its server had.
    client.Get(at(a, "u3:p3@", "/"));
    client.Get(at(a, "", "/"));

    auto authorizations = [](const TScriptedServer& server) {
        std::vector<std::string> found;
        for (const std::string& request : server.Requests()) {
            size_t at = request.find("\r\nAuthorization: ");
            found.push_back(
                at == std::string::npos ? "none" : request.substr(at + 17, request.find('\r', at + 2) - at - 17));
        }
        return found;
    };
    const std::string u1 = "Basic " + EncodeBase64("u1:p1"), u2 = "Basic " + EncodeBase64("u2:p2"),
                      u3 = "Basic " + EncodeBase64("u3:p3");
    EXPECT_EQ(authorizations(a), std::vector<std::string>({ u1, u1, u1, "none", u3, u3 }));
    EXPECT_EQ(authorizations(b), std::vector<std::string>({ u2, u2, u2 }));
    EXPECT_EQ(authorizations(c), std::vector<std::string>({ "none" }));
    EXPECT_EQ(u1, "Basic dTE6cDE=");
}

TEST(HttpCookies, CookiesComeBackToTheirDomainAndPath)
{
    TScriptedServer server;
    server.SetRepeatingScript({ WaitRequest(),
        Send(Response("x",
            "Set-Cookie: a=1; path=/\r\nSet-Cookie: deep=2; Path=/dir/\r\nSet-cookie: empty=; path=/\r\n"
            "Set-Cookie: foreign=3; domain=example.com\r\nSet-Cookie: safe=4; secure\r\n"
            "Set-Cookie2: v2=\"5\"; Version=\"1\"; Path=\"/\", gone=6; Max-Age=0\r\n"
            "Set-Cookie: old=7; expires=Thu, 01-Jan-1970 00:00:01 GMT\r\n")),
        WaitRequest(), Send(Response("y")), WaitRequest(), Send(Response("z")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.Get(LocalUrl(server, "/dir/page"));
    client.Get(LocalUrl(server, "/dir/page"));
    client.Get(LocalUrl(server, "/top"));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("Cookie"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\nCookie: deep=2; v2=5; a=1\r\n"), std::string::npos) << requests[1];
    EXPECT_NE(requests[2].find("\r\nCookie: v2=5; a=1\r\n"), std::string::npos) << requests[2];
}

TEST(HttpHeaders, ListLookupFoldingAndReplacement)
{
    TNetHeaderList list;
    list.Add("Content-Type: text/plain");
    list.Add("X-Long: one");
    list.Add("\t two ");
    list.Add(" three");
    list.Add("x-long: second");
    EXPECT_EQ(list.Values("x-LONG"), "one two three");
    list.SetValue("X-Long", "new");
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list[1], "X-Long: new");
    list.SetValue("content-type", "");
    EXPECT_EQ(list.Values("Content-Type"), "");
    EXPECT_EQ(list.Count(), 2u);

    TNetHeaderList request(1024);
    std::string value;
    for (int i = 0; i < 200; ++i)
        value += "item" + std::to_string(i) + ", ";
    request.SetValue("Cookie", value);
    ASSERT_GT(request.Count(), 1u);
    for (size_t i = 0; i < request.Count(); ++i) {
        EXPECT_LE(request[i].size(), 1024u);
        if (i > 0) {
            EXPECT_EQ(request[i][0], ' ');
        }
    }
    EXPECT_EQ(request.Values("Cookie"), TrimBlanks(value));
}

TEST(HttpMonitorUse, AFreshClientAfterAFailureServesTheNextFetch)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n") });
    server.AddConnection({ WaitRequest(), Send(Response("fine")) });
    auto client = std::make_unique<TNetHTTP>();
    ConfigureLikeMonitor(*client);
    std::string sink;
    EXPECT_THROW(client->Get(LocalUrl(server, "/average/1"), sink), ENetHTTPProtocolException);
    client = std::make_unique<TNetHTTP>();
    ConfigureLikeMonitor(*client);
    client->Get(LocalUrl(server, "/average/1"), sink);
    EXPECT_EQ(sink, "fine");
    EXPECT_TRUE(client->KeepAliveVerdict());
}

TEST(HttpCookies, TheStoreStaysBoundedAgainstEndlessNewCookies)
{
    TNetCookieManager store;
    for (int i = 0; i < 1000; ++i)
        store.AddCookie("c" + std::to_string(i) + "=v", false, "127.0.0.1", "/", 0);
    EXPECT_EQ(store.Count(), TNetCookies::kMaxCookies);
    std::string header = store.CookieHeader("127.0.0.1", "/", false, 0);
    EXPECT_NE(header.find("c999=v"), std::string::npos);
    EXPECT_EQ(header.find("c0=v"), std::string::npos);
}

TEST(HttpHeaders, ARangeThatIsNotNumericFailsAsAConversion)
{
    TScriptedServer server;
    server.AddConnection({ WaitRequest(), Send(Response("x", "Content-Range: bytes a-b/1\r\n")) });
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    EXPECT_THROW(client.Get(LocalUrl(server)), EConvertError);
    TNetHTTPResponse response;
    response.RawHeaders.Add("Content-Range: bytes 0-99/200");
    response.RawHeaders.Add("Content-Length: -5");
    response.ProcessHeaders();
    EXPECT_EQ(response.ContentRangeStart, 0);
    EXPECT_EQ(response.ContentRangeEnd, 99);
    EXPECT_FALSE(response.HasContentLength);
}

namespace {
// Keeps what a streamed body brought, and when each piece came.
struct RecordingSink : TNetBodySink {
    std::string body;
    std::vector<std::pair<size_t, std::chrono::steady_clock::time_point>> pieces;
    int delayMs = 0;
    void Write(std::string_view bytes) override
    {
        body.append(bytes);
        pieces.emplace_back(bytes.size(), std::chrono::steady_clock::now());
        if (delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
};
} // namespace

TEST(HttpStream, EachBodyModeReachesTheSinkWhileItIsStillArriving)
{
    const std::string first(300 * 1024, 'a'), rest(100 * 1024, 'b');
    const std::string hex = [](size_t n) {
        char text[32];
        std::snprintf(text, sizeof text, "%zx", n);
        return std::string(text);
    }(first.size());
    const std::vector<TScript> replies = {
        { WaitRequest(), Send(Response(first + rest).substr(0, Response(first + rest).size() - rest.size())),
            Pause(800), Send(rest) },
        { WaitRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + hex + "\r\n" + first + "\r\n"),
            Pause(800), Send("19000\r\n" + rest + "\r\n0\r\n\r\n") },
        { WaitRequest(), Send("HTTP/1.0 200 OK\r\n\r\n" + first), Pause(800), Send(rest), Close() },
    };
    for (const TScript& script : replies) {
        TScriptedServer server;
        server.AddConnection(script);
        TNetHTTP client;
        ConfigureLikeMonitor(client);
        RecordingSink sink;
        auto start = std::chrono::steady_clock::now();
        client.Get(LocalUrl(server), sink);
        EXPECT_EQ(sink.body, first + rest) << script[1].bytes.substr(0, 40);
        ASSERT_FALSE(sink.pieces.empty());
        EXPECT_LT(
            std::chrono::duration_cast<std::chrono::milliseconds>(sink.pieces.front().second - start).count(), 600)
            << script[1].bytes.substr(0, 40);
        for (const auto& piece : sink.pieces)
            EXPECT_LE(piece.first, TNetHTTP::kStreamPiece);
    }
}

TEST(HttpStream, TheSinksOwnTimeIsNotTheServersAndItsFailureClosesTheConnection)
{
    const std::string piece(TNetHTTP::kStreamPiece, 'x'), body = piece + piece;
    TScriptedServer server;
    const std::string reply = Response(body);
    const TScript once = { WaitRequest(), Send(reply.substr(0, reply.size() - piece.size())), Pause(700), Send(piece) };
    TScript twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    server.SetRepeatingScript(twice);
    TNetHTTP client;
    ConfigureLikeMonitor(client);
    client.SetExchangeTimeout(500);
    // The server takes 700 ms, 600 of which the sink spends on the first piece: 100 ms of waiting.
    RecordingSink slow;
    slow.delayMs = 600;
    client.Get(LocalUrl(server), slow);
    EXPECT_EQ(slow.body.size(), body.size());
    EXPECT_TRUE(client.KeepAliveVerdict());

    struct FailingSink : TNetBodySink {
        void Write(std::string_view) override { throw std::runtime_error("reader gave up"); }
    } failing;
    client.SetExchangeTimeout(15000);
    EXPECT_EQ(failureOf([&] { client.Get(LocalUrl(server), failing); }), "reader gave up");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.Get(LocalUrl(server)), std::string(body)); // a fresh connection, not the half-read one
}

TEST(HttpStream, AStreamedBodyKeepsTheCapItIsGiven)
{
    for (const std::string& reply : {
             std::string("HTTP/1.1 200 OK\r\n\r\n") + std::string(400, 'x'),
             std::string("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n") + std::string(400, 'x'),
             std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\n") + std::string(100, 'x')
                 + "\r\n64\r\n" + std::string(100, 'x') + "\r\n0\r\n\r\n",
         }) {
        TScriptedServer server;
        server.AddConnection({ WaitRequest(), Send(reply), Pause(2000) });
        TNetHTTP client;
        ConfigureLikeMonitor(client);
        client.SetMaxBodySize(150);
        RecordingSink sink;
        EXPECT_THROW(client.Get(LocalUrl(server), sink), ENetHTTPBodyTooLarge) << reply.substr(0, 40);
        EXPECT_LE(sink.body.size(), 150u);
        EXPECT_FALSE(client.Connected());
    }
}
