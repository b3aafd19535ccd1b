#pragma once

#include "tile/Extent.h"
#include "tools/vtcore/CliParse.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QString>

namespace VtCli {

// A download region: its bounding extent and, for shaped regions, the polygons whose tiles are
// wanted (an empty list means every tile of the extent). Degrees, x = longitude, in one datum.
struct Region {
    EXTENT extent{0, 0, 0, 0};
    QList<QPolygonF> polygons;
    QString description;  // how the user named it, for display
    bool IsShaped() const { return !polygons.isEmpty(); }
};

// Exactly one of the four ways of naming a region is set.
struct RegionOptions {
    QString extent;       // "west,south,east,north"
    QString geoJsonFile;  // Polygon, MultiPolygon, Feature, FeatureCollection, GeometryCollection
    QString area;         // administrative area name ("parent|child" to tell equal names apart)
    QString sheets;       // map sheet names, comma-separated ("J50B001001,J50B001002")
    QString regionDbDir;  // folder of "region.dll" / "china.dll" for `area`; "" = application dir
};

// Builds the region the options name (in the datum the user gave it in). False with a reason
// when no or several ways are given, or the text, file, area or sheet is unusable.
bool LoadRegion(const RegionOptions& options, Region& region, QString& error);

// Largest GeoJSON file read; bigger files are refused rather than loaded into memory.
constexpr qint64 kMaxGeoJsonBytes = 64LL * 1024 * 1024;
// Outer rings of every polygon of a GeoJSON text (holes are not kept: a tile that meets a hole
// still meets the polygon). False for malformed JSON, unknown types, coordinates that are not
// finite degrees, or rings with fewer than three points.
bool ParseGeoJsonPolygons(const QByteArray& json, QList<QPolygonF>& polygons, QString& error);

// The datum of a map type's tiles, by its offset kind (GCJ-02 or BD-09; WGS84 otherwise).
Datum MapTypeDatum(int mapType, int customKey);
QPointF ConvertPoint(const QPointF& p, Datum from, Datum to);
// The region moved into another datum: polygon vertices one by one, a plain extent through its
// densified outline, so the new extent still holds every shifted point of the old one.
Region ConvertRegion(const Region& region, Datum from, Datum to);

// The task database's polygon blob: 0xFFFFFFFF, i32 count, then per polygon i32 n and n points
// (f64 x, f64 y), little-endian.
QByteArray EncodeTaskPolygons(const QList<QPolygonF>& polygons);

}  // namespace VtCli
