#include "MacBindings.h"

namespace {

uint64_t key(const MacAddress& mac)
{
    uint64_t k = 0;
    for (uint8_t b : mac)
        k = (k << 8) | b;
    return k;
}

// Group addresses (multicast, broadcast) never belong to one machine.
bool isUnicast(const MacAddress& mac)
{
    return (mac[0] & 1) == 0;
}

} // namespace

MacBindings::Binding* MacBindings::slotFor(const MacAddress& mac)
{
    if (!isUnicast(mac))
        return nullptr;
    auto it = bindings_.find(key(mac));
    if (it != bindings_.end())
        return &it->second;
    // A segment has far fewer machines; a flood of made-up MACs must not grow memory for ever.
    if (bindings_.size() >= MaxBindings) {
        bindings_.clear();
        lastKey_ = UINT64_MAX;
    }
    return &bindings_[key(mac)];
}

void MacBindings::learnFromArp(const MacAddress& mac, const HostAddress& address)
{
    if (auto* b = slotFor(mac))
        *b = { address, true, false };
}

void MacBindings::learnFromIPv4(const MacAddress& mac, const HostAddress& address)
{
    if (key(mac) == lastKey_ && address == lastAddress_)
        return;
    lastKey_ = key(mac);
    lastAddress_ = address;
    auto* b = slotFor(mac);
    if (!b || b->fromArp || b->ambiguous)
        return;
    if (b->address == HostAddress())
        b->address = address;
    else if (b->address != address)
        b->ambiguous = true;
}

std::optional<HostAddress> MacBindings::addressOf(const MacAddress& mac) const
{
    auto it = bindings_.find(key(mac));
    if (it == bindings_.end() || it->second.ambiguous || it->second.address == HostAddress())
        return std::nullopt;
    return it->second.address;
}
