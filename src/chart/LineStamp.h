#pragma once

#include <QImage>
#include <QPen>
#include <QPoint>
#include <QRect>

class QPainter;

// A straight line drawn once into an image and stamped wherever a line of the same pen and length
// goes. The grid's dotted lines went through the dash stroker at every drawing; a stamp put down at
// a whole pixel's offset sets exactly the pixels the line itself would. Painters that scale, turn or
// blend in other ways draw the line as usual.
class TLineStamp {
public:
    // Draws as painter.drawLine(from, end) with pen does, the end being `length` pixels right of
    // `from` or below it.
    void Draw(QPainter& painter, const QPen& pen, QPoint from, int length, Qt::Orientation orientation);

private:
    // Whether the painter sets a stamp's pixels as it would the line's, the stamp covering
    // `onDevice` in the painter's coordinates.
    bool stampable(const QPainter& painter, const QPen& pen, const QRect& onDevice) const;

    QImage image_;
    QPen pen_;
    int length_ = -1;
    Qt::Orientation orientation_ = Qt::Horizontal;
};
