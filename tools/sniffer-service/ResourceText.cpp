#include "ResourceText.h"

#include <charconv>

namespace ResourceText {

const char* const ClosingLine = "end of list,-1,-1,0,0";
const char* const BlockEnd = "###";

std::string Header(size_t hostCount)
{
    return "Quorvel sniffer service, " + std::to_string(hostCount) + (hostCount == 1 ? " host" : " hosts");
}

static void appendNumber(std::string& out, int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendHostLine(std::string& out, std::string_view address, const HostRow& row)
{
    out.append(address);
    out += ',';
    appendNumber(out, row.sendRate);
    out += ',';
    appendNumber(out, row.recvRate);
    out += ',';
    appendNumber(out, row.bytesSent);
    out += ',';
    appendNumber(out, row.bytesReceived);
    out += '\n';
}

static void appendSnapshot(std::string& out, const std::vector<HostRow>& rows)
{
    out += Header(rows.size());
    out += '\n';
    for (const auto& row : rows)
        AppendHostLine(out, row.address.text(), row);
    out += ClosingLine;
    out += '\n';
}

std::string Snapshot(const std::vector<HostRow>& rows)
{
    std::string out;
    out.reserve(64 + rows.size() * 48);
    appendSnapshot(out, rows);
    return out;
}

std::string History(const HistoryView& view)
{
    // Address texts are made once per host, not once per block.
    std::unordered_map<HostAddress, std::string, HostAddressHash> texts;
    texts.reserve(view.hosts.size());
    for (const auto& h : view.hosts)
        if (h.firstSecond != INT64_MAX)
            texts.emplace(h.address, h.address.text());

    std::string out;
    ForEachHistoryBlock(view, [&](const std::vector<HostRow>& rows) {
        if (out.empty())
            out.reserve(size_t(TrafficCounter::HistorySeconds) * (80 + rows.size() * 48));
        out += Header(rows.size());
        out += '\n';
        for (const auto& row : rows)
            AppendHostLine(out, texts[row.address], row);
        out += ClosingLine;
        out += '\n';
        out += BlockEnd;
        out += '\n';
    });
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
