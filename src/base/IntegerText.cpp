#include "base/IntegerText.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses into an unsigned magnitude of `bits` width; decimal values are range-checked as signed.
std::optional<uint64_t> parseMagnitude(std::string_view text, LeadingBlanks blanks, int bits, bool& negative, bool& hex)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (blanks == LeadingBlanks::SpacesAndTabs && text[i] == '\t')))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;

    const uint64_t widthMask = bits == 64 ? ~uint64_t(0) : ((uint64_t(1) << bits) - 1);
    uint64_t value = 0;
    if (hex) {
        int significant = 0;
        for (; i < text.size(); ++i) {
            int d = hexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            if (significant > 0 || d != 0)
                ++significant;
            if (significant > bits / 4)
                return std::nullopt;
            value = (value << 4) | uint64_t(d);
        }
        return value & widthMask;
    }
    // Decimal. Up to 18 digits (9 for 32 bits) cannot leave the range, so the common short
    // numbers of every host line skip the check per digit.
    if (text.size() - i <= (bits == 64 ? 18u : bits == 32 ? 9u : 0u)) {
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + uint64_t(c - '0');
        }
        return value;
    }
    // The magnitude may reach 2^(bits-1) only for a negative value.
    const uint64_t limit = (uint64_t(1) << (bits - 1)) - (negative ? 0 : 1);
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        uint64_t d = uint64_t(c - '0');
        if (value > (limit - d) / 10)
            return std::nullopt;
        value = value * 10 + d;
    }
    return value;
}

template <typename T, int Bits> std::optional<T> parseSigned(std::string_view text, LeadingBlanks blanks)
{
    bool negative = false, hex = false;
    auto magnitude = parseMagnitude(text, blanks, Bits, negative, hex);
    if (!magnitude)
        return std::nullopt;
    using U = std::make_unsigned_t<T>;
    U pattern = U(*magnitude);
    if (negative)
        pattern = U(U(0) - pattern);
    return T(pattern);
}

} // namespace

std::optional<int32_t> TryParseInt32(std::string_view text, LeadingBlanks blanks)
{
    return parseSigned<int32_t, 32>(text, blanks);
}

std::optional<int64_t> TryParseInt64(std::string_view text, LeadingBlanks blanks)
{
    return parseSigned<int64_t, 64>(text, blanks);
}
