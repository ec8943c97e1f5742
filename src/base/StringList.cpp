#include "base/StringList.h"

#include "base/Collation.h"
#include "base/QuickSort.h"

const std::string& TStringList::Get(int i) const
{
    checkIndex(i, Count());
    return lines_[i].text;
}

void TStringList::Put(int i, std::string s)
{
    checkUnsorted();
    checkIndex(i, Count());
    ++changeStamp_;
    lines_[i].text = std::move(s);
}

void TStringList::PutText(int i, std::string_view s)
{
    checkUnsorted();
    checkIndex(i, Count());
    ++changeStamp_;
    lines_[i].text.assign(s);
}

void TStringList::WriteOver(int i, std::string_view s)
{
    checkUnsorted();
    checkIndex(i, Count() + 1);
    if (i == Count()) {
        Add(std::string(s));
        return;
    }
    PutText(i, s);
    lines_[size_t(i)].tag = 0;
}

int TStringList::Add(std::string s)
{
    ++changeStamp_;
    if (!sorted_) {
        lines_.push_back(Line { std::move(s), 0 });
        return Count() - 1;
    }
    int index = 0;
    if (Find(s, index))
        return -1;
    lines_.insert(lines_.begin() + index, Line { std::move(s), 0 });
    return index;
}

void TStringList::Insert(int i, std::string s)
{
    checkUnsorted();
    checkIndex(i, Count() + 1);
    ++changeStamp_;
    lines_.insert(lines_.begin() + i, Line { std::move(s), 0 });
}

void TStringList::Delete(int i)
{
    checkIndex(i, Count());
    ++changeStamp_;
    lines_.erase(lines_.begin() + i);
}

void TStringList::Truncate(int count)
{
    checkIndex(count, Count() + 1);
    ++changeStamp_;
    lines_.resize(size_t(count));
}

void TStringList::Clear()
{
    ++changeStamp_;
    lines_.clear();
}

void TStringList::Exchange(int i, int j)
{
    checkIndex(i, Count());
    checkIndex(j, Count());
    ++changeStamp_;
    std::swap(lines_[i], lines_[j]);
}

void TStringList::Assign(const TStringList& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    Clear();
    for (const Line& line : source.lines_) {
        const int index = Add(line.text);
        if (index >= 0)
            lines_[index].tag = line.tag;
    }
    EndUpdate();
}

int TStringList::IndexOf(std::string_view s) const
{
    if (sorted_) {
        int index = 0;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i) {
        if (CompareStrings(lines_[i].text, s) == 0)
            return i;
    }
    return -1;
}

bool TStringList::Find(std::string_view s, int& index) const
{
    int low = 0;
    int high = Count() - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const int c = CompareStrings(lines_[middle].text, s);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                index = middle;
                return true;
            }
        }
    }
    index = low;
    return false;
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted == sorted_)
        return;
    if (sorted)
        sortLines();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive == caseSensitive_)
        return;
    caseSensitive_ = caseSensitive;
    if (sorted_)
        sortLines();
}

void TStringList::CustomSort(TStringListSortCompare compare, void* context)
{
    if (sorted_ || Count() < 2)
        return;
    ++changeStamp_;
    auto byCaller = [this, compare, context](int a, int b) { return compare(*this, a, b, context); };
    auto exchange = [this](int a, int b) { std::swap(lines_[a], lines_[b]); };
    QuickSortPositions(0, Count() - 1, byCaller, exchange);
}

void TStringList::CustomSortByTag(TTagCompare compare)
{
    if (sorted_ || Count() < 2)
        return;
    ++changeStamp_;
    struct Entry {
        int64_t tag;
        int line;
    };
    const int n = Count();
    std::vector<Entry> entries(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        entries[i] = Entry { lines_[i].tag, i };
    auto byTag = [compare, &entries](int a, int b) { return compare(entries[a].tag, entries[b].tag); };
    auto exchange = [&entries](int a, int b) { std::swap(entries[a], entries[b]); };
    QuickSortPositions(0, n - 1, byTag, exchange);
    moveToOrder(entries);
}

int64_t TStringList::Tag(int i) const
{
    checkIndex(i, Count());
    return lines_[i].tag;
}

void TStringList::SetTag(int i, int64_t tag)
{
    checkIndex(i, Count());
    lines_[i].tag = tag;
}

int TStringList::CompareStrings(std::string_view a, std::string_view b) const
{
    return CollateCompare(a, b, caseSensitive_);
}

void TStringList::checkIndex(int i, int limit) const
{
    if (i < 0 || i >= limit)
        throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
}

void TStringList::checkUnsorted() const
{
    if (sorted_)
        throw EStringListError("Operation not allowed on sorted list");
}

// Sorts positions holding each line's prefix key, so that nearly every comparison reads two words
// next to each other instead of two lines elsewhere in memory, then puts the lines in that order.
// The exchanges are the ones sorting the lines directly would make.
void TStringList::sortLines()
{
    const int n = Count();
    if (n < 2)
        return;
    struct Entry {
        TCollationPrefix prefix;
        int line;
    };
    std::vector<Entry> entries(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        entries[i] = Entry { SortPrefix(lines_[i].text), i };
    auto byCollation = [this, &entries](int a, int b) {
        const int c = ComparePrefixes(entries[a].prefix, entries[b].prefix);
        if (c != 0 || a == b)
            return c;
        return CompareStrings(lines_[entries[a].line].text, lines_[entries[b].line].text);
    };
    // Lines in strictly rising order have only one sorted order, which the quicksort would keep; a
    // directory sorted again after an unchanged reload costs a single pass.
    int rising = 1;
    while (rising < n && byCollation(rising - 1, rising) < 0)
        ++rising;
    if (rising == n)
        return;

    ++changeStamp_;
    auto exchange = [&entries](int a, int b) { std::swap(entries[a], entries[b]); };
    QuickSortPositions(0, n - 1, byCollation, exchange);

    moveToOrder(entries);
}

// Moves every line to its sorted place along the cycles of the permutation, without a second list.
template <typename Entry> void TStringList::moveToOrder(std::vector<Entry>& entries)
{
    const int n = static_cast<int>(entries.size());
    for (int start = 0; start < n; ++start) {
        if (entries[start].line < 0)
            continue;
        if (entries[start].line == start) {
            entries[start].line = -1;
            continue;
        }
        Line first = std::move(lines_[start]);
        int to = start;
        for (;;) {
            const int from = entries[to].line;
            entries[to].line = -1;
            if (from == start) {
                lines_[to] = std::move(first);
                break;
            }
            lines_[to] = std::move(lines_[from]);
            to = from;
        }
    }
}
