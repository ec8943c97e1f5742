#include "base/StringList.h"

#include "base/QuickSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

TStringList listOf(std::initializer_list<const char*> lines)
{
    TStringList list;
    for (const char* line : lines)
        list.Add(line);
    return list;
}

std::vector<std::string> linesOf(const TStringList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

std::vector<int64_t> tagsOf(const TStringList& list)
{
    std::vector<int64_t> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Tag(i));
    return out;
}

using Lines = std::vector<std::string>;

TEST(StringListTest, UnsortedListKeepsOrderAndDuplicates)
{
    TStringList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Sorted());
    EXPECT_FALSE(list.CaseSensitive());
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.Add("a"), 1);
    EXPECT_EQ(list.Add("b"), 2);
    list.Put(1, "c");
    list.Insert(0, "first");
    list.Insert(4, "last");
    EXPECT_EQ(linesOf(list), (Lines { "first", "b", "c", "b", "last" }));
    list.Delete(1);
    EXPECT_EQ(linesOf(list), (Lines { "first", "c", "b", "last" }));
    EXPECT_EQ(list.IndexOf("B"), 2); // case ignored by default
    EXPECT_EQ(list.IndexOf("missing"), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, BadPositionsAreRefusedWithTheirIndex)
{
    TStringList list = listOf({ "a", "b" });
    try {
        list.Get(2);
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
    }
    EXPECT_THROW(list.Get(-1), EStringListError);
    EXPECT_THROW(list.Put(2, "x"), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
    EXPECT_THROW(list.Insert(3, "x"), EStringListError);
    EXPECT_THROW(list.Tag(5), EStringListError);
    EXPECT_THROW(list.Exchange(0, 2), EStringListError);
    EXPECT_EQ(linesOf(list), (Lines { "a", "b" }));
}

TEST(StringListTest, SortedModeSortsKeepsEqualLinesAndRefusesDuplicateAdds)
{
    TStringList list = listOf({ "pear", "Apple", "apple", "10", "=x" });
    list.SetSorted(true);
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list[0], "=x");
    EXPECT_EQ(list[1], "10");
    EXPECT_EQ(list[4], "pear");

    EXPECT_EQ(list.Add("banana"), 4);
    EXPECT_EQ(list.Add("PEAR"), -1);
    EXPECT_EQ(list.Add("zz"), 6);
    EXPECT_EQ(list.Count(), 7);
    EXPECT_THROW(list.Put(0, "x"), EStringListError);
    EXPECT_THROW(list.Insert(0, "x"), EStringListError);
    EXPECT_THROW(list.EditLines([](std::string&) { return true; }), EStringListError);
    list.Delete(0);
    EXPECT_EQ(list[0], "10");

    list.SetSorted(false);
    EXPECT_EQ(list.Add("0"), 6); // unsorted again: appended, order unchanged
    EXPECT_EQ(list[5], "zz");
}

TEST(StringListTest, FindEndsOnTheFirstEqualProbeOrTheInsertionPoint)
{
    TStringList same = listOf({ "x", "x", "x", "x", "x" });
    same.SetSorted(true);
    int index = -1;
    EXPECT_TRUE(same.Find("X", index));
    EXPECT_EQ(index, 2);
    same.Delete(0);
    EXPECT_TRUE(same.Find("x", index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(same.IndexOf("x"), 1);

    TStringList list = listOf({ "b", "d" });
    list.SetSorted(true);
    EXPECT_FALSE(list.Find("a", index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(list.Find("c", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find("e", index));
    EXPECT_EQ(index, 2);

    TStringList empty;
    EXPECT_FALSE(empty.Find("a", index));
    EXPECT_EQ(index, 0);
}

// Hand-traced runs of the quicksort: equal lines come out in the order its exchanges leave them.
TEST(StringListTest, SortLeavesEqualLinesWhereTheQuicksortPutsThem)
{
    TStringList list = listOf({ "b", "a", "A" });
    list.SetSorted(true);
    EXPECT_EQ(linesOf(list), (Lines { "A", "a", "b" }));

    TStringList equal = listOf({ "x", "x", "x", "x" });
    for (int i = 0; i < 4; ++i)
        equal.SetTag(i, i);
    equal.SetSorted(true);
    EXPECT_EQ(tagsOf(equal), (std::vector<int64_t> { 2, 3, 0, 1 }));
}

TEST(StringListTest, TagsTravelWithTheirLines)
{
    TStringList list = listOf({ "c", "a", "b" });
    for (int i = 0; i < 3; ++i)
        list.SetTag(i, 100 + i);
    list.SetSorted(true);
    EXPECT_EQ(linesOf(list), (Lines { "a", "b", "c" }));
    EXPECT_EQ(tagsOf(list), (std::vector<int64_t> { 101, 102, 100 }));
    list.SetSorted(false);
    list.Insert(0, "z");
    list.Delete(2);
    EXPECT_EQ(tagsOf(list), (std::vector<int64_t> { 0, 101, 100 }));
    list.Put(1, "q");
    EXPECT_EQ(list.Tag(1), 101);
}

TEST(StringListTest, ChangingCaseOfASortedListSortsItAgain)
{
    TStringList list = listOf({ "B", "b", "a" });
    list.SetSorted(true);
    list.SetCaseSensitive(true);
    EXPECT_EQ(linesOf(list), (Lines { "a", "b", "B" }));
    EXPECT_EQ(list.Add("A"), 1);
    EXPECT_EQ(list.IndexOf("b"), 2);
    EXPECT_EQ(list.IndexOf("B"), 3);
}

int byTagDescending(const TStringList& list, int a, int b, void* context)
{
    ++*static_cast<int*>(context);
    return list.Tag(a) > list.Tag(b) ? -1 : list.Tag(a) < list.Tag(b) ? 1 : 0;
}

TEST(StringListTest, CustomSortOrdersByTheCallersComparison)
{
    TStringList list = listOf({ "a", "b", "c", "d" });
    const int64_t tags[] = { 5, 50, 1, 20 };
    for (int i = 0; i < 4; ++i)
        list.SetTag(i, tags[i]);
    int calls = 0;
    list.CustomSort(byTagDescending, &calls);
    EXPECT_GT(calls, 0);
    EXPECT_EQ(linesOf(list), (Lines { "b", "d", "a", "c" }));

    // A sorted list keeps its order.
    list.SetSorted(true);
    calls = 0;
    list.CustomSort(byTagDescending, &calls);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(linesOf(list), (Lines { "a", "b", "c", "d" }));
}

int alwaysLess(const TStringList&, int, int, void*)
{
    return -1;
}
int alwaysGreater(const TStringList&, int, int, void*)
{
    return 1;
}
int coinFlip(const TStringList&, int, int, void* context)
{
    return static_cast<int>((*static_cast<std::mt19937*>(context))() % 3) - 1;
}

// A comparison that contradicts itself must neither run off the list nor lose lines.
TEST(StringListTest, SelfContradictingComparisonKeepsEveryLine)
{
    std::mt19937 rng(7);
    for (auto compare : { alwaysLess, alwaysGreater, coinFlip }) {
        for (int n : { 2, 3, 10, 1000 }) {
            TStringList list;
            for (int i = 0; i < n; ++i) {
                list.Add(std::to_string(i));
                list.SetTag(i, i);
            }
            list.CustomSort(compare, &rng);
            std::vector<int64_t> tags = tagsOf(list);
            std::sort(tags.begin(), tags.end());
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(tags[i], i);
        }
    }
}

TEST(StringListTest, LargeSortsOfEqualSortedAndReversedLines)
{
    const int n = 100000;
    for (int shape = 0; shape < 3; ++shape) {
        TStringList list;
        for (int i = 0; i < n; ++i) {
            char buf[16];
            snprintf(buf, sizeof buf, "%08d", shape == 0 ? 7 : shape == 1 ? i : n - i);
            list.Add(buf);
        }
        list.SetSorted(true);
        ASSERT_EQ(list.Count(), n);
        for (int i = 1; i < n; ++i)
            ASSERT_LE(list.CompareStrings(list[i - 1], list[i]), 0);
    }
}

TEST(StringListTest, LinesAlikeInTheirFirstSixteenCharactersSortByTheRest)
{
    const std::string head = "192.168.100.200=";
    TStringList list;
    for (const char* tail : { "zeta", "Alpha", "alpha", "", "beta", "ALPHA2" })
        list.Add(head + tail);
    list.SetSorted(true);
    EXPECT_EQ(list[0], head);
    EXPECT_EQ(CollateCompare(list[1], head + "alpha", false), 0);
    EXPECT_EQ(CollateCompare(list[2], head + "alpha", false), 0);
    EXPECT_EQ(list[3], head + "ALPHA2");
    EXPECT_EQ(list[4], head + "beta");
    EXPECT_EQ(list[5], head + "zeta");
}

TEST(StringListTest, AssignCopiesLinesAndTagsThroughAdd)
{
    TStringList source = listOf({ "b", "a", "B" });
    source.SetTag(0, 9);
    TStringList copy;
    copy.Add("old");
    copy.Assign(source);
    EXPECT_EQ(linesOf(copy), (Lines { "b", "a", "B" }));
    EXPECT_EQ(copy.Tag(0), 9);

    TStringList sorted;
    sorted.SetSorted(true);
    sorted.Assign(source);
    EXPECT_EQ(linesOf(sorted), (Lines { "a", "b" }));
    EXPECT_EQ(sorted.Tag(1), 9);
    sorted.Assign(sorted);
    EXPECT_EQ(sorted.Count(), 2);
}

TEST(StringListTest, UpdateBracketsNestAndNeverGoBelowZero)
{
    TStringList list;
    list.BeginUpdate();
    list.BeginUpdate();
    EXPECT_EQ(list.UpdateCount(), 2);
    list.EndUpdate();
    list.EndUpdate();
    list.EndUpdate();
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringListTest, EditLinesRewritesAndDropsInOnePass)
{
    TStringList list = listOf({ "keep", "drop", "edit", "drop" });
    for (int i = 0; i < 4; ++i)
        list.SetTag(i, i);
    list.EditLines([](std::string& line) {
        if (line == "drop")
            return false;
        if (line == "edit")
            line = "edited";
        return true;
    });
    EXPECT_EQ(linesOf(list), (Lines { "keep", "edited" }));
    EXPECT_EQ(tagsOf(list), (std::vector<int64_t> { 0, 2 }));
}

TEST(StringListTest, PutTextRewritesALineInItsOwnStorageAndKeepsItsTag)
{
    TStringList list = listOf({ "a fairly long first line of text", "b" });
    list.SetTag(0, 7);
    const char* storage = list[0].data();
    const uint64_t stamp = list.ChangeStamp();
    list.PutText(0, "a shorter line");
    EXPECT_EQ(linesOf(list), (Lines { "a shorter line", "b" }));
    EXPECT_EQ(list[0].data(), storage);
    EXPECT_EQ(list.Tag(0), 7);
    EXPECT_NE(list.ChangeStamp(), stamp);
    EXPECT_THROW(list.PutText(2, "x"), EStringListError);
    list.SetSorted(true);
    EXPECT_THROW(list.PutText(0, "x"), EStringListError);
}

TEST(StringListTest, WriteOverMakesALineAfreshInItsOwnStorageOrAppendsOne)
{
    TStringList list = listOf({ "a fairly long first line of text", "b" });
    list.SetTag(0, 7);
    const char* storage = list[0].data();
    list.WriteOver(0, "a shorter line");
    list.WriteOver(2, "appended");
    EXPECT_EQ(linesOf(list), (Lines { "a shorter line", "b", "appended" }));
    EXPECT_EQ(list[0].data(), storage);
    EXPECT_EQ(tagsOf(list), (std::vector<int64_t> { 0, 0, 0 }));
    EXPECT_THROW(list.WriteOver(4, "x"), EStringListError);
    EXPECT_THROW(list.WriteOver(-1, "x"), EStringListError);
    list.SetSorted(true);
    EXPECT_THROW(list.WriteOver(0, "x"), EStringListError);
}

int tagsDescending(int64_t a, int64_t b)
{
    return a == b ? 0 : a < b ? 1 : -1;
}

int listTagsDescending(const TStringList& list, int a, int b, void*)
{
    return tagsDescending(list.Tag(a), list.Tag(b));
}

// The tag sort must make exactly the exchanges of the list sort, so that of several lines with the
// same tag the same one ends up last, whatever the mix of equal tags.
TEST(StringListTest, SortByTagOrdersEqualTagsExactlyAsCustomSort)
{
    std::mt19937 rng(3);
    for (int n : { 0, 1, 2, 3, 17, 1000, 20000 }) {
        for (int distinct : { 1, 2, 5, 1000000 }) {
            TStringList byList, byTag;
            for (int i = 0; i < n; ++i) {
                const auto tag = static_cast<int64_t>(rng() % distinct) - distinct / 2;
                byList.Add("line " + std::to_string(i));
                byList.SetTag(i, tag);
            }
            byTag = byList;
            const uint64_t stamp = byTag.ChangeStamp();
            byList.CustomSort(listTagsDescending);
            byTag.CustomSortByTag(tagsDescending);
            ASSERT_EQ(linesOf(byTag), linesOf(byList)) << n << " lines, " << distinct << " tags";
            ASSERT_EQ(tagsOf(byTag), tagsOf(byList));
            if (n >= 2) {
                EXPECT_NE(byTag.ChangeStamp(), stamp);
            }
        }
    }
    // A sorted list keeps its order.
    TStringList sorted = listOf({ "b", "a", "c" });
    sorted.SetSorted(true);
    sorted.SetTag(0, 1);
    sorted.SetTag(2, 9);
    sorted.CustomSortByTag(tagsDescending);
    EXPECT_EQ(linesOf(sorted), (Lines { "a", "b", "c" }));
}

// Sorting only as far as a limit leaves every place before it exactly as the whole sort does, ties
// included, and the places after it hold the same entries.
TEST(StringListTest, SortUpToALimitAgreesWithTheWholeSortBeforeIt)
{
    struct Entry {
        int64_t tag;
        int id;
    };
    std::mt19937 rng(8);
    for (int n : { 2, 3, 30, 31, 500, 5000 }) {
        for (int distinct : { 1, 3, 50, 1000000 }) {
            std::vector<Entry> whole(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                whole[i] = { static_cast<int64_t>(rng() % distinct), i };
            for (int limit : { 0, 1, 29, n / 2, n - 1, n }) {
                if (limit > n)
                    continue;
                std::vector<Entry> full = whole, partial = whole;
                auto sortOf = [](std::vector<Entry>& v, int upTo) {
                    auto compare = [&v](int a, int b) { return tagsDescending(v[a].tag, v[b].tag); };
                    auto exchange = [&v](int a, int b) { std::swap(v[a], v[b]); };
                    QuickSortPositions(0, static_cast<int>(v.size()) - 1, compare, exchange, upTo);
                };
                sortOf(full, n);
                sortOf(partial, limit);
                for (int i = 0; i < limit; ++i)
                    ASSERT_EQ(partial[i].id, full[i].id) << n << " entries, limit " << limit << ", place " << i;
                std::vector<int> restFull, restPartial;
                for (int i = limit; i < n; ++i) {
                    restFull.push_back(full[i].id);
                    restPartial.push_back(partial[i].id);
                }
                std::sort(restFull.begin(), restFull.end());
                std::sort(restPartial.begin(), restPartial.end());
                ASSERT_EQ(restPartial, restFull);
            }
        }
    }
}

// Positions settled one at a time, in any order, hold the entries the whole sort gives them.
TEST(StringListTest, PositionsSettledInAnyOrderAgreeWithTheWholeSort)
{
    struct Entry {
        int64_t tag;
        int id;
    };
    std::mt19937 rng(12);
    for (int n : { 1, 2, 3, 30, 31, 500, 5000 }) {
        for (int distinct : { 1, 3, 50, 1000000 }) {
            std::vector<Entry> full(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                full[i] = { static_cast<int64_t>(rng() % distinct), i };
            std::vector<Entry> settled = full;
            auto compareIn = [](std::vector<Entry>& v) {
                return [&v](int a, int b) { return tagsDescending(v[a].tag, v[b].tag); };
            };
            auto exchangeIn = [](std::vector<Entry>& v) { return [&v](int a, int b) { std::swap(v[a], v[b]); }; };
            auto compare = compareIn(full);
            auto exchange = exchangeIn(full);
            QuickSortPositions(0, n - 1, compare, exchange);

            auto compareSettled = compareIn(settled);
            auto exchangeSettled = exchangeIn(settled);
            TDeferredQuickSort sort;
            sort.Start(n);
            // The graph's places first, then rows as a user scrolls and jumps, some asked twice.
            std::vector<int> asked;
            for (int i = 0; i < std::min(n, 29); ++i)
                asked.push_back(i);
            for (int i = 0; i < n; ++i)
                asked.push_back(static_cast<int>(rng() % n));
            for (int i = n - 1; i >= 0; --i)
                asked.push_back(i);
            for (int place : asked) {
                sort.Settle(place, compareSettled, exchangeSettled);
                ASSERT_EQ(settled[place].id, full[place].id)
                    << n << " entries, " << distinct << " tags, place " << place;
            }
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(settled[i].id, full[i].id)
                    << n << " entries, " << distinct << " tags, at the end, place " << i;
        }
    }
}

} // namespace
