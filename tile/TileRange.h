#pragma once

#include "core/VtCoreExport.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"

#include <QList>
#include <QPolygonF>

// Tile ranges of regions and region tests on tile keys.

// k (translated into min's family; max is taken as it is) lies within min..max on level, column and
// row, all inclusive. False unless all three keys are valid.
VTCORE_EXPORT bool InTileRange(const CTileKey& k, const CTileKey& min, const CTileKey& max);

// The first and last tile (inclusive) covering extent e (degrees of the scheme's datum) at the
// one-based map-ID level `level`, as one-based TILE_MODEL_MAPID keys, found with the shared model of
// scheme m. False, leaving both keys alone, when the scheme has no model (0, 3, unknown values).
VTCORE_EXPORT bool ConvertToTileBouding(CTileKey& min, CTileKey& max, const EXTENT& e, int level, E_TILE_MODEL m);
// The same with the scheme of a map type: Baidu, else geographic for WGS84 types, else Mercator
// (elevation types are not treated apart).
VTCORE_EXPORT bool ConvertToTileBouding(CTileKey& min, CTileKey& max, const EXTENT& e, int level, int mapType);

// Whether the tile of k (a zero-based key of the Mercator, geographic or Baidu scheme) meets the
// polygon: their intersection as areas (QPolygonF::intersected, odd-even filled, implicitly closed)
// is not empty. A polygon with a non-finite coordinate or one beyond +-10000 degrees meets nothing.
// An empty polygon tests the tile's extent against e instead, closed rectangles that
// merely touch counting. False for any other scheme.
VTCORE_EXPORT bool IsTileInPolygon(const CTileKey& k, const EXTENT& e, const QPolygonF& polygon);
// The same for a list: true when any polygon meets the tile (an empty one among them meets none);
// an empty list tests against e. A key of another scheme is logged as an error and gives false.
VTCORE_EXPORT bool IsTileInPolygons(const CTileKey& k, const EXTENT& e, const QList<QPolygonF>& polygons);

// Tiles of the rectangle a..b: (b.y - a.y + 1) * (b.x - a.x + 1), the differences wrapping in 32
// bits as the stored counts always did; no validity check, no family translation.
VTCORE_EXPORT long long CalculateTileNumber(const CTileKey& a, const CTileKey& b);
// |a.x - b.x| + |a.y - b.y|.
VTCORE_EXPORT long long CalculateTileMDistance(const CTileKey& a, const CTileKey& b);
// A distance across levels: the Manhattan distance on b's level from the tile holding a's centre to
// b, plus one, times 2^(|d| + 2) when the levels differ by d != 0; computed in 32 bits (wrapping).
// The third argument is not used.
VTCORE_EXPORT long long CalculateTileLevelDistance(const CTileKey& a, const CTileKey& b, int unused);
