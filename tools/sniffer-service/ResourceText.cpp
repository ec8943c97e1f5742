#include "ResourceText.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace ResourceText {

const char* const ClosingLine = "end of list,-1,-1,0,0";
const char* const BlockEnd = "###";

std::string Header(size_t hostCount)
{
    return "Quorvel sniffer service, " + std::to_string(hostCount) + (hostCount == 1 ? " host" : " hosts");
}

namespace {

// An IPv6 address and four negative 64-bit numbers.
constexpr size_t LongestLine = HostAddress::MaxTextLength + 4 * 21 + 1;

void appendFields(std::string& out, int64_t sendRate, int64_t recvRate, int64_t sent, int64_t received)
{
    char buffer[4 * 21 + 5];
    char* p = buffer;
    const int64_t values[4] = { sendRate, recvRate, sent, received };
    for (int64_t v : values) {
        *p++ = ',';
        p = std::to_chars(p, buffer + sizeof buffer, v).ptr;
    }
    *p++ = '\n';
    out.append(buffer, p);
}

void appendHeader(std::string& out, size_t hostCount)
{
    out += Header(hostCount);
    out += '\n';
}

void appendClosing(std::string& out)
{
    out += ClosingLine;
    out += '\n';
}

// The host lines of a block from line on, until limit is passed; Divisor 0 takes the block's.
template <uint64_t Divisor>
char* writeHostLines(char* p, const char* limit, const HistoryBlock& block, size_t& line, const std::string& addresses,
    const std::vector<uint32_t>& addressStart)
{
    const uint64_t divisor = Divisor ? Divisor : block.divisor;
    const size_t lines = block.order.size();
    for (; line < lines && p < limit; ++line) {
        const uint32_t slot = block.order[line];
        const uint32_t from = addressStart[slot];
        std::memcpy(p, addresses.data() + from, addressStart[slot + 1] - from);
        p += addressStart[slot + 1] - from;
        const uint64_t values[4] = { block.windowSent[slot] / divisor, block.windowReceived[slot] / divisor,
            block.sent[slot], block.received[slot] };
        for (uint64_t v : values) {
            *p++ = ',';
            p = std::to_chars(p, p + 20, int64_t(v)).ptr;
        }
        *p++ = '\n';
    }
    return p;
}

} // namespace

void AppendHostLine(std::string& out, const HostRow& row)
{
    row.address.appendText(out);
    appendFields(out, row.sendRate, row.recvRate, row.bytesSent, row.bytesReceived);
}

std::string Snapshot(const std::vector<HostRow>& rows)
{
    std::string out;
    appendHeader(out, rows.size());
    // Lines are written straight into room for the longest ones, a batch at a time, then trimmed:
    // 65,536 hosts make a quarter of a million appends otherwise.
    constexpr size_t batch = 512;
    out.reserve(out.size() + rows.size() * 56 + 64);
    for (size_t first = 0; first < rows.size(); first += batch) {
        const size_t used = out.size();
        const size_t last = std::min(rows.size(), first + batch);
        out.resize(used + (last - first) * LongestLine);
        char* p = out.data() + used;
        for (size_t i = first; i < last; ++i) {
            const HostRow& row = rows[i];
            p = row.address.writeText(p);
            for (int64_t v : { row.sendRate, row.recvRate, row.bytesSent, row.bytesReceived }) {
                *p++ = ',';
                p = std::to_chars(p, p + 20, v).ptr;
            }
            *p++ = '\n';
        }
        out.resize(size_t(p - out.data()));
    }
    appendClosing(out);
    return out;
}

std::string History(const HistoryView& view)
{
    HistoryWriter writer(view);
    std::string out;
    for (;;) {
        size_t before = out.size();
        writer.write(out, 1 << 20);
        if (out.size() == before)
            break;
    }
    return out;
}

HistoryWriter::HistoryWriter(HistoryView view)
    : blocks_(std::move(view))
{
    // Address texts are made once per host, not once per block.
    const auto& hosts = blocks_.view().hosts;
    addressStart_.reserve(hosts.size() + 1);
    for (const auto& host : hosts) {
        addressStart_.push_back(uint32_t(addresses_.size()));
        if (host.firstSecond != INT64_MAX)
            host.address.appendText(addresses_);
    }
    addressStart_.push_back(uint32_t(addresses_.size()));
}

void HistoryWriter::write(std::string& out, size_t want)
{
    // Room for the longest line past want: lines are written straight into it, then it is trimmed.
    const size_t start = out.size();
    out.resize(start + want + LongestLine);
    char* p = out.data() + start;
    char* const limit = p + std::max<size_t>(want, 1);
    auto put = [&p](const char* text, size_t length) {
        std::memcpy(p, text, length);
        p += length;
    };
    while (p < limit) {
        if (!inBlock_) {
            if (!blocks_.next())
                break;
            inBlock_ = true;
            line_ = 0;
            std::string head = Header(blocks_.block().size());
            put(head.data(), head.size());
            *p++ = '\n';
            continue;
        }
        const HistoryBlock block = blocks_.block();
        const size_t lines = block.order.size();
        // Every block after the first four averages over five seconds; a constant divides faster.
        if (block.divisor == TrafficCounter::AverageSeconds)
            p = writeHostLines<TrafficCounter::AverageSeconds>(p, limit, block, line_, addresses_, addressStart_);
        else
            p = writeHostLines<0>(p, limit, block, line_, addresses_, addressStart_);
        // Like every line, the closing line and "###" start before the limit, so they fit the room.
        if (line_ < lines || p >= limit)
            break;
        for (const char* tail : { ClosingLine, "\n", BlockEnd, "\n" })
            put(tail, std::strlen(tail));
        inBlock_ = false;
    }
    out.resize(size_t(p - out.data()));
}

std::string NameList(const std::map<HostAddress, std::string>& names)
{
    std::string out;
    for (const auto& [address, name] : names) {
        if (name.empty())
            continue;
        out += address.text();
        out += '=';
        out += name;
        out += '\n';
    }
    return out;
}

} // namespace ResourceText
