#pragma once

#include <QPoint>

// Distance from p to the segment a-b, its ends included.
double DistanceToSegment(QPoint p, QPoint a, QPoint b);

// Whether p lies inside the polygon by the even-odd rule.
bool PointInPolygon(QPoint p, const QPoint* corners, int count);
