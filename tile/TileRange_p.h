#pragma once

// Internal to the region tests; not installed.

#include "tile/Extent.h"

#include <QPolygonF>

// Half the side of the window that holds every tile of the tile models, in degrees.
constexpr double kRegionWindow = 10000.0;

// The part of `polygon` inside `window` (a closed rectangle), as a polygon whose area agrees with
// the original everywhere inside the window (odd-even and winding alike); the polygon itself when
// all its points lie inside. QPainterPath's clipper loses its way on coordinates far beyond the
// tiles, so polygons reach it through this. A polygon with a non-finite point (whose area is
// undefined) or with no area inside the window gives an empty polygon: it meets no tile.
QPolygonF ClipRegionPolygon(const QPolygonF& polygon, const EXTENT& window);

// The exact region test of one polygon against one tile's extent (degrees): whether their areas
// intersect, as IsTileInPolygon decides it for a non-empty polygon.
bool PolygonMeetsTile(const QPolygonF& polygon, const CExtent& tile);
