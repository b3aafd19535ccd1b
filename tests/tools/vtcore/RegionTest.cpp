#include "tools/vtcore/Region.h"

#include "catalog/PolygonBlob_p.h"

#include <QTemporaryDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

using namespace VtCli;

namespace {

double MetresBetween(const QPointF& a, const QPointF& b) {
    const double kDegree = 111320.0;
    const double dx = (a.x() - b.x()) * kDegree * std::cos(a.y() * M_PI / 180.0);
    const double dy = (a.y() - b.y()) * kDegree;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

TEST(Region, GeoJsonForms) {
    QByteArray nested = R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]})";
    for (int i = 0; i < 200; ++i) nested = R"({"type":"Feature","geometry":)" + nested + "}";
    struct Row {
        const char* json;
        int polygons;  // -1: refused
    };
    const Row rows[] = {
        {R"({"type":"Polygon","coordinates":[[[116,39],[117,39],[117,40],[116,39]]]})", 1},
        // Holes are not kept: only the outer ring counts.
        {R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,4],[0,0]],[[1,1],[2,1],[2,2],[1,1]]]})", 1},
        {R"({"type":"MultiPolygon","coordinates":[[[[0,0],[1,0],[1,1]]],[[[5,5],[6,5],[6,6]]]]})", 2},
        {R"({"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]}})", 1},
        {R"({"type":"FeatureCollection","features":[
              {"type":"Feature","geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]}},
              {"type":"Feature","geometry":{"type":"MultiPolygon","coordinates":[[[[2,2],[3,2],[3,3]]]]}}]})", 2},
        {R"({"type":"GeometryCollection","geometries":[{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]}]})", 1},
        // Positions with a height are fine.
        {R"({"type":"Polygon","coordinates":[[[0,0,5],[1,0,5],[1,1,5]]]})", 1},
        // Refused: damaged or hostile input.
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[0,0]]]})", -1},            // two distinct points
        {R"({"type":"Polygon","coordinates":[]})", -1},                                // no ring
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],["a",1]]]})", -1},           // text coordinate
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1]]]})", -1},               // short position
        {R"({"type":"Polygon","coordinates":[[[0,0],[181,0],[1,1]]]})", -1},           // beyond 180
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,-91],[1,1]]]})", -1},           // beyond the pole
        {R"({"type":"Point","coordinates":[1,2]})", -1},                                // no polygon type
        {R"({"type":"FeatureCollection","features":[]})", -1},                          // nothing inside
        {R"({"type":"FeatureCollection","features":[1]})", -1},
        {R"({"type":"Feature","geometry":null})", -1},
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]])", -1},              // truncated text
        {R"([1,2,3])", -1},                                                             // not an object
        {"", -1},
        {nested.constData(), -1},  // nested far too deep
    };
    for (const Row& r : rows) {
        QList<QPolygonF> polygons;
        QString error;
        const bool ok = ParseGeoJsonPolygons(QByteArray(r.json), polygons, error);
        EXPECT_EQ(ok, r.polygons >= 0) << r.json << " " << qPrintable(error);
        if (ok) {
            EXPECT_EQ(polygons.size(), r.polygons) << r.json;
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

// Exactly one way of naming a region; sheets and GeoJSON files become polygons and their bounds.
TEST(Region, LoadRegionFromSheetsAndGeoJsonFiles) {
    QTemporaryDir dir;
    const QString file = dir.filePath("r.geojson");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"type":"Polygon","coordinates":[[[116,39],[117,39],[117,40],[116,40],[116,39]]]})");
    f.close();
    struct Row {
        QString extent, geoJsonFile, sheets;
        int polygons;  // -1: refused
        EXTENT bounds;
    };
    const Row rows[] = {
        {"", "", "", -1, {}},                              // no way at all
        {"0,0,1,1", "", "J50", -1, {}},                    // two ways
        {"", "", "J50, j51", 2, {114, 36, 126, 40}},       // blanks and lower case are accepted
        {"", "", "J50,J61", -1, {}},                       // column 61 does not exist
        {"", file, "", 1, {116, 39, 117, 40}},
        {"", dir.filePath("absent.geojson"), "", -1, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(qPrintable(r.extent + r.geoJsonFile + r.sheets));
        RegionOptions o;
        o.extent = r.extent;
        o.geoJsonFile = r.geoJsonFile;
        o.sheets = r.sheets;
        Region region;
        QString error;
        ASSERT_EQ(LoadRegion(o, region, error), r.polygons >= 0) << qPrintable(error);
        if (r.polygons < 0) {
            EXPECT_FALSE(error.isEmpty());
            if (r.sheets.contains("J61")) { EXPECT_TRUE(error.contains("J61")) << qPrintable(error); }
            continue;
        }
        ASSERT_EQ(region.polygons.size(), r.polygons);
        EXPECT_EQ(region.polygons[0].size(), 4);
        const double got[] = {region.extent.minx, region.extent.miny, region.extent.maxx, region.extent.maxy};
        const double want[] = {r.bounds.minx, r.bounds.miny, r.bounds.maxx, r.bounds.maxy};
        for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << i;
    }
}

TEST(Region, DatumConversionsRoundTripInChinaAndLeaveOtherPlacesAlone) {
    const QPointF beijing(116.391, 39.907);
    const Datum datums[] = {Datum::Wgs84, Datum::Gcj02, Datum::Bd09};
    for (Datum from : datums) {
        for (Datum to : datums) {
            const QPointF there = ConvertPoint(beijing, from, to);
            if (from != to) {
                EXPECT_GT(MetresBetween(there, beijing), 100.0) << DatumName(from) << DatumName(to);
            }
            const QPointF back = ConvertPoint(there, to, from);
            // The inverse GCJ-02 step is a one-shot approximation: a few metres.
            EXPECT_LT(MetresBetween(back, beijing), 10.0) << DatumName(from) << "->" << DatumName(to);
        }
    }
    const QPointF paris(2.35, 48.85);
    EXPECT_EQ(ConvertPoint(paris, Datum::Wgs84, Datum::Gcj02), paris);
}

TEST(Region, ConvertedExtentHoldsEveryShiftedPointOfTheOriginal) {
    Region r;
    r.extent = EXTENT{115.7, 39.4, 117.4, 41.1};
    const Region g = ConvertRegion(r, Datum::Wgs84, Datum::Gcj02);
    // GCJ-02 moves Beijing a few hundred metres east and north.
    EXPECT_GT(g.extent.minx, r.extent.minx);
    EXPECT_GT(g.extent.maxy, r.extent.maxy);
    for (int i = 0; i <= 50; ++i) {
        for (int j = 0; j <= 50; ++j) {
            const QPointF p(115.7 + 1.7 * i / 50, 39.4 + 1.7 * j / 50);
            const QPointF q = ConvertPoint(p, Datum::Wgs84, Datum::Gcj02);
            EXPECT_GE(q.x(), g.extent.minx - 1e-6);
            EXPECT_LE(q.x(), g.extent.maxx + 1e-6);
            EXPECT_GE(q.y(), g.extent.miny - 1e-6);
            EXPECT_LE(q.y(), g.extent.maxy + 1e-6);
        }
    }
    EXPECT_EQ(ConvertRegion(r, Datum::Bd09, Datum::Bd09).extent.minx, r.extent.minx);
}

TEST(Region, TaskPolygonBlobDecodesToTheSamePolygons) {
    const QList<QList<QPolygonF>> cases = {
        {},
        {QPolygonF({QPointF(116, 39), QPointF(117, 39), QPointF(117.5, 40.25)})},
        {QPolygonF({QPointF(-1e-9, 0), QPointF(1, 0), QPointF(1, 1)}),
         QPolygonF({QPointF(179.999, -89.5), QPointF(-180, 90), QPointF(0, 0), QPointF(3, 3)})},
    };
    for (const QList<QPolygonF>& polys : cases) {
        const QList<QPolygonF> back = PolygonBlob::decodeTaskPolygons(EncodeTaskPolygons(polys));
        EXPECT_EQ(back, polys);
    }
}
