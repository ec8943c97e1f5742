#include "chart/LineStamp.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Lines longer than any screen holds are drawn directly rather than kept as huge images.
constexpr int MaxLength = 16384;

} // namespace

bool TLineStamp::stampable(const QPainter& painter, const QPen& pen, const QRect& onDevice) const
{
    const QTransform& t = painter.worldTransform();
    const QPaintDevice* device = painter.device();
    // A line that runs off the device is cut before its dashes are laid, which moves them.
    return device && device->devicePixelRatio() == 1 && t.type() <= QTransform::TxTranslate
        && t.dx() == std::trunc(t.dx()) && t.dy() == std::trunc(t.dy())
        && QRect(0, 0, device->width(), device->height()).contains(onDevice.translated(int(t.dx()), int(t.dy())))
        && !painter.testRenderHint(QPainter::Antialiasing) && painter.opacity() == 1
        && painter.compositionMode() == QPainter::CompositionMode_SourceOver && pen.brush().style() == Qt::SolidPattern
        && pen.color().alpha() == 255 && pen.widthF() <= 16;
}

void TLineStamp::Draw(QPainter& painter, const QPen& pen, QPoint from, int length, Qt::Orientation orientation)
{
    const bool horizontal = orientation == Qt::Horizontal;
    const QPoint end = from + (horizontal ? QPoint(length, 0) : QPoint(0, length));
    // Room on every side for the pen's width and the line's end caps.
    const int margin = int(std::ceil(std::max(pen.widthF(), 0.0))) + 1;
    const QSize size
        = horizontal ? QSize(length + 1 + 2 * margin, 1 + 2 * margin) : QSize(1 + 2 * margin, length + 1 + 2 * margin);
    const QPoint corner = from - QPoint(margin, margin);
    if (length < 0 || length > MaxLength || !stampable(painter, pen, QRect(corner, size))) {
        painter.setPen(pen);
        painter.drawLine(from, end);
        return;
    }
    if (length != length_ || orientation != orientation_ || !(pen == pen_)) {
        image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        QPainter stamp(&image_);
        stamp.setRenderHint(QPainter::Antialiasing, false);
        stamp.setPen(pen);
        const QPoint start(margin, margin);
        stamp.drawLine(start, start + (end - from));
        stamp.end();
        pen_ = pen;
        length_ = length;
        orientation_ = orientation;
    }
    painter.drawImage(corner, image_);
}
