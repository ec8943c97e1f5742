#include "PacketCapture.h"

#include "base/Exception.h"

#include <chrono>
#include <pcap/pcap.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t BatchSize = 4096;

uint16_t be16(const uint8_t* p)
{
    return uint16_t((p[0] << 8) | p[1]);
}

uint32_t be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
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
        while ((etherType == 0x8100 || etherType == 0x88A8) && length >= offset + 4) {
            etherType = be16(data + offset + 2);
            offset += 4;
        }
        return true;
    case DLT_RAW:
#ifdef DLT_IPV4
    case DLT_IPV4:
#endif
        offset = 0;
        etherType = length > 0 && (data[0] >> 4) == 4 ? 0x0800 : 0;
        return true;
    case DLT_LINUX_SLL:
        if (length < 16)
            return false;
        offset = 16;
        etherType = be16(data + 14);
        return true;
#ifdef DLT_LINUX_SLL2
    case DLT_LINUX_SLL2:
        if (length < 20)
            return false;
        offset = 20;
        etherType = be16(data);
        return true;
#endif
    case DLT_NULL:
    case DLT_LOOP: {
        if (length < 4)
            return false;
        offset = 4;
        // The family is in host order for DLT_NULL and network order for DLT_LOOP; 2 is AF_INET.
        uint32_t family = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t(data[3]) << 24);
        etherType = (family == 2 || family == 0x02000000) ? 0x0800 : 0;
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

} // namespace

std::optional<PacketInfo> ParsePacket(int linkType, const uint8_t* data, size_t length)
{
    size_t offset = 0;
    uint16_t etherType = 0;
    if (!networkHeader(linkType, data, length, offset, etherType) || etherType != 0x0800)
        return std::nullopt;
    if (length < offset + 20)
        return std::nullopt;
    const uint8_t* ip = data + offset;
    if ((ip[0] >> 4) != 4 || (ip[0] & 0x0F) < 5)
        return std::nullopt;
    PacketInfo info;
    info.bytes = be16(ip + 2);
    if (info.bytes < 20)
        return std::nullopt;
    info.source = HostAddress::fromIPv4(be32(ip + 12));
    info.destination = HostAddress::fromIPv4(be32(ip + 16));
    return info;
}

void CountPacket(TrafficCounter& counter, const NetworkList& networks, const PacketInfo& packet)
{
    if (networks.contains(packet.source))
        counter.addSent(packet.source, packet.bytes);
    if (networks.contains(packet.destination))
        counter.addReceived(packet.destination, packet.bytes);
}

PacketCapture::PacketCapture(pcap* handle)
    : m_handle(handle)
{
}

PacketCapture::PacketCapture(PacketCapture&& other) noexcept
    : m_handle(other.m_handle)
    , m_packets(other.m_packets)
{
    other.m_handle = nullptr;
}

PacketCapture::~PacketCapture()
{
    if (m_handle)
        pcap_close(m_handle);
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
    bpf_program filter;
    if (pcap_compile(p, &filter, "ip", 1, PCAP_NETMASK_UNKNOWN) == 0) {
        pcap_setfilter(p, &filter);
        pcap_freecode(&filter);
    }
    return capture;
}

PacketCapture PacketCapture::openFile(const std::string& path)
{
    char error[PCAP_ERRBUF_SIZE] = "";
    pcap_t* p = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, error);
    if (!p)
        throw Exception("cannot read capture file " + path + ": " + error);
    return PacketCapture(p);
}

int PacketCapture::linkType() const
{
    return pcap_datalink(m_handle);
}

void PacketCapture::stop()
{
    m_stop = true;
    pcap_breakloop(m_handle);
}

namespace {

struct DispatchState {
    int linkType;
    std::vector<PacketInfo>* batch;
};

void onPacket(u_char* user, const pcap_pkthdr* header, const u_char* data)
{
    auto* state = reinterpret_cast<DispatchState*>(user);
    if (auto info = ParsePacket(state->linkType, data, header->caplen))
        state->batch->push_back(*info);
}

} // namespace

std::string PacketCapture::runLive(const Sink& sink)
{
    std::vector<PacketInfo> batch;
    batch.reserve(BatchSize);
    DispatchState state { linkType(), &batch };
    while (!m_stop) {
        int n = pcap_dispatch(m_handle, int(BatchSize), onPacket, reinterpret_cast<u_char*>(&state));
        if (n > 0)
            m_packets += uint64_t(n);
        if (!batch.empty()) {
            sink(batch);
            batch.clear();
        }
        if (n == PCAP_ERROR_BREAK)
            break;
        if (n < 0)
            return pcap_geterr(m_handle);
    }
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
    while (!m_stop) {
        int status = pcap_next_ex(m_handle, &header, &data);
        if (status == PCAP_ERROR_BREAK)
            break;
        if (status < 0) {
            result = pcap_geterr(m_handle);
            break;
        }
        ++m_packets;
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
                if (!batch.empty()) {
                    sink(batch);
                    batch.clear();
                }
                while (!m_stop && due > Clock::now())
                    std::this_thread::sleep_for(
                        std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(50)));
            }
        }
        if (auto info = ParsePacket(link, data, header->caplen))
            batch.push_back(*info);
        if (batch.size() >= BatchSize) {
            sink(batch);
            batch.clear();
        }
    }
    if (!batch.empty())
        sink(batch);
    return result;
}
