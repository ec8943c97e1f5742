#pragma once

#include "HostAddress.h"
#include "TrafficCounter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct pcap;

// The addresses and size of one IP packet; bytes is the IP total length, so the count does not
// depend on the link layer or on how much of the packet was captured.
struct PacketInfo {
    HostAddress source;
    HostAddress destination;
    uint32_t bytes = 0;
};

// Reads the IP header behind the link-layer header of the given pcap link type. Non-IPv4 packets
// and headers cut short give nullopt.
std::optional<PacketInfo> ParsePacket(int linkType, const uint8_t* data, size_t capturedLength);

// A packet from a local host counts as sent by it; one to a local host as received by it.
void CountPacket(TrafficCounter& counter, const NetworkList& networks, const PacketInfo& packet);

// A libpcap handle on a live interface or a capture file. Packets are handed on in batches, so
// that the consumer takes its lock once per batch rather than once per packet.
class PacketCapture {
public:
    using Sink = std::function<void(const std::vector<PacketInfo>&)>;

    // Both raise Exception with a message fit for the user (missing interface, no capture rights,
    // unreadable or malformed file).
    static PacketCapture openInterface(const std::string& interface);
    static PacketCapture openFile(const std::string& path);

    PacketCapture(PacketCapture&& other) noexcept;
    PacketCapture& operator=(PacketCapture&&) = delete;
    ~PacketCapture();

    int linkType() const;
    // Captures until stop(); a capture error ends the loop and is returned as text.
    std::string runLive(const Sink& sink);
    // Replays the file, at speed times the recorded pace or, with speed 0, as fast as possible.
    // Returns an empty text at the end of the file, otherwise the reading error; the packets read
    // before it have been handed on.
    std::string runFile(const Sink& sink, double speed);
    uint64_t packetsSeen() const { return m_packets; }
    // Ends runLive or runFile soon; safe from another thread.
    void stop();

private:
    explicit PacketCapture(pcap* handle);
    pcap* m_handle;
    std::atomic<bool> m_stop { false };
    uint64_t m_packets = 0;
};
