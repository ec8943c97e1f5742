// Frames as a capture hands them to the service: written into a capture file of the link type
// the first byte picks, replayed through the service's capture reader, counted for the local
// networks and served as a snapshot and a history. After the first byte, each frame is a 16-bit
// captured length, a 16-bit count of bytes the wire had beyond it, then the captured bytes.
#include "FuzzSupport.h"

#include "PacketCapture.h"
#include "ResourceText.h"
#include "TrafficCounter.h"
#include "base/Exception.h"

#include <pcap/pcap.h>

namespace {

void put32(std::string& out, uint32_t v)
{
    out.append(reinterpret_cast<const char*>(&v), 4);
}

void put16(std::string& out, uint16_t v)
{
    out.append(reinterpret_cast<const char*>(&v), 2);
}

std::string captureFile(const uint8_t* data, size_t size)
{
    static const int linkTypes[] = { DLT_EN10MB, DLT_RAW, DLT_LINUX_SLL, DLT_LINUX_SLL2, DLT_NULL, DLT_LOOP, DLT_IPV4,
        DLT_IPV6, DLT_PPP, DLT_IEEE802_11_RADIO };
    std::string file;
    put32(file, 0xa1b2c3d4);
    put16(file, 2);
    put16(file, 4);
    put32(file, 0);
    put32(file, 0);
    put32(file, 65535);
    put32(file, uint32_t(linkTypes[data[0] % std::size(linkTypes)]));
    size_t pos = 1;
    uint32_t usec = 0;
    while (pos + 4 <= size) {
        const size_t captured = std::min<size_t>(size - pos - 4, (size_t(data[pos]) << 8) | data[pos + 1]);
        const size_t beyond = (size_t(data[pos + 2]) << 8) | data[pos + 3];
        pos += 4;
        put32(file, 1700000000);
        put32(file, usec++);
        put32(file, uint32_t(captured));
        put32(file, uint32_t(captured + beyond));
        file.append(reinterpret_cast<const char*>(data + pos), captured);
        pos += captured;
    }
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    qtm_fuzz::TMemoryFile file(captureFile(data, size));
    static const NetworkList networks = *NetworkList::parse("10.0.0.0/8,192.168.0.0/16,198.18.0.0/15");
    TrafficCounter counter(64);
    try {
        PacketCapture capture = PacketCapture::openFile(file.Path());
        capture.runFile(
            [&](const std::vector<PacketInfo>& batch) {
                for (const PacketInfo& packet : batch)
                    CountPacket(counter, networks, packet);
                counter.tick();
            },
            0);
    } catch (const Exception&) {
        // A file the service cannot read is refused with a message at start.
        return 0;
    }
    counter.tick();
    ResourceText::Snapshot(counter.snapshot(TrafficCounter::RateWindow::LastSecond));
    ResourceText::History(counter.historyView());
    return 0;
}
