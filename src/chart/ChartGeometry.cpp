#include "chart/ChartGeometry.h"

#include <cmath>

double DistanceToSegment(QPoint p, QPoint a, QPoint b)
{
    const double dx = double(b.x()) - a.x();
    const double dy = double(b.y()) - a.y();
    const double lengthSquared = dx * dx + dy * dy;
    double t = 0;
    if (lengthSquared > 0) {
        t = ((double(p.x()) - a.x()) * dx + (double(p.y()) - a.y()) * dy) / lengthSquared;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
    }
    const double ex = a.x() + t * dx - p.x();
    const double ey = a.y() + t * dy - p.y();
    return std::sqrt(ex * ex + ey * ey);
}

bool PointInPolygon(QPoint p, const QPoint* corners, int count)
{
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const double xi = corners[i].x(), yi = corners[i].y();
        const double xj = corners[j].x(), yj = corners[j].y();
        if ((yi > p.y()) != (yj > p.y()) && p.x() < (xj - xi) * (p.y() - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}
