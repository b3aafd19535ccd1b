#include "tools/vtcore/Region.h"

#include "catalog/DataFactory.h"
#include "core/Tools.h"
#include "storage/MapSheetModel.h"
#include "tile/BD09ToWGS84.h"
#include "tile/PositionUtil.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace VtCli {
namespace {

// Guards against a file that is small on disk but nests or repeats without end.
constexpr int kMaxGeoJsonPoints = 5000000;
constexpr int kMaxGeoJsonDepth = 8;

EXTENT BoundsOf(const QList<QPolygonF>& polygons) {
    QRectF r;
    for (const QPolygonF& p : polygons) r = r.united(p.boundingRect());
    return EXTENT{std::max(-180.0, r.left()), std::max(-90.0, r.top()), std::min(180.0, r.right()),
                  std::min(90.0, r.bottom())};
}

bool ReadRing(const QJsonValue& value, QPolygonF& ring, int& points, QString& error) {
    if (!value.isArray()) {
        error = QStringLiteral("a ring is not an array of positions");
        return false;
    }
    const QJsonArray positions = value.toArray();
    for (const QJsonValue& pos : positions) {
        const QJsonArray xy = pos.toArray();
        if (!pos.isArray() || xy.size() < 2 || !xy[0].isDouble() || !xy[1].isDouble()) {
            error = QStringLiteral("a position is not [longitude, latitude]");
            return false;
        }
        const double x = xy[0].toDouble();
        const double y = xy[1].toDouble();
        if (!std::isfinite(x) || !std::isfinite(y) || x < -180 || x > 180 || y < -90 || y > 90) {
            error = QStringLiteral("position %1, %2 is not in degrees").arg(x).arg(y);
            return false;
        }
        if (++points > kMaxGeoJsonPoints) {
            error = QStringLiteral("more than %1 positions").arg(kMaxGeoJsonPoints);
            return false;
        }
        ring.append(QPointF(x, y));
    }
    if (ring.size() >= 2 && ring.first() == ring.last()) ring.removeLast();
    if (ring.size() < 3) {
        error = QStringLiteral("a ring has fewer than three points");
        return false;
    }
    return true;
}

bool ReadPolygon(const QJsonValue& coordinates, QList<QPolygonF>& out, int& points, QString& error) {
    const QJsonArray rings = coordinates.toArray();
    if (!coordinates.isArray() || rings.isEmpty()) {
        error = QStringLiteral("a polygon has no rings");
        return false;
    }
    QPolygonF outer;
    if (!ReadRing(rings[0], outer, points, error)) return false;
    out.append(outer);
    return true;
}

bool ReadGeoJson(const QJsonObject& o, QList<QPolygonF>& out, int& points, int depth, QString& error) {
    if (depth > kMaxGeoJsonDepth) {
        error = QStringLiteral("GeoJSON nested too deeply");
        return false;
    }
    const QString type = o.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("Polygon")) return ReadPolygon(o.value(QStringLiteral("coordinates")), out, points, error);
    if (type == QLatin1String("MultiPolygon")) {
        const QJsonValue c = o.value(QStringLiteral("coordinates"));
        if (!c.isArray()) {
            error = QStringLiteral("MultiPolygon without coordinates");
            return false;
        }
        for (const QJsonValue& poly : c.toArray())
            if (!ReadPolygon(poly, out, points, error)) return false;
        return true;
    }
    if (type == QLatin1String("Feature")) {
        const QJsonValue g = o.value(QStringLiteral("geometry"));
        if (!g.isObject()) {
            error = QStringLiteral("Feature without geometry");
            return false;
        }
        return ReadGeoJson(g.toObject(), out, points, depth + 1, error);
    }
    const QString member = type == QLatin1String("FeatureCollection") ? QStringLiteral("features")
                           : type == QLatin1String("GeometryCollection") ? QStringLiteral("geometries")
                                                                         : QString();
    if (member.isEmpty()) {
        error = QStringLiteral("GeoJSON type '%1' holds no polygons").arg(type);
        return false;
    }
    const QJsonValue list = o.value(member);
    if (!list.isArray()) {
        error = QStringLiteral("%1 without %2").arg(type, member);
        return false;
    }
    for (const QJsonValue& item : list.toArray()) {
        if (!item.isObject()) {
            error = QStringLiteral("%1 holds a member that is not an object").arg(type);
            return false;
        }
        if (!ReadGeoJson(item.toObject(), out, points, depth + 1, error)) return false;
    }
    return true;
}

bool LoadSheets(const QString& names, QList<QPolygonF>& polygons, QString& error) {
    CMapSheetModel model;
    for (const QString& raw : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = raw.trimmed().toUpper();
        CMapSheet sheet;
        model.GetMapSheetFromString(sheet, name);
        if (!sheet.m_bValid) {
            error = QStringLiteral("'%1' is not a map sheet name").arg(raw.trimmed());
            return false;
        }
        polygons.append(QPolygonF(sheet.m_rect));
        polygons.last().removeLast();  // QPolygonF(QRectF) closes the ring; keep four corners
    }
    if (polygons.isEmpty()) {
        error = QStringLiteral("no map sheet names given");
        return false;
    }
    return true;
}

}  // namespace

bool ParseGeoJsonPolygons(const QByteArray& json, QList<QPolygonF>& polygons, QString& error) {
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
        error = QStringLiteral("not a GeoJSON object (%1)").arg(pe.errorString());
        return false;
    }
    QList<QPolygonF> out;
    int points = 0;
    if (!ReadGeoJson(doc.object(), out, points, 0, error)) return false;
    if (out.isEmpty()) {
        error = QStringLiteral("the GeoJSON holds no polygon");
        return false;
    }
    polygons = out;
    return true;
}

bool LoadRegion(const RegionOptions& options, Region& region, QString& error) {
    const int ways = int(!options.extent.isEmpty()) + int(!options.geoJsonFile.isEmpty()) +
                     int(!options.area.isEmpty()) + int(!options.sheets.isEmpty());
    if (ways != 1) {
        error = ways == 0 ? QStringLiteral("no region: give --extent, --geojson, --area or --sheet")
                          : QStringLiteral("give only one of --extent, --geojson, --area and --sheet");
        return false;
    }
    Region r;
    if (!options.extent.isEmpty()) {
        if (!ParseExtent(options.extent, r.extent, error)) return false;
        r.description = QStringLiteral("extent %1").arg(options.extent);
        region = r;
        return true;
    }
    if (!options.geoJsonFile.isEmpty()) {
        QFile f(options.geoJsonFile);
        if (!f.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(options.geoJsonFile, f.errorString());
            return false;
        }
        if (f.size() > kMaxGeoJsonBytes) {
            error = QStringLiteral("%1 is larger than %2 bytes").arg(options.geoJsonFile).arg(kMaxGeoJsonBytes);
            return false;
        }
        QString why;
        if (!ParseGeoJsonPolygons(f.readAll(), r.polygons, why)) {
            error = QStringLiteral("%1: %2").arg(options.geoJsonFile, why);
            return false;
        }
        r.description = QStringLiteral("GeoJSON %1").arg(options.geoJsonFile);
    } else if (!options.area.isEmpty()) {
        // The region database has a folder of its own; the task database stays where it was.
        const QString taskDir = DataFactory::applicationDir();
        DataFactory::setApplicationDir(options.regionDbDir);
        const QString regionDir = DataFactory::applicationDir();
        bool ok = false;
        r.polygons = DataFactory::getCityRegion(options.area, &ok);
        DataFactory::setApplicationDir(taskDir);
        if (r.polygons.isEmpty()) {
            error = ok ? QStringLiteral("no administrative area named '%1' with an outline").arg(options.area)
                       : QStringLiteral("no region database (region.dll or china.dll) in %1").arg(regionDir);
            return false;
        }
        r.description = QStringLiteral("area %1").arg(options.area);
    } else {
        if (!LoadSheets(options.sheets, r.polygons, error)) return false;
        r.description = QStringLiteral("sheets %1").arg(options.sheets);
    }
    r.extent = BoundsOf(r.polygons);
    region = r;
    return true;
}

Datum MapTypeDatum(int mapType, int customKey) {
    switch (Tools::getOffsetType(mapType, customKey)) {
    case COORD_OFFSET_GCJ02: return Datum::Gcj02;
    case COORD_OFFSET_BD09: return Datum::Bd09;
    default: return Datum::Wgs84;  // no offset, or the provider's own coordinates
    }
}

QPointF ConvertPoint(const QPointF& p, Datum from, Datum to) {
    if (from == to) return p;
    CBD09ToWGS84 bd;
    double lon = p.x();
    double lat = p.y();
    // Through GCJ-02, the datum both offsets share.
    if (from == Datum::Wgs84) bd.WGS84ToGCJ02(lon, lat);
    else if (from == Datum::Bd09) bd.BD09ToGCJ02(lon, lat);
    if (to == Datum::Wgs84) bd.GCJ02ToWGS84(lon, lat);
    else if (to == Datum::Bd09) bd.GCJ02ToBD09(lon, lat);
    return QPointF(lon, lat);
}

Region ConvertRegion(const Region& region, Datum from, Datum to) {
    if (from == to) return region;
    Region r = region;
    if (r.IsShaped()) {
        for (QPolygonF& poly : r.polygons)
            for (QPointF& p : poly) p = ConvertPoint(p, from, to);
        r.extent = BoundsOf(r.polygons);
        return r;
    }
    // The GCJ-02 offset has terms with a period of a third of a degree; sampling every 0.005 degree
    // keeps the bounding box within millimetres of the shifted outline's.
    const EXTENT& e = region.extent;
    const double span = std::max(e.maxx - e.minx, e.maxy - e.miny);
    const int steps = std::clamp(int(std::ceil(span / 0.005)), 16, 20000);
    QPolygonF outline;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double x = e.minx + (e.maxx - e.minx) * t;
        const double y = e.miny + (e.maxy - e.miny) * t;
        outline << QPointF(x, e.miny) << QPointF(x, e.maxy) << QPointF(e.minx, y) << QPointF(e.maxx, y);
    }
    for (QPointF& p : outline) p = ConvertPoint(p, from, to);
    r.extent = BoundsOf({outline});
    return r;
}

QByteArray EncodeTaskPolygons(const QList<QPolygonF>& polygons) {
    QByteArray blob;
    QDataStream s(&blob, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::DoublePrecision);
    s << quint32(0xFFFFFFFFu) << qint32(polygons.size());
    for (const QPolygonF& poly : polygons) {
        s << qint32(poly.size());
        for (const QPointF& p : poly) s << p.x() << p.y();
    }
    return blob;
}

}  // namespace VtCli
