#include "base/Collation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

TEST(CollationTest, PunctuationBeforeDigitsBeforeLetters)
{
    for (bool cs : { false, true }) {
        EXPECT_LT(CollateCompare("=", "0", cs), 0);
        EXPECT_LT(CollateCompare(".", "0", cs), 0);
        EXPECT_LT(CollateCompare("~", "0", cs), 0);
        EXPECT_LT(CollateCompare("\xD7", "0", cs), 0); // multiplication sign is a symbol
        EXPECT_LT(CollateCompare("9", "A", cs), 0);
        EXPECT_LT(CollateCompare("9", "a", cs), 0);
        EXPECT_LT(CollateCompare("z", "\xE9", cs), 0); // accented letters after the plain ones
        EXPECT_LT(CollateCompare("a", "Z", cs), 0); // letters alphabetical whatever their case
    }
}

TEST(CollationTest, NoPunctuationIsSkipped)
{
    EXPECT_LT(CollateCompare("a-c", "ab", false), 0);
    EXPECT_LT(CollateCompare("10.0.0.1=z", "10.0.0.12=a", false), 0);
    EXPECT_NE(CollateCompare("a b", "ab", false), 0);
}

TEST(CollationTest, TextSortsBeforeItsExtensions)
{
    EXPECT_LT(CollateCompare("", "a", false), 0);
    EXPECT_LT(CollateCompare("10.0.0.1", "10.0.0.12", true), 0);
    EXPECT_GT(CollateCompare("10.0.0.12", "10.0.0.1", true), 0);
    EXPECT_EQ(CollateCompare("", "", true), 0);
}

TEST(CollationTest, CaseIgnoredOrOnlySeparatingOtherwiseEqualTexts)
{
    EXPECT_EQ(CollateCompare("Host-A", "hOST-a", false), 0);
    EXPECT_EQ(CollateCompare("\xC9t\xE9", "\xE9T\xC9", false), 0);

    EXPECT_LT(CollateCompare("host", "Host", true), 0);
    EXPECT_GT(CollateCompare("hosT", "host", true), 0);
    EXPECT_LT(CollateCompare("Host", "hosts", true), 0);
    EXPECT_LT(CollateCompare("HostA", "hostb", true), 0);
    EXPECT_LT(CollateCompare("aB", "Ab", true), 0); // the first letter that differs in case decides
}

TEST(CollationTest, IsATotalOrderOnSingleBytes)
{
    for (bool cs : { false, true }) {
        for (int a = 0; a < 256; ++a) {
            const std::string sa(1, static_cast<char>(a));
            for (int b = 0; b < 256; ++b) {
                const std::string sb(1, static_cast<char>(b));
                const int ab = CollateCompare(sa, sb, cs);
                ASSERT_EQ(sign(ab), -sign(CollateCompare(sb, sa, cs))) << a << " " << b;
                if (cs) {
                    ASSERT_EQ(ab == 0, a == b) << a << " " << b;
                }
                for (int c = 0; c < 256; c += 7) {
                    const std::string sc(1, static_cast<char>(c));
                    if (ab <= 0 && CollateCompare(sb, sc, cs) <= 0) {
                        ASSERT_LE(CollateCompare(sa, sc, cs), 0) << a << " " << b << " " << c;
                    }
                }
            }
        }
    }
}

// The name directory reads a name at the position where its index finds the address: the order of
// whole lines (case ignored) and of addresses (case significant) must agree for dotted addresses.
TEST(CollationTest, AddressLinesAndAddressesSortAlike)
{
    std::mt19937 rng(42);
    auto address = [&] {
        std::string s;
        for (int g = 0; g < 4; ++g) {
            if (g)
                s += '.';
            s += std::to_string(rng() % (rng() % 2 ? 256 : 20));
        }
        return s;
    };
    auto name = [&] {
        std::string s;
        const int n = 1 + static_cast<int>(rng() % 15);
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(33 + rng() % 222);
        return s;
    };
    for (int i = 0; i < 200000; ++i) {
        const std::string k1 = address();
        const std::string k2 = address();
        if (k1 == k2)
            continue;
        ASSERT_EQ(sign(CollateCompare(k1 + "=" + name(), k2 + "=" + name(), false)), sign(CollateCompare(k1, k2, true)))
            << k1 << " " << k2;
    }
}

} // namespace

namespace {

// Sorting compares these packed prefixes first; where they differ they must say what the texts say.
TEST(CollationTest, PrefixKeysOrderLikeTheTexts)
{
    std::mt19937 rng(9);
    const std::string alphabet = std::string("aAbB09.=-~ \x01\xE9\xC9\xFF", 16);
    auto text = [&] {
        std::string s(rng() % 20, ' ');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    int decided = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string a = text();
        const std::string b = rng() % 4 ? text() : a.substr(0, rng() % (a.size() + 1)) + text();
        const int p = ComparePrefixes(CollationPrefix(a), CollationPrefix(b));
        if (p == 0)
            continue;
        ++decided;
        ASSERT_EQ(p, sign(CollateCompare(a, b, false))) << a << " | " << b;
        ASSERT_EQ(p, sign(CollateCompare(a, b, true))) << a << " | " << b;
    }
    EXPECT_GT(decided, 100000);
}

} // namespace
