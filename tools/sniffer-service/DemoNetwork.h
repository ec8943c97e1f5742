#pragma once

#include "HostAddress.h"
#include "TrafficCounter.h"

#include <cstdint>
#include <string>
#include <vector>

// A simulated office network: a backup, a video call, a large download that starts and stops,
// many light users, some idle machines and a few without names. The traffic of every host in
// every second depends only on the seed, the host and the second, so a run is repeatable.
class DemoNetwork {
public:
    static constexpr size_t DefaultHosts = 45;

    DemoNetwork(size_t hostCount, uint64_t seed);

    // Adds the traffic of the given second to the counter (the caller ticks).
    void step(TrafficCounter& counter, uint64_t second) const;
    // Runs seconds 0 .. count-1 and ticks after each, so that a fresh service has a full history.
    void prefill(TrafficCounter& counter, uint64_t count) const;

    size_t hostCount() const { return hosts_.size(); }
    HostAddress address(size_t host) const { return hosts_[host].address; }
    const std::string& name(size_t host) const { return hosts_[host].name; }
    // The range the simulated addresses lie in.
    NetworkList networks() const;

private:
    enum class Role { Backup, VideoCall, Download, Light, Idle };
    struct Host {
        HostAddress address;
        std::string name;
        Role role;
    };
    uint64_t random(size_t host, uint64_t second, uint64_t salt) const;
    // Uniform in [low, high].
    uint64_t between(size_t host, uint64_t second, uint64_t salt, uint64_t low, uint64_t high) const;

    uint64_t seed_;
    bool wideRange_;
    std::vector<Host> hosts_;
};
