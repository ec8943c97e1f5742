#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A UDP datagram between two IPv4 addresses, as the tests send it and write it to capture files.
struct Datagram {
    uint32_t source;
    uint32_t destination;
    uint16_t payload; // bytes of UDP payload; the IP packet is 28 bytes longer
};

uint32_t Ip(const char* dotted);
// An IPv4 header and a UDP header followed by payload zero bytes.
std::vector<uint8_t> Ipv4UdpPacket(const Datagram& d);
// Writes the datagrams as a capture file of the given link type (DLT_RAW or DLT_EN10MB), one per
// millisecond from a fixed start time.
void WriteCaptureFile(const std::string& path, int linkType, const std::vector<Datagram>& datagrams);

using Mac = std::array<uint8_t, 6>;

// An IPv6 header (next header UDP) and payload zero bytes; the packet is 40 + payload bytes long.
std::vector<uint8_t> Ipv6Packet(const char* source, const char* destination, uint16_t payload);
// An Ethernet header before the packet.
std::vector<uint8_t> EthernetFrame(
    const Mac& source, const Mac& destination, uint16_t etherType, const std::vector<uint8_t>& packet);
// An ARP reply in an Ethernet frame: sender announces that it uses senderAddress.
std::vector<uint8_t> ArpFrame(const Mac& sender, uint32_t senderAddress, uint32_t targetAddress);
// A Linux cooked (v1) header of the given protocol before the packet.
std::vector<uint8_t> CookedFrame(uint16_t protocol, const std::vector<uint8_t>& packet);

// One frame of a capture file; wireLength 0 means the frame was captured whole.
struct Frame {
    std::vector<uint8_t> bytes;
    uint32_t wireLength = 0;
};
void WriteFrames(const std::string& path, int linkType, const std::vector<Frame>& frames);
