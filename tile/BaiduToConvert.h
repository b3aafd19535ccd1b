#pragma once

#include "core/VtCoreExport.h"
#include "tile/Extent.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>

// Baidu's own plane and tile grid, and the Baidu tile URLs.
//
// BD-09 longitude/latitude (degrees) <-> Baidu Mercator metres (origin at 0, 0; y northwards) by
// Baidu's piecewise polynomials. At Baidu zoom z (1..19) a pixel is res(z) = 2^(18 - z) metres and
// a tile 256 pixels; Baidu tile numbers are negative west of the meridian and south of the
// equator. The application stores Baidu tiles under general one-based map-ID tiles (level
// L = z + 1, row 1 in the north), Baidu tile (bx, by) standing at general column bx + 1 + h and row
// h - by with h = 2^z / 2; the "WGS84" of the tile-interpolated conversions is that general grid's
// Web Mercator frame. All functions are static and re-entrant except the URL builders, which draw
// from the process-wide rand() and read the catalogue's current map type.
class VTCORE_EXPORT CBaiduToConvert : public QObject {
    Q_OBJECT
public:
    // Where a BD-09 point lies around (0, 0); QUADRANT_NONE (lon < 0 on the equator, or lon = 0
    // south of it) has no tile.
    enum Quadrant : int {
        QUADRANT_NORTH_EAST = 0,  // lon >= 0, lat >= 0
        QUADRANT_SOUTH_EAST = 1,  // lon > 0, lat < 0
        QUADRANT_SOUTH_WEST = 2,  // lon < 0, lat < 0
        QUADRANT_NORTH_WEST = 3,  // lon < 0, lat > 0
        QUADRANT_NONE = 4
    };

    explicit CBaiduToConvert(QObject* parent = nullptr);
    ~CBaiduToConvert() override;

    // ---- projection and grid ----
    // BD-09 degrees -> Baidu Mercator metres. Every southern latitude uses the equatorial band, so a
    // southern point does not come back exactly from the inverse.
    static QPointF BdLngLatToMercator(QPointF bd);
    // Baidu Mercator metres -> BD-09 degrees.
    static QPointF MercatorToBdLngLat(QPointF m);
    static Quadrant JudgeQuadrant(double lon, double lat);
    // Metres per pixel at Baidu zoom z; -1 outside 1..19.
    static double BdRes(int z);
    // For level > 1 (general level, Baidu zoom level - 1): the one-based general tile (gx, gy) of a
    // BD-09 point and its pixel offset (px, py) from the west and north edges of its Baidu tile. All
    // four are -1 for a point of QUADRANT_NONE; nothing is written for level <= 1.
    static void BdPointToTile(double lon, double lat, int& gx, int& gy, double& px, double& py, int level);
    // Baidu tile (bx, by) to the general tile; for quadrants 1 to 3 bx / by are distances from the
    // origin in tiles (positive). Nothing is written for QUADRANT_NONE.
    static void BdTileToGeneralTile(int bx, int by, int z, int& gx, int& gy, Quadrant q);
    // Pixel offset of a BD-09 point from the west and north edges of Baidu tile (bx, by) numbered as
    // BdPointToTile numbers it; -1, -1 for QUADRANT_NONE.
    static void GetBdSingleTilePixFromBdLngLat(double lon, double lat, int bx, int by, int z, double& px,
                                               double& py, Quadrant q);
    // The point's Baidu Mercator metres divided by res(z) (which is -1 outside 1..19).
    static void GetPixFromLngLatDIF(double lon, double lat, int z, double& px, double& py);
    // BD-09 point of Baidu tile corner (bx, by) x 256 pixels, and of a pixel position, at zoom z.
    static QPointF TileCoordToLatLng(int bx, int by, int z);
    static QPointF PixCoordToLatLng(int px, int py, int z);
    // General half-width 2^z / 2 minus the Baidu half-width ceil(20037508.34 / (256 res(z))), truncated:
    // how many general tiles each side of Baidu's grid lies beyond it. gx and gy are not used.
    static int CheckTileCoordIsValid(int gx, int gy, int z);
    // General tile -> Baidu tile numbers as decimal texts, without the grid offset; both left alone
    // when gx or gy lies beyond Baidu's grid (> 2 n(z)).
    static void GeneralTileToBdTile(int gx, int gy, int z, QString& bx, QString& by);
    // The same numbers, a negative one written as "M" and its decimal absolute value.
    static void GeneralTileToBdTileXY(int gx, int gy, int z, QString& bx, QString& by);
    // BD-09 south-west and north-east corners of the Baidu tile standing at general tile (gx, gy) of
    // `level`; empty for level < 2 or a tile without a Baidu tile.
    static QList<QPointF> GetBdPointFromTile(int gx, int gy, int level);
    // The same corners as an extent (BD-09 degrees); false and zeros when there is no tile.
    static bool GetBdLBFromTile(int gx, int gy, int level, double& minx, double& miny, double& maxx, double& maxy);

    // ---- tile-interpolated datum conversions ----
    // BD-09 -> WGS84 through the general tile of `level` (map types answering isWgs84 take the
    // degree branch of the map-ID scheme). The longitude is clamped to +-180, the latitude to +-83.5.
    static QPointF BdToWGS84PointF(QPointF p, int level, int mapType);
    // Every point through BdToWGS84PointF; a map type that is not Baidu gets its list back unchanged.
    static QList<QPointF> BdToWGS84Points(QList<QPointF> pts, int level, int mapType);
    // WGS84 -> BD-09 through the general tile of level 20 (Tools::wgs84ToBd09ByPos).
    static QPointF WGS84ToBdPointF(QPointF p);
    // WGS84 -> BD-09 by the closed datum formulas.
    static QPointF WGS84ToBdLngLat(QPointF p);
    // BD-09 of each point's view position (Tools::getBdCoordByPos), in order.
    static QList<QPointF> getBdCoordByPoints(const CExtent& world, const double& scale, int clientHeight,
                                             QList<QPointF> pts, int mapType);

    // ---- tile numbering and URLs (level L: general level, Baidu zoom z = L - 1) ----
    // General tile -> Baidu tile texts at zoom z, shifting the general tile into Baidu's narrower
    // grid; a tile beyond that grid becomes column "M<n+1>", row "<n>", which the service lacks.
    static void tileToBdTile(int gx, int gy, int z, QString& bx, QString& by);
    // URLs of the general tile (gx, gy) of level L; "" for L < 2 or L > 21. Hosts and access keys
    // come from the Baidu settings (README: Baidu tile services).
    static QString GetUrlFromTile(int gx, int gy, int L);          // satellite
    static QString GetLabelUrlFromTile(int gx, int gy, int L);     // label overlay
    static QString GetBIgLabelUrlFromTile(int gx, int gy, int L);  // large-font labels
    static QString GetBIgElectronUrlFromTile(int gx, int gy, int L);  // large-font street map
    // Street map; style 0 plain, 1..11 named styles, 12..15 keyed styles, others the light style.
    // While the current map type is 205, 206, 207 or 45 every style gives the plain street map.
    static QString GetElectronUrlFromTile(int gx, int gy, int L, int style);
};

// BD-09 <-> WGS84 through the general tiles of level 20.
VTCORE_EXPORT QPointF ConvertBDTo84(const QPointF& p);
VTCORE_EXPORT QPointF Convert84ToBD(const QPointF& p);
