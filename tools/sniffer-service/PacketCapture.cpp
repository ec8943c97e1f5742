#include "PacketCapture.h"

#include "base/Exception.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <pcap/pcap.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t BatchSize = 4096;

void requireReadableLinkType(pcap_t* p, const std::string& what)
{
    int link = pcap_datalink(p);
    if (LinkTypeReadable(link))
        return;
    const char* name = pcap_datalink_val_to_name(link);
    const char* description = pcap_datalink_val_to_description(link);
    throw Exception("cannot count the traffic of " + what + ": its link type "
        + (name ? std::string(name) : std::to_string(link)) + (description ? std::string(" (") + description + ")" : "")
        + " cannot be read; the service reads Ethernet, raw IP, Linux cooked and BSD loopback frames");
}

uint16_t be16(const uint8_t* p)
{
    return uint16_t((p[0] << 8) | p[1]);
}

uint32_t be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

constexpr uint16_t EtherIPv4 = 0x0800;
constexpr uint16_t EtherIPv6 = 0x86DD;
constexpr uint16_t EtherArp = 0x0806;

bool isVlanTag(uint16_t etherType)
{
    return etherType == 0x8100 || etherType == 0x88A8;
}

// Steps over 802.1Q and 802.1ad tags; the kernel puts them back into cooked frames too.
void skipVlanTags(const uint8_t* data, size_t length, size_t& offset, uint16_t& etherType)
{
    while (isVlanTag(etherType) && length >= offset + 4) {
        etherType = be16(data + offset + 2);
        offset += 4;
    }
}

uint16_t versionType(const uint8_t* data, size_t length)
{
    if (length == 0)
        return 0;
    return (data[0] >> 4) == 4 ? EtherIPv4 : (data[0] >> 4) == 6 ? EtherIPv6 : 0;
}

// Offset of the network-layer header and its EtherType, or nothing for frames we do not count.
bool networkHeader(int linkType, const uint8_t* data, size_t length, size_t& offset, uint16_t& etherType)
{
    switch (linkType) {
    case DLT_EN10MB:
        if (length < 14)
            return false;
        offset = 14;
        etherType = be16(data + 12);
        skipVlanTags(data, length, offset, etherType);
        return true;
    case DLT_RAW:
#ifdef DLT_IPV4
    case DLT_IPV4:
#endif
#ifdef DLT_IPV6
    case DLT_IPV6:
#endif
        offset = 0;
        etherType = versionType(data, length);
        return true;
    case DLT_LINUX_SLL:
        if (length < 16)
            return false;
        offset = 16;
        etherType = be16(data + 14);
        skipVlanTags(data, length, offset, etherType);
        return true;
#ifdef DLT_LINUX_SLL2
    case DLT_LINUX_SLL2:
        if (length < 20)
            return false;
        offset = 20;
        etherType = be16(data);
        skipVlanTags(data, length, offset, etherType);
        return true;
#endif
    case DLT_NULL:
    case DLT_LOOP: {
        if (length < 4)
            return false;
        offset = 4;
        // The family is in host order for DLT_NULL and network order for DLT_LOOP: 2 is AF_INET
        // everywhere, AF_INET6 is 10 on Linux and 24, 28 or 30 on the BSDs.
        uint32_t family = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t(data[3]) << 24);
        if (family > 0xFFFF)
            family = be32(data);
        etherType = family == 2                                              ? EtherIPv4
            : (family == 10 || family == 24 || family == 28 || family == 30) ? EtherIPv6
                                                                             : 0;
        return true;
    }
    default:
        return false;
    }
}

// Says which rights a capture needs and the usual ways to grant them without running as root.
std::string capabilityHint()
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string program = n > 0 ? std::string(path, size_t(n)) : "sniffer-service";
    return "  capturing needs the capabilities CAP_NET_RAW and CAP_NET_ADMIN (or root); grant them\n"
           "  - as a service: AmbientCapabilities=CAP_NET_RAW CAP_NET_ADMIN in its systemd unit\n"
           "  - to the program: setcap cap_net_raw,cap_net_admin=eip "
        + program
        + "\n"
          "  - for one run: setpriv --inh-caps +net_raw,+net_admin --ambient-caps +net_raw,+net_admin "
          "(from a process that holds them)";
}

MacAddress macAt(const uint8_t* p)
{
    MacAddress mac;
    std::copy(p, p + 6, mac.begin());
    return mac;
}

std::optional<PacketInfo> parseArp(const uint8_t* arp, size_t length)
{
    // Ethernet hardware and IPv4 protocol addresses only: that is what binds a MAC to an address.
    if (length < 28 || be16(arp) != 1 || be16(arp + 2) != EtherIPv4 || arp[4] != 6 || arp[5] != 4)
        return std::nullopt;
    PacketInfo info;
    info.kind = PacketInfo::Kind::Arp;
    info.haveMacs = true;
    info.sourceMac = macAt(arp + 8);
    info.source = HostAddress::fromIPv4(be32(arp + 14));
    info.destination = HostAddress::fromIPv4(be32(arp + 24));
    return info;
}

} // namespace

bool LinkTypeReadable(int linkType)
{
    switch (linkType) {
    case DLT_EN10MB:
    case DLT_RAW:
#ifdef DLT_IPV4
    case DLT_IPV4:
#endif
#ifdef DLT_IPV6
    case DLT_IPV6:
#endif
    case DLT_LINUX_SLL:
#ifdef DLT_LINUX_SLL2
    case DLT_LINUX_SLL2:
#endif
    case DLT_NULL:
    case DLT_LOOP:
        return true;
    default:
        return false;
    }
}

std::optional<PacketInfo> ParsePacket(int linkType, const uint8_t* data, size_t length, size_t wireLength)
{
    size_t offset = 0;
    uint16_t etherType = 0;
    if (!networkHeader(linkType, data, length, offset, etherType))
        return std::nullopt;
    wireLength = std::max(wireLength, length);
    const uint8_t* ip = data + offset;
    PacketInfo info;
    uint32_t claimed = 0;
    if (etherType == EtherArp && linkType == DLT_EN10MB) {
        return parseArp(ip, length - offset);
    } else if (etherType == EtherIPv4) {
        if (length < offset + 20 || (ip[0] >> 4) != 4 || (ip[0] & 0x0F) < 5)
            return std::nullopt;
        claimed = be16(ip + 2);
        if (claimed < 20)
            return std::nullopt;
        info.source = HostAddress::fromIPv4(be32(ip + 12));
        info.destination = HostAddress::fromIPv4(be32(ip + 16));
    } else if (etherType == EtherIPv6) {
        if (length < offset + 40 || (ip[0] >> 4) != 6)
            return std::nullopt;
        claimed = 40u + be16(ip + 4);
        info.source = HostAddress::fromIPv6(ip + 8);
        info.destination = HostAddress::fromIPv6(ip + 24);
    } else {
        return std::nullopt;
    }
    // A header may claim more than the frame carried; only what was on the wire is counted.
    if (wireLength != SIZE_MAX)
        claimed = uint32_t(std::min<size_t>(claimed, wireLength - offset));
    info.bytes = claimed;
    if (linkType == DLT_EN10MB) {
        info.haveMacs = true;
        info.destinationMac = macAt(data);
        info.sourceMac = macAt(data + 6);
    }
    return info;
}

std::string KernelDropNotice(uint64_t previous, uint64_t now, int intervalSeconds)
{
    if (now <= previous)
        return {};
    return "the kernel dropped " + std::to_string(now - previous) + " packets in the last "
        + std::to_string(intervalSeconds) + " s (" + std::to_string(now)
        + " since the start): the service reads too slowly, so the totals miss that traffic";
}

void CountPacket(TrafficCounter& counter, const NetworkList& networks, MacBindings& macs, const PacketInfo& packet)
{
    if (packet.kind == PacketInfo::Kind::Arp) {
        if (networks.isHost(packet.source))
            macs.learnFromArp(packet.sourceMac, packet.source);
        return;
    }
    const bool fromHost = networks.isHost(packet.source);
    const bool toHost = networks.isHost(packet.destination);
    if (packet.source.isIPv4()) {
        if (fromHost && packet.haveMacs)
            macs.learnFromIPv4(packet.sourceMac, packet.source);
        if (fromHost)
            counter.addSent(packet.source, packet.bytes);
        if (toHost)
            counter.addReceived(packet.destination, packet.bytes);
        return;
    }
    auto owner = [&](const HostAddress& address, const MacAddress& mac) {
        if (packet.haveMacs)
            if (auto v4 = macs.addressOf(mac))
                return *v4;
        return address;
    };
    if (fromHost)
        counter.addSent(owner(packet.source, packet.sourceMac), packet.bytes);
    if (toHost)
        counter.addReceived(owner(packet.destination, packet.destinationMac), packet.bytes);
}

void CountPacket(TrafficCounter& counter, const NetworkList& networks, const PacketInfo& packet)
{
    MacBindings none;
    CountPacket(counter, networks, none, packet);
}

PacketCapture::PacketCapture(pcap* handle)
    : handle_(handle)
{
}

PacketCapture::PacketCapture(PacketCapture&& other) noexcept
    : handle_(other.handle_)
    , packets_(other.packets_.load())
    , fileBytes_(other.fileBytes_)
    , fileBuffer_(std::move(other.fileBuffer_))
{
    other.handle_ = nullptr;
}

PacketCapture::~PacketCapture()
{
    if (handle_)
        pcap_close(handle_);
}

PacketCapture PacketCapture::openInterface(const std::string& interface)
{
    char error[PCAP_ERRBUF_SIZE] = "";
    pcap_t* p = pcap_create(interface.c_str(), error);
    if (!p)
        throw Exception("cannot capture on " + interface + ": " + error);
    PacketCapture capture(p);
    pcap_set_snaplen(p, 256);
    pcap_set_promisc(p, 1);
    pcap_set_timeout(p, 100);
    pcap_set_buffer_size(p, 8 << 20);
    int status = pcap_activate(p);
    if (status == PCAP_ERROR_NO_SUCH_DEVICE)
        throw Exception("no such interface: " + interface);
    if (status == PCAP_ERROR_PERM_DENIED || status == PCAP_ERROR_PROMISC_PERM_DENIED)
        throw Exception("no permission to capture on " + interface + " (" + pcap_geterr(p) + ")\n" + capabilityHint());
    if (status < 0)
        throw Exception("cannot capture on " + interface + ": " + pcap_geterr(p));
    requireReadableLinkType(p, "interface " + interface);
    // ARP tells which IPv4 address a MAC address uses; links without it only know the first two.
    bpf_program filter;
    if (pcap_compile(p, &filter, "ip or ip6 or arp", 1, PCAP_NETMASK_UNKNOWN) == 0
        || pcap_compile(p, &filter, "ip or ip6", 1, PCAP_NETMASK_UNKNOWN) == 0) {
        pcap_setfilter(p, &filter);
        pcap_freecode(&filter);
    }
    return capture;
}

PacketCapture PacketCapture::openFile(const std::string& path)
{
    char error[PCAP_ERRBUF_SIZE] = "";
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw Exception("cannot read capture file " + path + ": " + std::strerror(errno));
    // libpcap reads each packet in two small reads; a large buffer spares most of the system calls.
    // The stream is given one: asked only for a size, it keeps reading 4 KB at a time. Only the
    // capture's own thread reads the file, so the stream need not lock itself for each read either.
    constexpr size_t BufferBytes = 256 << 10;
    auto buffer = std::make_unique<char[]>(BufferBytes);
    std::setvbuf(file, buffer.get(), _IOFBF, BufferBytes);
    __fsetlocking(file, FSETLOCKING_BYCALLER);
    pcap_t* p = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_MICRO, error);
    if (!p) {
        std::fclose(file);
        throw Exception("cannot read capture file " + path + ": " + error);
    }
    PacketCapture capture(p);
    capture.fileBuffer_ = std::move(buffer);
    requireReadableLinkType(p, "capture file " + path);
    struct stat info { };
    if (fstat(fileno(pcap_file(p)), &info) == 0)
        capture.fileBytes_ = uint64_t(info.st_size);
    return capture;
}

int PacketCapture::linkType() const
{
    return pcap_datalink(handle_);
}

CaptureStats PacketCapture::stats() const
{
    return { packets_.load(), kernelDrops_.load(), interfaceDrops_.load() };
}

FileProgress PacketCapture::progress() const
{
    return { bytesRead_.load(), fileBytes_ };
}

void PacketCapture::refreshStats()
{
    pcap_stat s {};
    if (pcap_stats(handle_, &s) == 0) {
        kernelDrops_ = s.ps_drop;
        interfaceDrops_ = s.ps_ifdrop;
    }
}

void PacketCapture::stop()
{
    stop_ = true;
    pcap_breakloop(handle_);
}

namespace {

struct DispatchState {
    int linkType;
    std::vector<PacketInfo>* batch;
};

void onPacket(u_char* user, const pcap_pkthdr* header, const u_char* data)
{
    auto* state = reinterpret_cast<DispatchState*>(user);
    if (auto info = ParsePacket(state->linkType, data, header->caplen, header->len))
        state->batch->push_back(*info);
}

} // namespace

std::string PacketCapture::runLive(const Sink& sink)
{
    std::vector<PacketInfo> batch;
    batch.reserve(BatchSize);
    DispatchState state { linkType(), &batch };
    // libpcap's statistics belong to the capturing thread; others read the copies.
    auto nextStats = std::chrono::steady_clock::now();
    while (!stop_) {
        if (std::chrono::steady_clock::now() >= nextStats) {
            refreshStats();
            nextStats += std::chrono::seconds(1);
        }
        int n = pcap_dispatch(handle_, int(BatchSize), onPacket, reinterpret_cast<u_char*>(&state));
        if (n > 0)
            packets_ += uint64_t(n);
        if (!batch.empty()) {
            sink(batch);
            batch.clear();
        }
        if (n == PCAP_ERROR_BREAK)
            break;
        if (n < 0) {
            refreshStats();
            return pcap_geterr(handle_);
        }
    }
    // So that the drops reported after a stop are the final ones.
    refreshStats();
    return {};
}

std::string PacketCapture::runFile(const Sink& sink, double speed)
{
    using Clock = std::chrono::steady_clock;
    std::vector<PacketInfo> batch;
    batch.reserve(BatchSize);
    const int link = linkType();
    const auto start = Clock::now();
    bool haveFirst = false;
    double firstTime = 0;
    pcap_pkthdr* header;
    const u_char* data;
    std::string result;
    // Counted here and published now and then: a shared counter per packet costs more than the
    // packet's parsing. The file position costs a system call, so it is asked for more rarely still,
    // and whenever the replay waits anyway.
    uint64_t packets = packets_;
    auto publishBytesRead = [&] { bytesRead_ = uint64_t(std::max<long>(0, std::ftell(pcap_file(handle_)))); };
    while (!stop_) {
        int status = pcap_next_ex(handle_, &header, &data);
        if (status == PCAP_ERROR_BREAK)
            break;
        if (status < 0) {
            result = pcap_geterr(handle_);
            break;
        }
        ++packets;
        if (speed > 0) {
            double t = double(header->ts.tv_sec) + double(header->ts.tv_usec) * 1e-6;
            if (!haveFirst) {
                haveFirst = true;
                firstTime = t;
            }
            // A packet recorded before the first one (clock steps in the file) is not waited for.
            auto due = start
                + std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(std::max(0.0, t - firstTime) / speed));
            if (due > Clock::now()) {
                packets_ = packets;
                publishBytesRead();
                if (!batch.empty()) {
                    sink(batch);
                    batch.clear();
                }
                while (!stop_ && due > Clock::now())
                    std::this_thread::sleep_for(
                        std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(50)));
            }
        }
        if (auto info = ParsePacket(link, data, header->caplen, header->len))
            batch.push_back(*info);
        if (packets % 64 == 0)
            packets_ = packets;
        if (packets % 4096 == 0)
            publishBytesRead();
        if (batch.size() >= BatchSize) {
            sink(batch);
            batch.clear();
        }
    }
    packets_ = packets;
    if (!batch.empty())
        sink(batch);
    if (result.empty() && !stop_)
        bytesRead_ = fileBytes_;
    return result;
}
