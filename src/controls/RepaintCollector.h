#pragma once

#include <QRect>
#include <QRegion>

#include <vector>

// Gathers the repaints a batch of cell writes asks for into one region. The table writes its rows
// top to bottom and a row's cells left to right, so the rectangles come band by band: then the
// region is set from them in one step instead of a union per rectangle, each of which walks all
// the rectangles gathered before it. Rectangles in any other order are united as before.
//
// Rectangles of one band at most joinGap pixels apart are joined, the gap with them: a table's
// cells of one row lie a grid line apart, and one rectangle per row is cheaper to paint through
// than one per cell.
class TRepaintCollector {
public:
    explicit TRepaintCollector(int joinGap = 0)
        : joinGap_(joinGap)
    {
    }
    void Add(const QRect& rect);
    bool IsEmpty() const { return rects_.empty(); }
    // The region of everything added, and a fresh start.
    QRegion Take();

private:
    bool banded() const;

    int joinGap_;
    std::vector<QRect> rects_;
};
