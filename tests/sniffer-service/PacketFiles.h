#pragma once

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
