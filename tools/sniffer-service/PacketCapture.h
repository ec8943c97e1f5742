#pragma once

#include "HostAddress.h"
#include "MacBindings.h"
#include "TrafficCounter.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pcap;

// The addresses and size of one IP packet, or the binding an ARP packet announces. bytes is the IP
// total length, so the count does not depend on the link layer or on how much of the packet was
// captured, but never more than the frame carried on the wire.
struct PacketInfo {
    HostAddress source; // for ARP: the sender's IPv4 address
    HostAddress destination;
    uint32_t bytes = 0;
    enum class Kind : uint8_t { Ip, Arp };
    Kind kind = Kind::Ip;
    bool haveMacs = false; // Ethernet frames only
    MacAddress sourceMac {};
    MacAddress destinationMac {};
};

// Reads the IP header (or the ARP body) behind the link-layer header of the given pcap link type.
// Other packets and headers cut short give nullopt. wireLength is the frame's length on the wire
// when known.
std::optional<PacketInfo> ParsePacket(
    int linkType, const uint8_t* data, size_t capturedLength, size_t wireLength = SIZE_MAX);

// Whether ParsePacket reads frames of the link type; the capture refuses the others at start, so
// that traffic is never silently counted as nothing.
bool LinkTypeReadable(int linkType);

// A packet from a local host counts as sent by it; one to a local host as received by it. On
// Ethernet, IPv4 and ARP packets teach the bindings, and an IPv6 packet counts under the IPv4
// address its machine's MAC uses, or under its IPv6 address when that is not known.
void CountPacket(TrafficCounter& counter, const NetworkList& networks, MacBindings& macs, const PacketInfo& packet);
void CountPacket(TrafficCounter& counter, const NetworkList& networks, const PacketInfo& packet);

// What the capture has seen and lost so far.
struct CaptureStats {
    uint64_t packetsSeen = 0;
    uint64_t kernelDrops = 0; // the service did not read them in time
    uint64_t interfaceDrops = 0;
};

// How far a file replay has got.
struct FileProgress {
    uint64_t bytesRead = 0;
    uint64_t fileBytes = 0;
};

// The log line for kernel drops that grew from previous to now over the last intervalSeconds;
// empty when they did not grow.
std::string KernelDropNotice(uint64_t previous, uint64_t now, int intervalSeconds);

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
    uint64_t packetsSeen() const { return packets_; }
    // Both safe from another thread while a run is going on.
    CaptureStats stats() const;
    FileProgress progress() const;
    // Ends runLive or runFile soon; safe from another thread.
    void stop();

private:
    explicit PacketCapture(pcap* handle);
    void refreshStats();
    pcap* handle_;
    std::atomic<bool> stop_ { false };
    std::atomic<uint64_t> packets_ { 0 };
    std::atomic<uint64_t> kernelDrops_ { 0 }, interfaceDrops_ { 0 };
    std::atomic<uint64_t> bytesRead_ { 0 };
    uint64_t fileBytes_ = 0;
    // A capture file's read buffer; the handle, closed first, reads through it until then.
    std::unique_ptr<char[]> fileBuffer_;
};
