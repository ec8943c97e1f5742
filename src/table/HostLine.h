#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A host line of a snapshot, "address,send rate,receive rate,sent,received", read in a single
// scan into what a snapshot keeps of each host while it is ordered and shown: the address length
// and the four numbers. Missing fields read as empty text or 0, as numbers do that are not valid
// integer text.
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
