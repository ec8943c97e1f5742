#include "controls/RepaintCollector.h"

void TRepaintCollector::Add(const QRect& rect)
{
    if (rect.isEmpty())
        return;
    // A cell beside or over the last one in the same row joins it: a region's rectangles of one
    // band may neither touch nor overlap.
    if (!rects_.empty()) {
        QRect& last = rects_.back();
        if (rect.top() == last.top() && rect.height() == last.height() && rect.left() <= last.right() + 1
            && rect.right() >= last.left() - 1) {
            last = last.united(rect);
            return;
        }
    }
    rects_.push_back(rect);
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
