#pragma once

#include "base/Collation.h"
#include "base/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

// An ordered list of single-byte text lines, unsorted or kept sorted by CompareStrings, each line
// carrying an integer tag that travels with it. Every fetched resource, snapshot and history block
// is one; the host name directory builds on it.
class TStringList {
public:
    using TStringListSortCompare = int (*)(const TStringList& list, int index1, int index2, void* context);

    TStringList() = default;
    TStringList(const TStringList&) = default;
    TStringList& operator=(const TStringList&) = default;
    TStringList(TStringList&&) = default;
    TStringList& operator=(TStringList&&) = default;
    virtual ~TStringList() = default;

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& Get(int i) const;
    const std::string& operator[](int i) const { return Get(i); }
    // Replaces a line in place, keeping its tag; refused in sorted mode.
    void Put(int i, std::string s);
    // The same with a copy of the text written into the line's own storage, so that a list filled
    // again and again with lines of like lengths allocates nothing.
    void PutText(int i, std::string_view s);
    // Line i made afresh from s, with a cleared tag, in the line's own storage where it has one:
    // i == Count() appends. Refused in sorted mode.
    void WriteOver(int i, std::string_view s);

    // Unsorted: appends. Sorted: inserts where Find ends, and refuses (-1) a line equal to one present.
    virtual int Add(std::string s);
    // Refused in sorted mode; 0 <= i <= Count().
    void Insert(int i, std::string s);
    void Delete(int i);
    // Removes the lines from position count on; 0 <= count <= Count().
    void Truncate(int count);
    void Clear();
    void Exchange(int i, int j);
    // Replaces the lines (and their tags) with those of another list, each through Add.
    void Assign(const TStringList& source);

    // Binary search when sorted, otherwise the first equal line from the top; -1 when absent.
    int IndexOf(std::string_view s) const;
    // Binary search over the lines: true at the first probe that compares equal, otherwise false
    // with index at the insertion point. Meaningful on a sorted list only.
    bool Find(std::string_view s, int& index) const;

    bool Sorted() const { return sorted_; }
    // Turning sorted mode on sorts the lines (equal lines are all kept); turning it off keeps the order.
    void SetSorted(bool sorted);
    bool CaseSensitive() const { return caseSensitive_; }
    // A sorted list is sorted again under the new comparison.
    void SetCaseSensitive(bool caseSensitive);

    // Orders an unsorted list with the caller's comparison of two positions; a sorted list keeps its order.
    // The sort is not stable: which of two equal lines comes first follows from the quicksort's exchanges.
    void CustomSort(TStringListSortCompare compare, void* context = nullptr);
    // CustomSort for a comparison that reads nothing but the two lines' tags, given here as a
    // comparison of two tags: the same quicksort with the same exchanges, made on a compact copy of
    // the tags, after which every line moves once. A snapshot of tens of thousands of hosts sorts
    // by traffic this way in a fraction of the time.
    using TTagCompare = int (*)(int64_t tag1, int64_t tag2);
    void CustomSortByTag(TTagCompare compare);

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate()
    {
        if (updateCount_ > 0)
            --updateCount_;
    }
    int UpdateCount() const { return updateCount_; }

    // Counts every change to the lines or their order, so an index built over them can tell it is stale.
    uint64_t ChangeStamp() const { return changeStamp_; }

    int64_t Tag(int i) const;
    void SetTag(int i, int64_t tag);

    // The list's collation with its case setting.
    virtual int CompareStrings(std::string_view a, std::string_view b) const;
    // A key the sort compares first, calling CompareStrings only when two keys are equal. An override
    // of CompareStrings must agree with it wherever keys differ, or return one constant key.
    virtual TCollationPrefix SortPrefix(std::string_view s) const { return CollationPrefix(s); }

    // Lets edit(std::string& line) rewrite every line in place; lines for which it answers false
    // are removed. One pass, so a long list with many bad lines costs no more than a short one.
    // Refused in sorted mode, since a rewritten line could break the order.
    template <typename Edit> void EditLines(Edit edit)
    {
        checkUnsorted();
        ++changeStamp_;
        size_t kept = 0;
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (!edit(lines_[i].text))
                continue;
            if (kept != i)
                lines_[kept] = std::move(lines_[i]);
            ++kept;
        }
        lines_.resize(kept);
    }

private:
    struct Line {
        std::string text;
        int64_t tag = 0;
    };

    void checkIndex(int i, int limit) const;
    void checkUnsorted() const;
    void sortLines();
    // Puts the lines in the order of entries[i].line (a permutation), marking the entries used.
    template <typename Entry> void moveToOrder(std::vector<Entry>& entries);

    std::vector<Line> lines_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    int updateCount_ = 0;
    uint64_t changeStamp_ = 0;
};
