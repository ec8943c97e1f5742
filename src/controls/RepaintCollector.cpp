#include "controls/RepaintCollector.h"

void TRepaintCollector::Add(const QRect& rect)
{
    if (rect.isEmpty())
        return;
    // A rectangle that reaches the last ones of its band joins them: a region's rectangles of one
    // band may neither touch nor overlap. A whole row written after some of its cells takes them in.
    QRect joined = rect;
    while (!rects_.empty()) {
        const QRect& last = rects_.back();
        if (joined.top() != last.top() || joined.height() != last.height()
            || joined.left() > last.right() + 1 + joinGap_ || joined.right() < last.left() - 1 - joinGap_)
            break;
        joined = joined.united(last);
        rects_.pop_back();
    }
    rects_.push_back(joined);
}

bool TRepaintCollector::banded() const
{
    // What a region built from a list asks of it: bands from the top down, each one height, its
    // rectangles left to right with gaps between them, and no band reaching into the next.
    for (size_t i = 1; i < rects_.size(); ++i) {
        const QRect& before = rects_[i - 1];
        const QRect& rect = rects_[i];
        const bool fits = rect.top() == before.top()
            ? rect.height() == before.height() && rect.left() > before.right() + 1
            : rect.top() > before.bottom();
        if (!fits)
            return false;
    }
    return true;
}

QRegion TRepaintCollector::Take()
{
    QRegion region;
    if (banded()) {
        region.setRects(rects_.data(), int(rects_.size()));
    } else {
        for (const QRect& rect : rects_)
            region += rect;
    }
    rects_.clear();
    return region;
}
