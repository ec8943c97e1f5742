#include "DemoNetwork.h"

namespace {

uint64_t mix(uint64_t x)
{
    // splitmix64's finaliser: the same numbers on every platform and library.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

const char* const People[]
    = { "anna", "ben", "carla", "david", "emma", "felix", "greta", "hugo", "ines", "jonas", "klara", "lukas", "mia",
          "noah", "olga", "paul", "rosa", "sven", "tina", "uwe", "vera", "wim", "xenia", "yann", "zoe" };
const char* const Devices[] = { "printer", "scanner", "voip", "nas", "wifi-ap", "camera" };

// Up to 254 hosts fit the documentation range 192.0.2.0/24; more use the benchmarking range
// 198.18.0.0/15. Neither is ever dialled: the addresses are only text.
constexpr uint32_t SmallBase = 0xC0000200u; // 192.0.2.0
constexpr uint32_t WideBase = 0xC6120000u; // 198.18.0.0

} // namespace

DemoNetwork::DemoNetwork(size_t hostCount, uint64_t seed)
    : seed_(mix(seed))
    , wideRange_(hostCount > 254)
{
    hosts_.reserve(hostCount);
    size_t person = 0, device = 0;
    for (size_t i = 0; i < hostCount; ++i) {
        Host h;
        h.address = HostAddress::fromIPv4((wideRange_ ? WideBase : SmallBase) + uint32_t(i) + 1);
        if (i == 0) {
            h.role = Role::Backup;
            h.name = "backup-nas";
        } else if (i == 1) {
            h.role = Role::VideoCall;
            h.name = "meeting-room";
        } else if (i == 2) {
            h.role = Role::Download;
            h.name = "ws-build";
        } else if (i % 7 == 6) {
            h.role = Role::Idle;
            h.name = std::string(Devices[device % 6]) + "-" + std::to_string(device / 6 + 1);
            ++device;
        } else {
            h.role = Role::Light;
            h.name = "pc-" + std::string(People[person % 25]);
            if (person >= 25)
                h.name += std::to_string(person / 25 + 1);
            ++person;
        }
        // A few machines nobody has named yet.
        if (i % 9 == 4)
            h.name.clear();
        hosts_.push_back(std::move(h));
    }
}

uint64_t DemoNetwork::random(size_t host, uint64_t second, uint64_t salt) const
{
    return mix(seed_ ^ mix(uint64_t(host) * 0x100000001B3ull ^ mix(second * 31 + salt)));
}

uint64_t DemoNetwork::between(size_t host, uint64_t second, uint64_t salt, uint64_t low, uint64_t high) const
{
    return low + random(host, second, salt) % (high - low + 1);
}

void DemoNetwork::step(TrafficCounter& counter, uint64_t second) const
{
    for (size_t i = 0; i < hosts_.size(); ++i) {
        const Host& h = hosts_[i];
        uint64_t sent = 0, received = 0;
        switch (h.role) {
        case Role::Backup:
            sent = between(i, second, 1, 2'200'000, 2'800'000);
            received = between(i, second, 2, 30'000, 50'000);
            break;
        case Role::VideoCall:
            sent = between(i, second, 1, 180'000, 320'000);
            received = between(i, second, 2, 220'000, 420'000);
            break;
        case Role::Download: {
            // Runs for 50 seconds of every 120, with the phase taken from the seed.
            uint64_t phase = (second + seed_ % 120) % 120;
            if (phase < 50) {
                received = between(i, second, 2, 3'500'000, 4'800'000);
                sent = between(i, second, 1, 60'000, 100'000);
            } else {
                received = between(i, second, 2, 0, 3'000);
                sent = between(i, second, 1, 0, 1'500);
            }
            break;
        }
        case Role::Light:
            if (random(i, second, 3) % 10 < 3) {
                received = between(i, second, 2, 5'000, 180'000);
                sent = between(i, second, 1, 1'000, 40'000);
            } else if (random(i, second, 4) % 3 == 0) {
                received = between(i, second, 2, 60, 2'000);
                sent = between(i, second, 1, 60, 1'200);
            }
            break;
        case Role::Idle:
            // Seen once at the start, then only a rare keep-alive.
            if (second == 0 || random(i, second, 3) % 200 == 0) {
                received = between(i, second, 2, 64, 400);
                sent = between(i, second, 1, 64, 400);
            }
            break;
        }
        if (sent)
            counter.addSent(h.address, sent);
        if (received)
            counter.addReceived(h.address, received);
    }
}

void DemoNetwork::prefill(TrafficCounter& counter, uint64_t count) const
{
    for (uint64_t s = 0; s < count; ++s) {
        step(counter, s);
        counter.tick();
    }
}

NetworkList DemoNetwork::networks() const
{
    NetworkList list;
    list.add(*Network::parse(wideRange_ ? "198.18.0.0/15" : "192.0.2.0/24"));
    return list;
}
