#include "core/Tools.h"

#include "core/Whole.h"
#include "tile/BaiduToConvert.h"

#include <cmath>

namespace {

// The interpolation runs on the Mercator branch of the map-ID scheme: 44 is a Web Mercator type.
constexpr int kMercatorMapType = 44;
constexpr double kTileSize = 256.0;

struct GENERAL_TILE {
    int nRow = 0;
    int nCol = 0;
    double minx = 0.0;  // normalised Mercator units
    double miny = 0.0;
    double maxx = 0.0;
    double maxy = 0.0;
};

// The general tile of a point given in normalised units, with its extent.
GENERAL_TILE TileOfUnits(double X, double Y, int level) {
    GENERAL_TILE t;
    int rowCount = 0, colCount = 0;
    Tools::getRowColInfo(X, Y, X, Y, level, t.nRow, t.nCol, rowCount, colCount, false, kMercatorMapType);
    const long long id = Tools::getMapID(level, t.nRow, t.nCol);
    Tools::getExtent(level, id, t.minx, t.miny, t.maxx, t.maxy, false, kMercatorMapType);
    return t;
}

// BD-09 between the Baidu tile's corners at fractions fx (from the west) and fy (from the north),
// linear in Mercator units on both axes.
QPointF Interpolate(const QList<QPointF>& corners, double fx, double fy) {
    const double X0 = Tools::getX(corners[0].x());
    const double X1 = Tools::getX(corners[1].x());
    const double Y0 = Tools::getY(corners[0].y());
    const double Y1 = Tools::getY(corners[1].y());
    const double X = (X1 - X0) * fx + X0;
    const double Y = Y1 - (Y1 - Y0) * fy;
    return QPointF(Tools::getL(X), Tools::getB(Y));
}

}  // namespace

QPointF Tools::bdToWGS84ByPoint(double lon, double lat, int level) {
    return CBaiduToConvert::BdToWGS84PointF(QPointF(lon, lat), level, kMercatorMapType);
}

QPointF Tools::wgs84ToBd09ByPos(QPointF p, int level) {
    const double sx = p.x() < 0 ? -1.0 : 1.0;
    const double sy = p.y() < 0 ? -1.0 : 1.0;
    const double X = getX(std::fabs(p.x()));
    const double Y = getY(std::fabs(p.y()));  // getY holds the latitude at 85.05112877980655
    const GENERAL_TILE t = TileOfUnits(X, Y, level);
    const QList<QPointF> corners = CBaiduToConvert::GetBdPointFromTile(t.nCol, t.nRow, level);
    if (corners.size() < 2) return QPointF(0.0, 0.0);
    const double fx = (X - t.minx) * kTileSize / (t.maxx - t.minx);
    const double fy = (t.maxy - Y) * kTileSize / (t.maxy - t.miny);
    const QPointF bd = Interpolate(corners, fx / kTileSize, fy / kTileSize);
    return QPointF(sx * bd.x(), sy * bd.y());
}

void Tools::wgs84ToBdExtent(EXTENT& e) {
    const QPointF lo = wgs84ToBd09ByPos(QPointF(e.minx, e.miny), 20);
    const QPointF hi = wgs84ToBd09ByPos(QPointF(e.maxx, e.maxy), 20);
    e.minx = lo.x();
    e.miny = lo.y();
    e.maxx = hi.x();
    e.maxy = hi.y();
}

QPointF Tools::getBdCoordByPos(const CExtent& world, const double& scale, int clientHeight, QPointF p,
                               int mapType) {
    const int level = Whole::m_nCurLevel;
    const GENERAL_TILE t = TileOfUnits(getX(p.x()), getY(p.y()), level);
    const QList<QPointF> corners = CBaiduToConvert::GetBdPointFromTile(t.nCol, t.nRow, level);
    if (corners.size() < 2) return QPointF(0.0, 0.0);
    // The tile's corners in the view's world unit: degrees for a WGS map type, units otherwise.
    QPointF nw(t.minx, t.maxy);
    QPointF se(t.maxx, t.miny);
    if (isWGS(mapType)) {
        nw = QPointF(getL(nw.x()), getB(nw.y()));
        se = QPointF(getL(se.x()), getB(se.y()));
    }
    const QPointF cNw = World2ClientF(world, scale, clientHeight, nw);
    const QPointF cSe = World2ClientF(world, scale, clientHeight, se);
    const QPointF cP = getClientCoord(world, scale, clientHeight, p, mapType);
    // At the view's own level a tile spans 256 client pixels; measuring the tile keeps the
    // fractions right at any other scale too.
    const double w = cSe.x() - cNw.x();
    const double h = cSe.y() - cNw.y();
    if (!(w > 0.0) || !(h > 0.0)) return QPointF(0.0, 0.0);
    return Interpolate(corners, (cP.x() - cNw.x()) / w, (cP.y() - cNw.y()) / h);
}
