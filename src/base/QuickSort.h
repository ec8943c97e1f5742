#pragma once

#include <climits>
#include <map>

// One partition of positions l to r (l < r) around the entry at their middle, as the quicksort
// makes it: afterwards the parts l..j and i..r are left to sort, each on its own, and the
// positions between them hold their final entries.
template <typename Compare, typename Swap>
void QuickSortPartition(int l, int r, Compare& compare, Swap& exchange, int& i, int& j)
{
    i = l;
    j = r;
    int p = l + (r - l) / 2;
    do {
        // The bounds only matter for a comparison that contradicts itself, which must not run off the list.
        while (i < r && compare(i, p) < 0)
            ++i;
        while (j > l && compare(j, p) > 0)
            --j;
        if (i <= j) {
            if (i != j)
                exchange(i, j);
            if (p == i)
                p = j;
            else if (p == j)
                p = i;
            ++i;
            --j;
        }
    } while (i <= j);
}

// The list sort's quicksort over positions l to r, with the caller's comparison and exchange of
// two positions. Compares against whatever stands at the pivot position, which follows the pivot
// entry through the exchanges; which of two equal entries ends first depends on exactly these
// steps, so every sort that must agree with the list's goes through here.
//
// Positions from `limit` on may be left unsorted: each part of a partition is sorted on its own and
// touches only its own positions, so skipping the parts that start at or after `limit` leaves the
// positions before it exactly as the full sort puts them, and the rest holds the same entries.
template <typename Compare, typename Swap>
void QuickSortPositions(int l, int r, Compare& compare, Swap& exchange, int limit = INT_MAX)
{
    while (l < r) {
        int i, j;
        QuickSortPartition(l, r, compare, exchange, i, j);
        // The two parts are disjoint, so sorting them in either order gives the same entries;
        // recursing into the smaller one keeps the stack shallow for any input.
        const bool sortRight = i < r && i < limit;
        if (j - l < r - i) {
            if (l < j)
                QuickSortPositions(l, j, compare, exchange, limit);
            if (!sortRight)
                return;
            l = i;
        } else {
            if (sortRight)
                QuickSortPositions(i, r, compare, exchange, limit);
            r = j;
        }
    }
}

// The same quicksort done a part at a time, as positions are asked for: settling a position
// partitions only the parts that hold it, and the other parts wait, unsorted, until a position of
// theirs is asked for. Since each part is sorted on its own, every position ends with exactly the
// entry the whole sort gives it, in whatever order the positions are asked for.
class TDeferredQuickSort {
public:
    // Positions 0 to count - 1, none settled yet.
    void Start(int count)
    {
        waiting_.clear();
        if (count > 1)
            waiting_.emplace(0, count - 1);
    }

    template <typename Compare, typename Swap> void Settle(int position, Compare& compare, Swap& exchange)
    {
        auto part = waiting_.upper_bound(position);
        if (part == waiting_.begin())
            return;
        --part;
        if (part->second < position)
            return;
        int l = part->first, r = part->second;
        waiting_.erase(part);
        while (l < r) {
            int i, j;
            QuickSortPartition(l, r, compare, exchange, i, j);
            if (position <= j) {
                if (i < r)
                    waiting_.emplace(i, r);
                r = j;
            } else if (position >= i) {
                if (l < j)
                    waiting_.emplace(l, j);
                l = i;
            } else {
                if (l < j)
                    waiting_.emplace(l, j);
                if (i < r)
                    waiting_.emplace(i, r);
                return;
            }
        }
    }

private:
    // The parts still to sort: first position to last.
    std::map<int, int> waiting_;
};
