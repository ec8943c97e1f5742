#include "MetricsText.h"

#include <algorithm>

namespace {

void family(std::string& out, const char* name, const char* type, const char* help)
{
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void sample(std::string& out, const char* name, const std::string& labels, uint64_t value)
{
    out += name;
    if (!labels.empty()) {
        out += '{';
        out += labels;
        out += '}';
    }
    out += ' ';
    out += std::to_string(value);
    out += '\n';
}

void single(std::string& out, const char* name, const char* type, const char* help, uint64_t value)
{
    family(out, name, type, help);
    sample(out, name, {}, value);
}

std::string label(const char* name, std::string_view value)
{
    return std::string(name) + "=" + MetricsLabelValue(value);
}

} // namespace

std::string MetricsLabelValue(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (byte >= 0x80) {
            out += char(0xC0 | (byte >> 6));
            out += char(0x80 | (byte & 0x3F));
        } else
            out += c;
    }
    out += '"';
    return out;
}

std::string MetricsText(const MetricsInput& input)
{
    std::vector<const HostRow*> hosts;
    hosts.reserve(input.hosts.size());
    for (const auto& row : input.hosts)
        hosts.push_back(&row);
    std::sort(hosts.begin(), hosts.end(), [](const HostRow* a, const HostRow* b) { return a->address < b->address; });

    // Identity labels of each host; the counters add the date the host was first counted, so that a
    // host given up at the cap and seen again later starts a new series instead of going backwards.
    std::vector<std::string> identity(hosts.size()), counterLabels(hosts.size());
    for (size_t i = 0; i < hosts.size(); ++i) {
        identity[i] = label("address", hosts[i]->address.text());
        auto name = input.names.find(hosts[i]->address);
        if (name != input.names.end() && !name->second.empty())
            identity[i] += "," + label("name", name->second);
        counterLabels[i] = identity[i] + ","
            + label("first_seen", std::to_string(input.firstSecondTime + int64_t(hosts[i]->firstSecond)));
    }

    std::string out;
    out.reserve(512 + hosts.size() * 4 * 96);
    auto perHost = [&](const char* name, const char* type, const char* help, bool counter, auto value) {
        family(out, name, type, help);
        for (size_t i = 0; i < hosts.size(); ++i)
            sample(
                out, name, counter ? counterLabels[i] : identity[i], uint64_t(std::max<int64_t>(0, value(*hosts[i]))));
    };
    perHost("quorvel_sniffer_host_received_bytes_total", "counter",
        "Bytes received by a local host since it was first counted (first_seen, Unix time).", true,
        [](const HostRow& r) { return r.bytesReceived; });
    perHost("quorvel_sniffer_host_sent_bytes_total", "counter",
        "Bytes sent by a local host since it was first counted (first_seen, Unix time).", true,
        [](const HostRow& r) { return r.bytesSent; });
    perHost("quorvel_sniffer_host_receive_bytes_per_second", "gauge",
        "Receive rate of a local host over the last five seconds.", false, [](const HostRow& r) { return r.recvRate; });
    perHost("quorvel_sniffer_host_send_bytes_per_second", "gauge",
        "Send rate of a local host over the last five seconds.", false, [](const HostRow& r) { return r.sendRate; });

    single(out, "quorvel_sniffer_hosts", "gauge", "Hosts tracked now.", input.hostsTracked);
    single(out, "quorvel_sniffer_hosts_evicted_total", "counter",
        "Idle hosts given up to make room for new ones at the host cap.", input.hostsEvicted);
    family(out, "quorvel_sniffer_evicted_host_bytes_total", "counter",
        "Bytes that hosts given up at the cap had counted; add it to the per-host sums for a total that "
        "never shrinks.");
    sample(out, "quorvel_sniffer_evicted_host_bytes_total", "direction=\"received\"", input.evictedReceived);
    sample(out, "quorvel_sniffer_evicted_host_bytes_total", "direction=\"sent\"", input.evictedSent);

    single(out, "quorvel_sniffer_capture_packets_total", "counter", "Packets the capture handed to the service.",
        input.packetsSeen);
    single(out, "quorvel_sniffer_capture_kernel_dropped_packets_total", "counter",
        "Packets the kernel dropped because the service did not read them in time.", input.kernelDrops);
    single(out, "quorvel_sniffer_capture_interface_dropped_packets_total", "counter",
        "Packets the network interface or its driver dropped.", input.interfaceDrops);
    if (input.replaying) {
        single(out, "quorvel_sniffer_replay_file_bytes", "gauge", "Size of the capture file being replayed.",
            input.fileBytes);
        single(out, "quorvel_sniffer_replay_read_bytes", "gauge", "Bytes of the capture file read so far.",
            input.fileBytesRead);
        single(out, "quorvel_sniffer_replay_finished", "gauge", "1 once the whole capture file has been replayed.",
            input.replayFinished ? 1 : 0);
    }

    family(out, "quorvel_sniffer_http_requests_total", "counter", "Requests served, per resource.");
    for (const auto& [resource, count] : input.requests)
        sample(out, "quorvel_sniffer_http_requests_total", label("resource", resource), count);
    single(out, "quorvel_sniffer_http_refused_requests_total", "counter",
        "Requests refused because the client is not in the allow list.", input.refusedRequests);

    family(out, "quorvel_sniffer_build_info", "gauge", "Version and mode of the running service.");
    sample(out, "quorvel_sniffer_build_info", label("version", input.version) + "," + label("mode", input.mode), 1);
    return out;
}
