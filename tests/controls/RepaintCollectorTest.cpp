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

TEST(RepaintCollector, CellsAGridLineApartBecomeOneRectangleWithTheLineBetweenThem)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        // Columns a grid line apart, now and then touching or two lines apart (a hidden column).
        std::vector<int> lefts { 0 }, rights;
        for (int col = 0; col < 7; ++col) {
            rights.push_back(lefts.back() + 1 + int(rng() % 40));
            lefts.push_back(rights.back() + int(rng() % 6 == 0 ? rng() % 3 : 1));
        }
        TRepaintCollector collector(1);
        QRegion want;
        int runs = 0;
        for (int row = 0, top = 0; row < 12; ++row, top += 19) {
            // The cells written in this row, left to right, and the whole row now and then.
            std::vector<bool> written(7);
            for (int col = 0; col < 7; ++col)
                if (rng() % 3 != 0) {
                    written[size_t(col)] = true;
                    collector.Add(QRect(QPoint(lefts[size_t(col)], top), QPoint(rights[size_t(col)] - 1, top + 17)));
                }
            if (rng() % 8 == 0) {
                const QRect whole(QPoint(0, top), QPoint(rights.back() - 1, top + 17));
                collector.Add(whole);
                want += whole;
                ++runs;
                continue;
            }
            // What it must cover: each run of written cells with the lines of at most one pixel
            // between them, and nothing between cells further apart or beside unwritten ones.
            int col = 0;
            while (col < 7) {
                if (!written[size_t(col)]) {
                    ++col;
                    continue;
                }
                int end = col;
                while (end + 1 < 7 && written[size_t(end) + 1] && lefts[size_t(end) + 1] - rights[size_t(end)] <= 1)
                    ++end;
                want += QRect(QPoint(lefts[size_t(col)], top), QPoint(rights[size_t(end)] - 1, top + 17));
                ++runs;
                col = end + 1;
            }
        }
        const QRegion got = collector.Take();
        expectSameArea(got, want, rng);
        // One rectangle per run: the rows' rectangles were taken as they stand, not united.
        EXPECT_EQ(got.rectCount(), runs);
    }
}
