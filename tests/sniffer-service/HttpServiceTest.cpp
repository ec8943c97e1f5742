#include "RawConnection.h"
#include "ResourceText.h"
#include "SnifferService.h"
#include "TextLines.h"

#include "base/IntegerText.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <sstream>

namespace {

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> result(1);
    for (char c : line) {
        if (c == ',')
            result.emplace_back();
        else
            result.back() += c;
    }
    return result;
}

class HttpServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service_ = std::make_unique<SnifferService>(
            ParseServiceOptions({ "--demo", "--seed", "11", "--listen", "127.0.0.1:0" }));
        port_ = service_->start();
    }
    void TearDown() override { service_->stop(); }

    std::string get(const std::string& path)
    {
        httplib::Client client("127.0.0.1", port_);
        auto res = client.Get(path.c_str());
        EXPECT_TRUE(res);
        if (!res)
            return {};
        EXPECT_EQ(res->status, 200) << path;
        // "/history" comes in chunks, every other resource with its length.
        if (path == "/history") {
            EXPECT_EQ(res->get_header_value("Transfer-Encoding"), "chunked");
            EXPECT_FALSE(res->has_header("Content-Length"));
        } else {
            EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(res->body.size()));
        }
        EXPECT_FALSE(res->has_header("Location"));
        return res->body;
    }

    std::unique_ptr<SnifferService> service_;
    int port_ = 0;
};

} // namespace

TEST_F(HttpServiceTest, SnapshotsListEveryHostByDataTransferred)
{
    for (const char* path : { "/", "/average/1" }) {
        auto l = lines(get(path));
        ASSERT_EQ(l.size(), 47u) << path;
        EXPECT_EQ(l.front(), "Quorvel sniffer service, 45 hosts");
        EXPECT_EQ(l.back(), ResourceText::ClosingLine);
        int64_t previous = INT64_MAX;
        for (size_t i = 1; i + 1 < l.size(); ++i) {
            auto f = fields(l[i]);
            ASSERT_EQ(f.size(), 5u) << l[i];
            auto address = HostAddress::parse(f[0]);
            ASSERT_TRUE(address && address->isIPv4()) << l[i];
            EXPECT_EQ(address->text(), f[0]);
            int64_t numbers[4];
            for (int k = 0; k < 4; ++k) {
                auto n = TryParseInt64(f[size_t(k + 1)]);
                ASSERT_TRUE(n && *n >= 0 && f[size_t(k + 1)] == std::to_string(*n)) << l[i];
                numbers[k] = *n;
            }
            EXPECT_LE(numbers[2] + numbers[3], previous) << l[i];
            previous = numbers[2] + numbers[3];
        }
    }
}

TEST_F(HttpServiceTest, HistoryHoldsAHundredSnapshotBlocks)
{
    auto l = lines(get("/history"));
    size_t blocks = 0, inBlock = 0;
    for (const auto& line : l) {
        if (line == "###") {
            ++blocks;
            EXPECT_GE(inBlock, 33u); // header, the office's hosts, closing line
            inBlock = 0;
            continue;
        }
        if (inBlock == 0) {
            EXPECT_EQ(line.rfind("Quorvel sniffer service, ", 0), 0u) << line;
        }
        ++inBlock;
    }
    EXPECT_EQ(blocks, 100u);
    EXPECT_EQ(inBlock, 0u) << "nothing after the last block";
    EXPECT_EQ(l.back(), "###");
}

TEST_F(HttpServiceTest, NameListNamesHostsOfTheSnapshot)
{
    auto snapshot = get("/");
    auto names = lines(get("/ip"));
    EXPECT_GT(names.size(), 35u);
    EXPECT_LT(names.size(), 45u);
    for (const auto& line : names) {
        auto eq = line.find('=');
        ASSERT_NE(eq, std::string::npos);
        EXPECT_EQ(line.find('=', eq + 1), std::string::npos);
        EXPECT_NE(snapshot.find("\n" + line.substr(0, eq) + ","), std::string::npos) << line;
        EXPECT_GT(line.size(), eq + 1);
    }
}

TEST_F(HttpServiceTest, OneConnectionServesRequestAfterRequest)
{
    RawConnection c(port_);
    ASSERT_TRUE(c.connected());
    for (int i = 0; i < 12; ++i) {
        const char* path = i % 3 == 0 ? "/" : i % 3 == 1 ? "/average/1" : "/ip";
        c.send(std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        std::string r = c.response();
        ASSERT_EQ(r.rfind("HTTP/1.1 200", 0), 0u) << "request " << i << ": " << r.substr(0, 80);
        EXPECT_EQ(r.find("Connection: close"), std::string::npos) << "request " << i;
    }
}

TEST_F(HttpServiceTest, UnknownPathsAndMalformedRequestsAreRefused)
{
    httplib::Client client("127.0.0.1", port_);
    auto missing = client.Get("/nothing/here");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(missing->body, "not found\n");
    auto post = client.Post("/", "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    auto query = client.Get("/?ignored=1");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->status, 200);

    for (const char* bad : { "GARBAGE\r\n\r\n", "GET\r\n\r\n", "GET / HTTP/9\r\n\r\n" }) {
        RawConnection c(port_);
        ASSERT_TRUE(c.connected());
        c.send(bad);
        std::string r = c.response();
        EXPECT_EQ(r.rfind("HTTP/1.1 400", 0), 0u) << bad << " gave " << r.substr(0, 60);
    }
    // A request line far longer than any resource name is refused without harm.
    RawConnection c(port_);
    c.send("GET /" + std::string(100000, 'a') + " HTTP/1.1\r\n\r\n");
    std::string r = c.response();
    EXPECT_TRUE(r.empty() || r.rfind("HTTP/1.1 4", 0) == 0) << r.substr(0, 60);

    // And the service still answers.
    get("/");
}

TEST_F(HttpServiceTest, MetricsCountTheRequestsOfEachResource)
{
    get("/");
    get("/");
    get("/ip");
    httplib::Client client("127.0.0.1", port_);
    auto res = client.Get("/metrics");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    for (const char* sample : { "quorvel_sniffer_http_requests_total{resource=\"/\"} 2\n",
             "quorvel_sniffer_http_requests_total{resource=\"/ip\"} 1\n",
             "quorvel_sniffer_http_requests_total{resource=\"/metrics\"} 1\n",
             "quorvel_sniffer_http_requests_total{resource=\"/history\"} 0\n", "quorvel_sniffer_hosts 45\n",
             "quorvel_sniffer_build_info{version=\"" QTM_VERSION "\",mode=\"demo\"} 1\n" })
        EXPECT_NE(res->body.find(sample), std::string::npos) << sample;
    EXPECT_NE(res->body.find("quorvel_sniffer_host_received_bytes_total{address=\"192.0.2.1\",name=\"backup-nas\","),
        std::string::npos);
}
