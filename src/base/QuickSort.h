#pragma once

#include <climits>

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
        int i = l;
        int j = r;
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
