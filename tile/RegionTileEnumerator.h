#pragma once

#include "core/VtCoreExport.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"

#include <QList>
#include <QPolygonF>
#include <QString>

#include <functional>
#include <memory>

// Every tile of a region at one level, in depository order (rows from the north, then columns
// from the west), optionally only those that meet the region's polygons, with their URLs.
//
// The candidates are the tile range of the extent (ConvertToTileBouding with the map type), held
// inside the level. With polygons the answer is exactly the set IsTileInPolygons accepts, found row
// by row: the polygons' edges are clipped to each row, the columns away from every edge are inside
// or outside as whole runs, and only the tiles an edge passes near are tested one by one. Without
// polygons the tiles whose extent meets the extent (closed rectangles) are given, as
// IsTileInPolygons with an empty list accepts them.
//
// Keys are zero-based keys of the map type's scheme (TILE_MODEL_MERCATOR, TILE_MODEL_GEOGRAPHIC or
// TILE_MODEL_BAIDU) at level `level` - 1. Coordinates are degrees of the map type's datum. Not
// thread-safe; separate enumerators may run on separate threads.
class VTCORE_EXPORT CRegionTileEnumerator {
public:
    // `level` is one-based (map-ID), 1..31; any other level, or a non-finite extent, enumerates
    // nothing.
    CRegionTileEnumerator(const EXTENT& e, const QList<QPolygonF>& polygons, int level, int mapType);
    // The region of the polygons alone: the extent is the bounding box of those that can meet a tile
    // (nothing when none can).
    CRegionTileEnumerator(const QList<QPolygonF>& polygons, int level, int mapType);
    ~CRegionTileEnumerator();
    CRegionTileEnumerator(const CRegionTileEnumerator&) = delete;
    CRegionTileEnumerator& operator=(const CRegionTileEnumerator&) = delete;

    // A tile URL template (Tools::ReplaceUrlXYZ with the key's column, row and level; rows flip over
    // half the columns in the geographic scheme). Empty: no URLs.
    void SetUrlTemplate(const QString& urlTemplate);
    E_TILE_MODEL GetTileModel() const;

    // The next tile; false after the last one.
    bool Next(CTileKey& key);
    // The same with the tile's URL ("" without a template).
    bool Next(CTileKey& key, QString& url);
    // Back to the first tile.
    void Reset();
    // Every remaining tile in order until `visit` returns false; the number visited.
    long long ForEach(const std::function<bool(const CTileKey& key, const QString& url)>& visit);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
