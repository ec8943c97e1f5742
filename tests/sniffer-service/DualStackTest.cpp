#include "PacketCapture.h"
#include "PacketFiles.h"
#include "SnifferService.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <pcap/pcap.h>

#include <cstdio>
#include <unistd.h>

namespace {

const Mac HostMac { 0x02, 0, 0, 0, 0, 0x05 };
const Mac OnlyV6Mac { 0x02, 0, 0, 0, 0, 0x77 };
const Mac RouterMac { 0x02, 0, 0, 0, 0, 0x01 };
const char* const Networks = "10.0.0.0/24,2001:db8::/64";

std::string tempPath(const char* name)
{
    return "/tmp/qtm-dualstack-" + std::to_string(getpid()) + "-" + name;
}

std::vector<uint8_t> ipv4(const char* from, const char* to, uint16_t payload)
{
    return Ipv4UdpPacket({ Ip(from), Ip(to), payload });
}

// What the service serves after replaying the frames of a file it was given.
struct Served {
    std::string snapshot, history, names, metrics;
};

Served replay(int linkType, const std::vector<Frame>& frames, const std::string& namesFile = {})
{
    std::string path = tempPath("replay.pcap");
    WriteFrames(path, linkType, frames);
    std::vector<std::string> args
        = { "--read", path, "--network", Networks, "--speed", "0", "--listen", "127.0.0.1:0" };
    if (!namesFile.empty()) {
        args.push_back("--names");
        args.push_back(namesFile);
    }
    SnifferService service(ParseServiceOptions(args), "/nonexistent");
    service.start();
    EXPECT_TRUE(service.waitForReplay(std::chrono::seconds(20)));
    service.store().tick();
    Served s { service.store().snapshotText(TrafficCounter::RateWindow::LastFiveSeconds), service.store().historyText(),
        {}, service.metricsText() };
    service.stop();
    std::remove(path.c_str());
    return s;
}

// The received and sent counters of the host in a metrics text, as "received/sent"; empty when absent.
std::string countersOf(const std::string& metrics, const std::string& address)
{
    std::string result;
    for (const char* direction : { "received", "sent" }) {
        std::string start
            = std::string("quorvel_sniffer_host_") + direction + "_bytes_total{address=\"" + address + "\"";
        auto at = metrics.find(start);
        if (at == std::string::npos)
            return {};
        auto space = metrics.find(' ', metrics.find('}', at));
        result += (result.empty() ? "" : "/") + metrics.substr(space + 1, metrics.find('\n', space) - space - 1);
    }
    return result;
}

} // namespace

TEST(DualStack, IPv6OfAMachineCountsUnderTheIPv4AddressOfItsMac)
{
    auto s = replay(DLT_EN10MB,
        {
            // The machine announces 10.0.0.5 and talks IPv4, then IPv6 from the same MAC.
            { ArpFrame(HostMac, Ip("10.0.0.5"), Ip("10.0.0.1")) },
            { EthernetFrame(HostMac, RouterMac, 0x0800, ipv4("10.0.0.5", "192.0.2.9", 72)) }, // 100 out
            { EthernetFrame(RouterMac, HostMac, 0x0800, ipv4("192.0.2.9", "10.0.0.5", 472)) }, // 500 in
            { EthernetFrame(HostMac, RouterMac, 0x86DD, Ipv6Packet("2001:db8::5", "2001:db8:ffff::1", 100)) }, // 140
            { EthernetFrame(RouterMac, HostMac, 0x86DD,
                Ipv6Packet("2001:db8:ffff::1", "2001:db8::5",
                    960)) }, // 1000
                             // The router forwards for the outside with its own MAC: that does not bind the MAC.
            { EthernetFrame(RouterMac, HostMac, 0x86DD,
                Ipv6Packet("2001:db8:ffff::2", "2001:db8::5", 20)) }, // 60
                                                                      // A machine that speaks only IPv6.
            { EthernetFrame(OnlyV6Mac, RouterMac, 0x86DD, Ipv6Packet("2001:db8::77", "2001:db8:ffff::1", 40)) },
        });
    EXPECT_NE(s.snapshot.find("\n10.0.0.5,"), std::string::npos) << s.snapshot;
    EXPECT_NE(s.snapshot.find(",240,1560\n"), std::string::npos) << s.snapshot;
    EXPECT_NE(s.snapshot.find("Quorvel sniffer service, 1 host\n"), std::string::npos) << s.snapshot;
    for (const auto* text : { &s.snapshot, &s.history })
        EXPECT_EQ(text->find("2001:"), std::string::npos) << *text;
    EXPECT_EQ(countersOf(s.metrics, "10.0.0.5"), "1560/240");
    EXPECT_EQ(countersOf(s.metrics, "2001:db8::77"), "0/80");
    EXPECT_EQ(countersOf(s.metrics, "2001:db8::5"), "");
    EXPECT_EQ(countersOf(s.metrics, "2001:db8:ffff::1"), "");

    // The replay is over: every frame was seen and the whole file read.
    EXPECT_NE(s.metrics.find("\nquorvel_sniffer_capture_packets_total 7\n"), std::string::npos);
    EXPECT_NE(s.metrics.find("\nquorvel_sniffer_replay_finished 1\n"), std::string::npos);
    auto value = [&](const std::string& name) {
        auto at = s.metrics.find("\n" + name + " ");
        return at == std::string::npos
            ? std::string("none")
            : s.metrics.substr(at + name.size() + 2, s.metrics.find('\n', at + 1) - at - name.size() - 2);
    };
    EXPECT_EQ(value("quorvel_sniffer_replay_read_bytes"), value("quorvel_sniffer_replay_file_bytes"));
    EXPECT_NE(value("quorvel_sniffer_replay_file_bytes"), "0");
}

TEST(DualStack, IPv6OnlyMachinesAndTheirNamesStayOutOfTheMonitorsResources)
{
    std::string names = tempPath("names");
    FILE* f = std::fopen(names.c_str(), "w");
    std::fputs("2001:db8::77=printer\n10.0.0.5=pc-anna\n", f);
    std::fclose(f);
    std::string path = tempPath("only6.pcap");
    WriteFrames(path, DLT_EN10MB,
        { { EthernetFrame(OnlyV6Mac, RouterMac, 0x86DD, Ipv6Packet("2001:db8::77", "2001:db8:ffff::1", 40)) },
            { EthernetFrame(HostMac, RouterMac, 0x0800, ipv4("10.0.0.5", "192.0.2.9", 72)) } });
    SnifferService service(ParseServiceOptions({ "--read", path, "--network", Networks, "--speed", "0", "--names",
                               names, "--listen", "127.0.0.1:0" }),
        "/nonexistent");
    int port = service.start();
    ASSERT_TRUE(service.waitForReplay(std::chrono::seconds(20)));
    service.store().tick();
    httplib::Client client("127.0.0.1", port);
    auto ip = client.Get("/ip");
    auto root = client.Get("/");
    auto history = client.Get("/history");
    std::string metrics = service.metricsText();
    service.stop();
    std::remove(path.c_str());
    std::remove(names.c_str());
    ASSERT_TRUE(ip && root && history);
    EXPECT_EQ(ip->body, "10.0.0.5=pc-anna\n");
    EXPECT_EQ(root->body.find("2001:"), std::string::npos) << root->body;
    EXPECT_EQ(history->body.find("2001:"), std::string::npos);
    EXPECT_NE(metrics.find("{address=\"2001:db8::77\",name=\"printer\","), std::string::npos) << metrics;
}

TEST(DualStack, FramesWithoutEthernetCountIPv4AndReportIPv6ByAddress)
{
    auto v4 = ipv4("10.0.0.5", "192.0.2.9", 72);
    auto v6 = Ipv6Packet("2001:db8::5", "2001:db8:ffff::1", 100);
    for (int link : { DLT_RAW, DLT_LINUX_SLL }) {
        std::vector<Frame> frames;
        if (link == DLT_RAW)
            frames = { { v4 }, { v6 } };
        else
            frames = { { CookedFrame(0x0800, v4) }, { CookedFrame(0x86DD, v6) } };
        auto s = replay(link, frames);
        EXPECT_NE(s.snapshot.find("\n10.0.0.5,100,0,100,0\n"), std::string::npos) << link << ": " << s.snapshot;
        EXPECT_EQ(s.snapshot.find("2001:"), std::string::npos);
        EXPECT_EQ(countersOf(s.metrics, "10.0.0.5"), "0/100") << link;
        EXPECT_EQ(countersOf(s.metrics, "2001:db8::5"), "0/140") << link;
    }
}

TEST(MacBindings, ArpIsTrustedAndAMacOfManyIPv4SourcesIsNot)
{
    MacBindings m;
    auto a = [](const char* text) { return *HostAddress::parse(text); };
    m.learnFromIPv4(HostMac, a("10.0.0.5"));
    EXPECT_EQ(m.addressOf(HostMac), a("10.0.0.5"));

    // A router forwarding two subnets' packets with one MAC.
    m.learnFromIPv4(RouterMac, a("10.0.1.7"));
    m.learnFromIPv4(RouterMac, a("10.0.1.8"));
    EXPECT_FALSE(m.addressOf(RouterMac));
    m.learnFromArp(RouterMac, a("10.0.0.1"));
    m.learnFromIPv4(RouterMac, a("10.0.1.9"));
    EXPECT_EQ(m.addressOf(RouterMac), a("10.0.0.1"));
    // A new lease announced by ARP moves the binding.
    m.learnFromArp(HostMac, a("10.0.0.6"));
    EXPECT_EQ(m.addressOf(HostMac), a("10.0.0.6"));

    // Group MACs are nobody's.
    const Mac broadcast { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
    m.learnFromArp(broadcast, a("10.0.0.9"));
    EXPECT_FALSE(m.addressOf(broadcast));

    // Made-up MACs by the million do not grow the table past its bound.
    for (uint32_t i = 0; i < MacBindings::MaxBindings + 10; ++i)
        m.learnFromArp({ 0x02, 0x10, uint8_t(i >> 24), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i) }, a("10.0.0.9"));
    EXPECT_LE(m.size(), MacBindings::MaxBindings);
}
