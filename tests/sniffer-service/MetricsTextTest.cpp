#include "MetricsText.h"
#include "PacketCapture.h"
#include "TextLines.h"

#include <gtest/gtest.h>

#include <map>

namespace {

HostAddress A(const char* text)
{
    return *HostAddress::parse(text);
}

// Sample lines by series (name and labels as written), checking on the way that each sample
// follows the HELP and TYPE of its family.
std::map<std::string, uint64_t> samples(const std::string& text, std::map<std::string, std::string>* types = nullptr)
{
    std::map<std::string, uint64_t> result;
    std::string family, type;
    bool help = false;
    for (const auto& line : lines(text)) {
        if (line.rfind("# HELP ", 0) == 0) {
            family = line.substr(7, line.find(' ', 7) - 7);
            help = true;
            type.clear();
            continue;
        }
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_TRUE(help) << line;
            EXPECT_EQ(line.substr(7, family.size() + 1), family + " ") << line;
            type = line.substr(8 + family.size());
            continue;
        }
        auto space = line.rfind(' ');
        std::string series = line.substr(0, space);
        EXPECT_EQ(series.substr(0, series.find('{')), family) << line;
        EXPECT_FALSE(type.empty()) << line;
        EXPECT_EQ(result.count(series), 0u) << "twice: " << line;
        result[series] = std::stoull(line.substr(space + 1));
        if (types)
            (*types)[series] = type;
    }
    return result;
}

MetricsInput inputFrom(const TrafficCounter& c, int64_t firstSecondTime = 1000)
{
    MetricsInput input;
    input.hosts = c.snapshot(TrafficCounter::RateWindow::LastFiveSeconds);
    input.hostsTracked = c.hostCount();
    input.hostsEvicted = c.hostsEvicted();
    input.evictedSent = c.evictedSent();
    input.evictedReceived = c.evictedReceived();
    input.firstSecondTime = firstSecondTime;
    input.version = "1.0";
    input.mode = "file";
    return input;
}

uint64_t sumOf(const std::map<std::string, uint64_t>& s, const std::string& prefix)
{
    uint64_t sum = 0;
    for (const auto& [series, value] : s)
        if (series.rfind(prefix, 0) == 0)
            sum += value;
    return sum;
}

} // namespace

TEST(MetricsText, LabelValuesAreEscapedAndLatin1BecomesUtf8)
{
    EXPECT_EQ(MetricsLabelValue("pc-anna"), "\"pc-anna\"");
    EXPECT_EQ(MetricsLabelValue("a\\b\"c\nd"), "\"a\\\\b\\\"c\\nd\"");
    EXPECT_EQ(MetricsLabelValue("Ren\xE9 \xFF"), "\"Ren\xC3\xA9 \xC3\xBF\"");

    // A name from the name list is outside input: whatever it holds stays inside its label.
    TrafficCounter c;
    c.addReceived(A("10.0.0.1"), 10);
    c.addReceived(A("10.0.0.2"), 20);
    c.tick();
    MetricsInput input = inputFrom(c);
    input.names[A("10.0.0.1")] = "evil\"} 99\nquorvel_sniffer_hosts 7\\";
    auto s = samples(MetricsText(input));
    EXPECT_EQ(s.at("quorvel_sniffer_hosts"), 2u);
    EXPECT_EQ(s.at("quorvel_sniffer_host_received_bytes_total{address=\"10.0.0.1\",name=\"evil\\\"} "
                   "99\\nquorvel_sniffer_hosts 7\\\\\",first_seen=\"1000\"}"),
        10u);
    // No name known: no name label at all, rather than an empty one.
    EXPECT_EQ(s.at("quorvel_sniffer_host_received_bytes_total{address=\"10.0.0.2\",first_seen=\"1000\"}"), 20u);
    EXPECT_EQ(s.at("quorvel_sniffer_host_receive_bytes_per_second{address=\"10.0.0.2\"}"), 20u);
}

TEST(MetricsText, CountersNeverGoBackwardsWhenHostsAreEvictedAndReturn)
{
    // Room for two hosts: a third one evicts the one idle longest, which may come back later.
    TrafficCounter c(2);
    std::vector<std::string> texts;
    auto second = [&](std::initializer_list<std::pair<const char*, uint64_t>> traffic) {
        for (const auto& [address, bytes] : traffic) {
            c.addReceived(A(address), bytes);
            c.addSent(A(address), bytes / 2);
        }
        c.tick();
        texts.push_back(MetricsText(inputFrom(c)));
    };
    second({ { "10.0.0.1", 5000 }, { "10.0.0.2", 100 } });
    second({ { "10.0.0.2", 100 } });
    second({ { "10.0.0.3", 10 } }); // evicts 10.0.0.1
    second({ { "10.0.0.1", 7 } }); // back, evicting 10.0.0.2
    second({ { "10.0.0.1", 7 }, { "10.0.0.3", 10 } });

    std::map<std::string, uint64_t> seen;
    uint64_t previousTotal = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::map<std::string, std::string> types;
        auto s = samples(texts[i], &types);
        for (const auto& [series, value] : s) {
            if (types[series] != "counter")
                continue;
            auto before = seen.find(series);
            if (before != seen.end()) {
                EXPECT_GE(value, before->second) << series << " in scrape " << i;
            }
            seen[series] = value;
        }
        uint64_t total = sumOf(s, "quorvel_sniffer_host_received_bytes_total{")
            + s.at("quorvel_sniffer_evicted_host_bytes_total{direction=\"received\"}");
        EXPECT_GE(total, previousTotal) << "scrape " << i;
        previousTotal = total;
    }
    EXPECT_EQ(previousTotal, 5000u + 200 + 20 + 14);

    auto last = samples(texts.back());
    EXPECT_EQ(last.at("quorvel_sniffer_hosts_evicted_total"), 2u);
    EXPECT_EQ(last.at("quorvel_sniffer_evicted_host_bytes_total{direction=\"sent\"}"), 2500u + 100);
    // The returning host is a new series, first seen in second 3.
    EXPECT_EQ(last.at("quorvel_sniffer_host_received_bytes_total{address=\"10.0.0.1\",first_seen=\"1003\"}"), 14u);
    EXPECT_EQ(last.count("quorvel_sniffer_host_received_bytes_total{address=\"10.0.0.1\",first_seen=\"1000\"}"), 0u);
    EXPECT_EQ(sumOf(last, "quorvel_sniffer_host_received_bytes_total{address=\"10.0.0.2\""), 0u);
}

TEST(MetricsText, ReportsCaptureReplayRequestsAndBuild)
{
    MetricsInput input;
    input.packetsSeen = 12;
    input.kernelDrops = 3;
    input.interfaceDrops = 1;
    input.replaying = true;
    input.fileBytes = 1000;
    input.fileBytesRead = 250;
    input.requests = { { "/", 4 }, { "/metrics", 2 } };
    input.refusedRequests = 5;
    input.version = "1.2.3";
    input.mode = "file";
    auto s = samples(MetricsText(input));
    EXPECT_EQ(s.at("quorvel_sniffer_capture_packets_total"), 12u);
    EXPECT_EQ(s.at("quorvel_sniffer_capture_kernel_dropped_packets_total"), 3u);
    EXPECT_EQ(s.at("quorvel_sniffer_capture_interface_dropped_packets_total"), 1u);
    EXPECT_EQ(s.at("quorvel_sniffer_replay_read_bytes"), 250u);
    EXPECT_EQ(s.at("quorvel_sniffer_replay_file_bytes"), 1000u);
    EXPECT_EQ(s.at("quorvel_sniffer_replay_finished"), 0u);
    EXPECT_EQ(s.at("quorvel_sniffer_http_requests_total{resource=\"/\"}"), 4u);
    EXPECT_EQ(s.at("quorvel_sniffer_http_requests_total{resource=\"/metrics\"}"), 2u);
    EXPECT_EQ(s.at("quorvel_sniffer_http_refused_requests_total"), 5u);
    EXPECT_EQ(s.at("quorvel_sniffer_build_info{version=\"1.2.3\",mode=\"file\"}"), 1u);

    // Outside a replay there is no file to report on.
    input.replaying = false;
    EXPECT_EQ(MetricsText(input).find("replay"), std::string::npos);
}

TEST(KernelDropNotice, SpeaksOnlyWhileDropsGrow)
{
    EXPECT_EQ(KernelDropNotice(0, 0, 10), "");
    EXPECT_EQ(KernelDropNotice(40, 40, 10), "");
    std::string notice = KernelDropNotice(40, 52, 10);
    EXPECT_NE(notice.find("dropped 12 packets in the last 10 s (52 since the start)"), std::string::npos) << notice;
}
