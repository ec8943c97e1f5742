#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// One host line of a snapshot, "address,send rate,receive rate,sent,received", read in one pass.
// Missing fields are empty text, numbers that are not valid integer text read as 0.
class THostLine {
public:
    explicit THostLine(std::string_view line);

    std::string_view Address() const { return field_[0]; }
    int64_t SendRate() const { return number(1); }
    int64_t RecvRate() const { return number(2); }
    int64_t Sent() const { return number(3); }
    int64_t Received() const { return number(4); }

private:
    int64_t number(int i) const;

    std::string_view field_[5];
};

// A host line's address length and four numbers, read as THostLine reads them but in a single
// scan: what a snapshot keeps of each host while it is ordered and shown.
struct THostNumbers {
    size_t AddressLength = 0;
    int64_t SendRate = 0;
    int64_t RecvRate = 0;
    int64_t Sent = 0;
    int64_t Received = 0;
};
THostNumbers ReadHostNumbers(std::string_view line);

// Traffic sums wrap around in two's complement, as the counters they add up do.
inline int64_t WrappingAdd(int64_t a, int64_t b)
{
    return int64_t(uint64_t(a) + uint64_t(b));
}
