#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A host's address. IPv4 is held as an IPv4-mapped IPv6 address, so that IPv6 hosts can share
// the same tables later without a second key type.
class HostAddress {
public:
    HostAddress() = default;
    static HostAddress fromIPv4(uint32_t address);
    static HostAddress fromIPv6(const uint8_t* bytes);
    // Dotted IPv4 (groups of 1 to 3 digits, leading zeros allowed) or IPv6 text.
    static std::optional<HostAddress> parse(std::string_view text);

    // These few run for every captured packet, so they are inline and compare words, not bytes.
    bool isIPv4() const
    {
        static constexpr uint8_t mapped[4] = { 0, 0, 0xFF, 0xFF };
        uint32_t have, want;
        std::memcpy(&have, bytes_.data() + 8, 4);
        std::memcpy(&want, mapped, 4);
        return word(0) == 0 && have == want;
    }
    // 224.0.0.0/4 and ff00::/8: groups, not machines.
    bool isMulticast() const { return isIPv4() ? (bytes_[12] & 0xF0) == 0xE0 : bytes_[0] == 0xFF; }
    uint32_t ipv4() const
    {
        return (uint32_t(bytes_[12]) << 24) | (uint32_t(bytes_[13]) << 16) | (uint32_t(bytes_[14]) << 8)
            | uint32_t(bytes_[15]);
    }
    // The address as two words in memory order, for masking.
    uint64_t word(int i) const
    {
        uint64_t w;
        std::memcpy(&w, bytes_.data() + 8 * i, 8);
        return w;
    }
    const std::array<uint8_t, 16>& bytes() const { return bytes_; }
    // Dotted decimal for IPv4, exactly as the host lines write it.
    std::string text() const;
    void appendText(std::string& out) const;
    // The same text written at out, which has room for MaxTextLength characters; returns its end.
    char* writeText(char* out) const;
    static constexpr size_t MaxTextLength = 45;

    bool operator==(const HostAddress& other) const
    {
        return ((word(0) ^ other.word(0)) | (word(1) ^ other.word(1))) == 0;
    }
    bool operator!=(const HostAddress& other) const { return !(*this == other); }
    bool operator<(const HostAddress& other) const { return bytes_ < other.bytes_; }
    size_t hash() const;

private:
    std::array<uint8_t, 16> bytes_ {};
};

struct HostAddressHash {
    size_t operator()(const HostAddress& a) const { return a.hash(); }
};

// One local network in CIDR form ("192.168.1.0/24"); a bare address is a /32.
class Network {
public:
    static std::optional<Network> parse(std::string_view text);
    bool contains(const HostAddress& address) const;
    // The all-zeros and all-ones addresses of an IPv4 network of more than two addresses name the
    // network and its broadcast, not a machine.
    bool isNetworkOrBroadcast(const HostAddress& address) const;
    std::string text() const;
    void appendText(std::string& out) const;
    // The same text written at out, which has room for MaxTextLength characters; returns its end.
    char* writeText(char* out) const;
    static constexpr size_t MaxTextLength = 45;

private:
    HostAddress base_;
    int prefix_ = 0; // in bits of the 128-bit form
    uint64_t mask_[2] = { 0, 0 }; // the prefix as a mask over the words of an address
};

// The local networks: a packet counts for a host only when the host lies in one of them.
class NetworkList {
public:
    // Comma-separated CIDR list; nullopt when any item is malformed or the list is empty.
    static std::optional<NetworkList> parse(std::string_view text);
    void add(const Network& network) { networks_.push_back(network); }
    bool contains(const HostAddress& address) const;
    // In a network, and neither multicast nor the network or broadcast address of any network
    // that holds it.
    bool isHost(const HostAddress& address) const;
    bool empty() const { return networks_.empty(); }
    const std::vector<Network>& networks() const { return networks_; }

private:
    std::vector<Network> networks_;
};
