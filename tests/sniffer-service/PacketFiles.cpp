#include "PacketFiles.h"

#include <arpa/inet.h>
#include <pcap/pcap.h>
#include <stdexcept>

uint32_t Ip(const char* dotted)
{
    in_addr a {};
    if (inet_pton(AF_INET, dotted, &a) != 1)
        throw std::invalid_argument(dotted);
    return ntohl(a.s_addr);
}

std::vector<uint8_t> Ipv4UdpPacket(const Datagram& d)
{
    const size_t total = 28u + d.payload;
    std::vector<uint8_t> p(total, 0);
    p[0] = 0x45;
    p[2] = uint8_t(total >> 8);
    p[3] = uint8_t(total);
    p[8] = 64;
    p[9] = 17;
    for (int i = 0; i < 4; ++i) {
        p[size_t(12 + i)] = uint8_t(d.source >> (24 - 8 * i));
        p[size_t(16 + i)] = uint8_t(d.destination >> (24 - 8 * i));
    }
    p[20] = 0x30;
    p[22] = 0x30;
    p[24] = uint8_t((8 + d.payload) >> 8);
    p[25] = uint8_t(8 + d.payload);
    return p;
}

void WriteCaptureFile(const std::string& path, int linkType, const std::vector<Datagram>& datagrams)
{
    std::vector<Frame> frames;
    for (const auto& d : datagrams) {
        Frame f;
        if (linkType == DLT_EN10MB) {
            f.bytes.assign(14, 0);
            f.bytes[12] = 0x08;
        }
        auto ip = Ipv4UdpPacket(d);
        f.bytes.insert(f.bytes.end(), ip.begin(), ip.end());
        frames.push_back(std::move(f));
    }
    WriteFrames(path, linkType, frames);
}

std::vector<uint8_t> Ipv6Packet(const char* source, const char* destination, uint16_t payload)
{
    std::vector<uint8_t> p(40u + payload, 0);
    p[0] = 0x60;
    p[4] = uint8_t(payload >> 8);
    p[5] = uint8_t(payload);
    p[6] = 17;
    p[7] = 64;
    if (inet_pton(AF_INET6, source, &p[8]) != 1 || inet_pton(AF_INET6, destination, &p[24]) != 1)
        throw std::invalid_argument(source);
    return p;
}

std::vector<uint8_t> EthernetFrame(
    const Mac& source, const Mac& destination, uint16_t etherType, const std::vector<uint8_t>& packet)
{
    std::vector<uint8_t> frame(destination.begin(), destination.end());
    frame.insert(frame.end(), source.begin(), source.end());
    frame.push_back(uint8_t(etherType >> 8));
    frame.push_back(uint8_t(etherType));
    frame.insert(frame.end(), packet.begin(), packet.end());
    return frame;
}

std::vector<uint8_t> ArpFrame(const Mac& sender, uint32_t senderAddress, uint32_t targetAddress)
{
    std::vector<uint8_t> arp = { 0, 1, 0x08, 0, 6, 4, 0, 2 };
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            arp.push_back(uint8_t(v >> (24 - 8 * i)));
    };
    arp.insert(arp.end(), sender.begin(), sender.end());
    put32(senderAddress);
    arp.insert(arp.end(), 6, 0xEE);
    put32(targetAddress);
    return EthernetFrame(sender, Mac { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF }, 0x0806, arp);
}

std::vector<uint8_t> CookedFrame(uint16_t protocol, const std::vector<uint8_t>& packet)
{
    std::vector<uint8_t> frame(16, 0);
    frame[1] = 4; // sent by us
    frame[3] = 1; // ARPHRD_ETHER
    frame[5] = 6;
    frame[14] = uint8_t(protocol >> 8);
    frame[15] = uint8_t(protocol);
    frame.insert(frame.end(), packet.begin(), packet.end());
    return frame;
}

void WriteFrames(const std::string& path, int linkType, const std::vector<Frame>& frames)
{
    pcap_t* dead = pcap_open_dead(linkType, 65535);
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    if (!dumper) {
        pcap_close(dead);
        throw std::runtime_error("cannot write " + path);
    }
    long usec = 0;
    for (const auto& f : frames) {
        pcap_pkthdr header {};
        header.ts.tv_sec = 1700000000 + usec / 1000000;
        header.ts.tv_usec = usec % 1000000;
        header.caplen = uint32_t(f.bytes.size());
        header.len = f.wireLength ? f.wireLength : header.caplen;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &header, f.bytes.data());
        usec += 1000;
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
}
