#pragma once

#include "HostAddress.h"

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>

using MacAddress = std::array<uint8_t, 6>;

// Which IPv4 address each Ethernet MAC address uses, so that the IPv6 traffic of a dual-stack
// machine counts under its IPv4 row. ARP says it for sure; an IPv4 source address only hints, as a
// router forwards the packets of many addresses with its own MAC: a MAC seen with two of them is
// no longer trusted until ARP speaks.
class MacBindings {
public:
    static constexpr size_t MaxBindings = 65536;

    void learnFromArp(const MacAddress& mac, const HostAddress& address);
    void learnFromIPv4(const MacAddress& mac, const HostAddress& address);
    std::optional<HostAddress> addressOf(const MacAddress& mac) const;
    size_t size() const { return bindings_.size(); }

private:
    struct Binding {
        HostAddress address;
        bool fromArp = false;
        bool ambiguous = false;
    };
    Binding* slotFor(const MacAddress& mac);
    std::unordered_map<uint64_t, Binding> bindings_;
    // Most frames repeat the last sender; this spares them the table.
    uint64_t lastKey_ = UINT64_MAX;
    HostAddress lastAddress_;
};
