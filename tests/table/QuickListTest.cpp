#include "table/QuickList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// What a reload does to the directory: empty it, add each fetched line, normalise and sort.
void load(TQuickList& names, const std::vector<std::string>& lines)
{
    names.SetSorted(false);
    names.BeginUpdate();
    names.Clear();
    for (const std::string& line : lines)
        names.Add(line);
    names.EndUpdate();
    NormalizeHostNames(names);
}

TEST(QuickListTest, KeyAndValueSplitAtTheFirstEquals)
{
    EXPECT_EQ(TQuickList::KeyOf("10.0.0.1=a=b"), "10.0.0.1");
    EXPECT_EQ(TQuickList::ValueOf("10.0.0.1=a=b"), "a=b");
    EXPECT_EQ(TQuickList::KeyOf("no equals"), "no equals");
    EXPECT_EQ(TQuickList::ValueOf("no equals"), "");
    EXPECT_EQ(TQuickList::KeyOf("=name"), "");
    EXPECT_EQ(TQuickList::ValueOf("=name"), "name");
}

TEST(QuickListTest, NewDirectoryIgnoresCaseAndItsIndexDoesNot)
{
    TQuickList names;
    EXPECT_FALSE(names.CaseSensitive());
    EXPECT_FALSE(names.Sorted());
    EXPECT_TRUE(names.KeyIndex().CaseSensitive());
    EXPECT_EQ(names.Lookup("10.0.0.1"), "");
}

TEST(QuickListTest, NameListLinesAreNormalised)
{
    TQuickList names;
    load(names,
        {
            " \t10.0.0.1 \t=  Big Server \r",
            "10.0.0.2=abcdefghijklmn opq",
            "10.0.0.3=alpha=beta",
            "10.0.0.4",
            "10.0.0.5=",
            "10.0.0.6=  \t ",
            "=no address",
            "10.0.0.7=printer<br>",
            "<b>10.0.0.8=x</b>",
            "10.0.0.9= <i>only markup</i>",
            "",
        });
    EXPECT_EQ(names.Count(), 5);
    EXPECT_TRUE(names.Sorted());
    EXPECT_EQ(names.Lookup("10.0.0.1"), "Big Server");
    EXPECT_EQ(names.Lookup("10.0.0.2"), "abcdefghijklmn "); // cut at 15, trailing space kept
    EXPECT_EQ(names.Lookup("10.0.0.3"), "alpha");
    EXPECT_EQ(names.Lookup("10.0.0.4"), "");
    EXPECT_EQ(names.Lookup("10.0.0.5"), "");
    EXPECT_EQ(names.Lookup("10.0.0.6"), "");
    EXPECT_EQ(names.Lookup(std::string_view()), "no address"); // matches a host line with an empty address
    EXPECT_EQ(names.Lookup("10.0.0.7"), "printer");
    EXPECT_EQ(names.Lookup("10.0.0.8"), "");
    EXPECT_EQ(names.Lookup("10.0.0.9"), "");
    for (int i = 0; i < names.Count(); ++i) {
        const std::string& line = names[i];
        EXPECT_EQ(std::count(line.begin(), line.end(), '='), 1) << line;
        EXPECT_LE(TQuickList::ValueOf(line).size(), 15u) << line;
    }
}

std::string repeated(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// Names saved as UTF-8 are cut after 15 characters, never inside one; bytes that are not UTF-8
// count one character each. Addresses keep finding their own names among them.
TEST(QuickListTest, NamesAreCutAfterFifteenCharactersNeverInsideOne)
{
    TQuickList names;
    load(names,
        {
            "10.0.0.1=" + repeated("\xC3\xBC", 20),
            "10.0.0.12=" + repeated("\xE2\x82\xAC", 20),
            "10.0.0.2=abcdefghijklmn\xF0\x9F\x96\xA5z",
            "10.0.0.3=B\xFCro " + repeated("\xFC", 20),
            "10.0.0.4=B\xC3\xBCro",
        });
    EXPECT_EQ(names.Lookup("10.0.0.1"), repeated("\xC3\xBC", 15));
    EXPECT_EQ(names.Lookup("10.0.0.12"), repeated("\xE2\x82\xAC", 15));
    EXPECT_EQ(names.Lookup("10.0.0.2"), "abcdefghijklmn\xF0\x9F\x96\xA5");
    EXPECT_EQ(names.Lookup("10.0.0.3"), "B\xFCro " + repeated("\xFC", 10));
    EXPECT_EQ(names.Lookup("10.0.0.4"), "B\xC3\xBCro");
    EXPECT_EQ(names.Lookup("10.0.0.5"), "");
}

TEST(QuickListTest, AddressesThatBeginOtherAddressesKeepTheirOwnNames)
{
    TQuickList names;
    load(names, { "10.0.0.12=twelve", "10.0.0.123=one-two-three", "10.0.0.1=one", "10.0.0.2=two", "10.0.1.1=other" });
    EXPECT_EQ(names.Lookup("10.0.0.1"), "one");
    EXPECT_EQ(names.Lookup("10.0.0.12"), "twelve");
    EXPECT_EQ(names.Lookup("10.0.0.123"), "one-two-three");
    EXPECT_EQ(names.Lookup("10.0.0.2"), "two");
    EXPECT_EQ(names.Lookup("10.0.1.1"), "other");
    EXPECT_EQ(names.Lookup("10.0.0.13"), "");
    EXPECT_EQ(names.Lookup("10.0.0.01"), ""); // addresses are compared as text
}

TEST(QuickListTest, DuplicateAddressesStayAndTheFirstIndexProbeWins)
{
    TQuickList names;
    load(names, { "10.0.0.9=c-name", "10.0.0.9=a-name", "10.0.0.9=b-name" });
    EXPECT_EQ(names.Count(), 3);
    // Lines sort as a-, b-, c-name; the binary search over three equal keys lands on the middle one.
    EXPECT_EQ(names.Lookup("10.0.0.9"), "b-name");
}

TEST(QuickListTest, IndexIsRebuiltOnTheFirstLookupAfterAReload)
{
    TQuickList names;
    load(names, { "10.0.0.1=a", "10.0.0.2=b" });
    EXPECT_EQ(names.KeyIndex().Count(), 0);
    EXPECT_EQ(names.Lookup("10.0.0.2"), "b");
    EXPECT_EQ(names.KeyIndex().Count(), 2);
    EXPECT_TRUE(names.KeyIndex().Sorted());

    // A list of the same size with other names: the adds empty the index, so no stale name survives.
    load(names, { "10.0.0.1=x", "10.0.0.2=y" });
    EXPECT_EQ(names.Lookup("10.0.0.2"), "y");

    // A failed fetch over HTTP leaves the lines, which are normalised and sorted again.
    NormalizeHostNames(names);
    EXPECT_EQ(names.Lookup("10.0.0.1"), "x");

    // A name file that cannot be read leaves the directory empty.
    names.Clear();
    EXPECT_EQ(names.Lookup("10.0.0.1"), "");
}

TEST(QuickListTest, LinesChangedInPlaceAreStillFoundCorrectly)
{
    TQuickList names;
    load(names, { "10.0.0.1=a", "10.0.0.2=b", "10.0.0.3=c" });
    EXPECT_EQ(names.Lookup("10.0.0.1"), "a");
    names.SetSorted(false);
    names.Put(0, "10.0.0.4=d");
    names.SetSorted(true);
    EXPECT_EQ(names.Lookup("10.0.0.4"), "d");
    EXPECT_EQ(names.Lookup("10.0.0.1"), "");
    EXPECT_EQ(names.Lookup("10.0.0.3"), "c");

    names.KeyIndex().Clear();
    EXPECT_EQ(names.Lookup("10.0.0.2"), "b");

    TStringList other;
    other.Add("10.0.0.5=e");
    names.SetSorted(false);
    names.Assign(other);
    EXPECT_EQ(names.KeyIndex().Count(), 0);
    EXPECT_EQ(names.Lookup("10.0.0.5"), "e");
}

// Keys that are not dotted addresses may sort differently as keys than as lines; each still finds its name.
TEST(QuickListTest, KeysThatSortApartFromTheirLinesStillFindTheirNames)
{
    TQuickList names;
    load(names, { "10.0.0=three groups", "10.0.0.1=address", "=empty", "!bang=symbol", "ab=lower", "AB=upper" });
    EXPECT_EQ(names.Lookup("10.0.0"), "three groups");
    EXPECT_EQ(names.Lookup("10.0.0.1"), "address");
    EXPECT_EQ(names.Lookup(""), "empty");
    EXPECT_EQ(names.Lookup("!bang"), "symbol");
    EXPECT_EQ(names.Lookup("ab"), "lower");
    EXPECT_EQ(names.Lookup("AB"), "upper");
    EXPECT_EQ(names.Lookup("Ab"), "");
}

TEST(QuickListTest, LongKeysAndLongNamesAddedDirectlyAreFound)
{
    TQuickList names;
    names.Add("a-key-longer-than-fifteen=and a name longer than fifteen");
    names.Add("10.0.0.1=another name longer than fifteen");
    names.Add("10.0.0.2=short");
    names.SetSorted(true);
    EXPECT_EQ(names.Lookup("a-key-longer-than-fifteen"), "and a name longer than fifteen");
    EXPECT_EQ(names.Lookup("a-key-longer-than-fifteen-too"), "");
    EXPECT_EQ(names.Lookup("10.0.0.1"), "another name longer than fifteen");
    EXPECT_EQ(names.Lookup("10.0.0.2"), "short");
}

// Lookups answer from a table built with the index; it must say what the search through the index says.
TEST(QuickListTest, LookupAgreesWithTheSearchThroughTheIndex)
{
    std::mt19937 rng(5);
    const std::vector<std::string> keys = { "10.0.0.1", "10.0.0.12", "10.0.0.123", "10.0.0", "10.0.0.", "", "!x", "ab",
        "AB", "aB", "192.168.100.200", "a-key-of-more-than-15" };
    for (int round = 0; round < 200; ++round) {
        TQuickList names;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            std::string value = "v" + std::to_string(i);
            if (rng() % 4 == 0)
                value += "-made-longer-than-fifteen";
            names.Add(keys[rng() % keys.size()] + "=" + value);
        }
        names.SetSorted(true);
        for (const std::string& key : keys) {
            const std::string found = names.Lookup(key);
            const TStringList& index = names.KeyIndex();
            int i = 0;
            std::string expected;
            if (index.Find(key, i)) {
                const int line = TQuickList::KeyOf(names[i]) == key ? i : static_cast<int>(index.Tag(i));
                expected = TQuickList::ValueOf(names[line]);
                ASSERT_EQ(TQuickList::KeyOf(names[line]), key);
            }
            ASSERT_EQ(found, expected) << "round " << round << " key " << key;
        }
    }
}

TEST(QuickListTest, EveryAddressOfALargeDirectoryFindsItsName)
{
    std::mt19937 rng(1);
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, std::string>> expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string address = std::to_string(rng() % 3 + 9) + "." + std::to_string(rng() % 256) + "."
            + std::to_string(i % 256) + "." + std::to_string(i / 256);
        std::string name = "h" + std::to_string(i);
        if (rng() % 2)
            name[0] = 'H';
        lines.push_back(address + "=" + name);
        expected.emplace_back(address, name);
    }
    TQuickList names;
    load(names, lines);
    for (const auto& [address, name] : expected)
        ASSERT_EQ(names.Lookup(address), name) << address;
}

} // namespace
