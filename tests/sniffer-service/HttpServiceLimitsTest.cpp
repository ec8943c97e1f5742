#include "HttpService.h"
#include "RawConnection.h"
#include "ResourceText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr uint32_t Loopback = 0x7F000001u;
const std::string Poll = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
// The start of a request whose head never ends.
const std::string UnfinishedHead = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Trickle: a";

bool isAnswer(const std::string& response, const char* status, const std::string& body)
{
    return response.rfind(std::string("HTTP/1.1 ") + status, 0) == 0 && response.size() >= body.size()
        && response.compare(response.size() - body.size(), body.size(), body) == 0;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The server alone, with small fixed resources, run on its own thread as the service runs it.
class HttpServiceLimitsTest : public ::testing::Test {
protected:
    void start(HttpLimits limits = {})
    {
        ServiceResources r;
        r.snapshot = [] { return std::string("snapshot\n"); };
        r.lastSecond = [] { return std::string("last second\n"); };
        r.history = [] { return std::string(20000, 'h') + "\n"; };
        r.names = [this] { return std::string(namesBytes_, 'n'); };
        r.historyPieces = historyPieces_;
        http_ = std::make_unique<HttpService>(r, limits);
        port_ = http_->bind("127.0.0.1", 0);
        thread_ = std::thread([this] { http_->run(); });
        ASSERT_TRUE(http_->waitUntilRunning(5s));
    }
    void TearDown() override
    {
        if (http_)
            http_->stop();
        if (thread_.joinable())
            thread_.join();
    }

    std::unique_ptr<HttpService> http_;
    std::thread thread_;
    int port_ = 0;
    size_t namesBytes_ = 16;
    std::function<BodyPieces()> historyPieces_;
};

// A history of a few thousand busy hosts, some 19 MB of text, and "/history" pieces made from it
// that count what they made.
struct PiecedHistory {
    PiecedHistory()
    {
        TrafficCounter c;
        for (int s = 0; s < 104; ++s) {
            for (uint32_t h = 0; h < 5000; ++h) {
                c.addSent(HostAddress::fromIPv4(0x0A000000u + h), 1000 + h * 7 + uint32_t(s));
                c.addReceived(HostAddress::fromIPv4(0x0A000000u + h), 90000 + h * 13);
            }
            c.tick();
        }
        view = c.historyView();
        text = ResourceText::History(view);
    }
    std::function<BodyPieces()> pieces()
    {
        return [this] {
            ++requests;
            return [this, writer = std::shared_ptr<ResourceText::HistoryWriter>()](std::string& piece) mutable {
                if (!writer)
                    writer = std::make_shared<ResourceText::HistoryWriter>(view);
                writer->write(piece, 64 * 1024);
                made += piece.size();
            };
        };
    }
    HistoryView view;
    std::string text;
    std::atomic<size_t> requests { 0 }, made { 0 };
};

} // namespace

TEST_F(HttpServiceLimitsTest, EveryKeptAliveClientIsServedNotOnlyTheFirstFew)
{
    start();
    std::vector<std::unique_ptr<RawConnection>> clients;
    for (uint32_t i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<RawConnection>(port_, Loopback + i / 4, 3000));
        ASSERT_TRUE(clients.back()->connected());
    }
    // Two polls on each, every connection held open between them, as monitors do.
    for (int round = 0; round < 2; ++round)
        for (size_t i = 0; i < clients.size(); ++i) {
            clients[i]->send(Poll);
            ASSERT_TRUE(isAnswer(clients[i]->response(), "200", "snapshot\n")) << "client " << i << ", poll " << round;
        }
}

TEST_F(HttpServiceLimitsTest, SlowRequestsHoldOnlyTheirOwnConnectionUntilTheDeadline)
{
    HttpLimits limits;
    limits.requestDeadline = 1000ms;
    start(limits);
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (uint32_t i = 0; i < 16; ++i) {
        slow.push_back(std::make_unique<RawConnection>(port_, Loopback + 1 + i, 3000));
        slow.back()->send(UnfinishedHead);
    }
    auto started = std::chrono::steady_clock::now();

    RawConnection normal(port_, Loopback, 2000);
    normal.send(Poll);
    EXPECT_TRUE(isAnswer(normal.response(), "200", "snapshot\n")) << "a poll beside 16 slow requests";

    // A trickle of one byte every 200 ms is never idle, yet its request is late all the same.
    RawConnection trickle(port_, Loopback + 100, 200);
    const std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Trickle: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
    bool closed = false;
    for (size_t i = 0; i < 15 && !closed; ++i)
        closed = !trickle.trySend(head.substr(i, 1)) || trickle.closedByPeer();
    EXPECT_TRUE(closed) << "a trickled request outlived three request deadlines";

    for (size_t i = 0; i < slow.size(); ++i)
        EXPECT_TRUE(slow[i]->closedByPeer()) << "slow connection " << i;
    EXPECT_LT(secondsSince(started), 3.5);
}

TEST_F(HttpServiceLimitsTest, IdleKeptAliveConnectionsAreClosedAfterTheLimit)
{
    HttpLimits limits;
    limits.idleLimit = 300ms;
    start(limits);
    RawConnection c(port_, Loopback, 3000);
    c.send(Poll);
    ASSERT_TRUE(isAnswer(c.response(), "200", "snapshot\n"));
    auto answered = std::chrono::steady_clock::now();
    EXPECT_TRUE(c.closedByPeer());
    EXPECT_LT(secondsSince(answered), 2.0);
}

TEST_F(HttpServiceLimitsTest, StopIsPromptWhateverTheClientsAreDoing)
{
    namesBytes_ = 32 << 20; // far more than the sockets buffer, so its writer stays blocked
    start();
    std::vector<std::unique_ptr<RawConnection>> clients;
    for (uint32_t i = 0; i < 16; ++i) {
        clients.push_back(std::make_unique<RawConnection>(port_, Loopback + 1 + i, 3000));
        clients.back()->send(UnfinishedHead);
    }
    for (uint32_t i = 0; i < 4; ++i) {
        clients.push_back(std::make_unique<RawConnection>(port_, Loopback + 20 + i, 3000));
        clients.back()->send(Poll);
        ASSERT_FALSE(clients.back()->response().empty());
    }
    clients.push_back(std::make_unique<RawConnection>(port_, Loopback + 30, 3000));
    clients.back()->send("GET /ip HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"); // and never read
    std::this_thread::sleep_for(200ms);

    auto stopping = std::chrono::steady_clock::now();
    http_->stop();
    thread_.join();
    EXPECT_LT(secondsSince(stopping), 2.0);
    for (size_t i = 0; i + 1 < clients.size(); ++i)
        EXPECT_TRUE(clients[i]->closedByPeer()) << "client " << i;
}

TEST_F(HttpServiceLimitsTest, ARequestCostsAtMostOneWholeBody)
{
    start();
    std::string ranges = "Range: bytes=0-";
    for (int i = 1; i < 2000; ++i)
        ranges += ",0-";
    RawConnection c(port_, Loopback, 5000);
    c.send("GET /history HTTP/1.1\r\nHost: 127.0.0.1\r\n" + ranges + "\r\nConnection: close\r\n\r\n");
    std::string r = c.response();
    EXPECT_TRUE(isAnswer(r, "200", std::string(20000, 'h') + "\n")) << r.substr(0, 80);
    EXPECT_NE(r.find("Content-Length: 20001\r\n"), std::string::npos);
    EXPECT_EQ(c.bytesUntilClose(1 << 20), 0u) << "nothing after the one body";

    // A head beyond the limit is refused, not read on and on.
    RawConnection big(port_, Loopback, 5000);
    big.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + std::string(64 * 1024, 'b') + "\r\n\r\n");
    std::string refused = big.response();
    EXPECT_EQ(refused.rfind("HTTP/1.1 431", 0), 0u) << refused.substr(0, 60);
    // So is a body no resource asks for.
    RawConnection body(port_, Loopback, 5000);
    body.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 10000000\r\n\r\n" + std::string(30000, 'x'));
    refused = body.response();
    EXPECT_EQ(refused.rfind("HTTP/1.1 413", 0), 0u) << refused.substr(0, 60);
    // And a chunk line that never ends.
    RawConnection chunked(port_, Loopback, 5000);
    chunked.send(
        "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n1;x=" + std::string(200 * 1024, 'e'));
    refused = chunked.response();
    EXPECT_TRUE(refused.empty() || refused.rfind("HTTP/1.1 4", 0) == 0) << refused.substr(0, 60);
    EXPECT_TRUE(chunked.closedByPeer());
}

TEST_F(HttpServiceLimitsTest, PipelinedRequestsAreAnsweredInOrder)
{
    start();
    const char* paths[] = { "/", "/average/1", "/ip", "/nothing" };
    const char* statuses[] = { "200", "200", "200", "404" };
    const std::string bodies[] = { "snapshot\n", "last second\n", std::string(16, 'n'), "not found\n" };
    std::string all;
    for (int i = 0; i < 50; ++i)
        all += std::string(i % 7 == 6 ? "HEAD " : "GET ") + paths[i % 4] + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    // The last request closes the connection; what follows it is never answered.
    all += "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n" + Poll + Poll;
    RawConnection c(port_, Loopback, 5000);
    c.send(all);
    for (int i = 0; i < 50; ++i) {
        bool head = i % 7 == 6;
        std::string r = c.response(head);
        ASSERT_TRUE(isAnswer(r, statuses[i % 4], head ? std::string() : bodies[i % 4])) << "answer " << i << ": " << r;
        if (head) {
            EXPECT_NE(r.find("Content-Length: " + std::to_string(bodies[i % 4].size())), std::string::npos);
        }
    }
    std::string last = c.response();
    EXPECT_TRUE(isAnswer(last, "200", "snapshot\n"));
    EXPECT_NE(last.find("Connection: close"), std::string::npos);
    EXPECT_TRUE(c.closedByPeer());
}

TEST_F(HttpServiceLimitsTest, EachClientAddressHoldsABoundedNumberOfConnections)
{
    HttpLimits limits;
    limits.connectionsPerAddress = 4;
    start(limits);
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<RawConnection>(port_, Loopback, 3000));
        held.back()->send(Poll);
        ASSERT_TRUE(isAnswer(held.back()->response(), "200", "snapshot\n")) << i;
    }
    RawConnection extra(port_, Loopback, 3000);
    std::string r = extra.response();
    EXPECT_TRUE(isAnswer(r, "503", "too many connections\n")) << r;
    EXPECT_TRUE(extra.closedByPeer());

    RawConnection other(port_, Loopback + 1, 3000);
    other.send(Poll);
    EXPECT_TRUE(isAnswer(other.response(), "200", "snapshot\n")) << "another address is not counted with the first";

    // A closed connection gives its place back.
    held.pop_back();
    bool served = false;
    for (int attempt = 0; attempt < 40 && !served; ++attempt) {
        RawConnection again(port_, Loopback, 3000);
        again.send(Poll);
        served = isAnswer(again.response(), "200", "snapshot\n");
        if (!served)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(served);
}

TEST_F(HttpServiceLimitsTest, AHistoryInPiecesIsSentInChunksByteForByte)
{
    PiecedHistory history;
    historyPieces_ = history.pieces();
    start();
    RawConnection c(port_, Loopback, 5000);
    c.send("GET /history HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::string r = c.response();
    ASSERT_EQ(r.rfind("HTTP/1.1 200", 0), 0u) << r.substr(0, 200);
    size_t headEnd = r.find("\r\n\r\n") + 4;
    std::string head = r.substr(0, headEnd);
    EXPECT_NE(head.find("Transfer-Encoding: chunked\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.find("Content-Length"), std::string::npos) << head;
    EXPECT_EQ(r.size() - headEnd, history.text.size());
    EXPECT_TRUE(r.compare(headEnd, std::string::npos, history.text) == 0) << "the chunks differ from the whole text";

    // A HEAD answer tells how the body would come without making any of it, and the connection
    // goes on with nothing stray on it.
    size_t made = history.made;
    c.send("HEAD /history HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::string h = c.response(true);
    EXPECT_EQ(h.rfind("HTTP/1.1 200", 0), 0u) << h;
    EXPECT_NE(h.find("Transfer-Encoding: chunked\r\n"), std::string::npos) << h;
    EXPECT_EQ(history.made, made);
    c.send(Poll);
    EXPECT_TRUE(isAnswer(c.response(), "200", "snapshot\n"));
    EXPECT_EQ(history.requests, 2u);

    // An HTTP/1.0 client knows no chunks: it gets the plain text up to the close.
    RawConnection old(port_, Loopback, 5000);
    old.send("GET /history HTTP/1.0\r\n\r\n");
    h = old.response(true);
    EXPECT_EQ(h.find("chunked"), std::string::npos) << h;
    EXPECT_EQ(h.find("Content-Length"), std::string::npos) << h;
    EXPECT_EQ(old.bytesUntilClose(64 << 20), history.text.size());
}

TEST_F(HttpServiceLimitsTest, AFastReaderOfALongAnswerLeavesItsThreadToOtherClientsNowAndThen)
{
    // Pieces slow to make, read at once by the client: the socket never stops taking them, so only
    // the service itself can let the one thread it has serve anyone else in the meantime.
    constexpr size_t Pieces = 400;
    std::atomic<size_t> made { 0 };
    historyPieces_ = [&made] {
        return [&made, count = size_t(0)](std::string& piece) mutable {
            if (count++ == Pieces)
                return;
            std::this_thread::sleep_for(2ms);
            piece.assign(64 * 1024, 'h');
            ++made;
        };
    };
    HttpLimits limits;
    limits.threads = 1;
    start(limits);
    RawConnection reader(port_, Loopback, 10000);
    reader.send("GET /history HTTP/1.0\r\n\r\n");
    size_t got = 0;
    std::thread reading([&] { got = reader.bytesUntilClose(64 << 20); });
    while (made == 0)
        std::this_thread::sleep_for(1ms);

    RawConnection poller(port_, Loopback, 5000);
    poller.send(Poll);
    EXPECT_TRUE(isAnswer(poller.response(), "200", "snapshot\n"));
    EXPECT_LT(made.load(), Pieces / 2) << "a poll waited for most of a long answer to another client";
    reading.join();
    EXPECT_GT(got, Pieces * 64 * 1024);
}

TEST_F(HttpServiceLimitsTest, AClientReadingSlowlyHoldsLittleAndOnlyUntilTheWriteDeadline)
{
    PiecedHistory history;
    historyPieces_ = history.pieces();
    HttpLimits limits;
    limits.writeDeadline = 1500ms;
    start(limits);
    ASSERT_GT(history.text.size(), size_t(16 << 20));

    // A client that asks and then takes nothing: the service makes only what the sockets hold plus
    // one piece, not the text.
    RawConnection stalled(port_, Loopback, 5000, 256 * 1024);
    stalled.send("GET /history HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    auto asked = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(700ms);
    EXPECT_GT(history.made, 0u);
    EXPECT_LT(history.made, size_t(6 << 20)) << "made far ahead of what the client took";

    // Then it takes a little at a time, too slowly to finish. Its whole answer gets one write
    // deadline, however many pieces it is in: after it the connection is closed, body unfinished.
    size_t got = 0;
    for (ssize_t n = 1; n > 0 && secondsSince(asked) < 2.5; std::this_thread::sleep_for(20ms)) {
        n = stalled.readSome(64 * 1024);
        got += n > 0 ? size_t(n) : 0;
    }
    got += stalled.bytesUntilClose(64 << 20);
    EXPECT_LT(got, history.text.size()) << "a slow client was sent the whole text";
    EXPECT_LT(secondsSince(asked), 4.0);

    // And a stop is prompt with such a client connected.
    RawConnection another(port_, Loopback, 5000, 16 * 1024);
    another.send("GET /history HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::this_thread::sleep_for(200ms);
    auto stopping = std::chrono::steady_clock::now();
    http_->stop();
    thread_.join();
    EXPECT_LT(secondsSince(stopping), 2.0);
    EXPECT_LT(another.bytesUntilClose(64 << 20), history.text.size());
}
