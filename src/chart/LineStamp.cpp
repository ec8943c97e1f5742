#include "chart/LineStamp.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Lines longer than any screen holds are drawn directly rather than kept as huge images.
constexpr int MaxLength = 16384;

} // namespace

bool TLineStamp::stampable(const QPainter& painter, const QPen& pen) const
{
    const QTransform& t = painter.worldTransform();
    const QPaintDevice* device = painter.device();
    return device && device->devicePixelRatio() == 1 && t.type() <= QTransform::TxTranslate
        && t.dx() == std::trunc(t.dx()) && t.dy() == std::trunc(t.dy())
        && !painter.testRenderHint(QPainter::Antialiasing) && painter.opacity() == 1
        && painter.compositionMode() == QPainter::CompositionMode_SourceOver && pen.brush().style() == Qt::SolidPattern
        && pen.color().alpha() == 255 && pen.widthF() <= 16;
}

void TLineStamp::Draw(QPainter& painter, const QPen& pen, QPoint from, int length, Qt::Orientation orientation)
{
    const bool horizontal = orientation == Qt::Horizontal;
    const QPoint end = from + (horizontal ? QPoint(length, 0) : QPoint(0, length));
    if (length < 0 || length > MaxLength || !stampable(painter, pen)) {
        painter.setPen(pen);
        painter.drawLine(from, end);
        return;
    }
    if (length != length_ || orientation != orientation_ || !(pen == pen_)) {
        // Room on every side for the pen's width and the line's end caps.
        margin_ = int(std::ceil(pen.widthF())) + 1;
        const QSize size = horizontal ? QSize(length + 1 + 2 * margin_, 1 + 2 * margin_)
                                      : QSize(1 + 2 * margin_, length + 1 + 2 * margin_);
        image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        QPainter stamp(&image_);
        stamp.setRenderHint(QPainter::Antialiasing, false);
        stamp.setPen(pen);
        const QPoint start(margin_, margin_);
        stamp.drawLine(start, start + (end - from));
        stamp.end();
        pen_ = pen;
        length_ = length;
        orientation_ = orientation;
    }
    // A line that runs off the device is cut before its dashes are laid, which moves them; such a
    // line is drawn directly.
    const QPoint corner = from - QPoint(margin_, margin_);
    const QPoint shift(int(painter.worldTransform().dx()), int(painter.worldTransform().dy()));
    const QPaintDevice* device = painter.device();
    if (!QRect(0, 0, device->width(), device->height()).contains(QRect(corner + shift, image_.size()))) {
        painter.setPen(pen);
        painter.drawLine(from, end);
        return;
    }
    painter.drawImage(corner, image_);
}
