#include "controls/TStringGrid.h"

#include "base/Exception.h"
#include "controls/DisplayText.h"
#include "controls/SteadyScrollBar.h"

#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>

#include <algorithm>
#include <cstdint>

namespace {

const std::string EmptyText;

// Half the width of the zone around a column boundary in the header where a press starts sizing that column.
constexpr int SizingZone = 2;
// No column is dragged narrower than this, so it can always be grabbed again.
constexpr int MinDraggedWidth = 1;
// Beyond the visible width nothing shows, so longer texts are cut before layout; a hostile name list or service
// line must not make every repaint lay out megabytes of text.
constexpr int TextSlack = 64;

void throwIndex(const char* what, int col, int row)
{
    throw Exception(std::string(what) + " (" + std::to_string(col) + ", " + std::to_string(row) + ")");
}

} // namespace

int TFontAscents::Of(const QPainter& painter)
{
    const QFont& font = painter.font();
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 0;
    for (const TKept& kept : kept_)
        if (kept.Dpi == dpi && kept.Font == font)
            return kept.Ascent;
    TKept& kept = kept_[next_];
    next_ = 1 - next_;
    kept = { font, dpi, painter.fontMetrics().ascent() };
    return kept.Ascent;
}

void TGridCanvas::FillRect(const QRect& rect)
{
    Painter.fillRect(rect, BrushColor);
}

void TGridCanvas::TextRect(const QRect& rect, int x, int y, const QString& text)
{
    if (rect.isEmpty() || text.isEmpty())
        return;
    const qsizetype limit = qsizetype(rect.width()) + TextSlack;
    Painter.save();
    Painter.setClipRect(rect, Qt::IntersectClip);
    // Setting the painter's own font again would make a new copy of it, which looks its font
    // up anew when measured and drawn.
    if (!(Painter.font() == Font))
        Painter.setFont(Font);
    Painter.setPen(FontColor);
    const int ascent = Ascents ? Ascents->Of(Painter) : Painter.fontMetrics().ascent();
    const QString shown = text.size() > limit ? text.left(limit) : text;
    if (!Composer || !Composer->Draw(Painter, QPoint(x, y + ascent), shown))
        Painter.drawText(QPoint(x, y + ascent), shown);
    Painter.restore();
}

void TGridCanvas::TextRect(const QRect& rect, int x, int y, const std::string& text)
{
    TextRect(rect, x, y, DisplayText(text, qsizetype(std::max(rect.width(), 0)) + TextSlack));
}

TStringGrid::TStringGrid(QWidget* parent)
    : QAbstractScrollArea(parent)
    , colWidths_(size_t(colCount_), defaultColWidth_)
{
    setVerticalScrollBar(new TSteadyScrollBar(Qt::Vertical));
    setHorizontalScrollBar(new TSteadyScrollBar(Qt::Horizontal));
    current_ = { fixedCols_, fixedRows_ };
    anchor_ = current_;
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setTracking(true);
    horizontalScrollBar()->setTracking(true);
    updateScrollBars();
}

TStringGrid::~TStringGrid() = default;

void TStringGrid::SetColCount(int count)
{
    if (count > MaxColCount)
        throw Exception(
            "Column count " + std::to_string(count) + " exceeds the grid's limit of " + std::to_string(MaxColCount));
    count = std::max(count, 1);
    if (count == colCount_)
        return;
    colCount_ = count;
    colWidths_.resize(size_t(count), defaultColWidth_);
    clampCurrentAndSelection();
    updateScrollBars();
    viewport()->update();
}

void TStringGrid::SetRowCount(int count)
{
    if (count > MaxRowCount)
        throw Exception(
            "Row count " + std::to_string(count) + " exceeds the grid's limit of " + std::to_string(MaxRowCount));
    count = std::max(count, 1);
    if (count == rowCount_)
        return;
    const int firstChanged = std::min(count, rowCount_);
    const TGridCoord current = current_;
    const TGridCoord anchor = anchor_;
    const int topRow = topRow_;
    rowCount_ = count;
    clampCurrentAndSelection();
    updateScrollBars();
    // The count follows the host count every second; unless the view or selection moved, only rows from the first
    // added or removed one down can look different, and none at all when that row is below the view.
    if (current_ != current || anchor_ != anchor || topRow_ != topRow) {
        viewport()->update();
        return;
    }
    const int top = rowTop(firstChanged);
    if (top >= 0)
        viewport()->update(QRect(0, top, viewport()->width(), viewport()->height() - top));
}

void TStringGrid::SetFixedCols(int count)
{
    count = std::clamp(count, 0, MaxColCount);
    if (count == fixedCols_)
        return;
    fixedCols_ = count;
    clampCurrentAndSelection();
    updateScrollBars();
    viewport()->update();
}

void TStringGrid::SetFixedRows(int count)
{
    count = std::clamp(count, 0, MaxRowCount);
    if (count == fixedRows_)
        return;
    fixedRows_ = count;
    clampCurrentAndSelection();
    updateScrollBars();
    viewport()->update();
}

void TStringGrid::SetDefaultRowHeight(int height)
{
    height = std::clamp(height, 1, MaxRowHeight);
    if (height == rowHeight_)
        return;
    rowHeight_ = height;
    updateScrollBars();
    viewport()->update();
}

void TStringGrid::SetDefaultColWidth(int width)
{
    defaultColWidth_ = std::clamp(width, 0, MaxColWidth);
    std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
    updateScrollBars();
    viewport()->update();
}

int TStringGrid::ColWidths(int col) const
{
    if (col < 0 || col >= colCount_)
        throwIndex("Grid column out of range", col, 0);
    return colWidths_[size_t(col)];
}

void TStringGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= colCount_)
        throwIndex("Grid column out of range", col, 0);
    width = std::clamp(width, 0, MaxColWidth);
    if (colWidths_[size_t(col)] == width)
        return;
    colWidths_[size_t(col)] = width;
    updateScrollBars();
    viewport()->update();
}

const std::string& TStringGrid::Cell(int col, int row) const
{
    if (RowDeferred(row))
        writeDeferredRow(row);
    if (col < 0 || row < 0 || size_t(row) >= cells_.size())
        return EmptyText;
    const auto& cells = cells_[size_t(row)];
    return size_t(col) < cells.size() ? cells[size_t(col)] : EmptyText;
}

void TStringGrid::SetCell(int col, int row, std::string_view text)
{
    if (col < 0 || col >= colCount_ || row < 0 || row >= MaxRowCount)
        throwIndex("Grid cell out of range", col, row);
    // A waiting row gets its writer's texts first, or they would later overwrite this one.
    if (RowDeferred(row))
        writeDeferredRow(row);
    if (size_t(row) >= cells_.size()) {
        if (text.empty())
            return;
        cells_.resize(size_t(row) + 1);
    }
    auto& cells = cells_[size_t(row)];
    if (size_t(col) >= cells.size()) {
        if (text.empty())
            return;
        cells.resize(size_t(colCount_));
    }
    // Every poll writes every row again, mostly with the texts the cells hold already.
    std::string& cell = cells[size_t(col)];
    if (cell == text)
        return;
    // Only a row on screen repaints, so only there is its look worth reading.
    const bool seen = rowLook_ && repaintsOnWrite(row);
    const int lookBefore = seen ? rowLook_(row) : 0;
    cell.assign(text);
    updateCell(col, row, seen && rowLook_(row) != lookBefore);
}

void TStringGrid::DeferRows(int firstRow, int lastRow, TRowWriter writer)
{
    if (lastRow >= firstRow && (firstRow < 0 || lastRow >= MaxRowCount))
        throwIndex("Grid rows out of range", firstRow, lastRow);
    for (int row = deferredFirst_; row <= deferredLast_; ++row)
        if ((row < firstRow || row > lastRow) && deferred_[size_t(row)] != 0)
            writeDeferredRow(row);
    if (deferredLast_ >= deferredFirst_)
        std::fill(deferred_.begin() + deferredFirst_, deferred_.begin() + deferredLast_ + 1, uint8_t(0));
    if (lastRow < firstRow) {
        deferredFirst_ = 0;
        deferredLast_ = -1;
        rowWriter_ = nullptr;
        return;
    }
    rowWriter_ = std::move(writer);
    if (deferred_.size() < size_t(lastRow) + 1)
        deferred_.resize(size_t(lastRow) + 1);
    std::fill(deferred_.begin() + firstRow, deferred_.begin() + lastRow + 1, uint8_t(1));
    deferredFirst_ = firstRow;
    deferredLast_ = lastRow;
    // The rows in view ask for their repaints together: one request instead of one per row.
    struct CollectedRepaints {
        TStringGrid& Grid;
        explicit CollectedRepaints(TStringGrid& grid)
            : Grid(grid)
        {
            Grid.collectingRepaints_ = true;
        }
        ~CollectedRepaints()
        {
            Grid.collectingRepaints_ = false;
            if (!Grid.collectedRepaints_.IsEmpty())
                Grid.viewport()->update(Grid.collectedRepaints_.Take());
        }
    } collected(*this);
    const int fixedRows = effectiveFixedRows();
    for (int row = firstRow; row <= std::min(lastRow, fixedRows - 1); ++row)
        writeDeferredRow(row);
    for (int row = std::max(firstRow, topRow_); row <= lastRow && rowTop(row) >= 0; ++row)
        writeDeferredRow(row);
}

void TStringGrid::WriteDeferredRows()
{
    DeferRows(0, -1, nullptr);
}

void TStringGrid::writeDeferredRow(int row) const
{
    // Reading a waiting row writes it: its texts are the row's all the same.
    deferred_[size_t(row)] = 0;
    if (rowWriter_)
        rowWriter_(row);
}

TGridRect TStringGrid::Selection() const
{
    return { std::min(anchor_.X, current_.X), std::min(anchor_.Y, current_.Y), std::max(anchor_.X, current_.X),
        std::max(anchor_.Y, current_.Y) };
}

void TStringGrid::SetCurrentCell(int col, int row, bool extendSelection)
{
    moveCurrent(col, row, extendSelection);
}

void TStringGrid::SetTopRow(int row)
{
    row = std::clamp(row, effectiveFixedRows(), maxTopRow());
    if (row == topRow_)
        return;
    topRow_ = row;
    updateScrollBars();
    viewport()->update();
}

void TStringGrid::SetLeftCol(int col)
{
    col = std::clamp(col, effectiveFixedCols(), maxLeftCol());
    if (col == leftCol_)
        return;
    leftCol_ = col;
    updateScrollBars();
    viewport()->update();
}

int TStringGrid::effectiveFixedCols() const
{
    return std::min(fixedCols_, colCount_);
}

int TStringGrid::effectiveFixedRows() const
{
    return std::min(fixedRows_, rowCount_);
}

bool TStringGrid::hasScrollingCells() const
{
    return colCount_ > effectiveFixedCols() && rowCount_ > effectiveFixedRows();
}

int TStringGrid::fixedWidth() const
{
    int width = 0;
    for (int c = 0; c < effectiveFixedCols(); ++c)
        width += colWidths_[size_t(c)] + GridLineWidth;
    return width;
}

int TStringGrid::fixedHeight() const
{
    return int(std::min<int64_t>(int64_t(effectiveFixedRows()) * rowPitch(), INT32_MAX / 2));
}

int TStringGrid::fullyVisibleRows() const
{
    return std::max(0, (viewport()->height() - fixedHeight()) / rowPitch());
}

int TStringGrid::maxTopRow() const
{
    const int fixedRows = effectiveFixedRows();
    return std::max(fixedRows, rowCount_ - std::max(1, fullyVisibleRows()));
}

int TStringGrid::maxLeftCol() const
{
    const int fixedCols = effectiveFixedCols();
    if (colCount_ <= fixedCols)
        return fixedCols;
    const int available = viewport()->width() - fixedWidth();
    int used = 0;
    int col = colCount_ - 1;
    for (; col >= fixedCols; --col) {
        used += colWidths_[size_t(col)] + GridLineWidth;
        if (used > available)
            break;
    }
    return std::clamp(col + 1, fixedCols, colCount_ - 1);
}

std::vector<TStringGrid::VisibleColumn> TStringGrid::visibleColumns() const
{
    std::vector<VisibleColumn> cols;
    const int width = viewport()->width();
    int left = 0;
    for (int c = 0; c < effectiveFixedCols() && left < width; ++c) {
        cols.push_back({ c, left });
        left += colWidths_[size_t(c)] + GridLineWidth;
    }
    for (int c = leftCol_; c < colCount_ && left < width; ++c) {
        cols.push_back({ c, left });
        left += colWidths_[size_t(c)] + GridLineWidth;
    }
    return cols;
}

int TStringGrid::rowTop(int row) const
{
    int64_t top;
    if (row < effectiveFixedRows())
        top = int64_t(row) * rowPitch();
    else if (row >= topRow_)
        top = fixedHeight() + int64_t(row - topRow_) * rowPitch();
    else
        return -1;
    return top < viewport()->height() ? int(top) : -1;
}

int TStringGrid::colLeft(int col) const
{
    const int fixedCols = effectiveFixedCols();
    int left = 0;
    if (col < fixedCols) {
        for (int c = 0; c < col; ++c)
            left += colWidths_[size_t(c)] + GridLineWidth;
    } else if (col >= leftCol_) {
        left = fixedWidth();
        for (int c = leftCol_; c < col && left < viewport()->width(); ++c)
            left += colWidths_[size_t(c)] + GridLineWidth;
    } else {
        return -1;
    }
    return left < viewport()->width() ? left : -1;
}

QRect TStringGrid::CellRect(int col, int row) const
{
    if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_)
        return {};
    const int left = colLeft(col);
    const int top = rowTop(row);
    if (left < 0 || top < 0)
        return {};
    return QRect(left, top, colWidths_[size_t(col)], rowHeight_);
}

int TStringGrid::colAt(int x) const
{
    if (x < 0 || x >= viewport()->width())
        return -1;
    for (const auto& c : visibleColumns()) {
        if (x >= c.Left && x < c.Left + colWidths_[size_t(c.Col)] + GridLineWidth)
            return c.Col;
    }
    return -1;
}

int TStringGrid::rowAt(int y) const
{
    if (y < 0 || y >= viewport()->height())
        return -1;
    const int64_t row = y < fixedHeight() ? y / rowPitch() : topRow_ + int64_t(y - fixedHeight()) / rowPitch();
    return row < rowCount_ ? int(row) : -1;
}

TGridCoord TStringGrid::MouseCoord(int x, int y) const
{
    const TGridCoord coord { colAt(x), rowAt(y) };
    return coord.X < 0 || coord.Y < 0 ? TGridCoord {} : coord;
}

// Sizing happens in the header rows only, at the right boundary of any visible column; the rightmost match wins
// so that a column dragged down to its minimum can still be widened again.
int TStringGrid::sizingBoundaryAt(int x, int y) const
{
    if (y < 0 || y >= fixedHeight())
        return -1;
    const auto cols = visibleColumns();
    for (auto it = cols.rbegin(); it != cols.rend(); ++it) {
        const int boundary = it->Left + colWidths_[size_t(it->Col)];
        if (x >= boundary - SizingZone && x <= boundary + SizingZone)
            return it->Col;
    }
    return -1;
}

void TStringGrid::Paint(QPainter& painter, const QRegion& region)
{
    const QPalette& pal = palette();
    const QRect area = region.boundingRect();
    const bool gridFocused = hasFocus();
    const auto cols = visibleColumns();
    const int height = viewport()->height();
    const int fixedRows = effectiveFixedRows();
    if (defaultDrawing_ || !OnDrawCell) {
        painter.fillRect(area, pal.color(QPalette::Base));
    } else {
        // The cells and their grid lines tile the block from the top left corner to the last
        // row and column in view, and all of it in the region is painted over: the background
        // goes only beside it and below it.
        const int blockRight
            = cols.empty() ? 0 : cols.back().Left + colWidths_[size_t(cols.back().Col)] + GridLineWidth;
        const int64_t rowsShown = int64_t(fixedRows) + std::max(0, rowCount_ - topRow_);
        const int blockBottom = int(std::min<int64_t>(rowsShown * rowPitch(), height));
        painter.fillRect(area & QRect(QPoint(blockRight, area.top()), area.bottomRight()), pal.color(QPalette::Base));
        painter.fillRect(area & QRect(QPoint(area.left(), blockBottom), QPoint(blockRight - 1, area.bottom())),
            pal.color(QPalette::Base));
    }
    // The cells the region reaches, each with its grid lines: along its right edge, corner
    // included, and along its bottom edge. Lines and cells never share a pixel, so all the lines go
    // first. The list is kept from paint to paint: a fresh list every paint moved where the poll's
    // host lines land in the heap, and made reading sixty thousand of them a fifth slower.
    std::vector<PaintedCell>& painted = paintedCells_;
    painted.clear();
    auto findRow = [&](int row, int top) {
        if (top + rowHeight_ + GridLineWidth <= area.top() || top > area.bottom())
            return;
        for (size_t i = 0; i < cols.size(); ++i) {
            const auto& c = cols[i];
            const QRect cell(c.Left, top, colWidths_[size_t(c.Col)], rowHeight_);
            // Written cells ask for their own repaints: the cells between them, in the region's
            // bounding rectangle but not in the region, are neither shaped nor drawn again.
            if (region.intersects(cell.adjusted(0, 0, GridLineWidth, GridLineWidth)))
                painted.push_back({ i, row, top, c.Col < effectiveFixedCols() || row < fixedRows });
        }
    };
    int top = 0;
    for (int row = 0; row < fixedRows && top < height; ++row, top += rowPitch())
        findRow(row, top);
    for (int row = topRow_; row < rowCount_ && top < height; ++row, top += rowPitch())
        findRow(row, top);

    drawGridLines(painter, cols, pal.color(QPalette::Shadow), pal.color(QPalette::Midlight));

    for (const PaintedCell& p : painted) {
        const auto& c = cols[p.Index];
        const QRect cell(c.Left, p.Top, colWidths_[size_t(c.Col)], rowHeight_);
        if (!cell.isEmpty())
            paintCellAt(painter, c.Col, p.Row, cell, gridFocused);
    }
}

void TStringGrid::drawGridLines(
    QPainter& painter, const std::vector<VisibleColumn>& cols, const QColor& fixedLine, const QColor& normalLine)
{
    const std::vector<PaintedCell>& painted = paintedCells_;
    auto rightOf = [&](size_t i) { return cols[i].Left + colWidths_[size_t(cols[i].Col)]; };
    // Bottom lines: a run ends where the row, a gap or the colour does.
    for (size_t k = 0; k < painted.size();) {
        size_t end = k + 1;
        while (end < painted.size() && painted[end].Top == painted[k].Top
            && painted[end].Index == painted[end - 1].Index + 1 && painted[end].Fixed == painted[k].Fixed)
            ++end;
        const int left = cols[painted[k].Index].Left;
        const int right = rightOf(painted[end - 1].Index);
        if (right > left)
            painter.fillRect(QRect(left, painted[k].Top + rowHeight_, right - left, GridLineWidth),
                painted[k].Fixed ? fixedLine : normalLine);
        k = end;
    }
    // Right lines: per column, a run goes on while the next row down is painted in the same colour.
    std::vector<LineRun>& runs = lineRuns_;
    runs.assign(cols.size(), LineRun());
    auto drawRun = [&](size_t i) {
        const LineRun& run = runs[i];
        if (run.Bottom >= run.Top)
            painter.fillRect(QRect(rightOf(i), run.Top, GridLineWidth, run.Bottom - run.Top + 1),
                run.Fixed ? fixedLine : normalLine);
    };
    for (const PaintedCell& p : painted) {
        LineRun& run = runs[p.Index];
        if (run.Bottom >= run.Top && (run.Bottom + 1 != p.Top || run.Fixed != p.Fixed)) {
            drawRun(p.Index);
            run = LineRun();
        }
        if (run.Bottom < run.Top)
            run = { p.Top, p.Top, p.Fixed };
        run.Bottom = p.Top + rowHeight_ + GridLineWidth - 1;
    }
    for (size_t i = 0; i < runs.size(); ++i)
        drawRun(i);
}

void TStringGrid::PaintCell(QPainter& painter, int col, int row)
{
    const QRect rect = CellRect(col, row);
    if (!rect.isEmpty())
        paintCellAt(painter, col, row, rect, hasFocus());
}

void TStringGrid::paintCellAt(QPainter& painter, int col, int row, const QRect& rect, bool gridFocused)
{
    struct PaintingScope {
        bool& Flag;
        const bool Was;
        ~PaintingScope() { Flag = Was; }
    } painting { painting_, painting_ };
    painting_ = true;
    const QPalette& pal = palette();
    TGridDrawState state;
    state.Fixed = col < effectiveFixedCols() || row < effectiveFixedRows();
    state.Selected = !state.Fixed && Selection().Contains(col, row);
    state.Focused = !state.Fixed && gridFocused && current_ == TGridCoord { col, row };

    // Font and colours start afresh for every cell, so whatever the hook chose for one cell stays there.
    TGridCanvas canvas { painter, font(), pal.color(QPalette::Text), pal.color(QPalette::Base), &fontAscents_,
        &textComposer_ };
    if (state.Fixed) {
        canvas.BrushColor = pal.color(QPalette::Button);
    } else if (state.Selected && !state.Focused) {
        canvas.BrushColor = pal.color(QPalette::Highlight);
        canvas.FontColor = pal.color(QPalette::HighlightedText);
    }
    // The cell's own drawing and the hook's stay in the cell, and what the hook sets on the
    // painter ends with them. The painter's clip is the region being repainted, most often the
    // written cells of many rows; within one cell's rectangle it is a plain rectangle, which fills
    // and text blend through directly instead of span by span.
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    if (defaultDrawing_ || !OnDrawCell) {
        canvas.FillRect(rect);
        canvas.TextRect(rect, rect.left() + 2, rect.top() + 2, Cell(col, row));
    }
    if (OnDrawCell)
        OnDrawCell(canvas, col, row, rect, state);
    painter.restore();

    if (state.Fixed) {
        // Raised edge: light top and left, shadow bottom and right, inside the cell.
        const QColor light = pal.color(QPalette::Light);
        const QColor shadow = pal.color(QPalette::Dark);
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), light);
        painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), light);
        painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), shadow);
        painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), shadow);
    }
    if (state.Focused) {
        painter.save();
        QPen pen(pal.color(QPalette::Text), 0);
        pen.setDashPattern({ 1.0, 1.0 });
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

QImage TStringGrid::RenderViewport()
{
    const QSize size = viewport()->size();
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    Paint(painter, image.rect());
    return image;
}

void TStringGrid::paintEvent(QPaintEvent* event)
{
    lastRepaintAsked_ = QRect();
    QPainter painter(viewport());
    Paint(painter, event->region());
}

void TStringGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TStringGrid::scrollContentsBy(int, int)
{
    if (syncingScrollBars_)
        return;
    // The bars count cells, not pixels: their values are the first scrolling row and column on screen.
    topRow_ = verticalScrollBar()->value();
    leftCol_ = horizontalScrollBar()->value();
    viewport()->update();
}

void TStringGrid::updateScrollBars()
{
    if (syncingScrollBars_)
        return;
    syncingScrollBars_ = true;
    // Showing or hiding one bar resizes the viewport and can change what the other needs; this settles in a few
    // rounds because a bar only ever takes space away.
    for (int round = 0; round < 4; ++round) {
        const QSize before = viewport()->size();
        topRow_ = std::clamp(topRow_, effectiveFixedRows(), maxTopRow());
        leftCol_ = std::clamp(leftCol_, effectiveFixedCols(), maxLeftCol());

        QScrollBar* vbar = verticalScrollBar();
        vbar->setRange(effectiveFixedRows(), maxTopRow());
        vbar->setSingleStep(1);
        vbar->setPageStep(std::max(1, fullyVisibleRows()));
        vbar->setValue(topRow_);

        QScrollBar* hbar = horizontalScrollBar();
        int visibleCols = 0;
        int used = fixedWidth();
        for (int c = leftCol_; c < colCount_; ++c) {
            used += colWidths_[size_t(c)] + GridLineWidth;
            if (used > viewport()->width())
                break;
            ++visibleCols;
        }
        hbar->setRange(effectiveFixedCols(), maxLeftCol());
        hbar->setSingleStep(1);
        hbar->setPageStep(std::max(1, visibleCols));
        hbar->setValue(leftCol_);

        if (viewport()->size() == before)
            break;
    }
    topRow_ = std::clamp(topRow_, effectiveFixedRows(), maxTopRow());
    leftCol_ = std::clamp(leftCol_, effectiveFixedCols(), maxLeftCol());
    syncingScrollBars_ = false;
}

void TStringGrid::clampCurrentAndSelection()
{
    const int fixedCols = effectiveFixedCols();
    const int fixedRows = effectiveFixedRows();
    const int lastCol = std::max(fixedCols, colCount_ - 1);
    const int lastRow = std::max(fixedRows, rowCount_ - 1);
    for (TGridCoord* coord : { &current_, &anchor_ }) {
        coord->X = std::clamp(coord->X, fixedCols, lastCol);
        coord->Y = std::clamp(coord->Y, fixedRows, lastRow);
    }
}

void TStringGrid::moveCurrent(int col, int row, bool extend)
{
    if (!hasScrollingCells())
        return;
    const TGridCoord target { std::clamp(col, effectiveFixedCols(), colCount_ - 1),
        std::clamp(row, effectiveFixedRows(), rowCount_ - 1) };
    if (target == current_ && (extend || anchor_ == current_))
        return;
    current_ = target;
    if (!extend)
        anchor_ = current_;
    scrollToCurrent();
    viewport()->update();
}

void TStringGrid::scrollToCurrent()
{
    const int rows = std::max(1, fullyVisibleRows());
    if (current_.Y < topRow_)
        SetTopRow(current_.Y);
    else if (current_.Y >= topRow_ + rows)
        SetTopRow(current_.Y - rows + 1);

    if (current_.X < leftCol_) {
        SetLeftCol(current_.X);
        return;
    }
    // Bring the column's right edge on screen, but never scroll it off the left for that.
    int left = leftCol_;
    auto rightEdge = [&](int from) {
        int x = fixedWidth();
        for (int c = from; c <= current_.X; ++c)
            x += colWidths_[size_t(c)] + GridLineWidth;
        return x;
    };
    while (left < current_.X && rightEdge(left) > viewport()->width())
        ++left;
    SetLeftCol(left);
}

bool TStringGrid::repaintsOnWrite(int row) const
{
    return !painting_ && row < rowCount_ && rowTop(row) >= 0;
}

void TStringGrid::updateCell(int col, int row, bool wholeRow)
{
    if (!repaintsOnWrite(row))
        return;
    const QRect rect = wholeRow ? QRect(0, rowTop(row), viewport()->width(), rowHeight_) : CellRect(col, row);
    // A row's cells are written one after another; asking again for the same repaint costs a
    // region union each time and adds nothing.
    if (rect.isEmpty() || rect == lastRepaintAsked_)
        return;
    lastRepaintAsked_ = rect;
    if (collectingRepaints_)
        collectedRepaints_.Add(rect);
    else
        viewport()->update(rect);
}

void TStringGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const int boundary = sizingBoundaryAt(pos.x(), pos.y());
    if (boundary >= 0) {
        sizingCol_ = boundary;
        sizingOffset_ = pos.x() - (colLeft(boundary) + colWidths_[size_t(boundary)]);
        return;
    }
    const TGridCoord coord = MouseCoord(pos.x(), pos.y());
    if (coord.X < effectiveFixedCols() || coord.Y < effectiveFixedRows())
        return;
    moveCurrent(coord.X, coord.Y, event->modifiers().testFlag(Qt::ShiftModifier));
    selecting_ = true;
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (sizingCol_ >= 0) {
        const int left = colLeft(sizingCol_);
        if (left >= 0)
            SetColWidth(sizingCol_, std::max(MinDraggedWidth, pos.x() - sizingOffset_ - left));
        return;
    }
    if (selecting_ && event->buttons().testFlag(Qt::LeftButton)) {
        // Past an edge the selection grows by one cell beyond the last one on screen, which scrolls the view.
        const int width = viewport()->width();
        const int height = viewport()->height();
        if (width <= 0 || height <= 0)
            return;
        int col = colAt(std::clamp(pos.x(), 0, width - 1));
        int row = rowAt(std::clamp(pos.y(), 0, height - 1));
        if (col < 0)
            col = colCount_ - 1;
        if (row < 0)
            row = rowCount_ - 1;
        if (pos.x() < fixedWidth())
            col = leftCol_ - 1;
        else if (pos.x() >= width)
            ++col;
        if (pos.y() < fixedHeight())
            row = topRow_ - 1;
        else if (pos.y() >= height)
            ++row;
        moveCurrent(col, row, true);
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        if (sizingBoundaryAt(pos.x(), pos.y()) >= 0)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        sizingCol_ = -1;
        selecting_ = false;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TStringGrid::keyPressEvent(QKeyEvent* event)
{
    const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    const int page = std::max(1, fullyVisibleRows());
    int col = current_.X;
    int row = current_.Y;
    switch (event->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_Left:
        --col;
        break;
    case Qt::Key_Right:
        ++col;
        break;
    case Qt::Key_PageUp:
        row -= page;
        break;
    case Qt::Key_PageDown:
        row = int(std::min<int64_t>(int64_t(row) + page, rowCount_ - 1));
        break;
    case Qt::Key_Home:
        col = effectiveFixedCols();
        if (ctrl)
            row = effectiveFixedRows();
        break;
    case Qt::Key_End:
        col = colCount_ - 1;
        if (ctrl)
            row = rowCount_ - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    moveCurrent(col, row, extend);
    event->accept();
}

void TStringGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TStringGrid::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
