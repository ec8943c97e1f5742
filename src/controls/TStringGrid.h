#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QPainter>

#include <functional>
#include <string>
#include <vector>

struct TGridDrawState {
    bool Selected = false, Focused = false, Fixed = false;
};

struct TGridCanvas {
    QPainter& Painter;
    QFont Font;
    QColor FontColor;
    QColor BrushColor;
};

// Placeholder grid until the owner-drawn grid lands.
class TStringGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr) : QAbstractScrollArea(parent) {}
    int ColCount() const { return 7; }
    int RowCount() const { return rowCount_; }
    void SetRowCount(int n) { rowCount_ = n < 1 ? 1 : n; }
    int ColWidths(int c) const { return c < int(widths_.size()) ? widths_[size_t(c)] : 70; }
    void SetColWidth(int c, int w) { if (c >= int(widths_.size())) widths_.resize(size_t(c) + 1, 70); widths_[size_t(c)] = w; }
    const std::string& Cell(int c, int r) const
    {
        static const std::string empty;
        size_t i = size_t(r) * 7 + size_t(c);
        return i < cells_.size() ? cells_[i] : empty;
    }
    void SetCell(int c, int r, std::string t)
    {
        size_t i = size_t(r) * 7 + size_t(c);
        if (i >= cells_.size()) cells_.resize(i + 1);
        cells_[i] = std::move(t);
    }
    std::function<void(TGridCanvas&, int, int, const QRect&, TGridDrawState)> OnDrawCell;

private:
    int rowCount_ = 5;
    std::vector<int> widths_;
    std::vector<std::string> cells_;
};
