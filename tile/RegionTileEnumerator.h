#pragma once

#include "core/VtCoreExport.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"

#include <QList>
#include <QPolygonF>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// Every tile of a region at one level, in depository order (rows from the north, then columns
// from the west), optionally only those that meet the region's polygons, with their URLs.
//
// The candidates are the tile range of the extent (ConvertToTileBouding with the map type), held
// inside the level. With polygons the answer is exactly the set IsTileInPolygons accepts, found row
// by row: the columns away from every edge are inside or outside as whole runs, and only the tiles
// an edge passes near are decided one by one, against the few edges near each. The cost grows with
// the vertices plus the rows and the tiles along the edges, not with their product. Without
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
    // The number of remaining tiles, counted a run of columns at a time; the enumerator is left at
    // the end.
    long long Count();

    // A flag looked at by every Next, and by Count before each row and between the tiles it decides
    // one by one, so a raised flag is seen within milliseconds: Next then returns false and Count
    // what it counted so far. The flag must outlive the enumeration; null (the default) never stops.
    void SetStopFlag(const std::atomic<bool>* stop);
    // Whether the enumeration ended because the stop flag was raised (cleared by Reset).
    bool WasStopped() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
