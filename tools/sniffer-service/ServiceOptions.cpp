#include "ServiceOptions.h"

#include <cmath>
#include <cstdlib>

const char* const ServiceUsage
    = "Usage: sniffer-service --demo [--hosts N] [--seed S] [options]\n"
      "  or:  sniffer-service --interface IF --network CIDR[,CIDR...] [options]\n"
      "  or:  sniffer-service --read FILE.pcap --network CIDR[,CIDR...] [--speed X] [options]\n"
      "Options:\n"
      "  --help, --version   print this text or the version and exit\n"
      "  --listen ADDR:PORT  where to serve (default 127.0.0.1:8080; port 0 picks a free one)\n"
      "  --allow CIDR[,CIDR...]  clients served when ADDR is not a loopback address; others get\n"
      "                    403 and are logged (default 127.0.0.0/8,::1: add the monitors and\n"
      "                    the Prometheus server)\n"
      "  --names FILE        address=name lines for /ip (default: /etc/hosts entries in the "
      "networks)\n"
      "  --resolve           look up names of unnamed hosts in the DNS\n"
      "  --speed X           replay at X times the recorded speed; 0 as fast as possible\n"
      "networks:\n"
      "  --network takes IPv4 and IPv6 prefixes. Their network and broadcast addresses and\n"
      "  multicast groups are not hosts. On Ethernet, the IPv6 traffic of a machine counts under\n"
      "  the IPv4 address its MAC address uses (learned from IPv4 and ARP); machines seen only\n"
      "  over IPv6 are counted under their IPv6 address and shown only in /metrics.\n"
      "metrics:\n"
      "  /metrics serves the counters in the Prometheus text format. When the host table is\n"
      "  full, the host idle longest is given up for a new one: its series leave /metrics and\n"
      "  its bytes move to quorvel_sniffer_evicted_host_bytes_total, so sums never shrink. A host\n"
      "  seen again later starts a new series from zero with a new first_seen label; no counter\n"
      "  of one label set ever goes backwards while the service runs.\n";

namespace {

uint64_t parseUnsigned(const std::string& option, const std::string& text, uint64_t max)
{
    if (text.empty() || text.size() > 20)
        throw UsageError(option + " needs a number, not \"" + text + "\"");
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            throw UsageError(option + " needs a number, not \"" + text + "\"");
        uint64_t digit = uint64_t(c - '0');
        if (value > (max - digit) / 10)
            throw UsageError(option + " must be at most " + std::to_string(max));
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

ServiceOptions ParseServiceOptions(const std::vector<std::string>& args)
{
    ServiceOptions o;
    bool demo = false, hosts = false, seed = false, speed = false;
    std::optional<std::string> networks;
    int modes = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--demo") {
            demo = true;
            o.mode = ServiceOptions::Mode::Demo;
            ++modes;
        } else if (a == "--hosts") {
            o.demoHosts = size_t(parseUnsigned(a, value(), 65536));
            if (o.demoHosts == 0)
                throw UsageError("--hosts must be at least 1");
            hosts = true;
        } else if (a == "--seed") {
            o.seed = parseUnsigned(a, value(), UINT64_MAX);
            seed = true;
        } else if (a == "--interface") {
            o.interface = value();
            if (o.interface.empty())
                throw UsageError("--interface needs an interface name");
            o.mode = ServiceOptions::Mode::Live;
            ++modes;
        } else if (a == "--read") {
            o.captureFile = value();
            if (o.captureFile.empty())
                throw UsageError("--read needs a file name");
            o.mode = ServiceOptions::Mode::File;
            ++modes;
        } else if (a == "--speed") {
            const std::string& text = value();
            char* end = nullptr;
            o.speed = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(o.speed) || o.speed < 0)
                throw UsageError("--speed needs a number of 0 or more, not \"" + text + "\"");
            speed = true;
        } else if (a == "--network") {
            networks = value();
        } else if (a == "--names") {
            o.namesFile = value();
        } else if (a == "--resolve") {
            o.resolve = true;
        } else if (a == "--allow") {
            const std::string& text = value();
            auto list = NetworkList::parse(text);
            if (!list)
                throw UsageError("--allow needs CIDR[,CIDR...], not \"" + text + "\"");
            o.allow = *list;
        } else if (a == "--listen") {
            const std::string& text = value();
            auto colon = text.rfind(':');
            if (colon == std::string::npos || colon == 0)
                throw UsageError("--listen needs ADDR:PORT, not \"" + text + "\"");
            o.listenHost = text.substr(0, colon);
            if (!HostAddress::parse(o.listenHost) && o.listenHost != "localhost")
                throw UsageError("--listen needs a numeric address, not \"" + o.listenHost + "\"");
            o.listenPort = int(parseUnsigned("--listen port", text.substr(colon + 1), 65535));
        } else {
            throw UsageError("unknown option \"" + a + "\"");
        }
    }
    if (o.help || o.version)
        return o;
    if (modes != 1)
        throw UsageError("give exactly one of --demo, --interface and --read");
    if ((hosts || seed) && !demo)
        throw UsageError("--hosts and --seed belong to --demo");
    if (speed && o.mode != ServiceOptions::Mode::File)
        throw UsageError("--speed belongs to --read");
    if (networks && o.mode == ServiceOptions::Mode::Demo)
        throw UsageError("--network belongs to --interface and --read; the demo has its own range");
    if (networks) {
        auto list = NetworkList::parse(*networks);
        if (!list)
            throw UsageError("--network needs CIDR[,CIDR...], not \"" + *networks + "\"");
        o.networks = *list;
    } else if (o.mode != ServiceOptions::Mode::Demo) {
        throw UsageError("--network is needed to tell local hosts from the rest");
    }
    return o;
}
