#include "HostAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>

namespace {

const std::array<uint8_t, 12> MappedPrefix = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff };

std::optional<uint32_t> parseDottedIPv4(std::string_view text)
{
    uint32_t result = 0;
    size_t pos = 0;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        size_t digits = 0;
        uint32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            value = value * 10 + uint32_t(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        result = (result << 8) | value;
    }
    if (pos != text.size())
        return std::nullopt;
    return result;
}

} // namespace

HostAddress HostAddress::fromIPv4(uint32_t address)
{
    HostAddress a;
    std::memcpy(a.bytes_.data(), MappedPrefix.data(), MappedPrefix.size());
    a.bytes_[12] = uint8_t(address >> 24);
    a.bytes_[13] = uint8_t(address >> 16);
    a.bytes_[14] = uint8_t(address >> 8);
    a.bytes_[15] = uint8_t(address);
    return a;
}

HostAddress HostAddress::fromIPv6(const uint8_t* bytes)
{
    HostAddress a;
    std::memcpy(a.bytes_.data(), bytes, 16);
    return a;
}

std::optional<HostAddress> HostAddress::parse(std::string_view text)
{
    if (auto v4 = parseDottedIPv4(text))
        return fromIPv4(*v4);
    if (text.find(':') == std::string_view::npos || text.size() > 45)
        return std::nullopt;
    std::string copy(text);
    uint8_t bytes[16];
    if (inet_pton(AF_INET6, copy.c_str(), bytes) != 1)
        return std::nullopt;
    return fromIPv6(bytes);
}

std::string HostAddress::text() const
{
    std::string s;
    appendText(s);
    return s;
}

void HostAddress::appendText(std::string& out) const
{
    char buffer[MaxTextLength];
    out.append(buffer, writeText(buffer));
}

char* HostAddress::writeText(char* p) const
{
    if (isIPv4()) {
        // Snapshots write millions of addresses; this avoids a temporary per group.
        for (int i = 12; i < 16; ++i) {
            if (i > 12)
                *p++ = '.';
            unsigned v = bytes_[size_t(i)];
            if (v >= 100)
                *p++ = char('0' + v / 100);
            if (v >= 10)
                *p++ = char('0' + v / 10 % 10);
            *p++ = char('0' + v % 10);
        }
        return p;
    }
    char buffer[INET6_ADDRSTRLEN];
    inet_ntop(AF_INET6, bytes_.data(), buffer, sizeof buffer);
    size_t length = std::min(std::strlen(buffer), MaxTextLength);
    std::memcpy(p, buffer, length);
    return p + length;
}

size_t HostAddress::hash() const
{
    uint64_t hi, lo;
    std::memcpy(&hi, bytes_.data(), 8);
    std::memcpy(&lo, bytes_.data() + 8, 8);
    uint64_t h = (lo ^ (hi * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
    return size_t(h ^ (h >> 31));
}

std::optional<Network> Network::parse(std::string_view text)
{
    Network n;
    auto slash = text.find('/');
    auto address = HostAddress::parse(text.substr(0, slash));
    if (!address)
        return std::nullopt;
    int maxPrefix = address->isIPv4() ? 32 : 128;
    int prefix = maxPrefix;
    if (slash != std::string_view::npos) {
        auto digits = text.substr(slash + 1);
        if (digits.empty() || digits.size() > 3)
            return std::nullopt;
        prefix = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            prefix = prefix * 10 + (c - '0');
        }
        if (prefix > maxPrefix)
            return std::nullopt;
    }
    n.prefix_ = address->isIPv4() ? prefix + 96 : prefix;
    n.base_ = *address;
    // Clear host bits so that "10.0.0.7/24" means the whole 10.0.0.0/24.
    auto bytes = n.base_.bytes();
    std::array<uint8_t, 16> mask;
    mask.fill(0xFF);
    for (int bit = n.prefix_; bit < 128; ++bit) {
        bytes[size_t(bit / 8)] &= uint8_t(~(0x80u >> (bit % 8)));
        mask[size_t(bit / 8)] &= uint8_t(~(0x80u >> (bit % 8)));
    }
    n.base_ = HostAddress::fromIPv6(bytes.data());
    std::memcpy(n.mask_, mask.data(), sizeof n.mask_);
    return n;
}

bool Network::contains(const HostAddress& address) const
{
    return ((address.word(0) & mask_[0]) ^ base_.word(0)) == 0 && ((address.word(1) & mask_[1]) ^ base_.word(1)) == 0;
}

bool Network::isNetworkOrBroadcast(const HostAddress& address) const
{
    if (!base_.isIPv4() || prefix_ > 96 + 30 || !contains(address))
        return false;
    uint32_t hostBits = (prefix_ == 96) ? UINT32_MAX : (uint32_t(1) << (128 - prefix_)) - 1;
    uint32_t host = address.ipv4() & hostBits;
    return host == 0 || host == hostBits;
}

std::string Network::text() const
{
    return base_.text() + "/" + std::to_string(base_.isIPv4() ? prefix_ - 96 : prefix_);
}

std::optional<NetworkList> NetworkList::parse(std::string_view text)
{
    NetworkList list;
    size_t start = 0;
    while (start <= text.size()) {
        auto comma = text.find(',', start);
        auto item = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        auto network = Network::parse(item);
        if (!network)
            return std::nullopt;
        list.add(*network);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (list.empty())
        return std::nullopt;
    return list;
}

bool NetworkList::contains(const HostAddress& address) const
{
    for (const auto& n : networks_)
        if (n.contains(address))
            return true;
    return false;
}

bool NetworkList::isHost(const HostAddress& address) const
{
    if (address.isMulticast())
        return false;
    bool inside = false;
    for (const auto& n : networks_) {
        if (!n.contains(address))
            continue;
        if (n.isNetworkOrBroadcast(address))
            return false;
        inside = true;
    }
    return inside;
}
