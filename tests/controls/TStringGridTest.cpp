#include "controls/TStringGrid.h"

#include "base/Exception.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <tuple>

namespace {

// Colours far apart from each other, so a probed pixel tells which role painted it.
const QColor BaseColor(250, 250, 250);
const QColor ButtonColor(200, 120, 40);
const QColor LightColor(255, 255, 0);
const QColor DarkColor(0, 0, 200);
const QColor ShadowColor(80, 0, 80);
const QColor MidlightColor(0, 200, 0);
const QColor HighlightColor(200, 0, 0);
const QColor HighlightedTextColor(0, 255, 255);
const QColor TextColor(0, 0, 0);

QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y).toRgb();
}

// Bounding box of the pixels in `area` that differ from `background`.
QRect inkBounds(const QImage& image, const QRect& area, const QColor& background)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (at(image, x, y) != background)
                ink = ink.united(QRect(x, y, 1, 1));
    return ink;
}

int pixelsOf(const QImage& image, const QRect& area, const QColor& colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += at(image, x, y) == colour;
    return count;
}

QRect inner(const QRect& cell)
{
    return cell.adjusted(1, 1, -1, -1);
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

void drag(QWidget* target, QPoint from, QPoint to)
{
    sendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

class StringGridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid = std::make_unique<TStringGrid>();
        QPalette pal = grid->palette();
        for (auto group : { QPalette::Active, QPalette::Inactive }) {
            pal.setColor(group, QPalette::Base, BaseColor);
            pal.setColor(group, QPalette::Button, ButtonColor);
            pal.setColor(group, QPalette::Light, LightColor);
            pal.setColor(group, QPalette::Dark, DarkColor);
            pal.setColor(group, QPalette::Shadow, ShadowColor);
            pal.setColor(group, QPalette::Midlight, MidlightColor);
            pal.setColor(group, QPalette::Highlight, HighlightColor);
            pal.setColor(group, QPalette::HighlightedText, HighlightedTextColor);
            pal.setColor(group, QPalette::Text, TextColor);
        }
        grid->setPalette(pal);
        QFont font("DejaVu Sans");
        font.setPixelSize(11);
        font.setStyleStrategy(QFont::NoAntialias);
        grid->setFont(font);
        grid->resize(600, 300);
    }

    void showFocused()
    {
        grid->show();
        grid->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(grid.get()));
        grid->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(grid->hasFocus());
    }

    // A grid of random size, columns, rows, fixed parts and scroll place, and a random region of
    // its view to paint.
    QRegion arrangeAtRandom(std::mt19937& rng)
    {
        grid->resize(80 + int(rng() % 400), 50 + int(rng() % 300));
        grid->SetColCount(1 + int(rng() % 8));
        grid->SetRowCount(1 + int(rng() % 40));
        grid->SetFixedCols(int(rng() % 3));
        grid->SetFixedRows(int(rng() % 3));
        grid->SetDefaultRowHeight(1 + int(rng() % 24));
        for (int col = 0; col < grid->ColCount(); ++col)
            grid->SetColWidth(col, rng() % 6 == 0 ? 0 : int(rng() % 90));
        grid->SetTopRow(int(rng() % 40));
        grid->SetLeftCol(int(rng() % 8));
        const QSize size = viewport()->size();
        QRegion region;
        for (int n = 1 + int(rng() % 5); n > 0; --n)
            region += QRect(int(rng() % uint(size.width())), int(rng() % uint(size.height())), 1 + int(rng() % 300),
                1 + int(rng() % 200));
        return region;
    }

    QWidget* viewport() const { return grid->viewport(); }
    QPoint centre(int col, int row) const { return grid->CellRect(col, row).center(); }

    std::unique_ptr<TStringGrid> grid;
};

TEST_F(StringGridTest, StartsWithTheHeaderRowAndThreeFixedColumns)
{
    EXPECT_EQ(grid->ColCount(), 7);
    EXPECT_EQ(grid->RowCount(), 5);
    EXPECT_EQ(grid->FixedCols(), 3);
    EXPECT_EQ(grid->FixedRows(), 1);
    EXPECT_EQ(grid->DefaultRowHeight(), 18);
    EXPECT_EQ(grid->DefaultColWidth(), 70);
    EXPECT_EQ(grid->Col(), 3);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(grid->CellRect(0, 0), QRect(0, 0, 70, 18));
    // One pixel of grid line between neighbouring cells.
    EXPECT_EQ(grid->CellRect(1, 1), QRect(71, 19, 70, 18));
}

TEST_F(StringGridTest, RowCountBelowOneIsOneAndTheHeaderStaysFixed)
{
    for (int count : { 0, -1, -100000 }) {
        grid->SetRowCount(count);
        EXPECT_EQ(grid->RowCount(), 1);
        EXPECT_EQ(grid->FixedRows(), 1);
    }
    std::map<std::pair<int, int>, TGridDrawState> states;
    grid->OnDrawCell = [&](TGridCanvas&, int col, int row, const QRect&, TGridDrawState state) {
        states[{ col, row }] = state;
    };
    grid->RenderViewport();
    ASSERT_EQ(states.size(), 7u);
    for (const auto& [cell, state] : states) {
        EXPECT_EQ(cell.second, 0);
        EXPECT_TRUE(state.Fixed);
        EXPECT_FALSE(state.Selected);
    }
    EXPECT_TRUE(grid->CellRect(3, 1).isEmpty());
}

TEST_F(StringGridTest, RowsCutOffKeepTheirTextsAndShowThemAgain)
{
    grid->SetCell(3, 4, "WWWW");
    grid->SetRowCount(2);
    EXPECT_EQ(grid->Cell(3, 4), "WWWW");
    EXPECT_TRUE(grid->CellRect(3, 4).isEmpty());
    QImage cut = grid->RenderViewport();
    // Below the last row there is only background.
    EXPECT_EQ(inkBounds(cut, QRect(0, 2 * 19, cut.width(), cut.height() - 2 * 19), BaseColor), QRect());

    // Rows beyond the count take writes too, as the table is filled before its count is set.
    grid->SetCell(4, 6, "later");
    grid->SetRowCount(7);
    EXPECT_EQ(grid->Cell(3, 4), "WWWW");
    EXPECT_EQ(grid->Cell(4, 6), "later");
    QImage grown = grid->RenderViewport();
    EXPECT_GT(pixelsOf(grown, inner(grid->CellRect(3, 4)), TextColor), 10);
    EXPECT_GT(pixelsOf(grown, inner(grid->CellRect(4, 6)), TextColor), 10);
}

TEST_F(StringGridTest, CellsOutsideTheGridReadEmptyAndRejectWrites)
{
    EXPECT_EQ(grid->Cell(-1, 0), "");
    EXPECT_EQ(grid->Cell(0, -1), "");
    EXPECT_EQ(grid->Cell(7, 1), "");
    EXPECT_EQ(grid->Cell(2, 1000000), "");
    EXPECT_THROW(grid->SetCell(-1, 1, "x"), Exception);
    EXPECT_THROW(grid->SetCell(7, 1, "x"), Exception);
    EXPECT_THROW(grid->SetCell(1, -1, "x"), Exception);
    EXPECT_THROW(grid->SetCell(1, TStringGrid::MaxRowCount, "x"), Exception);
    EXPECT_THROW(grid->ColWidths(7), Exception);
    EXPECT_THROW(grid->SetColWidth(-1, 10), Exception);

    grid->SetRowCount(40);
    EXPECT_THROW(grid->SetRowCount(TStringGrid::MaxRowCount + 1), Exception);
    EXPECT_EQ(grid->RowCount(), 40);
}

TEST_F(StringGridTest, ColumnCountChangesKeepWidthsAndTexts)
{
    grid->SetColWidth(1, 120);
    grid->SetCell(6, 2, "six");
    grid->SetColCount(5);
    EXPECT_THROW(grid->ColWidths(6), Exception);
    grid->SetColCount(8);
    EXPECT_EQ(grid->ColWidths(1), 120);
    EXPECT_EQ(grid->ColWidths(7), 70);
    EXPECT_EQ(grid->Cell(6, 2), "six");
    grid->SetColCount(0);
    EXPECT_EQ(grid->ColCount(), 1);
    EXPECT_TRUE(grid->CellRect(0, 1).isValid());
    grid->SetDefaultColWidth(40);
    EXPECT_EQ(grid->ColWidths(0), 40);
}

TEST_F(StringGridTest, FixedCellsAreButtonFacedWithARaisedEdge)
{
    QImage image = grid->RenderViewport();
    for (auto [col, row] : { std::pair { 0, 0 }, { 2, 3 }, { 5, 0 } }) {
        SCOPED_TRACE(testing::Message() << col << "," << row);
        const QRect cell = grid->CellRect(col, row);
        EXPECT_EQ(at(image, cell.center().x(), cell.center().y()), ButtonColor);
        EXPECT_EQ(at(image, cell.left() + 5, cell.top()), LightColor);
        EXPECT_EQ(at(image, cell.left(), cell.top() + 5), LightColor);
        EXPECT_EQ(at(image, cell.left() + 5, cell.bottom()), DarkColor);
        EXPECT_EQ(at(image, cell.right(), cell.top() + 5), DarkColor);
        // The grid line right of a fixed cell.
        EXPECT_EQ(at(image, cell.right() + 1, cell.top() + 5), ShadowColor);
    }
    // A normal cell away from the current one: plain window colour, no edge, light grid lines.
    const QRect cell = grid->CellRect(5, 3);
    EXPECT_EQ(pixelsOf(image, cell, BaseColor), cell.width() * cell.height());
    EXPECT_EQ(at(image, cell.right() + 1, cell.top() + 5), MidlightColor);
    EXPECT_EQ(at(image, cell.left() + 5, cell.bottom() + 1), MidlightColor);
}

TEST_F(StringGridTest, TextStartsTwoPixelsInAndIsClippedToItsCell)
{
    grid->SetCell(3, 2, std::string(200, 'W'));
    grid->SetCell(1, 2, "H");
    QImage image = grid->RenderViewport();
    const QRect longCell = grid->CellRect(3, 2);
    const QRect ink = inkBounds(image, longCell, BaseColor);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), longCell.left() + 2);
    EXPECT_LE(ink.left(), longCell.left() + 4);
    EXPECT_GE(ink.top(), longCell.top() + 2);
    EXPECT_EQ(ink.right(), longCell.right());
    // Neither the grid line nor the neighbour shows any of it.
    EXPECT_EQ(at(image, longCell.right() + 1, longCell.top() + 8), MidlightColor);
    EXPECT_EQ(inkBounds(image, grid->CellRect(4, 2), BaseColor), QRect());

    const QRect fixedCell = grid->CellRect(1, 2);
    const QRect fixedInk = inkBounds(image, inner(fixedCell), ButtonColor);
    EXPECT_GE(fixedInk.left(), fixedCell.left() + 2);
    EXPECT_GE(fixedInk.top(), fixedCell.top() + 2);
}

TEST_F(StringGridTest, CellTextsAreShownAsLatin1)
{
    const std::string bytes = "caf\xE9 \xFC";
    grid->SetCell(4, 1, bytes);
    EXPECT_EQ(grid->Cell(4, 1), bytes);
    QImage shown = grid->RenderViewport();

    QImage expected(shown.size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&expected);
        grid->SetCell(4, 1, "");
        grid->Paint(painter, expected.rect());
        const QRect cell = grid->CellRect(4, 1);
        TGridCanvas canvas { painter, grid->font(), TextColor, BaseColor };
        canvas.TextRect(cell, cell.left() + 2, cell.top() + 2, QString::fromUtf8("caf\u00e9 \u00fc"));
    }
    EXPECT_EQ(shown, expected);
}

TEST_F(StringGridTest, HookRunsAfterTheDefaultDrawingAndCoversIt)
{
    grid->SetCell(4, 2, "WWWW");
    grid->SetCell(1, 2, "WWWW");
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const QColor hookColour(10, 100, 200);
    int textSeenByHook = 0;
    grid->OnDrawCell = [&](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState) {
        if (row != 2 || (col != 4 && col != 1))
            return;
        // The grid's own background and text are already there.
        textSeenByHook += pixelsOf(image, inner(rect), TextColor);
        canvas.BrushColor = hookColour;
        canvas.FillRect(rect);
    };
    QPainter painter(&image);
    grid->Paint(painter, image.rect());
    painter.end();

    EXPECT_GT(textSeenByHook, 20);
    const QRect normal = grid->CellRect(4, 2);
    EXPECT_EQ(pixelsOf(image, normal, hookColour), normal.width() * normal.height());
    // The raised edge of a fixed cell is drawn over whatever the hook left.
    const QRect fixed = grid->CellRect(1, 2);
    EXPECT_EQ(at(image, fixed.left() + 5, fixed.top()), LightColor);
    EXPECT_EQ(at(image, fixed.right(), fixed.top() + 5), DarkColor);
    EXPECT_EQ(pixelsOf(image, inner(fixed), hookColour), inner(fixed).width() * inner(fixed).height());
}

TEST_F(StringGridTest, FontAndColoursStartAfreshForEveryCell)
{
    grid->SetCell(4, 1, "WWWW");
    grid->SetCell(5, 1, "WWWW");
    int cells = 0;
    int boldOnEntry = 0;
    int changedColoursOnEntry = 0;
    grid->OnDrawCell = [&](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state) {
        ++cells;
        boldOnEntry += canvas.Font.bold();
        const bool plain = !state.Fixed && !state.Selected;
        changedColoursOnEntry += plain && (canvas.FontColor != TextColor || canvas.BrushColor != BaseColor);
        // What the table's handler does: restyle, then redraw the text over its own background.
        canvas.Font.setBold(true);
        canvas.FontColor = QColor(96, 96, 96);
        canvas.BrushColor = Qt::yellow;
        if (col == 4 && row == 1) {
            canvas.FillRect(rect);
            canvas.TextRect(rect, rect.left() + 2, rect.top() + 2, grid->Cell(col, row));
        }
        canvas.Painter.setClipRect(QRect(0, 0, 1, 1));
    };
    QImage image = grid->RenderViewport();
    EXPECT_EQ(cells, 7 * 5);
    EXPECT_EQ(boldOnEntry, 0);
    EXPECT_EQ(changedColoursOnEntry, 0);

    // The bold grey text of cell (4, 1) is wider than the regular black one of (5, 1), and nothing of the hook's
    // clip reached the next cell.
    const QRect bold = inkBounds(image, grid->CellRect(4, 1), Qt::yellow);
    const QRect regular = inkBounds(image, grid->CellRect(5, 1), BaseColor);
    EXPECT_GT(bold.width(), regular.width());
    EXPECT_GT(pixelsOf(image, grid->CellRect(4, 1), QColor(96, 96, 96)), 10);
    EXPECT_GT(pixelsOf(image, grid->CellRect(5, 1), TextColor), 10);
}

// Cells whose fonts change from cell to cell, in sizes, weights and kinds of size, and a hook that
// sets the painter's font itself: every text looks as it does when each one sets its font and
// measures it afresh, on devices of three resolutions one after the other.
TEST_F(StringGridTest, TextsInChangingFontsLookAsWhenEachMeasuresItsFontAfresh)
{
    std::mt19937 rng(5);
    for (int row = 0; row < grid->RowCount(); ++row)
        for (int col = 0; col < grid->ColCount(); ++col)
            grid->SetCell(col, row, "Wg" + std::to_string(rng() % 100000) + (rng() % 2 ? " kbit/s" : " MB"));
    const auto fontOf = [&](int col, int row) {
        QFont font = grid->font();
        switch ((col * 7 + row * 3) % 5) {
        case 1:
            font.setBold(true);
            break;
        case 2:
            font.setPixelSize(15);
            break;
        case 3:
            break;
        default:
            // The first and the last cell of a paint: the next paint's first cell is in the
            // same font, on a device of another resolution.
            font.setPointSize(9);
            break;
        }
        return font;
    };
    for (const int dpi : { 192, 96, 144 }) {
        const auto paint = [&](bool measureEach) {
            grid->OnDrawCell = [&](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState) {
                canvas.Font = fontOf(col, row);
                if ((col + row) % 4 == 0)
                    canvas.Painter.setFont(fontOf(col + 1, row));
                canvas.FillRect(rect);
                const QString text = QString::fromStdString(grid->Cell(col, row));
                if (!measureEach) {
                    canvas.TextRect(rect, rect.left() + 2, rect.top() + 2, text);
                    return;
                }
                QPainter& p = canvas.Painter;
                p.save();
                p.setClipRect(rect, Qt::IntersectClip);
                p.setFont(canvas.Font);
                p.setPen(canvas.FontColor);
                p.drawText(QPoint(rect.left() + 2, rect.top() + 2 + p.fontMetrics().ascent()), text);
                p.restore();
            };
            QImage image(grid->viewport()->size(), QImage::Format_RGB32);
            image.setDotsPerMeterX(qRound(dpi / 0.0254));
            image.setDotsPerMeterY(qRound(dpi / 0.0254));
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setFont(grid->font());
            grid->Paint(painter, image.rect());
            return image;
        };
        const QImage measuredEach = paint(true);
        EXPECT_EQ(paint(false), measuredEach) << dpi << " dpi";
        EXPECT_GT(pixelsOf(measuredEach, grid->CellRect(4, 1), TextColor), 20);
    }
}

TEST_F(StringGridTest, PaintCellDrawsOneCellAsTheWholeViewDoes)
{
    grid->SetCell(1, 1, "fixed");
    grid->SetCell(4, 3, "normal");
    grid->SetCurrentCell(4, 2);
    grid->SetCurrentCell(4, 3, true);
    const QImage whole = grid->RenderViewport();
    for (auto [col, row] : { std::pair { 1, 1 }, { 4, 3 }, { 5, 3 } }) {
        QImage single(whole.size(), QImage::Format_ARGB32_Premultiplied);
        single.fill(Qt::transparent);
        QPainter painter(&single);
        grid->PaintCell(painter, col, row);
        painter.end();
        const QRect cell = grid->CellRect(col, row);
        EXPECT_EQ(single.copy(cell), whole.copy(cell));
    }
}

TEST_F(StringGridTest, HookGetsEachVisibleCellWithItsRectAndState)
{
    grid->SetCurrentCell(4, 2);
    grid->SetCurrentCell(5, 3, true);
    std::map<std::pair<int, int>, std::pair<QRect, TGridDrawState>> calls;
    bool oncePerCell = true;
    grid->OnDrawCell = [&](TGridCanvas&, int col, int row, const QRect& rect, TGridDrawState state) {
        const bool first = calls.insert_or_assign(std::pair { col, row }, std::pair { rect, state }).second;
        EXPECT_TRUE(first || !oncePerCell);
    };
    grid->RenderViewport();
    ASSERT_EQ(calls.size(), 7u * 5u);
    for (const auto& [cell, call] : calls) {
        const auto [col, row] = cell;
        SCOPED_TRACE(testing::Message() << col << "," << row);
        EXPECT_EQ(call.first, grid->CellRect(col, row));
        EXPECT_EQ(call.second.Fixed, col < 3 || row == 0);
        EXPECT_EQ(call.second.Selected, col >= 4 && col <= 5 && row >= 2 && row <= 3);
        EXPECT_FALSE(call.second.Focused);
    }

    // Real paint events come through the same hook.
    calls.clear();
    oncePerCell = false;
    showFocused();
    ASSERT_EQ(calls.size(), 7u * 5u);
    calls.clear();
    oncePerCell = true;
    grid->RenderViewport();
    for (const auto& [cell, call] : calls)
        EXPECT_EQ(call.second.Focused, cell == std::pair(5, 3));
}

TEST_F(StringGridTest, MouseDragSelectsARangeOfCells)
{
    grid->SetRowCount(8);
    drag(viewport(), centre(3, 2), centre(5, 4));
    EXPECT_EQ(grid->Selection(), (TGridRect { 3, 2, 5, 4 }));
    EXPECT_EQ(grid->Col(), 5);
    EXPECT_EQ(grid->Row(), 4);

    // Dragging back up and left selects the other way round.
    drag(viewport(), centre(6, 5), centre(4, 1));
    EXPECT_EQ(grid->Selection(), (TGridRect { 4, 1, 6, 5 }));

    // Shift extends from the anchor; a press on a fixed cell leaves everything as it is.
    sendMouse(viewport(), QEvent::MouseButtonPress, centre(3, 7), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    sendMouse(viewport(), QEvent::MouseButtonRelease, centre(3, 7), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(grid->Selection(), (TGridRect { 3, 5, 6, 7 }));
    drag(viewport(), centre(1, 3), centre(2, 4));
    drag(viewport(), centre(4, 0), centre(5, 0));
    EXPECT_EQ(grid->Selection(), (TGridRect { 3, 5, 6, 7 }));
}

TEST_F(StringGridTest, SelectedCellsShowTheHighlightExceptTheFocusedCurrentCell)
{
    grid->SetCell(4, 2, "WWWW");
    drag(viewport(), centre(3, 1), centre(4, 2));
    QImage unfocused = grid->RenderViewport();
    for (auto [col, row] : { std::pair { 3, 1 }, { 4, 1 }, { 3, 2 }, { 4, 2 } })
        EXPECT_EQ(
            at(unfocused, grid->CellRect(col, row).left() + 1, grid->CellRect(col, row).top() + 1), HighlightColor);
    EXPECT_GT(pixelsOf(unfocused, grid->CellRect(4, 2), HighlightedTextColor), 10);
    EXPECT_EQ(at(unfocused, centre(5, 1).x(), centre(5, 1).y()), BaseColor);

    showFocused();
    QImage focused = grid->RenderViewport();
    const QRect current = grid->CellRect(4, 2);
    EXPECT_EQ(at(focused, current.left() + 1, current.bottom() - 1), BaseColor);
    EXPECT_GT(pixelsOf(focused, current, TextColor), 10);
    // The dotted focus rectangle runs along the cell's border.
    const int dots = pixelsOf(focused, QRect(current.left(), current.top(), current.width(), 1), TextColor);
    EXPECT_GE(dots, current.width() / 2 - 1);
    EXPECT_LE(dots, current.width() / 2 + 1);
    EXPECT_EQ(at(focused, centre(3, 1).x(), centre(3, 1).y()), HighlightColor);
}

TEST_F(StringGridTest, ColumnWidthsAreDraggedAtHeaderBoundaries)
{
    const int boundary = grid->CellRect(3, 0).right() + 1;
    sendMouse(viewport(), QEvent::MouseMove, QPoint(boundary, 9), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(viewport()->cursor().shape(), Qt::SplitHCursor);
    drag(viewport(), QPoint(boundary, 9), QPoint(boundary + 30, 40));
    EXPECT_EQ(grid->ColWidths(3), 100);
    EXPECT_EQ(grid->CellRect(4, 1).left(), grid->CellRect(3, 1).right() + 2);

    // Fixed columns size the same way; a column never collapses to nothing and can be widened again.
    const int fixedBoundary = grid->CellRect(1, 0).right() + 1;
    drag(viewport(), QPoint(fixedBoundary, 5), QPoint(fixedBoundary - 500, 5));
    EXPECT_EQ(grid->ColWidths(1), 1);
    const int collapsed = grid->CellRect(1, 0).right() + 1;
    drag(viewport(), QPoint(collapsed, 5), QPoint(collapsed + 49, 5));
    EXPECT_EQ(grid->ColWidths(1), 50);

    // Away from a boundary, or below the header, nothing is sized.
    drag(viewport(), QPoint(grid->CellRect(5, 0).center().x(), 9), QPoint(grid->CellRect(5, 0).center().x() + 20, 9));
    drag(viewport(), QPoint(grid->CellRect(5, 2).right() + 1, centre(5, 2).y()),
        QPoint(grid->CellRect(5, 2).right() + 30, centre(5, 2).y()));
    EXPECT_EQ(grid->ColWidths(5), 70);
    EXPECT_EQ(grid->ColWidths(6), 70);
}

TEST_F(StringGridTest, ScrollBarsAppearOnlyWhenNeeded)
{
    grid->show();
    QApplication::processEvents();
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());

    grid->SetRowCount(100);
    QApplication::processEvents();
    EXPECT_TRUE(grid->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());

    grid->SetColWidth(6, 400);
    QApplication::processEvents();
    EXPECT_TRUE(grid->horizontalScrollBar()->isVisible());

    grid->SetRowCount(3);
    grid->SetColWidth(6, 70);
    QApplication::processEvents();
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
}

TEST_F(StringGridTest, ViewFollowsTheThumbAndFixedCellsStayPut)
{
    grid->SetRowCount(1000);
    grid->SetColWidth(6, 400);
    grid->show();
    QApplication::processEvents();
    for (int row = 1; row < 1000; ++row)
        grid->SetCell(3, row, std::to_string(row));

    QScrollBar* vbar = grid->verticalScrollBar();
    vbar->setSliderDown(true);
    vbar->setSliderPosition(500);
    EXPECT_EQ(grid->TopRow(), 500);
    vbar->setSliderPosition(vbar->maximum());
    vbar->setSliderDown(false);
    const int bottomRow = grid->TopRow();
    QWheelEvent wheel(QPointF(300, 100), QPointF(grid->mapToGlobal(QPoint(300, 100))), QPoint(), QPoint(0, 120),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport(), &wheel);
    EXPECT_EQ(grid->TopRow(), bottomRow - QApplication::wheelScrollLines());
    QApplication::sendEvent(viewport(), &wheel);
    vbar->setValue(vbar->maximum());
    EXPECT_LT(grid->CellRect(3, 999).bottom(), viewport()->height());

    QScrollBar* hbar = grid->horizontalScrollBar();
    hbar->setSliderDown(true);
    hbar->setSliderPosition(hbar->maximum());
    hbar->setSliderDown(false);
    EXPECT_GT(grid->LeftCol(), 3);
    EXPECT_TRUE(grid->CellRect(3, 999).isEmpty());
    // The header row and the fixed columns do not move.
    EXPECT_EQ(grid->CellRect(6, 0).top(), 0);
    EXPECT_EQ(grid->CellRect(0, 999).left(), 0);
    EXPECT_EQ(grid->CellRect(2, 999).left(), 142);
    EXPECT_EQ(grid->CellRect(grid->LeftCol(), 999).left(), 213);
    EXPECT_EQ(grid->MouseCoord(5, 5), (TGridCoord { 0, 0 }));
    EXPECT_EQ(grid->MouseCoord(215, 25).Y, grid->TopRow());
}

TEST_F(StringGridTest, KeyboardMovesTheCurrentCellAndKeepsItInView)
{
    grid->SetRowCount(200);
    showFocused();
    QTest::keyClick(grid.get(), Qt::Key_Right);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ((TGridCoord { grid->Col(), grid->Row() }), (TGridCoord { 4, 2 }));
    QTest::keyClick(grid.get(), Qt::Key_Left);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    QTest::keyClick(grid.get(), Qt::Key_Up);
    QTest::keyClick(grid.get(), Qt::Key_Up);
    // Never into the fixed cells.
    EXPECT_EQ((TGridCoord { grid->Col(), grid->Row() }), (TGridCoord { 3, 1 }));

    QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid->Selection(), (TGridRect { 3, 1, 4, 2 }));

    QTest::keyClick(grid.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ((TGridCoord { grid->Col(), grid->Row() }), (TGridCoord { 6, 199 }));
    EXPECT_EQ(grid->Selection(), (TGridRect { 6, 199, 6, 199 }));
    EXPECT_TRUE(grid->CellRect(6, 199).isValid());
    QTest::keyClick(grid.get(), Qt::Key_PageUp);
    EXPECT_TRUE(grid->CellRect(6, grid->Row()).isValid());
    EXPECT_LT(grid->Row(), 199);
    QTest::keyClick(grid.get(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ((TGridCoord { grid->Col(), grid->Row() }), (TGridCoord { 3, 1 }));
    EXPECT_EQ(grid->TopRow(), 1);
}

TEST_F(StringGridTest, CurrentCellFollowsARowCountCut)
{
    grid->SetRowCount(50);
    grid->SetCurrentCell(5, 40);
    grid->SetRowCount(10);
    EXPECT_EQ(grid->Row(), 9);
    EXPECT_EQ(grid->Selection(), (TGridRect { 5, 9, 5, 9 }));
    grid->SetRowCount(1);
    grid->SetRowCount(3);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_GE(grid->TopRow(), 1);
}

// Repaints must cover the changed cell and nothing else: the table is rewritten every second.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    int events = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            ++events;
        }
        return false;
    }
};

TEST_F(StringGridTest, WritingACellRepaintsOnlyThatCellWhenItIsOnScreen)
{
    grid->SetRowCount(65536);
    grid->show();
    QApplication::processEvents();
    PaintRecorder recorder;
    viewport()->installEventFilter(&recorder);

    grid->SetCell(4, 2, "x");
    QApplication::processEvents();
    EXPECT_EQ(recorder.painted, QRegion(grid->CellRect(4, 2)));

    recorder.painted = QRegion();
    recorder.events = 0;
    for (int row = 1; row < 65536; ++row)
        for (int col = 0; col < 7; ++col)
            grid->SetCell(col, row, row > 20 ? "far" : "");
    grid->SetCell(4, 2, "x");
    grid->SetRowCount(65536);
    QApplication::processEvents();
    EXPECT_EQ(recorder.events, 1);
    EXPECT_LT(recorder.painted.boundingRect().bottom(), 21 * 19);
    EXPECT_EQ(grid->Cell(6, 65535), "far");

    // A row count change below the view leaves the screen alone; one inside it repaints from that row down.
    recorder.events = 0;
    grid->SetRowCount(40000);
    QApplication::processEvents();
    EXPECT_EQ(recorder.events, 0);
    grid->SetRowCount(6);
    QApplication::processEvents();
    recorder.events = 0;
    recorder.painted = QRegion();
    grid->SetRowCount(9);
    QApplication::processEvents();
    EXPECT_EQ(recorder.events, 1);
    EXPECT_EQ(recorder.painted.boundingRect().top(), grid->CellRect(0, 6).top());
    viewport()->removeEventFilter(&recorder);
}

// The scroll bar as the screen shows it, against the bar painted afresh.
QImage shownBar(QWidget* window, QScrollBar* bar)
{
    const QPoint at = bar->mapTo(window, QPoint(0, 0));
    return window->screen()
        ->grabWindow(window->winId(), at.x(), at.y(), bar->width(), bar->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

TEST_F(StringGridTest, TheScrollBarShowsItsRangeWhetherOrNotARangeChangeRepaintedIt)
{
    grid->SetRowCount(65536);
    grid->show();
    QApplication::processEvents();
    QScrollBar* bar = grid->verticalScrollBar();
    PaintRecorder recorder;
    bar->installEventFilter(&recorder);

    // At the top of a long list the slider keeps its place and its shortest length.
    grid->SetRowCount(50000);
    grid->SetRowCount(64000);
    QApplication::processEvents();
    EXPECT_EQ(recorder.events, 0);
    EXPECT_EQ(bar->maximum(), grid->RowCount() - 1 - (bar->pageStep() - 1));

    // Whatever the counts and places, the screen shows what a fresh paint of the bar shows.
    std::mt19937 rng(5);
    int painted = 0;
    for (int round = 0; round < 120; ++round) {
        const int counts[] = { 2, 5, 12, 14, 15, 16, 20, 40, 300, 4000, 65536 };
        recorder.events = 0;
        grid->SetRowCount(counts[rng() % std::size(counts)] + int(rng() % 3));
        if (rng() % 3 == 0)
            grid->SetTopRow(1 + int(rng() % uint32_t(grid->RowCount())));
        QApplication::processEvents();
        painted += recorder.events > 0;
        if (!bar->isVisible())
            continue;
        const QImage fresh = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shownBar(grid.get(), bar), fresh)
            << "round " << round << ", " << grid->RowCount() << " rows, top " << grid->TopRow();
    }
    EXPECT_GT(painted, 20);
    bar->removeEventFilter(&recorder);
}

TEST_F(StringGridTest, ACellChangingItsRowsLookRepaintsTheRowAndAnyOtherOnlyItself)
{
    grid->SetRowCount(200);
    // The look: whether the row's column 4 holds text.
    grid->SetRowLook([this](int row) { return grid->Cell(4, row).empty() ? 0 : 1; });
    grid->SetCell(4, 5, "kept");
    grid->show();
    QApplication::processEvents();
    PaintRecorder recorder;
    viewport()->installEventFilter(&recorder);
    grid->SetCell(4, 2, "x");
    grid->SetCell(3, 5, "same look");
    grid->SetCell(4, 5, "still text");
    grid->SetCell(3, 150, "off screen");
    QApplication::processEvents();
    viewport()->removeEventFilter(&recorder);
    for (int col = 0; col < 7; ++col)
        EXPECT_TRUE(recorder.painted.contains(grid->CellRect(col, 2))) << col;
    EXPECT_FALSE(recorder.painted.intersects(grid->CellRect(4, 3)));
    EXPECT_FALSE(recorder.painted.intersects(grid->CellRect(4, 1)));
    EXPECT_TRUE(recorder.painted.contains(grid->CellRect(3, 5)));
    EXPECT_TRUE(recorder.painted.contains(grid->CellRect(4, 5)));
    for (int col : { 0, 1, 2, 5, 6 })
        EXPECT_FALSE(recorder.painted.intersects(grid->CellRect(col, 5))) << col;

    // Emptying the cell changes the look back: the whole row again.
    recorder.painted = QRegion();
    viewport()->installEventFilter(&recorder);
    grid->SetCell(4, 5, "");
    QApplication::processEvents();
    viewport()->removeEventFilter(&recorder);
    for (int col = 0; col < 7; ++col)
        EXPECT_TRUE(recorder.painted.contains(grid->CellRect(col, 5))) << col;
}

TEST_F(StringGridTest, OnlyTheCellsOfThePaintedRegionAreDrawn)
{
    grid->resize(600, 300);
    std::vector<std::pair<int, int>> drawn;
    grid->OnDrawCell
        = [&](TGridCanvas&, int col, int row, const QRect&, TGridDrawState) { drawn.emplace_back(col, row); };
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    const QRect a = grid->CellRect(3, 2), b = grid->CellRect(6, 2), c = grid->CellRect(4, 4);
    grid->Paint(painter, QRegion(a) + QRegion(b) + QRegion(c));
    painter.end();
    std::sort(drawn.begin(), drawn.end());
    // Not the cells between them, which their bounding rectangle holds.
    EXPECT_EQ(drawn, (std::vector<std::pair<int, int>> { { 3, 2 }, { 4, 4 }, { 6, 2 } }));
}

TEST_F(StringGridTest, TinySizesAndDegenerateShapesPaintWithoutCrashing)
{
    grid->SetCell(3, 1, std::string(100000, 'M'));
    grid->show();
    for (QSize size : { QSize(0, 0), QSize(1, 1), QSize(2, 3), QSize(3, 2), QSize(5, 40), QSize(40, 5) }) {
        grid->resize(size);
        QApplication::processEvents();
        grid->RenderViewport();
        QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        grid->render(&image);
        drag(viewport(), QPoint(0, 0), QPoint(3, 3));
        drag(viewport(), QPoint(1, 1), QPoint(-50, 400));
        QTest::keyClick(grid.get(), Qt::Key_PageDown);
        QTest::keyClick(grid.get(), Qt::Key_End, Qt::ControlModifier);
    }
    grid->resize(300, 200);
    grid->SetColCount(2);
    grid->SetRowCount(0);
    grid->SetDefaultRowHeight(0);
    grid->SetDefaultColWidth(-5);
    drag(viewport(), QPoint(0, 0), QPoint(30, 30));
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QImage image = grid->RenderViewport();
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(grid->DefaultRowHeight(), 1);
    EXPECT_EQ(grid->ColWidths(0), 0);
}

} // namespace

TEST(GridCanvasTest, CellTextShowsUtf8WhereValidAndLatin1Elsewhere)
{
    const auto draw = [](const auto& text) {
        QImage image(80, 24, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TGridCanvas canvas { painter, QFont(), Qt::black, Qt::white };
        canvas.TextRect(QRect(0, 0, 80, 24), 2, 2, text);
        painter.end();
        return image;
    };
    const QImage buero = draw(QString::fromUtf8("B\xC3\xBCro"));
    EXPECT_EQ(draw(std::string("B\xC3\xBCro")), buero);
    EXPECT_EQ(draw(std::string("B\xFCro")), buero);
    EXPECT_NE(draw(QString::fromLatin1("B\xC3\xBCro")), buero);
}

// Without its own drawing the grid leaves each cell to the hook; a hook that paints cells whole
// shows exactly what it shows over the grid's drawing, and a grid without a hook still draws.
TEST_F(StringGridTest, CellsPaintedWholeByTheHookLookTheSameWithoutTheGridsOwnDrawing)
{
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 7; ++col)
            grid->SetCell(col, row, "c" + std::to_string(col) + "r" + std::to_string(row));
    grid->SetCurrentCell(4, 2);
    const QImage plain = grid->RenderViewport();
    grid->SetDefaultDrawing(false);
    EXPECT_EQ(grid->RenderViewport(), plain);

    grid->OnDrawCell = [](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState) {
        if (row == 3)
            canvas.Font.setBold(true);
        if (col == 0)
            canvas.BrushColor = QColor(10, 160, 90);
        canvas.FillRect(rect);
        canvas.TextRect(rect, rect.left() + 2, rect.top() + 2, std::string("hook ") + std::to_string(col));
    };
    const QImage hookOnly = grid->RenderViewport();
    grid->SetDefaultDrawing(true);
    EXPECT_EQ(grid->RenderViewport(), hookOnly);
    EXPECT_NE(hookOnly, plain);
}

// Without the grid's own drawing the background goes only where no cell is: whatever lay under
// the grid must still be gone from every painted pixel, as when the background went under all.
TEST_F(StringGridTest, AHookFillingEveryCellLeavesNothingOfWhatLayUnderTheGrid)
{
    std::mt19937 rng(5);
    grid->SetDefaultDrawing(false);
    grid->OnDrawCell = [](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState) {
        canvas.BrushColor = QColor::fromHsv((col * 40 + row * 7) % 360, 200, 230);
        canvas.FillRect(rect);
        canvas.TextRect(rect, rect.left() + 2, rect.top() + 2, "r" + std::to_string(row));
    };
    for (int round = 0; round < 150; ++round) {
        const QRegion region = arrangeAtRandom(rng);
        const QSize size = viewport()->size();
        QImage overNoise(size, QImage::Format_RGB32), overBase(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                overNoise.setPixel(x, y, rng() | 0xFF000000u);
        overBase = overNoise.copy();
        for (QImage* image : { &overNoise, &overBase }) {
            QPainter painter(image);
            painter.setClipRegion(region);
            if (image == &overBase)
                painter.fillRect(region.boundingRect(), BaseColor);
            grid->Paint(painter, region);
        }
        ASSERT_EQ(overNoise, overBase) << "round " << round;
    }
}

// Every pixel of a painted region as the grid's layout gives it: in each cell's box the line along
// its right edge (corner included) and along its bottom edge in the fixed or the normal line colour,
// the cell itself in the hook's colour with a raised edge in fixed cells, the background beside and
// below the cells; outside the region nothing changes.
TEST_F(StringGridTest, EveryPaintedPixelIsTheLineTheCellOrTheBackgroundItsPlaceGives)
{
    std::mt19937 rng(9);
    auto cellColour
        = [](int col, int row) { return QColor(QColor::fromHsv((col * 50 + row * 11) % 360, 180, 220).rgb()); };
    grid->SetDefaultDrawing(false);
    grid->OnDrawCell = [&](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState) {
        canvas.BrushColor = cellColour(col, row);
        canvas.FillRect(rect);
    };
    for (int round = 0; round < 120; ++round) {
        const QRegion region = arrangeAtRandom(rng);
        const QSize size = viewport()->size();
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(1, 2, 3));
        {
            QPainter painter(&image);
            painter.setClipRegion(region);
            grid->Paint(painter, region);
        }
        // The grid's layout: columns and rows in view with their places.
        struct Span {
            int Index, From, Size;
        };
        std::vector<Span> cols, rows;
        for (int col = 0, left = 0; col < grid->ColCount() && left < size.width(); ++col) {
            if (col >= grid->FixedCols() && col < grid->LeftCol())
                continue;
            cols.push_back({ col, left, grid->ColWidths(col) });
            left += grid->ColWidths(col) + 1;
        }
        for (int row = 0, top = 0; row < grid->RowCount() && top < size.height(); ++row) {
            if (row >= grid->FixedRows() && row < grid->TopRow())
                continue;
            rows.push_back({ row, top, grid->DefaultRowHeight() });
            top += grid->DefaultRowHeight() + 1;
        }
        auto find = [](const std::vector<Span>& spans, int at) -> const Span* {
            for (const Span& s : spans)
                if (at >= s.From && at <= s.From + s.Size)
                    return &s;
            return nullptr;
        };
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                QColor want(1, 2, 3);
                if (region.contains(QPoint(x, y))) {
                    const Span* col = find(cols, x);
                    const Span* row = find(rows, y);
                    want = BaseColor;
                    if (col && row) {
                        const bool fixed = col->Index < grid->FixedCols() || row->Index < grid->FixedRows();
                        const int cx = x - col->From, cy = y - row->From;
                        if (cx == col->Size || cy == row->Size)
                            want = fixed ? ShadowColor : MidlightColor;
                        else if (fixed && (cx == col->Size - 1 || cy == row->Size - 1))
                            want = DarkColor;
                        else if (fixed && (cx == 0 || cy == 0))
                            want = LightColor;
                        else
                            want = cellColour(col->Index, row->Index);
                    }
                }
                ASSERT_EQ(at(image, x, y), want) << "round " << round << " at " << x << "," << y;
            }
    }
}

// A poll rewrites every row but a screenful is seen: rows handed to a writer are written as they
// come into view or are read, and each must end with the texts its own writer gives it.
TEST_F(StringGridTest, DeferredRowsAreWrittenWhenSeenOrReadAndEachByItsOwnWriter)
{
    grid->SetRowCount(1000);
    grid->show();
    QApplication::processEvents();
    std::map<char, int> calls;
    auto writer = [&](char name) {
        return [&, name](int row) {
            ++calls[name];
            grid->SetCell(3, row, std::string(1, name) + std::to_string(row));
            grid->SetCell(4, row, "same");
        };
    };
    grid->DeferRows(1, 999, writer('A'));
    const int inView = calls['A'];
    EXPECT_GT(inView, 5);
    EXPECT_LT(inView, 25);
    EXPECT_EQ(grid->Cell(3, 1), "A1");
    EXPECT_TRUE(grid->RowDeferred(500));
    EXPECT_EQ(grid->Cell(3, 500), "A500");
    EXPECT_EQ(grid->Cell(4, 500), "same");
    EXPECT_FALSE(grid->RowDeferred(500));
    EXPECT_EQ(calls['A'], inView + 1);

    // The same texts again repaint nothing; rows scrolled into view are written as they are painted,
    // and painting them asks for no further repaint.
    QApplication::processEvents();
    PaintRecorder recorder;
    viewport()->installEventFilter(&recorder);
    grid->DeferRows(1, 999, writer('A'));
    QApplication::processEvents();
    EXPECT_EQ(recorder.events, 0);
    // One row in view with a new text repaints that cell alone.
    grid->DeferRows(1, 999, [&](int row) {
        writer('A')(row);
        if (row == 3)
            grid->SetCell(4, row, "changed");
    });
    QApplication::processEvents();
    EXPECT_EQ(recorder.painted, QRegion(grid->CellRect(4, 3)));
    recorder.painted = QRegion();
    grid->SetTopRow(600);
    QApplication::processEvents();
    EXPECT_GT(recorder.events, 0);
    EXPECT_FALSE(grid->RowDeferred(601));
    EXPECT_TRUE(grid->RowDeferred(700));
    recorder.events = 0;
    QApplication::processEvents();
    EXPECT_EQ(recorder.events, 0);
    viewport()->removeEventFilter(&recorder);

    // Rows still waiting for A and outside B's range get A's texts before B takes over.
    calls.clear();
    grid->DeferRows(1, 300, writer('B'));
    EXPECT_GT(calls['A'], 600);
    EXPECT_FALSE(grid->RowDeferred(700));
    EXPECT_EQ(grid->Cell(3, 700), "A700");
    EXPECT_EQ(grid->Cell(3, 200), "B200");
    // A cell written into a waiting row stands: the writer fills the row first.
    EXPECT_TRUE(grid->RowDeferred(250));
    grid->SetCell(3, 250, "own");
    EXPECT_EQ(grid->Cell(3, 250), "own");
    EXPECT_EQ(grid->Cell(4, 250), "same");
    grid->WriteDeferredRows();
    EXPECT_FALSE(grid->RowDeferred(299));
    EXPECT_EQ(grid->Cell(3, 299), "B299");
    EXPECT_THROW(grid->DeferRows(1, TStringGrid::MaxRowCount, writer('C')), Exception);
    EXPECT_THROW(grid->DeferRows(-1, 3, writer('C')), Exception);
}
