#include "PacketCapture.h"
#include "PacketFiles.h"
#include "SnifferService.h"
#include "base/Exception.h"

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

const Datagram Sample { Ip("10.0.0.1"), Ip("192.0.2.9"), 72 };

std::string tempPath(const char* name)
{
    return "/tmp/qtm-sniffer-" + std::to_string(getpid()) + "-" + name;
}

const HostRow* find(const std::vector<HostRow>& rows, const char* address)
{
    for (const auto& r : rows)
        if (r.address == *HostAddress::parse(address))
            return &r;
    return nullptr;
}

} // namespace

TEST(ParsePacket, ReadsTheIpHeaderBehindEachLinkLayer)
{
    auto ip = Ipv4UdpPacket(Sample);
    auto check = [&](int link, std::vector<uint8_t> frame) {
        auto info = ParsePacket(link, frame.data(), frame.size());
        ASSERT_TRUE(info) << "link type " << link;
        EXPECT_EQ(info->source.text(), "10.0.0.1");
        EXPECT_EQ(info->destination.text(), "192.0.2.9");
        EXPECT_EQ(info->bytes, 100u);
    };
    check(DLT_RAW, ip);
    std::vector<uint8_t> ether(14, 0);
    ether[12] = 0x08;
    ether.insert(ether.end(), ip.begin(), ip.end());
    check(DLT_EN10MB, ether);
    std::vector<uint8_t> vlan(18, 0);
    vlan[12] = 0x81;
    vlan[16] = 0x08;
    vlan.insert(vlan.end(), ip.begin(), ip.end());
    check(DLT_EN10MB, vlan);
    std::vector<uint8_t> sll(16, 0);
    sll[14] = 0x08;
    sll.insert(sll.end(), ip.begin(), ip.end());
    check(DLT_LINUX_SLL, sll);
    std::vector<uint8_t> null = { 2, 0, 0, 0 };
    null.insert(null.end(), ip.begin(), ip.end());
    check(DLT_NULL, null);

    // IPv6 behind the loopback headers of Linux (family 10, host order) and the BSDs (30, network order).
    auto v6 = Ipv6Packet("2001:db8::1", "2001:db8::2", 60);
    for (std::vector<uint8_t> head : { std::vector<uint8_t> { 10, 0, 0, 0 }, std::vector<uint8_t> { 0, 0, 0, 30 } }) {
        head.insert(head.end(), v6.begin(), v6.end());
        auto info = ParsePacket(DLT_LOOP, head.data(), head.size());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->source.text(), "2001:db8::1");
        EXPECT_EQ(info->destination.text(), "2001:db8::2");
        EXPECT_EQ(info->bytes, 100u);
    }

    // Only the headers need to be captured: the size comes from the IP total length.
    check(DLT_RAW, std::vector<uint8_t>(ip.begin(), ip.begin() + 20));
}

TEST(ParsePacket, RefusesWhatIsNotAWholeIpHeader)
{
    auto ip = Ipv4UdpPacket(Sample);
    EXPECT_FALSE(ParsePacket(DLT_RAW, ip.data(), 19));
    EXPECT_FALSE(ParsePacket(DLT_RAW, ip.data(), 0));
    std::vector<uint8_t> arp(42, 0);
    arp[12] = 0x08;
    arp[13] = 0x06;
    EXPECT_FALSE(ParsePacket(DLT_EN10MB, arp.data(), arp.size()));
    // An IPv6 header is 40 bytes; a version 6 packet shorter than that is no packet.
    auto v6 = ip;
    v6[0] = 0x60;
    EXPECT_FALSE(ParsePacket(DLT_RAW, v6.data(), 39));
    auto shortHeader = ip;
    shortHeader[0] = 0x44;
    EXPECT_FALSE(ParsePacket(DLT_RAW, shortHeader.data(), shortHeader.size()));
    EXPECT_FALSE(ParsePacket(DLT_EN10MB, ip.data(), 10));
    EXPECT_FALSE(ParsePacket(9999, ip.data(), ip.size()));
}

TEST(CountPacket, LocalSourceSendsAndLocalDestinationReceives)
{
    TrafficCounter c;
    auto lan = *NetworkList::parse("10.0.0.0/24");
    auto packet = [](const char* from, const char* to, uint32_t bytes) {
        return PacketInfo { *HostAddress::parse(from), *HostAddress::parse(to), bytes };
    };
    CountPacket(c, lan, packet("10.0.0.1", "8.8.8.8", 100)); // out
    CountPacket(c, lan, packet("8.8.8.8", "10.0.0.1", 1500)); // in
    CountPacket(c, lan, packet("10.0.0.1", "10.0.0.2", 60)); // inside: both
    CountPacket(c, lan, packet("8.8.8.8", "1.1.1.1", 999)); // passing by: none
    c.tick();
    auto rows = c.snapshot(TrafficCounter::RateWindow::LastSecond);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(find(rows, "10.0.0.1")->bytesSent, 160);
    EXPECT_EQ(find(rows, "10.0.0.1")->bytesReceived, 1500);
    EXPECT_EQ(find(rows, "10.0.0.2")->bytesSent, 0);
    EXPECT_EQ(find(rows, "10.0.0.2")->bytesReceived, 60);
}

TEST(CaptureFile, ReplayCountsEveryPacketOfTheFile)
{
    std::vector<Datagram> packets;
    for (int i = 0; i < 500; ++i)
        packets.push_back({ Ip("10.0.0.1"), Ip("10.0.0.2"), uint16_t(i % 50) });
    for (int i = 0; i < 7; ++i)
        packets.push_back({ Ip("203.0.113.5"), Ip("10.0.0.2"), 1000 });
    uint64_t expectedOne = 0;
    for (int i = 0; i < 500; ++i)
        expectedOne += 28 + i % 50;

    for (int link : { DLT_RAW, DLT_EN10MB }) {
        std::string path = tempPath("replay.pcap");
        WriteCaptureFile(path, link, packets);
        ServiceOptions o = ParseServiceOptions(
            { "--read", path, "--network", "10.0.0.0/24", "--speed", "0", "--listen", "127.0.0.1:0" });
        SnifferService service(o, "/nonexistent");
        service.start();
        ASSERT_TRUE(service.waitForReplay(std::chrono::seconds(20)));
        service.store().tick();
        auto rows = service.store().snapshotText(TrafficCounter::RateWindow::LastFiveSeconds);
        service.stop();
        std::remove(path.c_str());
        EXPECT_NE(rows.find("\n10.0.0.2,0,"), std::string::npos) << rows;
        EXPECT_NE(rows.find("," + std::to_string(expectedOne + 7 * 1028) + "\n"), std::string::npos) << rows;
        EXPECT_NE(rows.find("\n10.0.0.1,"), std::string::npos);
        EXPECT_NE(rows.find("," + std::to_string(expectedOne) + ",0\n"), std::string::npos) << rows;
        EXPECT_EQ(rows.find("203.0.113.5"), std::string::npos);
    }
}

TEST(CaptureFile, ATruncatedFileKeepsThePacketsBeforeTheCut)
{
    std::string path = tempPath("cut.pcap");
    WriteCaptureFile(path, DLT_RAW, std::vector<Datagram>(10, Sample));
    {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size() - 50));
    }
    auto capture = PacketCapture::openFile(path);
    TrafficCounter c;
    auto lan = *NetworkList::parse("10.0.0.0/24");
    std::string error = capture.runFile(
        [&](const std::vector<PacketInfo>& batch) {
            for (const auto& p : batch)
                CountPacket(c, lan, p);
        },
        0);
    std::remove(path.c_str());
    EXPECT_FALSE(error.empty());
    c.tick();
    EXPECT_EQ(c.snapshot(TrafficCounter::RateWindow::LastSecond)[0].bytesSent, 9 * 100);
}

TEST(CaptureFile, AFileThatIsNoCaptureIsRefusedWithItsName)
{
    std::string path = tempPath("not.pcap");
    std::ofstream(path) << "hello, this is not a capture file\n";
    try {
        PacketCapture::openFile(path);
        FAIL() << "opened";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    std::remove(path.c_str());
    EXPECT_THROW(PacketCapture::openFile("/nonexistent/x.pcap"), Exception);
}

TEST(CaptureFile, RecordedPaceIsKeptAtTheGivenSpeed)
{
    // Two packets recorded 0.4 s apart, replayed at double speed, take about 0.2 s.
    std::string path = tempPath("pace.pcap");
    {
        pcap_t* dead = pcap_open_dead(DLT_RAW, 65535);
        pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
        auto ip = Ipv4UdpPacket(Sample);
        pcap_pkthdr h {};
        h.caplen = h.len = uint32_t(ip.size());
        h.ts.tv_sec = 100;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &h, ip.data());
        h.ts.tv_usec = 400000;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &h, ip.data());
        pcap_dump_close(dumper);
        pcap_close(dead);
    }
    auto capture = PacketCapture::openFile(path);
    int seen = 0;
    auto start = std::chrono::steady_clock::now();
    capture.runFile([&](const std::vector<PacketInfo>& batch) { seen += int(batch.size()); }, 2.0);
    auto took = std::chrono::steady_clock::now() - start;
    std::remove(path.c_str());
    EXPECT_EQ(seen, 2);
    EXPECT_GE(took, std::chrono::milliseconds(190));
}

namespace {

const Mac HostMac { 0x02, 0, 0, 0, 0, 0x05 };
const Mac RouterMac { 0x02, 0, 0, 0, 0, 0x01 };

// Replays a capture file into a fresh counter and closes the second.
TrafficCounter replay(const std::string& path, const char* networks, std::string* error = nullptr)
{
    TrafficCounter c;
    auto lan = *NetworkList::parse(networks);
    auto capture = PacketCapture::openFile(path);
    std::string e = capture.runFile(
        [&](const std::vector<PacketInfo>& batch) {
            for (const auto& p : batch)
                CountPacket(c, lan, p);
        },
        0);
    if (error)
        *error = e;
    std::remove(path.c_str());
    c.tick();
    return c;
}

std::vector<HostRow> rowsOf(const TrafficCounter& c)
{
    return c.snapshot(TrafficCounter::RateWindow::LastSecond);
}

} // namespace

TEST(CaptureEdges, AHeaderClaimingMoreThanTheWireCarriedCountsTheWire)
{
    auto ip = Ipv4UdpPacket({ Ip("10.0.0.1"), Ip("192.0.2.9"), 1472 }); // claims 1500 bytes
    auto frame = EthernetFrame(HostMac, RouterMac, 0x0800, ip);
    // The parser alone: 60 bytes captured of a frame that was 114 bytes on the wire.
    auto info = ParsePacket(DLT_EN10MB, frame.data(), 60, 114);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bytes, 100u);

    std::string path = tempPath("liar.pcap");
    WriteFrames(path, DLT_EN10MB,
        {
            { std::vector<uint8_t>(frame.begin(), frame.begin() + 114) }, // cut short on the wire: 100
            { std::vector<uint8_t>(frame.begin(), frame.begin() + 60), 1514 }, // only the snap length kept: 1500
            { std::vector<uint8_t>(ip.begin(), ip.begin() + 40) }, // raw IP read as Ethernet: refused
        });
    auto rows = rowsOf(replay(path, "10.0.0.0/24"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].bytesSent, 1600);
}

TEST(CaptureEdges, NetworkBroadcastAndMulticastAddressesAreNotHosts)
{
    auto lan = *NetworkList::parse("10.0.0.0/24,10.0.9.0/31,10.0.8.7,2001:db8::/64");
    for (const char* address : { "10.0.0.1", "10.0.0.254", "10.0.9.0", "10.0.9.1", "10.0.8.7", "2001:db8::1" })
        EXPECT_TRUE(lan.isHost(*HostAddress::parse(address))) << address;
    for (const char* address : { "10.0.0.0", "10.0.0.255", "10.0.1.1", "224.0.0.251", "239.255.255.250",
             "255.255.255.255", "ff02::1", "ff05::1:3" })
        EXPECT_FALSE(lan.isHost(*HostAddress::parse(address))) << address;
    // The most specific network is the real segment: its broadcast is no host of the wider one.
    auto nested = *NetworkList::parse("10.0.0.0/8,10.0.0.0/24");
    EXPECT_FALSE(nested.isHost(*HostAddress::parse("10.0.0.255")));
    EXPECT_TRUE(nested.isHost(*HostAddress::parse("10.0.1.255")));
    auto everything = *NetworkList::parse("0.0.0.0/0,::/0");
    EXPECT_FALSE(everything.isHost(*HostAddress::parse("255.255.255.255")));
    EXPECT_FALSE(everything.isHost(*HostAddress::parse("224.0.0.1")));
    EXPECT_FALSE(everything.isHost(*HostAddress::parse("ff02::fb")));

    TrafficCounter c;
    auto packet = [](const char* from, const char* to) {
        return PacketInfo { *HostAddress::parse(from), *HostAddress::parse(to), 100 };
    };
    CountPacket(c, lan, packet("10.0.0.1", "10.0.0.255"));
    CountPacket(c, lan, packet("10.0.0.1", "224.0.0.251"));
    CountPacket(c, lan, packet("10.0.0.0", "10.0.0.2"));
    c.tick();
    auto rows = rowsOf(c);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(find(rows, "10.0.0.1")->bytesSent, 200);
    EXPECT_EQ(find(rows, "10.0.0.2")->bytesReceived, 100);
}

TEST(CaptureEdges, LinkTypesThatCannotBeReadAreRefusedAtStart)
{
    for (int link : { DLT_PPP, DLT_IEEE802_11_RADIO, DLT_IEEE802_11 }) {
        std::string path = tempPath("link.pcap");
        WriteFrames(path, link, { { Ipv4UdpPacket(Sample) } });
        try {
            PacketCapture::openFile(path);
            ADD_FAILURE() << "link type " << link << " was opened";
        } catch (const Exception& e) {
            std::string message = e.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(pcap_datalink_val_to_name(link)), std::string::npos) << message;
            EXPECT_NE(message.find("cannot be read"), std::string::npos) << message;
        }
        // The service does not start on such a file.
        EXPECT_THROW(SnifferService(ParseServiceOptions({ "--read", path, "--network", "10.0.0.0/24" })), Exception);
        std::remove(path.c_str());
    }
}

TEST(CaptureEdges, CookedFramesWithVlanTagsAreCounted)
{
    auto ip = Ipv4UdpPacket(Sample);
    std::vector<uint8_t> tagged = { 0x00, 0x2A, 0x08, 0x00 }; // VLAN 42, then IPv4
    tagged.insert(tagged.end(), ip.begin(), ip.end());
    auto sll = CookedFrame(0x8100, tagged);
    std::vector<uint8_t> sll2(20, 0);
    sll2[0] = 0x81;
    sll2.insert(sll2.end(), tagged.begin(), tagged.end());
    std::vector<uint8_t> qinq = { 0x00, 0x07, 0x81, 0x00 }; // an outer 802.1ad tag before it
    qinq.insert(qinq.end(), tagged.begin(), tagged.end());
    auto sllQinq = CookedFrame(0x88A8, qinq);
    for (auto [link, frame] : { std::pair { DLT_LINUX_SLL, sll }, std::pair { DLT_LINUX_SLL2, sll2 },
             std::pair { DLT_LINUX_SLL, sllQinq } }) {
        auto info = ParsePacket(link, frame.data(), frame.size());
        ASSERT_TRUE(info) << link;
        EXPECT_EQ(info->source.text(), "10.0.0.1");
        EXPECT_EQ(info->bytes, 100u);
    }
    std::string path = tempPath("vlan.pcap");
    WriteFrames(path, DLT_LINUX_SLL, { { sll }, { sllQinq } });
    auto rows = rowsOf(replay(path, "10.0.0.0/24"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].bytesSent, 200);
}
