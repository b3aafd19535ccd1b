// Tools: 2-D geometry of points, lines and rectangles in screen coordinates.
#include "core/Tools.h"

#include "core/log/VtLog.h"

#include <algorithm>

POINT_LOCATED_RECT_DIRECTION Tools::getDirection(QPointF p, QRectF r) {
    if (p.x() < r.left()) return POINT_LEFT_OF_RECT;
    if (p.x() > r.right()) return POINT_RIGHT_OF_RECT;
    if (p.y() > r.bottom()) return POINT_BELOW_RECT;
    if (p.y() < r.top()) return POINT_ABOVE_RECT;
    return POINT_INSIDE_RECT;
}

QPointF Tools::getIntersectPoint(QPointF p1, QPointF p2, QRectF r) {
    const double x1 = p1.x(), y1 = p1.y(), x2 = p2.x(), y2 = p2.y();
    switch (getDirection(p1, r)) {
    case POINT_LEFT_OF_RECT:
    case POINT_RIGHT_OF_RECT: {
        const bool left = getDirection(p1, r) == POINT_LEFT_OF_RECT;
        VtLogDebug() << "[Tools::getIntersectPoint] " << (left ? "left" : "right");
        const double x = left ? r.left() : r.right();
        return QPointF(x, (x - x1) * (y2 - y1) / (x2 - x1) + y1);
    }
    case POINT_BELOW_RECT:
    case POINT_ABOVE_RECT: {
        const bool bottom = getDirection(p1, r) == POINT_BELOW_RECT;
        VtLogDebug() << "[Tools::getIntersectPoint] " << (bottom ? "bottom" : "top");
        const double y = bottom ? r.bottom() : r.top();
        return QPointF((y - y1) * (x2 - x1) / (y2 - y1) + x1, y);
    }
    default:
        return QPointF(-200.0, -200.0);
    }
}

bool Tools::lineAndRectIntersect(QPointF p1, QPointF p2, QRectF r) {
    // The line a*x + b*y + c = 0 through both points must not leave all four corners strictly on
    // one side; a point (a = b = 0) "touches" every corner and is left to the box test.
    const double a = p2.y() - p1.y();
    const double b = p1.x() - p2.x();
    const double c = p2.x() * p1.y() - p1.x() * p2.y();
    const QPointF corners[4] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
    int positive = 0, negative = 0;
    for (const QPointF& k : corners) {
        const double v = a * k.x() + b * k.y() + c;
        if (v > 0) ++positive;
        else if (v < 0) ++negative;
    }
    if (positive == 4 || negative == 4) return false;
    const double minX = std::min(p1.x(), p2.x()), maxX = std::max(p1.x(), p2.x());
    const double minY = std::min(p1.y(), p2.y()), maxY = std::max(p1.y(), p2.y());
    const double left = std::min(r.left(), r.right()), right = std::max(r.left(), r.right());
    const double top = std::min(r.top(), r.bottom()), bottom = std::max(r.top(), r.bottom());
    return !(maxX < left || minX > right || maxY < top || minY > bottom);
}
