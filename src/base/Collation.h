#pragma once

#include <cstdint>
#include <string_view>

// The order of lines in the host name directory and every other sorted list of lines.
// Bytes are read as Latin-1 and compared one by one, none skipped: controls, punctuation and
// symbols (by code) < digits < letters (a-z, then the accented letters, by code of the lower-case
// form). A text sorts before every longer text that begins with it. With case significant, case
// only separates texts that are otherwise equal, at the first such letter: lower case first.
// Returns a negative number, 0 or a positive number. Independent of the machine's locale.
int CollateCompare(std::string_view a, std::string_view b, bool caseSensitive);

// The order of the first 16 characters, case ignored, packed into two words: where the prefixes of
// two texts differ they order the texts exactly as CollateCompare does (in either case mode), so
// a sort needs to compare the texts themselves only when the prefixes are equal.
struct TCollationPrefix {
    uint64_t high = 0;
    uint64_t low = 0;
};

TCollationPrefix CollationPrefix(std::string_view s);

inline int ComparePrefixes(const TCollationPrefix& a, const TCollationPrefix& b)
{
    if (a.high != b.high)
        return a.high < b.high ? -1 : 1;
    if (a.low != b.low)
        return a.low < b.low ? -1 : 1;
    return 0;
}
