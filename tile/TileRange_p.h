#pragma once

// Internal to the region tests; not installed.

#include <QPolygonF>

// Whether a polygon's area can be intersected: every coordinate finite and within +-10000 degrees.
// QPainterPath's clipper crashes on non-finite points and loses its way on huge ones, so a polygon
// failing this meets no tile.
bool IsUsableRegionPolygon(const QPolygonF& polygon);
