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
    auto it = m_bindings.find(key(mac));
    if (it != m_bindings.end())
        return &it->second;
    // A segment has far fewer machines; a flood of made-up MACs must not grow memory for ever.
    if (m_bindings.size() >= MaxBindings) {
        m_bindings.clear();
        m_lastKey = UINT64_MAX;
    }
    return &m_bindings[key(mac)];
}

void MacBindings::learnFromArp(const MacAddress& mac, const HostAddress& address)
{
    if (auto* b = slotFor(mac))
        *b = { address, true, false };
}

void MacBindings::learnFromIPv4(const MacAddress& mac, const HostAddress& address)
{
    if (key(mac) == m_lastKey && address == m_lastAddress)
        return;
    m_lastKey = key(mac);
    m_lastAddress = address;
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
    auto it = m_bindings.find(key(mac));
    if (it == m_bindings.end() || it->second.ambiguous || it->second.address == HostAddress())
        return std::nullopt;
    return it->second.address;
}
