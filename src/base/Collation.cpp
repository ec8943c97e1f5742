#include "base/Collation.h"

#include <cstdint>

namespace {

constexpr bool isLetter(unsigned c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == 0xAA || c == 0xB5 || c == 0xBA
        || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

constexpr bool isUpper(unsigned c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

struct Weights {
    uint16_t primary[256] {};
    uint8_t upper[256] {};
    uint8_t rank[256] {}; // 1-based position of the primary weight among all of them; 0 is the end of a text
};

constexpr Weights makeWeights()
{
    Weights w;
    for (unsigned c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            w.primary[c] = static_cast<uint16_t>(0x100 + c);
        else if (isLetter(c))
            w.primary[c] = static_cast<uint16_t>(0x200 + (isUpper(c) ? c + 0x20 : c));
        else
            w.primary[c] = static_cast<uint16_t>(c);
        w.upper[c] = isUpper(c) ? 1 : 0;
    }
    for (unsigned c = 0; c < 256; ++c) {
        unsigned below = 0;
        bool seen[0x300] {};
        for (unsigned d = 0; d < 256; ++d) {
            if (w.primary[d] < w.primary[c] && !seen[w.primary[d]]) {
                seen[w.primary[d]] = true;
                ++below;
            }
        }
        w.rank[c] = static_cast<uint8_t>(below + 1);
    }
    return w;
}

constexpr Weights weights = makeWeights();

} // namespace

int CollateCompare(std::string_view a, std::string_view b, bool caseSensitive)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    int caseOrder = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca == cb)
            continue;
        const int d = weights.primary[ca] - weights.primary[cb];
        if (d != 0)
            return d < 0 ? -1 : 1;
        if (caseSensitive && caseOrder == 0)
            caseOrder = weights.upper[ca] - weights.upper[cb];
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return caseOrder;
}

TCollationPrefix CollationPrefix(std::string_view s)
{
    const size_t n = s.size() < 16 ? s.size() : 16;
    unsigned char ranks[16] = {};
    for (size_t i = 0; i < n; ++i)
        ranks[i] = weights.rank[static_cast<unsigned char>(s[i])];
    // The first character goes to the highest byte, so that comparing words compares characters in order.
    uint64_t words[2] = { 0, 0 };
    for (size_t i = 0; i < 16; ++i)
        words[i / 8] = (words[i / 8] << 8) | ranks[i];
    return TCollationPrefix { words[0], words[1] };
}
