#include "controls/RepaintCollector.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

QRegion unionOf(const std::vector<QRect>& rects)
{
    QRegion region;
    for (const QRect& rect : rects)
        region += rect;
    return region;
}

// The same area, and a region that answers as one: point by point, and cut by other rectangles.
void expectSameArea(const QRegion& got, const QRegion& want, std::mt19937& rng)
{
    EXPECT_TRUE(got.xored(want).isEmpty());
    EXPECT_EQ(got.boundingRect(), want.boundingRect());
    std::uniform_int_distribution<int> coord(-5, 420);
    for (int i = 0; i < 200; ++i) {
        const QPoint point(coord(rng), coord(rng));
        ASSERT_EQ(got.contains(point), want.contains(point)) << point.x() << "," << point.y();
        const QRect cut(coord(rng), coord(rng), coord(rng) / 4, coord(rng) / 4);
        ASSERT_TRUE(got.intersected(cut).xored(want.intersected(cut)).isEmpty());
        ASSERT_TRUE(got.subtracted(cut).xored(want.subtracted(cut)).isEmpty());
    }
}

} // namespace

TEST(RepaintCollector, RowsWrittenTopDownGiveTheUnionOfTheirCells)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        // Columns of random widths, some of them empty; rows of one height, some rows skipped.
        std::vector<int> lefts { 0 };
        for (int col = 0; col < 7; ++col)
            lefts.push_back(lefts.back() + int(rng() % 60) + (rng() % 8 == 0 ? 0 : 1));
        const int height = 1 + int(rng() % 20);
        TRepaintCollector collector;
        std::vector<QRect> added;
        for (int row = 0, top = 0; row < 20; ++row, top += height + int(rng() % 2)) {
            if (rng() % 3 == 0)
                continue;
            for (int col = 0; col < 7; ++col) {
                if (rng() % 2)
                    continue;
                // A cell, the same cell again, or now and then the whole row after some cells.
                const QRect cell(lefts[size_t(col)], top, lefts[size_t(col) + 1] - lefts[size_t(col)], height);
                const QRect rect = rng() % 12 == 0 ? QRect(0, top, lefts.back(), height) : cell;
                for (int times = 1 + int(rng() % 2); times > 0; --times) {
                    collector.Add(rect);
                    added.push_back(rect);
                }
            }
        }
        const QRegion region = collector.Take();
        expectSameArea(region, unionOf(added), rng);
        EXPECT_TRUE(collector.IsEmpty());
        EXPECT_TRUE(collector.Take().isEmpty());
    }
}

TEST(RepaintCollector, RectanglesInAnyOrderGiveTheirUnionToo)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(0, 300), size(0, 90);
    for (int round = 0; round < 300; ++round) {
        TRepaintCollector collector;
        std::vector<QRect> added;
        const int count = int(rng() % 12);
        for (int i = 0; i < count; ++i) {
            // Overlapping ones, bands of other heights, rows out of order and empty rectangles.
            QRect rect(coord(rng), coord(rng) / (1 + int(rng() % 10)), size(rng), size(rng) / (1 + int(rng() % 3)));
            if (!added.empty() && rng() % 3 == 0)
                rect.moveTop(added.back().top());
            collector.Add(rect);
            added.push_back(rect);
        }
        expectSameArea(collector.Take(), unionOf(added), rng);
    }
}
