#pragma once

#include "controls/RepaintCollector.h"
#include "controls/TextComposer.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

// What a cell is while it is painted: part of the selection, the current cell of the focused grid, a fixed cell.
struct TGridDrawState {
    bool Selected = false;
    bool Focused = false;
    bool Fixed = false;
};

// A cell position; -1 in either field means "no cell there".
struct TGridCoord {
    int X = -1; // column
    int Y = -1; // row
    bool operator==(const TGridCoord& o) const { return X == o.X && Y == o.Y; }
    bool operator!=(const TGridCoord& o) const { return !(*this == o); }
};

// An inclusive range of cells.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
    bool operator==(const TGridRect& o) const
    {
        return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
    }
};

// The ascent of the painter's font, kept for the last fonts asked: painter.fontMetrics() looks the
// font up anew at every call, and a table draws every cell text in one of very few fonts.
class TFontAscents {
public:
    int Of(const QPainter& painter);

private:
    struct TKept {
        QFont Font;
        int Dpi = -1;
        int Ascent = 0;
    };
    TKept kept_[2];
    int next_ = 0;
};

// The drawing surface handed to the draw-cell hook: the painter plus the font, font colour and brush colour the
// grid chose for the cell. The hook may change the three and draw with them.
struct TGridCanvas {
    QPainter& Painter;
    QFont Font;
    QColor FontColor;
    QColor BrushColor;
    // The grid's kept font ascents, which TextRect places its text by when given.
    TFontAscents* Ascents = nullptr;
    // The grid's composer of texts from glyphs shaped before, which TextRect draws with when given.
    TTextComposer* Composer = nullptr;

    // Fills the rectangle with BrushColor.
    void FillRect(const QRect& rect);
    // Draws one line of text with its top-left corner at (x, y) in Font and FontColor, clipped to the rectangle.
    // The background is left alone; fill it first.
    void TextRect(const QRect& rect, int x, int y, const QString& text);
    // The same for a cell text, whose bytes show as UTF-8 where valid and as Latin-1 elsewhere.
    void TextRect(const QRect& rect, int x, int y, const std::string& text);
};

// The host table's grid: owner-drawn cells holding single-byte texts, fixed header rows and left columns, cell range
// selection, user-sizable columns. It is rewritten every second with up to tens of thousands of rows, so writing a
// cell is O(1) and painting touches only the visible cells.
class TStringGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    using TDrawCellEvent = std::function<void(TGridCanvas&, int col, int row, const QRect& rect, TGridDrawState)>;

    // Counts and cell indices beyond these raise Exception; sizes beyond them are clamped.
    static constexpr int MaxColCount = 1024;
    static constexpr int MaxRowCount = 1 << 24;
    static constexpr int MaxColWidth = 65535;
    static constexpr int MaxRowHeight = 4096;
    static constexpr int GridLineWidth = 1;

    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    int ColCount() const { return colCount_; }
    void SetColCount(int count);
    int RowCount() const { return rowCount_; }
    // Below 1 is taken as 1; texts of rows cut off are kept and show again when the count grows.
    void SetRowCount(int count);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int count);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int count);

    int DefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int height);
    int DefaultColWidth() const { return defaultColWidth_; }
    // Resets every column to the new default width.
    void SetDefaultColWidth(int width);
    int ColWidths(int col) const;
    void SetColWidth(int col, int width);

    // Any cell never written, or outside the grid, reads as empty.
    const std::string& Cell(int col, int row) const;
    // Rows beyond the row count may be written too; they show once the count reaches them.
    void SetCell(int col, int row, std::string_view text);
    // Rows whose texts `writer` puts in (with SetCell) only when one of their cells is read or
    // painted: a poll rewrites tens of thousands of rows, of which a screenful is seen. Rows in
    // view are written at once, so that only the cells that changed repaint. Rows still waiting
    // from an earlier call and outside the new range are first written by their own writer, whose
    // data must still hold them. An empty range (last before first) only does that.
    using TRowWriter = std::function<void(int row)>;
    void DeferRows(int firstRow, int lastRow, TRowWriter writer);
    // Writes every row still waiting, so that the writer's data may change.
    void WriteDeferredRows();
    bool RowDeferred(int row) const
    {
        return row >= deferredFirst_ && row <= deferredLast_ && deferred_[size_t(row)] != 0;
    }
    // When the draw-cell hook styles every cell of a row by some of its texts, it tells the grid
    // that look from the row's texts: a written cell whose text changes the look repaints its
    // whole row, or the row's other cells would keep the old look until a full repaint; any other
    // written cell repaints alone.
    using TRowLook = std::function<int(int row)>;
    void SetRowLook(TRowLook look) { rowLook_ = std::move(look); }
    // Off when the draw-cell hook fills every cell with an opaque colour and writes it itself: the
    // grid's own background and text would only be painted over, so the grid lays its background
    // only beside and below the cells. The raised edges and the focus rectangle stay.
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool on) { defaultDrawing_ = on; }

    // The current cell and the selected range; both lie in the scrolling (non-fixed) cells.
    int Col() const { return current_.X; }
    int Row() const { return current_.Y; }
    void SetCurrentCell(int col, int row, bool extendSelection = false);
    TGridRect Selection() const;

    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    int LeftCol() const { return leftCol_; }
    void SetLeftCol(int col);

    // Geometry in viewport coordinates. CellRect is empty for a cell not on screen.
    QRect CellRect(int col, int row) const;
    TGridCoord MouseCoord(int x, int y) const;

    // Paints the cells meeting `region` (viewport coordinates); the widget's paint event goes through here.
    void Paint(QPainter& painter, const QRegion& region);
    // Paints one cell at CellRect, with the default drawing, the hook, the edge and the focus rectangle.
    void PaintCell(QPainter& painter, int col, int row);
    // The whole viewport as it would appear on screen.
    QImage RenderViewport();

    // Runs for every painted cell after the grid's own background and text, before the raised edge of fixed cells
    // and the focus rectangle. The canvas starts from the grid's font and the state's colours for each cell.
    TDrawCellEvent OnDrawCell;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct VisibleColumn {
        int Col;
        int Left;
    };

    int effectiveFixedCols() const;
    int effectiveFixedRows() const;
    bool hasScrollingCells() const;
    int fixedWidth() const;
    int fixedHeight() const;
    int rowPitch() const { return rowHeight_ + GridLineWidth; }
    int fullyVisibleRows() const;
    int maxTopRow() const;
    int maxLeftCol() const;
    std::vector<VisibleColumn> visibleColumns() const;
    int rowTop(int row) const;
    int colLeft(int col) const;
    int colAt(int x) const;
    int rowAt(int y) const;
    int sizingBoundaryAt(int x, int y) const;

    void paintCellAt(QPainter& painter, int col, int row, const QRect& rect, bool gridFocused);
    void updateScrollBars();
    void clampCurrentAndSelection();
    void scrollToCurrent();
    void moveCurrent(int col, int row, bool extend);
    // Whether a cell written in the row asks for a repaint: the row is on screen and no paint is
    // under way.
    bool repaintsOnWrite(int row) const;
    void updateCell(int col, int row, bool wholeRow);
    // The grid lines of the paint's cells, those of one colour that meet drawn as one: a bottom
    // line along neighbouring cells of a row, a right line down neighbouring rows of a column.
    void drawGridLines(
        QPainter& painter, const std::vector<VisibleColumn>& cols, const QColor& fixedLine, const QColor& normalLine);
    void writeDeferredRow(int row) const;

    int colCount_ = 7;
    int rowCount_ = 5;
    int fixedCols_ = 3;
    int fixedRows_ = 1;
    int rowHeight_ = 18;
    int defaultColWidth_ = 70;
    std::vector<int> colWidths_;
    std::vector<std::vector<std::string>> cells_;

    TGridCoord current_;
    TGridCoord anchor_;
    int topRow_ = 1;
    int leftCol_ = 3;

    bool selecting_ = false;
    int sizingCol_ = -1;
    int sizingOffset_ = 0;
    bool syncingScrollBars_ = false;
    TRowLook rowLook_;
    bool defaultDrawing_ = true;

    // Rows waiting for their writer lie between these two and have their flag set.
    mutable std::vector<uint8_t> deferred_;
    int deferredFirst_ = 0;
    int deferredLast_ = -1;
    TRowWriter rowWriter_;
    // A row written while it is painted is on screen at once; it asks for no repaint of its own.
    bool painting_ = false;
    // The last repaint a written cell asked for; a paint clears it.
    QRect lastRepaintAsked_;
    // While the rows in view are written, their repaints are asked for together. The grid line
    // between two written cells of a row is repainted with them: the cell on its left draws it.
    bool collectingRepaints_ = false;
    TRepaintCollector collectedRepaints_ { GridLineWidth };
    TFontAscents fontAscents_;
    TTextComposer textComposer_;
    // A paint's cells in reach of its region and the runs of their grid lines.
    struct PaintedCell {
        size_t Index;
        int Row, Top;
        bool Fixed;
    };
    struct LineRun {
        int Top = 0, Bottom = -1;
        bool Fixed = false;
    };
    std::vector<PaintedCell> paintedCells_;
    std::vector<LineRun> lineRuns_;
};
