#include "table/HostLine.h"

#include "base/IntegerText.h"

#include <cstring>

namespace {
// Plain decimal digits, the service's usual form, are read right here, four times per host and
// poll; up to 18 of them cannot leave the range. Every other form (blanks, signs, hexadecimal,
// anything invalid or longer) goes through the full integer rule.
int64_t fieldNumber(std::string_view field)
{
    if (!field.empty() && field.size() <= 18) {
        uint64_t value = 0;
        size_t i = 0;
        for (; i < field.size(); ++i) {
            const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned('0');
            if (digit > 9)
                break;
            value = value * 10 + digit;
        }
        if (i == field.size())
            return static_cast<int64_t>(value);
    }
    return StrToInt64Def(field, 0);
}

// Reads the digits that open the eight bytes at text into value (value * 10^n + those n digits)
// and answers n. A byte is a digit when, taken as a value from "0", it is below 10: its high
// nibble is clear both before and after adding 6. Bytes past the first non-digit may be misread
// by a carry from it, which only they can receive, and are never used.
int readEightDigits(const char* text, uint64_t& value)
{
    constexpr uint64_t ones = 0x0101010101010101ULL;
    static constexpr uint64_t scale[9] = { 1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000 };
    uint64_t word;
    std::memcpy(&word, text, 8);
    const uint64_t x = word ^ (ones * '0');
    const uint64_t nonDigits = (x | (x + ones * 6)) & (ones * 0xF0);
    const int n = nonDigits == 0 ? 8 : __builtin_ctzll(nonDigits) / 8;
    if (n == 0)
        return 0;
    // The n digits moved to the top, zeros before them; then pairs, fours and eights of digits
    // are combined with two multiplications (the first byte in memory is the leading digit).
    uint64_t v = x << (8 * (8 - n));
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)))
            + (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))))
        >> 32;
    value = value * scale[n] + uint32_t(v);
    return n;
}
} // namespace

THostNumbers ReadHostNumbers(std::string_view line)
{
    THostNumbers host;
    const char* const text = line.data();
    const size_t size = line.size();
    size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        host.AddressLength = size;
        return host;
    }
    host.AddressLength = comma;
    int64_t* const numbers[] = { &host.SendRate, &host.RecvRate, &host.Sent, &host.Received };
    for (int64_t* number : numbers) {
        const size_t start = comma + 1;
        // Plain digits up to the field's end are the usual case; the digits read so far tell
        // where a field that is anything else still has to be looked for.
        uint64_t value = 0;
        size_t i = start;
        // Eight bytes at a time while the line holds them, up to sixteen digits; the rest, and a
        // field near the line's end, byte by byte.
        while (size - i >= 8 && i - start <= 8) {
            const int digits = readEightDigits(text + i, value);
            i += size_t(digits);
            if (digits < 8)
                break;
        }
        while (i < size && i - start <= 18) {
            const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
            if (digit > 9)
                break;
            value = value * 10 + digit;
            ++i;
        }
        const bool ended = i == size || text[i] == ',';
        if (ended && i > start && i - start <= 18) {
            *number = static_cast<int64_t>(value);
        } else {
            const size_t end = ended ? i : line.find(',', i);
            *number
                = fieldNumber(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
            i = end;
        }
        if (i >= size)
            break;
        comma = i;
    }
    return host;
}
