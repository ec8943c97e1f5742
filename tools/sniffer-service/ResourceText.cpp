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

} // namespace

void AppendHostLine(std::string& out, const HostRow& row)
{
    row.address.appendText(out);
    appendFields(out, row.sendRate, row.recvRate, row.bytesSent, row.bytesReceived);
}

std::string Snapshot(const std::vector<HostRow>& rows)
{
    std::string out;
    out.reserve(80 + rows.size() * 56);
    appendHeader(out, rows.size());
    for (const auto& row : rows)
        AppendHostLine(out, row);
    appendClosing(out);
    return out;
}

std::string History(const HistoryView& view)
{
    // Address texts are made once per host, not once per block.
    std::vector<std::string> texts(view.hosts.size());
    for (size_t i = 0; i < view.hosts.size(); ++i)
        if (view.hosts[i].firstSecond != INT64_MAX)
            view.hosts[i].address.appendText(texts[i]);

    // Each block is written straight into room made for its longest possible form, then trimmed.
    constexpr size_t longestLine = 45 + 4 * 21 + 1;
    std::string out;
    size_t used = 0;
    ForEachHistoryBlock(view, [&](const HistoryBlock& block) {
        std::string head = Header(block.size());
        size_t room = head.size() + 1 + block.size() * longestLine + std::strlen(ClosingLine) + 1 + 4;
        if (out.size() < used + room)
            out.resize(std::max(used + room, out.size() * 2));
        char* p = out.data() + used;
        std::memcpy(p, head.data(), head.size());
        p += head.size();
        *p++ = '\n';
        for (uint32_t slot : block.order) {
            const std::string& address = texts[slot];
            std::memcpy(p, address.data(), address.size());
            p += address.size();
            const uint64_t values[4] = { block.windowSent[slot] / block.divisor,
                block.windowReceived[slot] / block.divisor, block.sent[slot], block.received[slot] };
            for (uint64_t v : values) {
                *p++ = ',';
                p = std::to_chars(p, p + 21, int64_t(v)).ptr;
            }
            *p++ = '\n';
        }
        for (const char* tail : { ClosingLine, "\n", BlockEnd, "\n" }) {
            size_t length = std::strlen(tail);
            std::memcpy(p, tail, length);
            p += length;
        }
        used = size_t(p - out.data());
    });
    out.resize(used);
    return out;
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
