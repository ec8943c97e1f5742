#include "support/SnapshotText.h"

#include "service/LineSplitting.h"

std::string HostLine(const Host& h)
{
    return h.address + "," + std::to_string(h.send) + "," + std::to_string(h.recv) + "," + std::to_string(h.sent) + ","
        + std::to_string(h.received);
}

std::string Snapshot(const std::vector<Host>& hosts)
{
    std::string s = "Quorvel test service, " + std::to_string(hosts.size()) + " hosts\r\n";
    for (const Host& h : hosts)
        s += HostLine(h) + "\r\n";
    return s + "end\r\n";
}

std::vector<Host> Hosts(int n, int64_t baseRate)
{
    std::vector<Host> hosts;
    for (int i = 0; i < n; ++i) {
        Host h;
        h.address = "198.18." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        h.send = baseRate / (i + 1);
        h.recv = 2 * baseRate / (i + 1);
        h.sent = 1000000 * int64_t(n - i);
        h.received = 2000000 * int64_t(n - i);
        hosts.push_back(h);
    }
    return hosts;
}

TStringList Lines(const std::string& text)
{
    TStringList list;
    ReplaceLines(text, list);
    return list;
}
